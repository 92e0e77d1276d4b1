#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <vector>

// The far end of the serial line for tests under Wine. The test run maps one
// COM port to a path that the line bridge (tests/windows/bridge) owns on
// Linux, and tells the tests its name and the bridge's TCP port through
// FLINT_WINE_COM and FLINT_BRIDGE_PORT.
namespace bridge
{
    // "COM5"; fails the running test when the run did not name one.
    juce::String portName();

    // "\\.\COM5": the path the serial port opens.
    juce::String devicePath();

    // A file on the Linux side, as Wine shows it (drive Z: is the root).
    juce::File linuxFile (const juce::String& linuxPath);

    // Asks the bridge for a far end; answer is its reply line. Null when the
    // bridge cannot be reached (the running test fails).
    std::unique_ptr<juce::StreamingSocket> request (const juce::String& line, juce::String& answer);

    // One line from the socket, without its newline; empty after the time-out.
    juce::String readLine (juce::StreamingSocket&, int timeoutMs);
}

// The far end of the COM port played by the test itself: what the test
// writes arrives at the port, what the port writes the test reads.
class RemoteLine
{
public:
    RemoteLine();

    bool isReady() const noexcept { return socket != nullptr; }

    void write (const std::vector<unsigned char>& bytes);

    // Reads until count bytes came or the time ran out.
    std::vector<unsigned char> read (size_t count, int timeoutMs = 10000);

private:
    std::unique_ptr<juce::StreamingSocket> socket;
    JUCE_DECLARE_NON_COPYABLE (RemoteLine)
};
