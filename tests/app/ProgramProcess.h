#pragma once

#include <juce_graphics/juce_graphics.h>

#include <cstdint>
#include <sys/types.h>

// The built program as a child process, in a working directory of the
// test's. Its single-instance lock lives in /var/tmp, shared by the whole
// machine; where the system allows (root), each test gives its copies a
// private /var/tmp, so that tests and other runs of the program on the same
// machine do not count as another copy. Output goes to program.log there.
// command, when given, runs instead of the program (executable and arguments).
class ProgramProcess
{
public:
    ProgramProcess (const juce::File& workDir, const juce::File& lockDir, const juce::StringArray& command = {});
    ~ProgramProcess();

    bool isRunning();
    // The exit code, minus the signal that ended it, or INT_MIN on time-out.
    int waitForExit (int timeoutMs);
    void interrupt();       // SIGINT, as Ctrl-C
    void terminate();       // SIGTERM, as a shutdown or kill without options
    void sendSignal (int signalNumber);
    juce::String output() const;

    // User and system CPU time in ms: as /proc shows it while the program
    // runs, the kernel's account of the whole life once it has ended.
    double cpuMs();

    // The signals that every thread of the running program blocks, as a
    // mask with bit n - 1 for signal n; 0 when it cannot be read.
    std::uint64_t signalsBlockedInEveryThread() const;
    int threadCount() const;
    // Sent to the process and not yet taken by any of its threads.
    bool signalPending (int signalNumber) const;

    static bool privateLockDirsWork();

private:
    juce::File log;
    pid_t pid = -1;
    int status = 0;
    bool reaped = false;
    double endedCpuMs = 0;
    JUCE_DECLARE_NON_COPYABLE (ProgramProcess)
};

// xdotool and import against the current display.
namespace x11
{
    // Ids of the windows whose title matches the regular expression.
    juce::StringArray findWindows (const juce::String& titlePattern);
    juce::Rectangle<int> geometry (const juce::String& windowId);
    juce::String focusedWindow();
    void click (juce::Point<int> screenPoint);
    void type (const juce::String& text);
    void key (const juce::String& keys, int repeat = 1);
    void screenshot (juce::Rectangle<int> area, const juce::File& png);
}
