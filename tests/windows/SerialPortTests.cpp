// The serial port over Wine's COM port, with the far end played through the
// line bridge. Exclusive open is not among them: Wine does not refuse a
// second open of a port, so that case is for real Windows.
#include "Bridge.h"
#include "Rs232.h"
#include "SerialLostLineWin32.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <numeric>

namespace
{
constexpr int rate = 115200;

std::vector<unsigned char> pattern (size_t n)
{
    std::vector<unsigned char> bytes (n);

    for (size_t i = 0; i < n; ++i)
        bytes[i] = (unsigned char) (i * 7 + 3);

    return bytes;
}

// Waits until the driver holds at least count received bytes.
bool waitQueued (cRs232& port, std::uint32_t count, int timeoutMs = 10000)
{
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    for (;;)
    {
        std::uint32_t queued = 0;

        if (platform::queuedInput (port.handle, queued) && queued >= count)
            return true;

        if (juce::Time::getMillisecondCounterHiRes() > deadline)
            return false;

        juce::Thread::sleep (1);
    }
}

// Reads until count bytes came or the time ran out.
std::vector<unsigned char> readAll (cRs232& port, size_t count, int timeoutMs = 10000)
{
    std::vector<unsigned char> bytes;
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;
    std::uint8_t buffer[1024];

    while (bytes.size() < count && juce::Time::getMillisecondCounterHiRes() < deadline)
    {
        const auto n = port.read (buffer);
        EXPECT_LE (n, 512);
        bytes.insert (bytes.end(), buffer, buffer + std::max (n, 0));
    }

    return bytes;
}

platform::LineSettings lineOf (cRs232& port)
{
    platform::LineSettings line;
    EXPECT_TRUE (platform::getLineSettings (port.handle, line));
    return line;
}
}

//==============================================================================
TEST (WineRs232Open, PathOf127CharactersReachesTheSystemAnd128DoesNot)
{
    // No device has this name: the system's own error code shows it was asked.
    const auto path127 = "\\\\.\\" + juce::String::repeatedString ("N", 123);
    ASSERT_EQ (path127.length(), 127);

    cRs232 port;
    EXPECT_EQ (port.open (path127 + "N", rate), -1);
    EXPECT_GT (port.open (path127, rate), 0);
    EXPECT_FALSE (port.isOpen());
}

TEST (WineRs232Open, FailuresGiveTheirCodeAndLeaveThePortClosed)
{
    TempFolder folder;
    (folder / "plain").replaceWithText ("not a serial line");

    // The system's error code stays for the reason the worker logs, in the
    // system's own words.
    struct Case { const char* what; juce::String path; int expected, systemError; };
    const Case cases[] = {
        { "missing port", "\\\\.\\COM199", ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND },
        { "a folder", folder.get().getFullPathName(), ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED },
        { "a plain file: no time-outs", (folder / "plain").getFullPathName(), -3, 0 },
    };

    for (const auto& c : cases)
    {
        cRs232 port;
        EXPECT_EQ (port.open (c.path, rate), c.expected) << c.what;
        EXPECT_FALSE (port.isOpen()) << c.what;

        if (c.systemError != 0)
        {
            EXPECT_EQ (port.systemError(), c.systemError) << c.what;
        }

        const auto reason = platform::describeSystemError (port.systemError());
        EXPECT_FALSE (reason.empty()) << c.what;
        EXPECT_EQ (reason.find_first_of ("\r\n"), std::string::npos) << c.what << ": " << reason;
    }
}

TEST (WineRs232Open, RateTheDriverCannotMakeGivesMinusFiveThenAGoodRateOpens)
{
    RemoteLine line;
    ASSERT_TRUE (line.isReady());

    cRs232 port;
    EXPECT_EQ (port.open (bridge::devicePath(), 12345), -5);
    EXPECT_FALSE (port.isOpen());
    EXPECT_EQ (port.open (bridge::devicePath(), 0), -5);
    EXPECT_EQ (port.open (bridge::devicePath(), rate), 0);
}

TEST (WineRs232Open, SetsEightNoneOneAtEachRate)
{
    RemoteLine line;
    ASSERT_TRUE (line.isReady());

    for (const int baud : { 9600, 115200, 230400, 921600 })
    {
        // Leave the line at 7 bits, even parity and two stop bits first.
        {
            int error = 0;
            auto h = platform::openSerial (bridge::devicePath().toRawUTF8(), error);
            ASSERT_NE (h, platform::invalidSerialHandle) << error;
            platform::LineSettings odd;
            ASSERT_TRUE (platform::getLineSettings (h, odd));
            odd.baudRate = 19200;
            odd.byteSize = 7;
            odd.parity = platform::parityEven;
            odd.stopBits = platform::stopBitsTwo;
            ASSERT_TRUE (platform::setLineSettings (h, odd));
            platform::closeSerial (h);
        }

        cRs232 port;
        ASSERT_EQ (port.open (bridge::devicePath(), baud), 0) << baud;
        const auto settings = lineOf (port);
        EXPECT_EQ (settings.baudRate, (std::uint32_t) baud);
        EXPECT_EQ (settings.byteSize, 8);
        EXPECT_EQ (settings.parity, platform::parityNone);
        EXPECT_EQ (settings.stopBits, platform::stopBitsOne);
    }
}

TEST (WineRs232Close, ClosedPortWritesMinusOneReadsNothingAndClosesTwice)
{
    RemoteLine line;
    ASSERT_TRUE (line.isReady());

    cRs232 port;
    std::uint8_t buffer[1024];
    EXPECT_EQ (port.write (buffer, 10), -1);
    EXPECT_EQ (port.read (buffer), 0);

    ASSERT_EQ (port.open (bridge::devicePath(), rate), 0);
    EXPECT_EQ (port.close(), 0);
    EXPECT_FALSE (port.isOpen());
    EXPECT_EQ (port.close(), 0);
    EXPECT_EQ (port.write (buffer, 10), -1);
}

//==============================================================================
TEST (WineRs232Transfer, WritesWholeBuffersOfAnyLength)
{
    RemoteLine line;
    ASSERT_TRUE (line.isReady());
    cRs232 port;
    ASSERT_EQ (port.open (bridge::devicePath(), rate), 0);

    EXPECT_EQ (port.write (nullptr, 0), 0);

    for (const size_t length : { (size_t) 1, (size_t) 32, (size_t) 71, (size_t) 3000 })
    {
        const auto bytes = pattern (length);
        EXPECT_EQ (port.write (bytes.data(), (std::uint32_t) length), (int) length);
        EXPECT_EQ (line.read (length), bytes) << length;
    }
}

TEST (WineRs232Transfer, EveryByteValuePassesUnchangedBothWays)
{
    RemoteLine line;
    ASSERT_TRUE (line.isReady());
    cRs232 port;
    ASSERT_EQ (port.open (bridge::devicePath(), rate), 0);

    // CR, LF, XON, XOFF, DEL and the rest, three times over.
    std::vector<unsigned char> bytes (768);
    std::iota (bytes.begin(), bytes.end(), (unsigned char) 0);

    EXPECT_EQ (port.write (bytes.data(), (std::uint32_t) bytes.size()), (int) bytes.size());
    EXPECT_EQ (line.read (bytes.size()), bytes);

    line.write (bytes);
    EXPECT_EQ (readAll (port, bytes.size()), bytes);
}

TEST (WineRs232Transfer, SixHundredWaitingBytesReadAs512Then88)
{
    RemoteLine line;
    ASSERT_TRUE (line.isReady());
    cRs232 port;
    ASSERT_EQ (port.open (bridge::devicePath(), rate), 0);

    const auto bytes = pattern (600);
    line.write (bytes);
    ASSERT_TRUE (waitQueued (port, 600));

    std::uint8_t buffer[1024];
    ASSERT_EQ (port.read (buffer), 512);
    EXPECT_TRUE (std::equal (buffer, buffer + 512, bytes.begin()));
    ASSERT_EQ (port.read (buffer), 88);
    EXPECT_TRUE (std::equal (buffer, buffer + 88, bytes.begin() + 512));
    EXPECT_EQ (port.read (buffer), 0);
}

TEST (WineRs232Transfer, ReadWithNothingArrivingReturnsZeroWithoutBlocking)
{
    RemoteLine line;
    ASSERT_TRUE (line.isReady());
    cRs232 port;
    ASSERT_EQ (port.open (bridge::devicePath(), rate), 0);

    std::uint8_t buffer[1024];
    const auto start = juce::Time::getMillisecondCounterHiRes();

    for (int i = 0; i < 10; ++i)
        EXPECT_EQ (port.read (buffer), 0);

    // A read that waited for its byte would hold here for good.
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - start, 5000.0);
}

TEST (WineRs232Transfer, OpenDiscardsWhatWasWaiting)
{
    RemoteLine line;
    ASSERT_TRUE (line.isReady());
    cRs232 port;
    ASSERT_EQ (port.open (bridge::devicePath(), rate), 0);

    // Bytes that arrive while the port is open stay queued when it closes.
    line.write (pattern (100));
    ASSERT_TRUE (waitQueued (port, 100));
    port.close();

    ASSERT_EQ (port.open (bridge::devicePath(), rate), 0);
    std::uint32_t queued = 99;
    EXPECT_TRUE (platform::queuedInput (port.handle, queued));
    EXPECT_EQ (queued, 0u);
    EXPECT_FALSE (port.waitForInput (50));
}

//==============================================================================
TEST (WineRs232HangUp, AFarEndThatClosesIsALostLineAndSilenceIsNot)
{
    auto line = std::make_unique<RemoteLine>();
    ASSERT_TRUE (line->isReady());

    cRs232 port;
    ASSERT_EQ (port.open (bridge::devicePath(), rate), 0);
    std::uint8_t buffer[1024];
    EXPECT_EQ (port.read (buffer), 0);
    EXPECT_EQ (port.write ("Q", 1), 1);
    EXPECT_EQ (line->read (1), (std::vector<unsigned char> { 'Q' }));
    EXPECT_FALSE (port.isLost());

    // The bridge closes its pseudo-terminal when the test hangs up.
    line.reset();
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + 10000;

    while (! port.isLost() && juce::Time::getMillisecondCounterHiRes() < deadline)
    {
        port.write ("Q", 1);
        port.read (buffer);
    }

    EXPECT_TRUE (port.isLost());
}

// The codes with which calls on an unplugged adapter's handle fail, as the
// USB serial drivers give them, and codes of a line that is still there.
// Wine gives none but its own, so the codes are checked as the backend reads them.
TEST (WineRs232HangUp, CodesOfAnUnpluggedAdapterAreALostLine)
{
    struct Case { const char* name; unsigned long error; bool lost; };
    const Case cases[] = {
        { "ERROR_BAD_COMMAND",          22,   true },
        { "ERROR_DEVICE_NOT_CONNECTED", 1167, true },
        { "ERROR_OPERATION_ABORTED",    995,  true },   // told from a line error by clearing it
        { "ERROR_ACCESS_DENIED",        5,    true },
        { "ERROR_NOT_READY",            21,   true },   // Wine, a far end that closed
        { "ERROR_GEN_FAILURE",          31,   true },
        { "ERROR_NO_SUCH_DEVICE",       433,  true },
        { "ERROR_DEVICE_REMOVED",       1617, true },
        { "ERROR_SUCCESS",              0,    false },
        { "ERROR_INVALID_PARAMETER",    87,   false },  // a setting the driver refuses
        { "ERROR_SEM_TIMEOUT",          121,  false },
        { "ERROR_COUNTER_TIMEOUT",      1121, false },
        { "ERROR_IO_PENDING",           997,  false },
    };

    for (const auto& c : cases)
        EXPECT_EQ (platform::isLostLineError (c.error), c.lost) << c.name << " (" << c.error << ")";
}

//==============================================================================
TEST (WineRs232Wait, WaitForInputSeesWaitingBytesAndWaitsOutSilence)
{
    RemoteLine line;
    ASSERT_TRUE (line.isReady());
    cRs232 port;
    ASSERT_EQ (port.open (bridge::devicePath(), rate), 0);

    EXPECT_FALSE (port.waitForInput (20));

    line.write ({ 0x55 });
    EXPECT_TRUE (port.waitForInput (20000));
    EXPECT_TRUE (port.waitForInput (0));

    std::uint8_t buffer[1024];
    EXPECT_EQ (port.read (buffer), 1);
    EXPECT_EQ (buffer[0], 0x55);
    EXPECT_FALSE (port.waitForInput (20));
}
