#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The modal progress window shown while a transfer runs. Its bar is driven by
// its own thread at a fixed pace; the transfer's progress reaches it only as
// status text. Cancel reports MSG_CANCEL to the owner.
class BackgroundThread : public juce::ThreadWithProgressWindow
{
public:
    // owner: where a cancel goes (the worker); may be null.
    explicit BackgroundThread (juce::MessageListener* owner);
    ~BackgroundThread() override;

    void run() override;
    void threadComplete (bool userPressedCancel) override;

    void postCancel();

    // For tests: the window the framework shows.
    juce::AlertWindow* getAlertWindowForTest() noexcept { return getAlertWindow(); }

private:
    juce::MessageListener* owner = nullptr;

    JUCE_DECLARE_NON_COPYABLE (BackgroundThread)
};
