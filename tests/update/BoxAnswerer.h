#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <ostream>
#include <memory>
#include <vector>

// A box as it was shown: title, text and button texts.
struct ShownBox
{
    juce::String title;
    juce::String message;
    juce::StringArray buttons;
};

bool operator== (const ShownBox& a, const ShownBox& b);
std::ostream& operator<< (std::ostream& os, const ShownBox& b);

// Answers the program's boxes as a user would: it watches the topmost open
// alert window and, when it has the expected title, clicks one of its buttons
// with the pointer, through xdotool on the X display. It works while the
// program sits in a modal loop, since it runs on the message thread's timer.
// A box that no answer expects is closed after a while and kept as unexpected,
// so that a wrong box ends the test instead of holding it.
class BoxAnswerer : private juce::Timer
{
public:
    BoxAnswerer();
    ~BoxAnswerer() override;

    // Queues an answer: click button on the next box titled title, once ready
    // (if given) holds. Answers are given in the order they were queued.
    void answer (const juce::String& title, const juce::String& button, std::function<bool()> ready = {});

    // The boxes answered so far, in order.
    const std::vector<ShownBox>& answered() const noexcept { return shown; }
    bool allAnswered() const noexcept { return pending.empty() && clicked.getComponent() == nullptr; }
    const std::vector<ShownBox>& unexpected() const noexcept { return closed; }

    // The open alert windows, for boxes a test reads without answering them.
    static std::vector<juce::AlertWindow*> openBoxes();
    static ShownBox describe (juce::AlertWindow& box);

private:
    struct Answer
    {
        juce::String title, button;
        std::function<bool()> ready;
    };

    void timerCallback() override;
    void click (juce::Component& target, const juce::String& windowTitle);

    std::vector<Answer> pending;
    std::vector<ShownBox> shown, closed;
    juce::Component::SafePointer<juce::AlertWindow> waitingBox;
    juce::uint32 waitingSince = 0;
    juce::Component::SafePointer<juce::AlertWindow> clicked;
    std::vector<std::unique_ptr<juce::ChildProcess>> clickers;
};

// True when xdotool and an X display are there.
bool canClickBoxes();
