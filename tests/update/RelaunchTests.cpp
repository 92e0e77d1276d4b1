// The relaunched program meets the old copy still ending and holding the
// single-instance lock: it waits for that copy instead of ending as a second
// one. A start by anyone else still finds the lock held at once.
#include "TempFolder.h"
#include "ExecutableFolder.h"
#include "ProcessLauncher.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
const juce::File probe()
{
    return juce::File (juce::String::fromUTF8 (platform::executableFolder().c_str())).getChildFile ("relaunch_probe");
}

juce::String waitForText (const juce::File& file, int timeoutMs)
{
    for (const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
         juce::Time::getMillisecondCounter() < end; juce::Thread::sleep (20))
        if (file.existsAsFile() && file.getSize() > 0)
            return file.loadFileAsString();

    return {};
}

class Relaunch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        lockName = "flintmoorRelaunchTest_" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64());
        setenv ("FLINT_PROBE_LOCK", lockName.toRawUTF8(), 1);
        setenv ("FLINT_PROBE_OUT", out.getFullPathName().toRawUTF8(), 1);
    }

    void TearDown() override
    {
        unsetenv ("FLINT_PROBE_LOCK");
        unsetenv ("FLINT_PROBE_OUT");
    }

    TempFolder folder;
    const juce::File out = folder / "state.txt";
    juce::String lockName;
};
}

TEST_F (Relaunch, TheNewCopyWaitsForTheOldOneToEnd)
{
    // The old copy holds the lock 1.5 s after the start; unwaited, the new
    // copy would look within milliseconds and find it held.
    juce::ChildProcess starter;
    ASSERT_TRUE (starter.start (juce::StringArray { probe().getFullPathName(), "start", "1500" }, 0));

    EXPECT_EQ (waitForText (out, 60000), "free");
    EXPECT_TRUE (starter.waitForProcessToFinish (60000));
    EXPECT_EQ (starter.getExitCode(), 0u);
}

TEST_F (Relaunch, AnyOtherStartFindsTheLockHeldAtOnce)
{
    juce::InterProcessLock held (lockName);
    ASSERT_TRUE (held.enter (0));

    // Even with a relaunch's variable left over from an earlier start, which
    // names a process that is not this one's starter and has ended.
    for (const char* leftOver : { "", "999999999" })
    {
        if (*leftOver != 0)
            setenv (platform::relaunchVariable, leftOver, 1);

        out.deleteFile();
        juce::ChildProcess secondStart;
        ASSERT_TRUE (secondStart.start (probe().getFullPathName(), 0));
        EXPECT_EQ (waitForText (out, 60000), "held") << leftOver;
        EXPECT_TRUE (secondStart.waitForProcessToFinish (60000));
        EXPECT_EQ (secondStart.getExitCode(), 0u);
        unsetenv (platform::relaunchVariable);
    }
}
