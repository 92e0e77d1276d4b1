// Stands in for the program at both ends of an update's relaunch.
//
//   relaunch_probe start <holdMs>   the old copy: takes the lock, starts this
//                                   executable through the platform layer (with
//                                   no arguments, as the relaunch does), holds
//                                   the lock holdMs longer and ends.
//   relaunch_probe                  the new copy: waits at start as the program
//                                   does, then writes "free" or "held" (the
//                                   lock) into its out file.
//
// The lock's name and the out file come from FLINT_PROBE_LOCK and
// FLINT_PROBE_OUT in the environment.
#include "ExecutableFolder.h"
#include "ProcessLauncher.h"

#include <cstdlib>

int main (int argc, char* argv[])
{
    const juce::String lockName (std::getenv ("FLINT_PROBE_LOCK"));
    const juce::File out (juce::String (std::getenv ("FLINT_PROBE_OUT")));

    if (lockName.isEmpty() || ! juce::File::isAbsolutePath (out.getFullPathName()))
        return 2;

    if (argc == 3 && juce::String (argv[1]) == "start")
    {
        juce::InterProcessLock lock (lockName);

        if (! lock.enter (0))
            return 3;

        const auto self = juce::File (juce::String::fromUTF8 (platform::executableFolder().c_str()))
                              .getChildFile ("relaunch_probe");

        if (! platform::startExecutable (self))
            return 4;

        juce::Thread::sleep (juce::String (argv[2]).getIntValue());
        return 0;
    }

    platform::waitForRelaunchingProgram();

    juce::InterProcessLock lock (lockName);
    const auto state = lock.enter (0) ? "free" : "held";
    return out.replaceWithText (state) ? 0 : 5;
}
