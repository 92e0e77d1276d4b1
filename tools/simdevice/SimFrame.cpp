#include "SimFrame.h"

namespace sim
{
    namespace
    {
        int hexValue (std::uint8_t c)
        {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            return -1;
        }

        int pairValue (const std::string& s, std::size_t at)
        {
            return hexValue ((std::uint8_t) s[at]) * 16 + hexValue ((std::uint8_t) s[at + 1]);
        }

        std::uint8_t characterSum (const std::string& s, std::size_t count)
        {
            unsigned sum = 0;

            for (std::size_t i = 0; i < count; ++i)
                sum += (std::uint8_t) s[i];

            return (std::uint8_t) sum;
        }

        void appendHex (std::string& s, std::uint8_t value, bool lowerCase)
        {
            const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
            s += digits[value >> 4];
            s += digits[value & 15];
        }
    }

    char startCharacterFor (int address)
    {
        static const char starts[] = { '&', '*', '#', '$' };
        return address >= 0 && address < 4 ? starts[address] : 0;
    }

    std::string encodeFrame (char start, std::uint8_t code, const std::vector<std::uint8_t>& data, bool lowerCase)
    {
        std::string s (1, start);
        appendHex (s, (std::uint8_t) (data.size() + 1), lowerCase);
        appendHex (s, code, lowerCase);

        for (auto b : data)
            appendHex (s, b, lowerCase);

        // The sum of the lower-case characters, its digits as in the worked frame $0201abAA.
        appendHex (s, characterSum (s, s.size()), false);
        s += "\r\n";
        return s;
    }

    FrameReader::FrameReader (char startCharacter) : start (startCharacter) {}

    void FrameReader::reset()
    {
        pending.clear();
        expected = 0;
    }

    void FrameReader::feed (std::uint8_t byte, std::vector<HostInput>& out)
    {
        if (pending.empty())
        {
            if (byte == (std::uint8_t) start)
                pending.assign (1, start);
            else if (byte == 'Q')
                out.push_back ({ HostInput::Kind::poll, 0, {}, 1 });

            return;
        }

        const auto at = pending.size();
        const bool crPosition = expected > 0 && at == expected - 2;
        const bool lfPosition = expected > 0 && at == expected - 1;
        const bool fits = crPosition ? byte == '\r'
                        : lfPosition ? byte == '\n'
                                     : hexValue (byte) >= 0;

        if (! fits)
        {
            reject (out);
            feed (byte, out);
            return;
        }

        take (byte, out);
    }

    void FrameReader::take (std::uint8_t byte, std::vector<HostInput>& out)
    {
        pending += (char) byte;

        if (pending.size() == 3)
        {
            const auto ll = (std::size_t) pairValue (pending, 1);

            // LL 00 carries no code: nothing a device could answer.
            if (ll == 0)
            {
                reject (out);
                return;
            }

            expected = 2 * ll + 7;
        }

        if (expected > 0 && pending.size() == expected)
            finish (out);
    }

    void FrameReader::finish (std::vector<HostInput>& out)
    {
        const auto ll = (std::size_t) pairValue (pending, 1);
        const auto ssAt = 3 + 2 * ll;

        if (pairValue (pending, ssAt) != characterSum (pending, ssAt))
        {
            reject (out);
            return;
        }

        HostInput input;
        input.kind = HostInput::Kind::frame;
        input.code = (std::uint8_t) pairValue (pending, 3);
        input.characters = pending.size();

        for (std::size_t k = 1; k < ll; ++k)
            input.data.push_back ((std::uint8_t) pairValue (pending, 3 + 2 * k));

        out.push_back (std::move (input));
        reset();
    }

    void FrameReader::reject (std::vector<HostInput>& out)
    {
        HostInput input;
        input.kind = HostInput::Kind::badFrame;
        input.characters = pending.size();
        out.push_back (std::move (input));
        reset();
    }
}
