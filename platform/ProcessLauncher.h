#pragma once

#include <juce_core/juce_core.h>

namespace platform
{
    // Starts the batch file an update package brought ("autoUpdate.bat") and
    // returns at once; the program it starts outlives this one. False when it
    // could not be started.
    bool startBatchFile (const juce::File& file);

    // Starts the executable an update package brought ("Flintmoor.exe") with no
    // parameters and returns at once. False when it could not be started.
    bool startExecutable (const juce::File& file);

    // What the two calls above start learns this program's process id from
    // the environment. An update relaunches the program while the old copy
    // is still ending and holding the single-instance lock: called first
    // thing at start, this waits (at most relaunchWaitMs) for the program that
    // started this one to end, so that the new copy is not taken for a second
    // one and ended. A start by anyone else returns at once.
    void waitForRelaunchingProgram();

    constexpr int relaunchWaitMs = 15000;
    constexpr const char* relaunchVariable = "FLINTMOOR_RELAUNCHED_BY";
}
