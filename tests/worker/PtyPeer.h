#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <string>

// The far end of a serial line, driven by hand from a test: the worker opens
// the near end by its port name, the test reads the host's bytes and answers
// them itself. On Linux a pseudo-terminal; under Wine the line bridge's COM port.
class PtyPeer
{
public:
    PtyPeer();
    ~PtyPeer();

    // The name the worker puts after its device prefix, e.g. "pts/7".
    juce::String portName() const { return name; }

    // Waits up to timeoutMs for the host's bytes and returns what arrived.
    std::string read (int timeoutMs);
    // Reads until the text has been seen or the time is up.
    bool waitFor (const std::string& text, int timeoutMs);
    // The host's bytes up to and including the next "\r\n" (polls in front
    // of a frame come with it), or empty when the time is up.
    std::string readFrame (int timeoutMs);
    void write (const std::string& bytes);

private:
    struct Line;                   // defined by each platform's file
    std::unique_ptr<Line> line;
    juce::String name;
    std::string seen;

    JUCE_DECLARE_NON_COPYABLE (PtyPeer)
};
