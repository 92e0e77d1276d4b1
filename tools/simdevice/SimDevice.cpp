#include "SimDevice.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace sim
{
    namespace
    {
        constexpr std::uint8_t searchCode = 0x01;
        constexpr std::uint8_t downloadCode = 0x80;

        enum : std::uint8_t { dlBegin = 0x00, dlWrite = 0x01, dlCommit = 0x03, dlPrepare = 0xF2, dlVerify = 0xF7 };

        constexpr std::size_t blockSize = 64;

        std::string hex2 (unsigned v)
        {
            char text[8];
            std::snprintf (text, sizeof text, "%02x", v & 0xffu);
            return text;
        }

        std::string hex8 (std::uint32_t v)
        {
            char text[16];
            std::snprintf (text, sizeof text, "%08x", (unsigned) v);
            return text;
        }

        // Never a start character nor 'R', so stray bytes cannot pass for a frame or an announcement.
        const std::string garbageCharacters = std::string ("xyz!%~?<>()[]{}^_ ") + '\0' + '\x7f' + '\xff' + '\r' + '\n';
    }

    SimDevice::SimDevice (const DeviceOptions& o, EventLog l)
        : options (o), eventLog (std::move (l))
    {
        if (options.names.empty())
            options.names.push_back ("SIMDEV01");
    }

    void SimDevice::log (const std::string& text)
    {
        if (eventLog)
            eventLog (text);
    }

    std::string SimDevice::name() const
    {
        return options.names[(std::size_t) std::min<int> (device - 1, (int) options.names.size() - 1)];
    }

    Reply SimDevice::respond (const HostInput& input)
    {
        // The host has read the last answer, since it sends again: now the line goes.
        if (hangupArmed)
        {
            hangup = true;
            return {};
        }

        const auto d = " device=" + std::to_string (device);

        switch (input.kind)
        {
            case HostInput::Kind::poll:
                return poll();

            case HostInput::Kind::badFrame:
                log ("bad-frame" + d + " characters=" + std::to_string (input.characters));
                return {};

            case HostInput::Kind::frame:
                break;
        }

        if (phase == Phase::gone)
            return {};

        if (input.code != searchCode && input.code != downloadCode)
        {
            log ("unknown" + d + " code=" + hex2 (input.code));
            return {};
        }

        if (input.code == downloadCode && input.data.size() < 7)
        {
            log ("bad-command" + d + " bytes=" + std::to_string (input.data.size()));
            return {};
        }

        // Every frame is logged as it arrives; one left unanswered has no effect.
        const bool answer = answers();
        const std::string unanswered = answer ? "" : " unanswered";

        if (input.code == searchCode)
        {
            log ("search" + d + " name=" + name() + unanswered);
            return answer ? search() : Reply();
        }

        const auto& data = input.data;
        const int param = (data[1] << 8) | data[2];
        log ("command" + d + " sub=" + hex2 (data[0]) + " param=" + std::to_string (param)
             + " count=" + std::to_string ((data[5] << 8) | data[6]) + unanswered);

        if (data[0] == dlVerify)
            log ("verify" + d + " blocks=" + std::to_string (param) + " sum=" + hex8 (imageSum()) + unanswered);

        return answer ? download (data) : Reply();
    }

    bool SimDevice::answers()
    {
        ++commands;

        if (options.silentFrom > 0 && commands >= options.silentFrom)
        {
            hung = true;
            return false;
        }

        if (options.silent)
            return false;

        if (options.retryCommand == commands && ! retryHeld)
        {
            retryHeld = true;
            --commands;     // the next frame is this command's second attempt
            return false;
        }

        return true;
    }

    std::uint32_t SimDevice::imageSum() const
    {
        std::uint32_t sum = 0;

        for (auto b : image)
            sum += b;

        return options.wrongSum ? sum + 1 : sum;
    }

    Reply SimDevice::poll()
    {
        if (hung)
            return {};

        if (phase == Phase::transferring)
            log ("abandoned device=" + std::to_string (device));
        else if (phase == Phase::dataComplete)
            finishTransfer();

        if (phase == Phase::gone)
            return {};

        if (phase != Phase::idle)
        {
            phase = Phase::idle;
            announced = false;
        }

        // Held back: the test does what must come first, then lets it go.
        if (options.hold)
        {
            if (! holdLogged)
                log ("held device=" + std::to_string (device));

            holdLogged = true;
            return {};
        }

        if (! announced)
        {
            announced = true;
            log ("announce device=" + std::to_string (device) + " name=" + name());
        }

        // Line noise at power-up: to a host that leaves software flow control
        // on, this stops its output until an XON comes, which never does.
        if (options.xoff && ! xoffSent)
        {
            xoffSent = true;
            return { "\x13RR", true };
        }

        return { "RR", true };
    }

    Reply SimDevice::search()
    {
        phase = Phase::searched;
        image.clear();
        lastBlock = -1;
        endOfData = false;

        std::vector<std::uint8_t> info (17, 0);
        const auto n = name();
        std::copy_n (n.begin(), std::min<std::size_t> (n.size(), 8), info.begin());
        std::copy_n (options.productDate, 4, info.begin() + 8);
        std::copy_n (options.releaseDate, 4, info.begin() + 12);

        return { frame (searchCode, info) };
    }

    Reply SimDevice::download (const std::vector<std::uint8_t>& data)
    {
        const std::uint8_t sub = data[0];
        const int param = (data[1] << 8) | data[2];
        const std::size_t count = (std::size_t) ((data[5] << 8) | data[6]);
        const std::size_t carried = std::min (count, data.size() - 7);

        if (sub != dlVerify && (phase == Phase::idle || phase == Phase::searched))
            phase = Phase::transferring;

        std::vector<std::uint8_t> answer { sub };

        switch (sub)
        {
            case dlBegin:
                image.clear();
                lastBlock = -1;
                endOfData = false;
                break;

            case dlWrite:
                if (count == 0)
                {
                    endOfData = true;
                }
                else
                {
                    const auto at = (std::size_t) param * blockSize;
                    image.resize (std::max (image.size(), at + carried), 0);
                    std::copy_n (data.begin() + 7, carried, image.begin() + (std::ptrdiff_t) at);
                    lastBlock = param;
                }
                break;

            case dlCommit:
                if (endOfData)
                    phase = Phase::dataComplete;
                else if (options.hangupAfterBlock >= 0 && lastBlock == options.hangupAfterBlock)
                    hangupArmed = true;
                break;

            case dlVerify:
            {
                const auto sum = imageSum();

                for (int i = 0; i < 4; ++i)
                    answer.push_back ((std::uint8_t) (sum >> (8 * i)));

                break;
            }

            default:
                break;
        }

        Reply reply { frame (downloadCode, answer) };

        if (sub == dlVerify && (phase == Phase::transferring || phase == Phase::dataComplete))
            finishTransfer();

        return reply;
    }

    std::string SimDevice::frame (std::uint8_t code, const std::vector<std::uint8_t>& data)
    {
        std::string out;

        if (options.garbage)
        {
            const auto n = 1 + random() % 16;

            for (unsigned i = 0; i < n; ++i)
                out += garbageCharacters[random() % garbageCharacters.size()];
        }

        if (options.foreignFrame)
        {
            auto other = data;

            for (auto& b : other)
                b = (std::uint8_t) ~b;

            out += encodeFrame (options.start == '$' ? '&' : '$', code, other, options.lowerCase);
        }

        return out + encodeFrame (options.start, code, data, options.lowerCase);
    }

    void SimDevice::finishTransfer()
    {
        const auto blocks = (image.size() + blockSize - 1) / blockSize;
        const auto file = saveImage();

        log ("done device=" + std::to_string (device) + " blocks=" + std::to_string (blocks)
             + " size=" + std::to_string (image.size()) + (file.empty() ? std::string() : " file=" + file));

        ++device;
        phase = Phase::idle;
        announced = false;
        commands = 0;
        retryHeld = false;
        endOfData = false;
        lastBlock = -1;

        if (options.devices > 0 && device > options.devices)
        {
            phase = Phase::gone;
            log ("finished devices=" + std::to_string (options.devices));
        }
    }

    std::string SimDevice::saveImage()
    {
        if (options.imageFolder.empty())
            return {};

        const auto path = options.imageFolder + "/image-" + std::to_string (device) + ".bin";
        std::ofstream out (path, std::ios::binary | std::ios::trunc);
        out.write (reinterpret_cast<const char*> (image.data()), (std::streamsize) image.size());
        out.close();

        if (! out)
        {
            log ("error device=" + std::to_string (device) + " cannot-write=" + path);
            return {};
        }

        return path;
    }

    void SimDevice::release()
    {
        if (! options.hold)
            return;

        options.hold = false;
        log ("released device=" + std::to_string (device));
    }

    void SimDevice::lineClosed()
    {
        if (hung)
            return;

        if (phase == Phase::transferring)
            log ("abandoned device=" + std::to_string (device));
        else if (phase == Phase::dataComplete)
            finishTransfer();

        if (phase != Phase::gone)
        {
            phase = Phase::idle;
            announced = false;
        }
    }
}
