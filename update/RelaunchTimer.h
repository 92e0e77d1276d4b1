#pragma once

#include <juce_events/juce_events.h>

// Armed after a good unpack: 1500 ms later it quits the program and starts the
// new "Flintmoor.exe" from folder, unless the batch file has quit it already.
// Created with new; it deletes itself when it fires, or at shutdown when it
// never did.
class RelaunchTimer : private juce::Timer,
                      private juce::DeletedAtShutdown
{
public:
    explicit RelaunchTimer (const juce::File& folder);
    ~RelaunchTimer() override;

private:
    void timerCallback() override;

    juce::File folder;

    JUCE_DECLARE_NON_COPYABLE (RelaunchTimer)
};
