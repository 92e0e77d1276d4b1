// A second quit signal while the update list's address is still being
// resolved by a name server that never answers (a dead DNS entry). The first
// signal's abort of the fetch waits in curl's clean-up for that lookup, up to
// the resolver's 30 s; the second signal ends the program at once all the same.
// The program runs in user, mount and network namespaces of its own, where
// silent_name_server is the only name server.
#include "ProgramProcess.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <iostream>

namespace
{
constexpr const char* listHost = "updates.flintmoor.example";

bool namespacesWork()
{
    static const bool works = std::system ("unshare -rmn true > /dev/null 2>&1") == 0;
    return works;
}

bool waitFor (const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounterHiRes() > end)
            return condition();

        juce::Thread::sleep (20);
    }

    return true;
}

struct SignalPair
{
    const char* name;
    int first, second;
};

class SecondSignalDuringLookup : public ::testing::TestWithParam<SignalPair>
{
protected:
    void SetUp() override
    {
        if (juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty())
            GTEST_SKIP() << "needs an X display";

        if (! namespacesWork())
            GTEST_SKIP() << "unshare -rmn fails here: no user, mount and network namespaces";
    }

    std::unique_ptr<ProgramProcess> launchChecking()
    {
        return std::make_unique<ProgramProcess> (workDir.get(), lockDir.get(), juce::StringArray {
            "unshare", "-rmn", FLINT_SILENT_NAME_SERVER_PATH, workDir.get().getFullPathName(),
            FLINT_PROGRAM_WITH_LIST_PATH, juce::String ("http://") + listHost + "/Uploadfiles/file/apx/urlapp.xml",
            "--check" });
    }

    juce::String queries() const { return (workDir / "name-queries").loadFileAsString(); }

    TempFolder workDir, lockDir;
};

TEST_P (SecondSignalDuringLookup, EndsTheProgramAtOnce)
{
    const auto& c = GetParam();
    auto program = launchChecking();

    ASSERT_TRUE (waitFor ([&] { return queries().contains (listHost) || ! program->isRunning(); }, 60000))
        << program->output();
    ASSERT_TRUE (queries().contains (listHost)) << "queries: " << queries() << "\n" << program->output();

    program->sendSignal (c.first);
    const auto firstAt = juce::Time::getMillisecondCounterHiRes();
    // Two signals of a kind that wait together count as one.
    ASSERT_TRUE (waitFor ([&] { return ! program->signalPending (c.first); }, 30000)) << program->output();
    juce::Thread::sleep (1000);
    ASSERT_TRUE (program->isRunning()) << "the lookup did not hold up the quit: " << program->output();

    program->sendSignal (c.second);
    const auto secondAt = juce::Time::getMillisecondCounterHiRes();
    const auto status = program->waitForExit (40000);
    const auto took = juce::Time::getMillisecondCounterHiRes() - secondAt;
    std::cout << "ended " << (int) took << " ms after the second signal, "
              << (int) (juce::Time::getMillisecondCounterHiRes() - firstAt) << " ms after the first" << std::endl;

    EXPECT_EQ (status, -c.second) << program->output();
    // The resolver gives up only 30 s after the query.
    EXPECT_LT (took, 5000.0) << program->output();
}

INSTANTIATE_TEST_SUITE_P (Signals, SecondSignalDuringLookup, ::testing::Values (
    SignalPair { "terminateTwice", SIGTERM, SIGTERM },
    SignalPair { "interruptThenTerminate", SIGINT, SIGTERM }),
    [] (const auto& p) { return std::string (p.param.name); });
}
