#pragma once

#include <juce_core/juce_core.h>

// The message boxes the worker raises. The two questions are asked from the
// worker thread and hold it until they are answered; they end as cancelled
// when the worker is being stopped or the box is dismissed.
class WorkerDialogs
{
public:
    virtual ~WorkerDialogs() = default;

    // True for the first button.
    virtual bool askOkCancel (const juce::String& title, const juce::String& message,
                              const juce::String& button1, const juce::String& button2) = 0;

    // 1 or 2 for the first two buttons, 0 for the third, Escape or a dismissal.
    virtual int askYesNoCancel (const juce::String& title, const juce::String& message,
                                const juce::String& button1, const juce::String& button2,
                                const juce::String& button3) = 0;

    // A warning box with one button; returns at once, from any thread.
    virtual void showWarning (const juce::String& title, const juce::String& message,
                              const juce::String& button) = 0;

    // Message thread: closes any open question as cancelled.
    virtual void dismissAll() = 0;
};

// The framework's alert windows, run on the message thread.
std::unique_ptr<WorkerDialogs> createFrameworkDialogs();
