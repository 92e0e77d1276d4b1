#include "PtyPair.h"
#include "Rs232.h"
#include "SerialDevice.h"
#include "SerialInfoLinux.h"
#include "TempFolder.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace
{
double nowMs()
{
    return juce::Time::getMillisecondCounterHiRes();
}

double threadCpuMs()
{
    timespec t {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
    return (double) t.tv_sec * 1000.0 + (double) t.tv_nsec / 1.0e6;
}

std::vector<unsigned char> pattern (size_t n)
{
    std::vector<unsigned char> bytes (n);

    for (size_t i = 0; i < n; ++i)
        bytes[i] = (unsigned char) (i * 7 + 3);

    return bytes;
}

// A symbolic link to target whose full path is exactly length characters.
juce::String linkOfLength (const TempFolder& folder, const std::string& target, int length)
{
    const auto base = folder.get().getFullPathName() + "/";
    const auto link = base + juce::String::repeatedString ("p", length - base.length());
    EXPECT_EQ (symlink (target.c_str(), link.toRawUTF8()), 0);
    return link;
}

constexpr int rate = 115200;
}

//==============================================================================
TEST (Rs232Open, PathOf127CharactersReachesTheSystemAnd128DoesNot)
{
    TempFolder folder;
    PtyPair pty;
    const auto path127 = linkOfLength (folder, pty.slavePath(), 127);
    const auto path128 = linkOfLength (folder, pty.slavePath(), 128);
    ASSERT_EQ (path127.length(), 127);
    ASSERT_EQ (path128.length(), 128);

    cRs232 port;
    EXPECT_EQ (port.open (path128, rate), -1);
    EXPECT_FALSE (port.isOpen());

    EXPECT_EQ (port.open (path127, rate), 0);
    EXPECT_TRUE (port.isOpen());
}

TEST (Rs232Open, FailuresGiveTheirCodeAndLeaveThePortClosed)
{
    TempFolder folder;
    (folder / "plain").replaceWithText ("not a serial line");

    // The system's error code stays for the reason the worker logs.
    struct Case { const char* what; juce::String path; int expected, systemError; };
    const Case cases[] = {
        { "missing device", (folder / "missing").getFullPathName(), ENOENT, ENOENT },
        { "a folder", folder.get().getFullPathName(), EISDIR, EISDIR },
        { "a plain file: no time-outs", (folder / "plain").getFullPathName(), -3, ENOTTY },
        { "a name too long", "/" + juce::String::repeatedString ("n", 127), -1, ENAMETOOLONG },
    };

    for (const auto& c : cases)
    {
        cRs232 port;
        EXPECT_EQ (port.open (c.path, rate), c.expected) << c.what;
        EXPECT_EQ (port.systemError(), c.systemError) << c.what;
        EXPECT_FALSE (port.isOpen()) << c.what;
        EXPECT_EQ (port.write ("x", 1), -1) << c.what;
    }
}

TEST (Rs232Open, AHeldPortIsRefusedAndOpensOnceReleased)
{
    PtyPair pty;
    cRs232 holder, other;
    ASSERT_EQ (holder.open (pty.slavePath(), rate), 0);

    // Busy, whether the lock or the exclusive flag refused it.
    EXPECT_EQ (other.open (pty.slavePath(), rate), EBUSY);
    EXPECT_EQ (other.systemError(), EBUSY);
    EXPECT_FALSE (other.isOpen());

    // The refused open left the holder's line alone.
    EXPECT_EQ (holder.write ("ok", 2), 2);
    EXPECT_EQ (pty.readMaster (2), (std::vector<unsigned char> { 'o', 'k' }));

    holder.close();
    EXPECT_EQ (other.open (pty.slavePath(), rate), 0);
}

TEST (Rs232Open, RefusedRateGivesMinusFiveAndLeavesNothingHeld)
{
    PtyPair pty;

    for (const int bad : { 0, -1, -115200 })
    {
        cRs232 port;
        EXPECT_EQ (port.open (pty.slavePath(), bad), -5) << bad;
        EXPECT_FALSE (port.isOpen()) << bad;
    }

    cRs232 port;
    EXPECT_EQ (port.open (pty.slavePath(), rate), 0);
}

TEST (Rs232Open, SetsEightNoneOneAtAnyRate)
{
    PtyPair pty;

    for (const int baud : { 9600, 115200, 123457, 3000000 })
    {
        cRs232 port;
        ASSERT_EQ (port.open (pty.slavePath(), baud), 0) << baud;

        platform::LineSettings line;
        ASSERT_TRUE (platform::getLineSettings (port.handle, line));
        EXPECT_EQ (line.baudRate, (std::uint32_t) baud);
        EXPECT_EQ (line.byteSize, 8);
        EXPECT_EQ (line.parity, platform::parityNone);
        EXPECT_EQ (line.stopBits, platform::stopBitsOne);
    }
}

TEST (Rs232Open, OpenWhileOpenReleasesTheFirstDevice)
{
    PtyPair first, second;
    cRs232 port;
    ASSERT_EQ (port.open (first.slavePath(), rate), 0);
    ASSERT_EQ (port.open (second.slavePath(), rate), 0);

    cRs232 other;
    EXPECT_EQ (other.open (first.slavePath(), rate), 0);
}

//==============================================================================
TEST (Rs232Close, ClosingTwiceAndDeletingAnOpenPort)
{
    PtyPair pty;

    cRs232 port;
    EXPECT_EQ (port.close(), 0);
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);
    EXPECT_EQ (port.close(), 0);
    EXPECT_FALSE (port.isOpen());
    EXPECT_EQ (port.close(), 0);

    auto owned = std::make_unique<cRs232>();
    ASSERT_EQ (owned->open (pty.slavePath(), rate), 0);
    owned.reset();

    cRs232 next;
    EXPECT_EQ (next.open (pty.slavePath(), rate), 0);
}

TEST (Rs232Close, ClosedPortWritesMinusOneAndReadsNothing)
{
    PtyPair pty;
    std::uint8_t buffer[1024];

    cRs232 never;
    EXPECT_EQ (never.write ("x", 1), -1);
    EXPECT_EQ (never.read (buffer), 0);
    EXPECT_FALSE (never.waitForInput (1));

    cRs232 closed;
    ASSERT_EQ (closed.open (pty.slavePath(), rate), 0);
    closed.close();
    EXPECT_EQ (closed.write ("x", 1), -1);
    EXPECT_EQ (closed.write ("x", 0), -1);
    EXPECT_EQ (closed.read (buffer), 0);
}

//==============================================================================
TEST (Rs232Transfer, WritesWholeBuffersOfAnyLength)
{
    PtyPair pty;
    cRs232 port;
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);

    EXPECT_EQ (port.write ("unused", 0), 0);

    // 71 = 32 + 32 + 7, and 151, the longest frame the host sends.
    for (const size_t n : { 1, 31, 32, 33, 71, 151 })
    {
        const auto bytes = pattern (n);
        EXPECT_EQ (port.write (bytes.data(), (std::uint32_t) n), (int) n);
        EXPECT_EQ (pty.readMaster (n), bytes) << n;
    }

    EXPECT_TRUE (pty.readMaster (1, 20).empty());
}

TEST (Rs232Transfer, BytesPassUnchangedBothWays)
{
    PtyPair pty;
    cRs232 port;
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);

    // Every byte value, XON and XOFF included: a new terminal starts with
    // software flow control on, and the port must switch it off.
    std::vector<unsigned char> all;

    for (int b = 0; b < 256; ++b)
        all.push_back ((unsigned char) b);

    const auto inward = all;

    ASSERT_EQ (port.write (all.data(), (std::uint32_t) all.size()), 256);
    EXPECT_EQ (pty.readMaster (256), all);

    pty.writeMaster (inward);
    std::vector<unsigned char> got;
    std::uint8_t buffer[1024];
    const auto deadline = nowMs() + 20000;

    while (got.size() < inward.size() && nowMs() < deadline)
    {
        const int k = port.read (buffer);
        got.insert (got.end(), buffer, buffer + k);
    }

    EXPECT_EQ (got, inward);
}

TEST (Rs232Transfer, SixHundredWaitingBytesReadAs512Then88)
{
    PtyPair pty;
    cRs232 port;
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);

    // Printable, so that no byte is taken for XON or XOFF.
    std::vector<unsigned char> bytes (600);

    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = (unsigned char) ('A' + i % 26);

    pty.writeMaster (bytes);

    std::uint32_t queued = 0;
    const auto deadline = nowMs() + 20000;

    while (queued < 600 && nowMs() < deadline)
    {
        platform::queuedInput (port.handle, queued);
        platform::sleepMs (1);
    }

    ASSERT_EQ (queued, 600u);

    std::uint8_t buffer[1024] = {};
    ASSERT_EQ (port.read (buffer), 512);
    EXPECT_TRUE (std::equal (buffer, buffer + 512, bytes.begin()));

    ASSERT_EQ (port.read (buffer), 88);
    EXPECT_TRUE (std::equal (buffer, buffer + 88, bytes.begin() + 512));
}

TEST (Rs232Transfer, ReadWithNothingArrivingReturnsZeroAfterItsTimeOut)
{
    PtyPair pty;
    cRs232 port;
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);

    std::uint8_t buffer[1024];
    const auto start = nowMs();
    EXPECT_EQ (port.read (buffer), 0);
    const auto elapsed = nowMs() - start;

    EXPECT_GE (elapsed, 0.9);
    EXPECT_LT (elapsed, 20000.0);   // it returns; its time-out is no more than a bound here
}

TEST (Rs232Transfer, OpenDiscardsWhatWasWaiting)
{
    PtyPair pty;
    cRs232 port;
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);
    pty.writeMaster ({ 'o', 'l', 'd' });
    ASSERT_TRUE (port.waitForInput (20000));
    port.close();

    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);
    std::uint8_t buffer[1024];
    EXPECT_EQ (port.read (buffer), 0);
}

//==============================================================================
TEST (Rs232Wait, WaitForInputSeesWaitingBytesAndWaitsOutSilence)
{
    PtyPair pty;
    cRs232 port;
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);

    auto start = nowMs();
    EXPECT_FALSE (port.waitForInput (30));
    EXPECT_GE (nowMs() - start, 29.0);

    pty.writeMaster ({ 'a' });
    start = nowMs();
    EXPECT_TRUE (port.waitForInput (30000));
    EXPECT_LT (nowMs() - start, 29000.0);

    std::uint8_t buffer[1024];
    EXPECT_EQ (port.read (buffer), 1);
}

TEST (Rs232Wait, WaitForInputEndsWhenBytesArrive)
{
    PtyPair pty;
    cRs232 port;
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);

    // Taken before the far end starts its pause, so that the pause lies wholly within the wait.
    const auto start = nowMs();

    std::thread far ([&pty]
    {
        std::this_thread::sleep_for (std::chrono::milliseconds (50));
        pty.writeMaster ({ 'x' });
    });

    const bool arrived = port.waitForInput (20000);
    const auto elapsed = nowMs() - start;
    far.join();

    EXPECT_TRUE (arrived);
    EXPECT_GE (elapsed, 40.0);
    EXPECT_LT (elapsed, 19000.0);
}

//==============================================================================
TEST (Rs232HangUp, AGonePeerReadsAsSilenceWithoutSpinning)
{
    PtyPair pty;
    cRs232 port;
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);

    // Silence alone is not a lost line.
    std::uint8_t silence[1024];
    EXPECT_EQ (port.read (silence), 0);
    EXPECT_FALSE (port.waitForInput (5));
    EXPECT_EQ (port.write ("Q", 1), 1);
    EXPECT_FALSE (port.isLost());

    pty.closeMaster();

    std::uint8_t buffer[1024];
    const auto start = nowMs();
    const auto cpuStart = threadCpuMs();
    int total = 0;

    for (int i = 0; i < 100; ++i)
        total += port.read (buffer);

    const auto elapsed = nowMs() - start;
    const auto cpu = threadCpuMs() - cpuStart;

    EXPECT_EQ (total, 0);
    EXPECT_GE (elapsed, 50.0);
    EXPECT_LT (cpu, elapsed * 0.5);
    EXPECT_TRUE (port.isLost());

    const auto waitStart = nowMs();
    EXPECT_FALSE (port.waitForInput (20));
    EXPECT_GE (nowMs() - waitStart, 19.0);

    const auto writeStart = nowMs();
    EXPECT_LE (port.write ("Q", 1), 0);
    EXPECT_LT (nowMs() - writeStart, 20000.0);

    EXPECT_EQ (port.close(), 0);
    EXPECT_FALSE (port.isLost());
}

TEST (Rs232HangUp, EachCallNoticesTheLineGone)
{
    struct Case { const char* what; std::function<void (cRs232&)> call; };
    const Case cases[] = {
        { "write", [] (cRs232& p) { p.write ("Q", 1); } },
        { "read", [] (cRs232& p) { std::uint8_t b[1024]; p.read (b); } },
        { "wait", [] (cRs232& p) { p.waitForInput (5); } },
    };

    for (const auto& c : cases)
    {
        PtyPair pty;
        cRs232 port;
        ASSERT_EQ (port.open (pty.slavePath(), rate), 0);
        pty.closeMaster();
        c.call (port);
        EXPECT_TRUE (port.isLost()) << c.what;
    }
}

// A call whose time is up before the line answered (a loaded machine, or no
// time-out at all) still learns that the line has gone.
TEST (SerialLineHangUp, ACallWithNoTimeLeftNoticesTheLineGone)
{
    struct Case { const char* what; std::function<void (platform::SerialHandle)> call; };
    const Case cases[] = {
        { "write", [] (platform::SerialHandle h) { std::uint32_t n = 0; platform::writeSerial (h, "Q", 1, n); } },
        { "read", [] (platform::SerialHandle h) { std::uint8_t b[16]; std::uint32_t n = 0; platform::readSerial (h, b, 16, n); } },
    };

    for (const auto& c : cases)
    {
        PtyPair pty;
        int error = 0;
        const auto h = platform::openSerial (pty.slavePath().c_str(), error);
        ASSERT_NE (h, platform::invalidSerialHandle) << error;
        ASSERT_TRUE (platform::setTimeouts (h, platform::SerialTimeouts {}));
        pty.closeMaster();
        c.call (h);
        EXPECT_TRUE (platform::lineLost (h)) << c.what;
        platform::closeSerial (h);
    }
}

TEST (Rs232WriteBound, AWriteThePeerNeverTakesGivesUpWithTheCountSoFar)
{
    PtyPair pty;
    cRs232 port;
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);

    // The far end reads nothing, so the pseudo-terminal's buffer fills and stays full.
    const auto bytes = pattern (1 << 20);
    const auto start = nowMs();
    const int written = port.write (bytes.data(), (std::uint32_t) bytes.size());

    EXPECT_GT (written, 0);
    EXPECT_LT (written, (int) bytes.size());
    EXPECT_LT (nowMs() - start, 30000.0);
}

TEST (Rs232WriteBound, AWriteToASlowPeerIsCarriedOnToTheEnd)
{
    PtyPair pty;
    cRs232 port;
    ASSERT_EQ (port.open (pty.slavePath(), rate), 0);

    // More than the pseudo-terminal holds, taken by a reader that keeps pausing.
    const auto bytes = pattern (256 * 1024);
    std::vector<unsigned char> got;
    std::atomic<bool> writing { true };
    double longestSilenceMs = 0;

    std::thread far ([&]
    {
        auto lastTaken = nowMs();

        while (got.size() < bytes.size())
        {
            const auto part = pty.readMaster (std::min<size_t> (8192, bytes.size() - got.size()), 100);

            if (part.empty())
            {
                if (! writing)
                    break;

                continue;
            }

            longestSilenceMs = std::max (longestSilenceMs, nowMs() - lastTaken);
            lastTaken = nowMs();
            got.insert (got.end(), part.begin(), part.end());
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }
    });

    const int written = port.write (bytes.data(), (std::uint32_t) bytes.size());
    writing = false;
    far.join();

    // Only a reader that took nothing for the stall limit (300 ms) may end the
    // write early; on a busy machine the reading thread itself can be held up
    // that long, and then the write rightly gives up.
    if (written < (int) bytes.size())
    {
        EXPECT_GE (longestSilenceMs, 250.0) << "gave up after " << written << " bytes";
    }

    ASSERT_GT (written, 0);
    EXPECT_EQ (got, std::vector<unsigned char> (bytes.begin(), bytes.begin() + written));
}

//==============================================================================
namespace
{
    // A serial driver behind the low-latency calls: its flags, and the calls it saw.
    struct FakeDriver
    {
        int flags = 0;
        int getError = 0, setError = 0;
        std::vector<unsigned long> calls;
    };

    FakeDriver* fakeDriver = nullptr;

    int fakeSerialInfo (int, unsigned long request, serial_struct* info)
    {
        fakeDriver->calls.push_back (request);
        const int error = request == TIOCGSERIAL ? fakeDriver->getError : fakeDriver->setError;

        if (error != 0)
        {
            errno = error;
            return -1;
        }

        if (request == TIOCGSERIAL)
        {
            *info = {};
            info->flags = fakeDriver->flags;
            info->type = PORT_16550A;
        }
        else
        {
            fakeDriver->flags = info->flags;
        }

        return 0;
    }

    struct FakeDriverScope
    {
        explicit FakeDriverScope (FakeDriver& d)  { fakeDriver = &d; platform::setSerialInfoCall (fakeSerialInfo); }
        ~FakeDriverScope()                        { platform::setSerialInfoCall (nullptr); fakeDriver = nullptr; }
    };

    constexpr unsigned long G = TIOCGSERIAL, S = TIOCSSERIAL;
    constexpr int low = ASYNC_LOW_LATENCY, other = ASYNC_SKIP_TEST;
}

TEST (Rs232Latency, OpenAsksForLowLatencyAndCloseTakesItBack)
{
    struct Case
    {
        const char* what;
        int flags, getError, setError;
        std::vector<unsigned long> openCalls;
        int flagsOpen;
        std::vector<unsigned long> closeCalls;
        int flagsClosed;
    };

    const Case cases[] = {
        { "a driver that takes it",   other,       0,      0,     { G, S }, other | low, { G, S }, other },
        { "already set",              other | low, 0,      0,     { G },    other | low, {},       other | low },
        { "no such setting (a pty)",  0,           ENOTTY, 0,     { G },    0,           {},       0 },
        { "the change refused",       other,       0,      EPERM, { G, S }, other,       {},       other },
    };

    for (const auto& c : cases)
    {
        FakeDriver driver;
        driver.flags = c.flags;
        driver.getError = c.getError;
        driver.setError = c.setError;
        const FakeDriverScope scope (driver);

        PtyPair pty;
        cRs232 port;
        ASSERT_EQ (port.open (pty.slavePath(), rate), 0) << c.what;
        EXPECT_EQ (driver.calls, c.openCalls) << c.what;
        EXPECT_EQ (driver.flags, c.flagsOpen) << c.what;

        // A refusal changes nothing: the line works as before.
        EXPECT_EQ (port.write ("ok", 2), 2) << c.what;
        EXPECT_EQ (pty.readMaster (2), (std::vector<unsigned char> { 'o', 'k' })) << c.what;
        pty.writeMaster ({ 'R' });
        ASSERT_TRUE (port.waitForInput (20000)) << c.what;
        std::uint8_t buffer[1024];
        EXPECT_EQ (port.read (buffer), 1) << c.what;

        driver.calls.clear();
        port.close();
        EXPECT_EQ (driver.calls, c.closeCalls) << c.what;
        EXPECT_EQ (driver.flags, c.flagsClosed) << c.what;
    }
}
