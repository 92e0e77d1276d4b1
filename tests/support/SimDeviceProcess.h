#pragma once

#include "TempFolder.h"

#include <juce_core/juce_core.h>

#include <sys/types.h>

// The simulated device (tools/simdevice) as a child process on a pseudo-
// terminal of its own. The host opens hostPath(). The device logs one event a
// line, a word and key=value fields (simdevice --help lists them), e.g.
//   host-opened
//   announce device=1 name=ABCD1234
//   search device=1 name=ABCD1234
//   command device=1 sub=00 param=5000 count=0
//   command device=1 sub=01 param=0 count=64 unanswered
//   command device=1 sub=01 param=0 count=64
//   verify device=1 blocks=1 sum=0000000f
//   done device=1 blocks=1 size=64 file=/tmp/.../image-1.bin
// Every frame from the host is logged as it arrives; " unanswered" marks one
// that a fault option kept the device from answering. The image of device n,
// padded to whole 64-byte blocks, is in imageFile (n) once "done device=n" is logged.
// The destructor stops the device; one that did not end cleanly (a crash, a
// sanitizer report) fails the running test, and a failed test gets the
// device's events printed.
class SimDeviceProcess
{
public:
    // options: simdevice's command line, e.g. { "--name", "ABCD1234", "--split" }.
    explicit SimDeviceProcess (const juce::StringArray& options = {});
    ~SimDeviceProcess();

    // The end the host opens; empty when the device did not start.
    const juce::String& hostPath() const noexcept { return path; }

    bool isRunning();

    // Every complete event line so far.
    juce::StringArray events();

    // The number of events that begin with prefix, e.g. "done device=1".
    int countEvents (const juce::String& prefix);

    // Waits until count events begin with prefix, or the time runs out. On the
    // message thread it keeps running the message loop meanwhile.
    bool waitForEvent (const juce::String& prefix, int timeoutMs = 20000, int count = 1);

    juce::File imageFile (int device) const;
    juce::MemoryBlock image (int device) const;

    // Lets a device started with --hold announce itself ("released" follows).
    void release();

    // Sends SIGTERM and waits; the exit code, or minus the signal that ended it.
    int stop();

private:
    void readEvents();

    TempFolder folder;
    juce::File eventFile, errorFile;
    juce::String path;
    pid_t pid = -1;
    int outputPipe = -1;
    int exitStatus = 0;
    bool reaped = false;

    juce::CriticalSection lock;
    juce::StringArray lines;
    juce::int64 readOffset = 0;
    juce::MemoryBlock partialLine;

    JUCE_DECLARE_NON_COPYABLE (SimDeviceProcess)
};
