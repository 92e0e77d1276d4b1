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
}
