#include "ProcessLauncher.h"

// Windows knows both kinds by their extension.
bool platform::startBatchFile (const juce::File& file)
{
    return file.startAsProcess();
}

bool platform::startExecutable (const juce::File& file)
{
    return file.startAsProcess();
}
