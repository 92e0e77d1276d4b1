// Quits while a name lookup waits for a name server that never answers (a
// dead DNS entry). The program runs in user, mount and network namespaces of
// its own, where silent_name_server is the only name server, with one attempt
// of 30 s.
//
// A second quit signal while the update list's address is still being
// resolved: the first signal's abort of the fetch waits in curl's clean-up for
// that lookup; the second signal ends the program at once all the same.
//
// A quit while the package's address is being resolved: the download is left
// to end by itself, and the program ends without waiting for the lookup and
// before the static objects that the download's threads still use are gone.
#include "MessageLoop.h"
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

struct SignalPair
{
    const char* name;
    int first, second;
};

class InNamespaces : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty())
            GTEST_SKIP() << "needs an X display";

        if (! namespacesWork())
            GTEST_SKIP() << "unshare -rmn fails here: no user, mount and network namespaces";
    }

    std::unique_ptr<ProgramProcess> launchInNamespaces (const juce::StringArray& programArguments)
    {
        juce::StringArray command { "unshare", "-rmn", FLINT_SILENT_NAME_SERVER_PATH, workDir.get().getFullPathName(),
                                    FLINT_PROGRAM_WITH_LIST_PATH };
        command.addArray (programArguments);
        return std::make_unique<ProgramProcess> (workDir.get(), lockDir.get(), command);
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

class SecondSignalDuringLookup : public InNamespaces, public ::testing::WithParamInterface<SignalPair>
{
};

TEST_P (SecondSignalDuringLookup, EndsTheProgramAtOnce)
{
    const auto& c = GetParam();
    auto program = launchChecking();

    ASSERT_TRUE (waitUntil ([&] { return queries().contains (listHost) || ! program->isRunning(); }, 60000))
        << program->output();
    ASSERT_TRUE (queries().contains (listHost)) << "queries: " << queries() << "\n" << program->output();

    program->sendSignal (c.first);
    const auto firstAt = juce::Time::getMillisecondCounterHiRes();
    // Two signals of a kind that wait together count as one.
    ASSERT_TRUE (waitUntil ([&] { return ! program->signalPending (c.first); }, 30000)) << program->output();
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

//==============================================================================
using QuitDuringPackageLookup = InNamespaces;

TEST_F (QuitDuringPackageLookup, EndsTheProgramWithoutWaitingForTheLookup)
{
    const juce::String packageHost = "packages.flintmoor.example";
    auto program = launchInNamespaces ({ "http://127.0.0.1:9/unused.xml", "--download",
                                         "http://" + packageHost + "/p.zip" });

    ASSERT_TRUE (waitUntil ([&] { return queries().contains (packageHost) || ! program->isRunning(); }, 60000))
        << program->output();
    ASSERT_TRUE (queries().contains (packageHost)) << "queries: " << queries() << "\n" << program->output();

    // One quit: the download window closes as cancelled and the fetch, whose
    // clean-up waits for the lookup, is left behind.
    program->terminate();
    const auto quitAt = juce::Time::getMillisecondCounterHiRes();
    const auto status = program->waitForExit (60000);
    const auto took = juce::Time::getMillisecondCounterHiRes() - quitAt;
    std::cout << "ended " << (int) took << " ms after the quit" << std::endl;

    // A clean end: under the sanitizers, no report of a lock or an object
    // destroyed while the fetch's threads still hold it.
    EXPECT_EQ (status, 0) << program->output();
    // The resolver gives up only 30 s after the query.
    EXPECT_LT (took, 10000.0) << program->output();
    EXPECT_FALSE (program->output().contains ("ThreadSanitizer")) << program->output();
}
