#pragma once

#include <juce_core/juce_core.h>

#include <windows.h>

// A program of the build as a process of its own under Wine, started in a
// folder with arguments; ended by force at destruction if still running.
class ProgramProcess
{
public:
    ProgramProcess (const juce::String& linuxPath, const juce::File& folder, const juce::StringArray& arguments = {});
    ~ProgramProcess();

    bool started() const noexcept { return info.hProcess != nullptr; }
    bool hasEnded (int timeoutMs);
    DWORD exitCode();

    // The process's visible top-level window with this title, or null.
    HWND findWindow (const wchar_t* title) const;

    // Waits for findWindow to find one.
    HWND waitForWindow (const wchar_t* title, int timeoutMs);

private:
    PROCESS_INFORMATION info {};

    JUCE_DECLARE_NON_COPYABLE (ProgramProcess)
};

// The visible top-level windows titled "Flintmoor V1.0.1", of any process.
int countProgramWindows();
