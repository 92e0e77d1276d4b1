// The package download under Wine, from the run's update server: the
// framework's WinINet read returns nothing both at the end of a body and
// when it fails, and a read from a silent server does not return (Wine does
// not apply the receive time-out the framework sets). A body cut off or
// held up must fail, a slow one must come whole, a cancel must not wait.
#include "DownloadNewVersionThread.h"
#include "RunUpdateServer.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
struct BodyCase
{
    const char* name;
    int size;
    const char* route;
    bool whole;   // else the download fails
};

std::ostream& operator<< (std::ostream& os, const BodyCase& c) { return os << c.name; }

class DownloadBody : public ::testing::TestWithParam<BodyCase>
{
protected:
    RunUpdateServer server;
    TempFolder work;
};

TEST_P (DownloadBody, ComesWholeOrFails)
{
    const auto& c = GetParam();
    juce::MemoryBlock body ((size_t) c.size);
    juce::Random (3).fillBitsRandomly (body.getData(), body.getSize());
    server.serve ("body.bin", body);

    const auto path = juce::String ("/body-") + c.name;
    server.setRoutes ("{\"" + path + "\": " + c.route + "}");

    DownloadNewVersionThread thread (juce::URL (server.address (path)), {}, work / "app");
    juce::MemoryBlock data;
    const auto result = thread.download (data);

    if (c.whole)
    {
        EXPECT_TRUE (result.wasOk()) << result.getErrorMessage();
        EXPECT_EQ (data, body);
    }
    else
    {
        EXPECT_EQ (result.getErrorMessage(), "Failed to download from: " + server.address (path));
        EXPECT_EQ (data.getSize(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P (Bodies, DownloadBody, ::testing::Values (
    BodyCase { "whole", 1000, R"({"file": "body.bin"})", true },
    BodyCase { "wholeWithoutLength", 1000, R"({"file": "body.bin", "noLength": true})", true },
    // Longer than the silence that fails a download, in reads that return
    // only once their buffer is full.
    BodyCase { "at200BytesASecond", 3000, R"({"file": "body.bin", "chunk": 20, "delayMs": 100})", true },
    BodyCase { "cutOff", 1000, R"({"file": "body.bin", "cutAfter": 300})", false },
    // Silent for longer than the request's time-out: no end, a failure.
    BodyCase { "stalledAfter200Bytes", 1000, R"({"file": "body.bin", "chunk": 200, "delayMs": 600000})", false },
    BodyCase { "silentBeforeItsAnswer", 1000, R"({"file": "body.bin", "headerDelayMs": 600000})", false }),
    [] (const auto& p) { return std::string (p.param.name); });

// The thread asked to exit while the server holds the body up: the download
// returns at once, its request left to end by itself.
TEST (DownloadCancel, ReturnsWithoutWaitingForAHeldUpRead)
{
    RunUpdateServer server;
    TempFolder work;
    juce::MemoryBlock body (1000);
    server.serve ("held.bin", body);
    server.setRoutes (R"({"/held-body": {"file": "held.bin", "chunk": 200, "delayMs": 600000},
                          "/held-headers": {"file": "held.bin", "headerDelayMs": 600000}})");

    for (auto* path : { "/held-body", "/held-headers" })
    {
        DownloadNewVersionThread thread (juce::URL (server.address (path)), {}, work / "app");
        juce::MemoryBlock data;

        // Asked to exit once the request has been held up for a while.
        std::thread canceller ([&thread]
        {
            juce::Thread::sleep (1500);
            thread.signalThreadShouldExit();
        });

        const auto startedAt = juce::Time::getMillisecondCounterHiRes();
        const auto result = thread.download (data);
        const auto tookMs = juce::Time::getMillisecondCounterHiRes() - startedAt;
        canceller.join();

        EXPECT_EQ (result.getErrorMessage(), "cancel") << path;
        EXPECT_LT (tookMs, 1500.0 + 2000.0) << path;
        EXPECT_EQ (data.getSize(), 0u) << path;
    }
}
}
