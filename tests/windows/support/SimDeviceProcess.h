#pragma once

#include "TempFolder.h"

#include <juce_core/juce_core.h>

#include <memory>

// The simulated device for tests under Wine: the same interface as
// tests/support/SimDeviceProcess.h, whose place it takes in the Windows build.
// The device runs on Linux, started by the line bridge on the COM port that
// the test run mapped (see Bridge.h); hostPath() is that port, "\\.\COM5".
// Events and images are read through Wine's drive Z:.
class SimDeviceProcess
{
public:
    explicit SimDeviceProcess (const juce::StringArray& options = {});
    ~SimDeviceProcess();

    const juce::String& hostPath() const noexcept { return path; }

    bool isRunning();

    juce::StringArray events();
    int countEvents (const juce::String& prefix);
    bool waitForEvent (const juce::String& prefix, int timeoutMs = 10000, int count = 1);

    juce::File imageFile (int device) const;
    juce::MemoryBlock image (int device) const;

    // Stops the device; its exit code, or minus the signal that ended it.
    int stop();

private:
    std::unique_ptr<juce::StreamingSocket> connection;
    juce::File folder;
    juce::String path;
    bool stopped = false;
    int exitStatus = 0;

    JUCE_DECLARE_NON_COPYABLE (SimDeviceProcess)
};
