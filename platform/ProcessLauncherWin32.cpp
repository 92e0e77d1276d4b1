#include "ProcessLauncher.h"

#include <windows.h>

namespace
{
    // What is started inherits this program's environment, with its process
    // id added for the time of the start.
    bool startWithOwnId (const juce::File& file)
    {
        const auto name = juce::String (platform::relaunchVariable);
        SetEnvironmentVariableW (name.toWideCharPointer(),
                                 juce::String ((juce::int64) GetCurrentProcessId()).toWideCharPointer());
        const bool started = file.startAsProcess();
        SetEnvironmentVariableW (name.toWideCharPointer(), nullptr);
        return started;
    }
}

// Windows knows both kinds by their extension.
bool platform::startBatchFile (const juce::File& file)
{
    return startWithOwnId (file);
}

bool platform::startExecutable (const juce::File& file)
{
    return startWithOwnId (file);
}

void platform::waitForRelaunchingProgram()
{
    const auto name = juce::String (relaunchVariable);
    wchar_t value[32] = {};
    const auto length = GetEnvironmentVariableW (name.toWideCharPointer(), value, 32);

    if (length == 0 || length >= 32)
        return;

    SetEnvironmentVariableW (name.toWideCharPointer(), nullptr);
    const auto starter = (DWORD) juce::String (value).getLargeIntValue();

    if (starter == 0 || starter == GetCurrentProcessId())
        return;

    if (auto process = OpenProcess (SYNCHRONIZE, FALSE, starter))
    {
        WaitForSingleObject (process, (DWORD) relaunchWaitMs);
        CloseHandle (process);
    }
}
