// Where a package's body ends: at its end, slow or not, or cut off, by the
// server or by a failed read. A cut-off body fails the download instead of
// passing for the whole package.
#include "UpdateFixture.h"

#include "DownloadNewVersionThread.h"

namespace
{
struct EndCase
{
    const char* name;
    int size;
    const char* route;
    bool whole;   // else the download fails
};

std::ostream& operator<< (std::ostream& os, const EndCase& c) { return os << c.name; }

class DownloadEnd : public UpdateFixture, public ::testing::WithParamInterface<EndCase>
{
};

TEST_P (DownloadEnd, TheBodyComesWholeOrTheDownloadFails)
{
    const auto& c = GetParam();
    juce::MemoryBlock body ((size_t) c.size);
    juce::Random (3).fillBitsRandomly (body.getData(), body.getSize());
    server.serve ("body.bin", body);
    server.setRoutes (juce::String ("{\"/body\": ") + c.route + "}");

    DownloadNewVersionThread thread (juce::URL (server.address ("/body")), {}, work ("app"));
    juce::MemoryBlock data;
    const auto result = thread.download (data);

    if (c.whole)
    {
        EXPECT_TRUE (result.wasOk()) << result.getErrorMessage();
        EXPECT_EQ (data, body);
    }
    else
    {
        EXPECT_EQ (result.getErrorMessage(), "Failed to download from: " + server.address ("/body"));
        EXPECT_EQ (data.getSize(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P (Bodies, DownloadEnd, ::testing::Values (
    EndCase { "whole", 200000, R"({"file": "body.bin"})", true },
    EndCase { "wholeWithoutLength", 200000, R"({"file": "body.bin", "noLength": true})", true },
    EndCase { "at200BytesASecond", 1000, R"({"file": "body.bin", "chunk": 20, "delayMs": 100})", true },
    // Past the first reads, so that the cut meets a read and not the connection.
    EndCase { "cutOff", 200000, R"({"file": "body.bin", "cutAfter": 100000, "chunk": 8192, "delayMs": 20})", false },
    // Silent for longer than the request's time-out: no end, a failure.
    EndCase { "stalledAfter200Bytes", 1000, R"({"file": "body.bin", "chunk": 200, "delayMs": 600000})", false }),
    CaseName());
}
