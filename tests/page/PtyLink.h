#pragma once

#include <juce_core/juce_core.h>

// A /dev/tty* symbolic link to a path, as socat makes one for a virtual
// null-modem cable, removed again with the object. Names carry the process id
// so that test runs side by side do not meet.
class DevLink
{
public:
    // /dev/<prefix><pid>_<suffix> pointing at target.
    DevLink (const juce::String& prefix, const juce::String& suffix, const juce::String& target);
    ~DevLink();

    // The port name, as under /dev.
    const juce::String& name() const noexcept { return portName; }
    bool ok() const noexcept { return created; }

private:
    juce::String portName;
    bool created = false;
    JUCE_DECLARE_NON_COPYABLE (DevLink)
};

// A pseudo-terminal pair held open; slavePath() is the end a link points to.
class Pty
{
public:
    Pty();
    ~Pty();
    const juce::String& slavePath() const noexcept { return path; }

private:
    int master = -1, slave = -1;
    juce::String path;
    JUCE_DECLARE_NON_COPYABLE (Pty)
};
