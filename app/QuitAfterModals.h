#pragma once

#include <juce_events/juce_events.h>

// A quit asked for while modal windows are up. Each of them runs a loop or
// holds a thread of ours (a progress window's, a question that holds the
// worker's), and a quit from within them left the program hanging: they are
// closed first, as cancelled, and the program quits once none is left.
class QuitAfterModals : private juce::Timer
{
public:
    QuitAfterModals() = default;
    ~QuitAfterModals() override;

    void request();

private:
    void timerCallback() override;

    JUCE_DECLARE_NON_COPYABLE (QuitAfterModals)
};
