// The simulated device, driven as the host drives it: through cRs232 over its
// pseudo-terminal, with frames from our codec or written by hand.
#include "DsbFile.h"
#include "FrameCodec.h"
#include "Rs232.h"
#include "SimDeviceProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace
{
double nowMs()
{
    return juce::Time::getMillisecondCounterHiRes();
}

struct AddressScope
{
    explicit AddressScope (char c) : saved (DeviceAddressChar.load()) { DeviceAddressChar = c; }
    ~AddressScope() { DeviceAddressChar = saved; }
    std::int32_t saved;
};

// The host's side: the port, our codec, and a record of what came back.
struct Host
{
    explicit Host (const juce::String& path, char address = '$') : scope (address)
    {
        opened = port.open (path, 115200) == 0;
    }

    // Polls with 'Q' as the worker does until two 'R' in a row, across reads.
    bool waitForAnnouncement (int timeoutMs = 20000)
    {
        int rr = 0;
        const auto deadline = nowMs() + timeoutMs;

        while (nowMs() < deadline)
        {
            if (port.write ("Q", 1) <= 0)
                return false;

            std::uint8_t buffer[1024];
            const int k = port.read (buffer);

            for (int i = 0; i < k; ++i)
            {
                rr = buffer[i] == 'R' ? rr + 1 : 0;

                if (rr == 2)
                    return true;
            }

            platform::sleepMs (2);
        }

        return false;
    }

    // Nothing but RR for a while: no device announces.
    bool staysSilent (int ms)
    {
        const auto deadline = nowMs() + ms;

        while (nowMs() < deadline)
        {
            port.write ("Q", 1);
            std::uint8_t buffer[1024];

            if (port.read (buffer) > 0)
                return false;

            platform::sleepMs (2);
        }

        return true;
    }

    bool sendRaw (const std::string& bytes)
    {
        return port.write (bytes.data(), (std::uint32_t) bytes.size()) == (int) bytes.size();
    }

    // Reads until our codec accepts a frame, or silenceMs pass without one.
    // Short silences are for replies that must not come.
    bool awaitReply (int silenceMs = 20000)
    {
        RxRing ring;
        std::memset (&ring, 0, sizeof ring);
        std::memset (&reply, 0, sizeof reply);
        replyText.clear();
        reads = 0;
        auto deadline = nowMs() + silenceMs;

        while (nowMs() < deadline)
        {
            std::uint8_t buffer[1024];
            const int k = port.read (buffer);

            if (k <= 0)
                continue;

            ++reads;
            replyText.append (reinterpret_cast<const char*> (buffer), (size_t) k);
            ringPut (ring, buffer, k);

            if (parseFrame (ring, reply) == 0)
                return true;

            deadline = nowMs() + silenceMs;
        }

        return false;
    }

    bool command (std::uint8_t code, const std::vector<std::uint8_t>& data, int silenceMs = 20000)
    {
        std::uint8_t frame[frameBufferSize];
        const int n = buildFrame (frame, code, data.data(), (int) data.size());
        return sendRaw (std::string (reinterpret_cast<const char*> (frame), (size_t) n)) && awaitReply (silenceMs);
    }

    bool subCommand (std::uint8_t sub, int param, const std::vector<std::uint8_t>& payload = {}, int silenceMs = 20000)
    {
        std::vector<std::uint8_t> record { sub, (std::uint8_t) (param >> 8), (std::uint8_t) param, 0, 0,
                                           (std::uint8_t) (payload.size() >> 8), (std::uint8_t) payload.size() };
        record.insert (record.end(), payload.begin(), payload.end());
        return command (0x80, record, silenceMs) && reply.bytes[0] == 0x80 && reply.bytes[1] == sub;
    }

    std::vector<std::uint8_t> replyData() const
    {
        return { reply.bytes + 1, reply.bytes + reply.count };
    }

    std::string deviceName() const
    {
        return std::string (reinterpret_cast<const char*> (reply.bytes + 1), 8).c_str();
    }

    // The transfer as the worker makes it; the device's sum, or nothing when a step went unanswered.
    bool download (const dsb::Bytes& file, std::uint32_t& deviceSum)
    {
        if (! subCommand (0x00, 5000) || ! subCommand (0xF2, 0))
            return false;

        const auto image = dsb::imageAsSent (file);
        const int blocks = (int) (image.size() / dsb::blockSize);

        for (int b = 0; b < blocks; ++b)
        {
            const auto* block = image.data() + (size_t) b * dsb::blockSize;

            if (! subCommand (0x01, b, { block, block + dsb::blockSize }) || ! subCommand (0x03, 0))
                return false;
        }

        if (! subCommand (0x01, 0) || ! subCommand (0x03, 0))
            return false;

        if (blocks == 0)
            return true;

        if (! subCommand (0xF7, blocks))
            return false;

        deviceSum = (std::uint32_t) reply.bytes[2] | ((std::uint32_t) reply.bytes[3] << 8)
                  | ((std::uint32_t) reply.bytes[4] << 16) | ((std::uint32_t) reply.bytes[5] << 24);
        return true;
    }

    AddressScope scope;
    cRs232 port;
    bool opened = false;
    ReplyRecord reply {};
    std::string replyText;
    int reads = 0;
};

std::uint32_t sumOf (const dsb::Bytes& bytes)
{
    return dsb::byteSum (bytes.data(), bytes.size());
}

juce::MemoryBlock asBlock (const dsb::Bytes& bytes)
{
    return { bytes.data(), bytes.size() };
}

const std::string handMadeSearch = "$0101E6\r\n";
}

//==============================================================================
TEST (SimDevice, AnswersAHandMadeSearchFrame)
{
    SimDeviceProcess device ({ "--name", "ABCD1234", "--product-date", "20010203", "--release-date", "21031500" });
    Host host (device.hostPath());
    ASSERT_TRUE (host.opened);
    ASSERT_TRUE (host.waitForAnnouncement());

    ASSERT_TRUE (host.sendRaw (handMadeSearch));
    ASSERT_TRUE (host.awaitReply());

    EXPECT_EQ (host.reply.bytes[0], 0x01);
    EXPECT_EQ (host.reply.count, 18);
    EXPECT_EQ (host.replyData(), (std::vector<std::uint8_t> { 'A', 'B', 'C', 'D', '1', '2', '3', '4',
                                                              0x20, 0x01, 0x02, 0x03, 0x21, 0x03, 0x15, 0x00, 0x00 }));
    EXPECT_NE (host.replyText.find ("$12014142434431323334200102032103150000"), std::string::npos) << host.replyText;

    EXPECT_EQ (device.countEvents ("announce device=1 name=ABCD1234"), 1);
    EXPECT_TRUE (device.waitForEvent ("search device=1 name=ABCD1234"));
}

TEST (SimDevice, TakesDownloadsBuiltWithOurCodecOneDeviceAfterAnother)
{
    SimDeviceProcess device ({ "--name", "ABCD1234", "--name", "NEXTDEV2" });
    Host host (device.hostPath());
    ASSERT_TRUE (host.opened);

    struct Case { const char* name; dsb::Bytes file; std::uint32_t sum; };
    const Case cases[] = {
        { "ABCD1234", dsb::makeFile ("ABCD1234", { 1, 2, 3, 4, 5 }), 0x0F },
        { "NEXTDEV2", dsb::makeFile ("NEXTDEV2", dsb::randomImage (200, 7)), sumOf (dsb::randomImage (200, 7)) },
    };

    int number = 0;

    for (const auto& c : cases)
    {
        ++number;
        ASSERT_TRUE (host.waitForAnnouncement()) << number;
        ASSERT_TRUE (host.command (0x01, {})) << number;
        EXPECT_EQ (host.deviceName(), c.name);

        std::uint32_t deviceSum = 0;
        ASSERT_TRUE (host.download (c.file, deviceSum)) << number;
        EXPECT_EQ (deviceSum, c.sum) << number;

        const auto done = "done device=" + juce::String (number);
        ASSERT_TRUE (device.waitForEvent (done)) << number;
        EXPECT_EQ (device.image (number), asBlock (dsb::imageAsSent (c.file))) << number;
    }

    // The sub-commands of the 17-byte file, in order.
    juce::StringArray commands;

    for (const auto& e : device.events())
        if (e.startsWith ("command device=1"))
            commands.add (e.fromFirstOccurrenceOf ("sub=", true, false));

    EXPECT_EQ (commands, (juce::StringArray { "sub=00 param=5000 count=0", "sub=f2 param=0 count=0",
                                              "sub=01 param=0 count=64", "sub=03 param=0 count=0",
                                              "sub=01 param=0 count=0", "sub=03 param=0 count=0",
                                              "sub=f7 param=1 count=0" }));
    EXPECT_EQ (device.countEvents ("verify device=2 blocks=4"), 1);
}

TEST (SimDevice, AnEmptyImageEndsWhenTheHostPollsAgainAndTheLastDeviceGoesQuiet)
{
    SimDeviceProcess device ({ "--name", "ABCD1234", "--devices", "1" });
    Host host (device.hostPath());
    ASSERT_TRUE (host.opened);
    ASSERT_TRUE (host.waitForAnnouncement());
    ASSERT_TRUE (host.command (0x01, {}));

    std::uint32_t unused = 0;
    ASSERT_TRUE (host.download (dsb::makeFile ("ABCD1234", {}), unused));

    EXPECT_TRUE (host.staysSilent (300));
    EXPECT_TRUE (device.waitForEvent ("done device=1 blocks=0 size=0"));
    EXPECT_TRUE (device.waitForEvent ("finished devices=1"));
}

TEST (SimDevice, ASearchThatLeadsNowhereLeavesTheSameDeviceAnnouncing)
{
    SimDeviceProcess device ({ "--name", "ABCD1234" });
    Host host (device.hostPath());
    ASSERT_TRUE (host.opened);

    for (int round = 0; round < 2; ++round)
    {
        ASSERT_TRUE (host.waitForAnnouncement()) << round;
        ASSERT_TRUE (host.command (0x01, {})) << round;
    }

    // Polled in the middle of a transfer: the transfer is abandoned, the device stays.
    ASSERT_TRUE (host.subCommand (0x00, 5000));
    ASSERT_TRUE (host.waitForAnnouncement());

    EXPECT_EQ (device.countEvents ("search device=1"), 2);
    EXPECT_EQ (device.countEvents ("announce device=1"), 3);
    EXPECT_EQ (device.countEvents ("abandoned device=1"), 1);
    EXPECT_EQ (device.countEvents ("done"), 0);
}

TEST (SimDevice, SurvivesTheHostClosingAndReopeningItsEnd)
{
    SimDeviceProcess device ({ "--name", "ABCD1234" });

    for (int round = 1; round <= 3; ++round)
    {
        {
            Host host (device.hostPath());
            ASSERT_TRUE (host.opened) << round;
            ASSERT_TRUE (host.waitForAnnouncement()) << round;
            ASSERT_TRUE (host.command (0x01, {})) << round;
            ASSERT_TRUE (host.subCommand (0x00, 5000)) << round;
        }

        // Closed in the middle of a transfer: the device notices and waits for the next host.
        ASSERT_TRUE (device.waitForEvent ("host-closed", 20000, round)) << round;
    }

    EXPECT_EQ (device.countEvents ("host-opened"), 3);
    EXPECT_EQ (device.countEvents ("abandoned device=1"), 3);
    EXPECT_EQ (device.countEvents ("done"), 0);
    EXPECT_TRUE (device.isRunning());
}

TEST (SimDevice, AnswersOnlyAtItsOwnAddress)
{
    SimDeviceProcess device ({ "--address", "A0", "--name", "ABCD1234" });
    Host host (device.hostPath(), '&');
    ASSERT_TRUE (host.opened);
    ASSERT_TRUE (host.waitForAnnouncement());

    ASSERT_TRUE (host.sendRaw (handMadeSearch));
    EXPECT_FALSE (host.awaitReply (300));

    ASSERT_TRUE (host.sendRaw ("&0101E8\r\n"));
    ASSERT_TRUE (host.awaitReply());
    EXPECT_EQ (host.replyText[0], '&');
    EXPECT_EQ (host.deviceName(), "ABCD1234");
}

//==============================================================================
TEST (SimDeviceFaults, OddlyWrittenRepliesStillCarryTheRightBytes)
{
    struct Case
    {
        const char* option;
        std::function<bool (const Host&)> onTheLine;
    };

    const Case cases[] = {
        { "--lower-case", [] (const Host& h) { return h.replyText.find ("$12014142434431323334200102032a0b0c0d00") != std::string::npos; } },
        { "--split", [] (const Host& h) { return h.reads > 1; } },
        { "--foreign-frame", [] (const Host& h) { return h.replyText.find ('&') != std::string::npos; } },
        { "--garbage", [] (const Host& h) { return h.replyText.find_first_not_of ("0123456789ABCDEF$R\r\n") != std::string::npos; } },
    };

    for (const auto& c : cases)
    {
        SimDeviceProcess device ({ c.option, "--name", "ABCD1234", "--product-date", "20010203", "--release-date", "2A0B0C0D" });
        Host host (device.hostPath());
        ASSERT_TRUE (host.opened) << c.option;
        ASSERT_TRUE (host.waitForAnnouncement()) << c.option;
        ASSERT_TRUE (host.command (0x01, {})) << c.option;

        EXPECT_EQ (host.replyData(), (std::vector<std::uint8_t> { 'A', 'B', 'C', 'D', '1', '2', '3', '4',
                                                                  0x20, 0x01, 0x02, 0x03, 0x2A, 0x0B, 0x0C, 0x0D, 0x00 })) << c.option;
        EXPECT_TRUE (c.onTheLine (host)) << c.option << ": " << host.replyText;

        std::uint32_t deviceSum = 0;
        const auto file = dsb::makeFile ("ABCD1234", dsb::randomImage (100, 1));
        ASSERT_TRUE (host.download (file, deviceSum)) << c.option;
        EXPECT_EQ (deviceSum, sumOf (dsb::imageAsSent (file))) << c.option;
    }
}

TEST (SimDeviceFaults, WrongSum)
{
    SimDeviceProcess device ({ "--name", "ABCD1234", "--wrong-sum" });
    Host host (device.hostPath());
    ASSERT_TRUE (host.opened);
    ASSERT_TRUE (host.waitForAnnouncement());
    ASSERT_TRUE (host.command (0x01, {}));

    std::uint32_t deviceSum = 0;
    ASSERT_TRUE (host.download (dsb::makeFile ("ABCD1234", { 1, 2, 3, 4, 5 }), deviceSum));
    EXPECT_NE (deviceSum, 0x0Fu);
}

TEST (SimDeviceFaults, SilentDeviceAnnouncesButAnswersNoFrame)
{
    SimDeviceProcess device ({ "--silent" });
    Host host (device.hostPath());
    ASSERT_TRUE (host.opened);
    ASSERT_TRUE (host.waitForAnnouncement());

    EXPECT_FALSE (host.command (0x01, {}, 300));
    EXPECT_FALSE (host.command (0x01, {}, 300));
    EXPECT_TRUE (host.waitForAnnouncement());

    EXPECT_EQ (device.countEvents ("search device=1 name=SIMDEV01 unanswered"), 2);
    EXPECT_EQ (device.countEvents ("search"), 2);
}

TEST (SimDeviceFaults, DeviceThatHangsAtTheGivenCommandAnswersNothingMore)
{
    SimDeviceProcess device ({ "--name", "ABCD1234", "--silent-from", "3" });
    Host host (device.hostPath());
    ASSERT_TRUE (host.opened);
    ASSERT_TRUE (host.waitForAnnouncement());
    ASSERT_TRUE (host.command (0x01, {}));
    ASSERT_TRUE (host.subCommand (0x00, 5000));

    EXPECT_FALSE (host.subCommand (0xF2, 0, {}, 300));
    EXPECT_TRUE (host.staysSilent (300));
    EXPECT_FALSE (host.command (0x01, {}, 300));

    // Logged as they arrive, which on a busy machine may be after the silences above.
    ASSERT_TRUE (device.waitForEvent ("search device=1 name=ABCD1234 unanswered"));
    EXPECT_EQ (device.countEvents ("command device=1 sub=f2 param=0 count=0 unanswered"), 1);
    EXPECT_EQ (device.countEvents ("search device=1 name=ABCD1234 unanswered"), 1);
}

TEST (SimDeviceFaults, RetriedCommandIsAnsweredTheSecondTime)
{
    // Command 3 of the device: the search is 1, DL_BEGIN 2, DL_PREPARE 3.
    SimDeviceProcess device ({ "--name", "ABCD1234", "--retry", "3" });
    Host host (device.hostPath());
    ASSERT_TRUE (host.opened);
    ASSERT_TRUE (host.waitForAnnouncement());
    ASSERT_TRUE (host.command (0x01, {}));
    ASSERT_TRUE (host.subCommand (0x00, 5000));

    EXPECT_FALSE (host.subCommand (0xF2, 0, {}, 300));
    EXPECT_TRUE (host.subCommand (0xF2, 0));
    EXPECT_TRUE (host.subCommand (0x03, 0));

    const auto events = device.events();
    const auto unanswered = std::count_if (events.begin(), events.end(), [] (const auto& e) { return e.endsWith (" unanswered"); });
    EXPECT_EQ (unanswered, 1);
    EXPECT_EQ (device.countEvents ("command device=1 sub=f2 param=0 count=0 unanswered"), 1);
    EXPECT_EQ (device.countEvents ("command device=1 sub=f2"), 2);
}

TEST (SimDeviceFaults, HangsUpAfterTheGivenBlock)
{
    SimDeviceProcess device ({ "--name", "ABCD1234", "--hangup-after-block", "0" });
    Host host (device.hostPath());
    ASSERT_TRUE (host.opened);
    ASSERT_TRUE (host.waitForAnnouncement());
    ASSERT_TRUE (host.command (0x01, {}));

    const auto image = dsb::randomImage (192, 2);
    ASSERT_TRUE (host.subCommand (0x00, 5000));
    ASSERT_TRUE (host.subCommand (0xF2, 0));
    ASSERT_TRUE (host.subCommand (0x01, 0, { image.begin(), image.begin() + 64 }));
    ASSERT_TRUE (host.subCommand (0x03, 0));

    // Block 1 finds the line gone.
    EXPECT_FALSE (host.subCommand (0x01, 1, { image.begin() + 64, image.begin() + 128 }, 300));
    EXPECT_TRUE (device.waitForEvent ("hangup device=1"));

    const auto deadline = nowMs() + 30000;

    while (device.isRunning() && nowMs() < deadline)
        platform::sleepMs (5);

    EXPECT_FALSE (device.isRunning());
    EXPECT_EQ (device.stop(), 0);

    std::uint8_t buffer[1024];
    EXPECT_EQ (host.port.read (buffer), 0);
    EXPECT_LE (host.port.write ("Q", 1), 0);
}

TEST (SimDeviceFaults, SimulatedRateDelaysEachReplyByTheWireTime)
{
    SimDeviceProcess device ({ "--name", "ABCD1234", "--baud", "9600" });
    Host host (device.hostPath());
    ASSERT_TRUE (host.opened);
    ASSERT_TRUE (host.waitForAnnouncement());

    // 9 characters out and 45 back at 10 bits each: 56 ms at 9600 baud.
    const auto start = nowMs();
    ASSERT_TRUE (host.command (0x01, {}));
    EXPECT_GE (nowMs() - start, 50.0);
}
