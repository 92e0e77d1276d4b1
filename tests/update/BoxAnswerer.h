#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>
#include <ostream>
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

// Plays the user at the screen: clicks with the pointer, through xdotool on
// the X display, in the order the clicks were queued. It answers the
// program's boxes: when the topmost alert window has the expected title it
// clicks one of its buttons. It works while the program sits in a modal loop,
// since it runs on the message thread's timer. A box that no queued answer
// expects is closed after a while and kept as unexpected, so that a wrong box
// ends the test instead of holding it.
class BoxAnswerer : private juce::Timer
{
public:
    BoxAnswerer();
    ~BoxAnswerer() override;

    // Queues an answer: click button on the next box titled title, once ready
    // (if given) holds.
    void answer (const juce::String& title, const juce::String& button, std::function<bool()> ready = {});

    // Queues a click on the component that find returns once it returns one
    // that is showing and ready (if given) holds. The click has taken when
    // done holds (by default: the component is no longer showing); the next
    // click waits for that. windowTitle, when given, names the
    // window it is in, whose mapping the click waits for.
    void click (std::function<juce::Component*()> find, std::function<bool()> ready = {},
                std::function<bool()> done = {}, const juce::String& windowTitle = {});

    // The boxes answered so far, in order, and those closed as unexpected.
    const std::vector<ShownBox>& answered() const noexcept { return shown; }
    const std::vector<ShownBox>& unexpected() const noexcept { return closed; }
    bool allAnswered() const noexcept { return pending.empty() && clicked.getComponent() == nullptr; }

    // What is still to do and what happened, for a failure message.
    juce::String describeState() const;

    // The open alert windows, topmost first.
    static std::vector<juce::AlertWindow*> openBoxes();
    static ShownBox describe (juce::AlertWindow& box);

private:
    struct Step
    {
        juce::String boxTitle, button;                 // an answer to a box
        std::function<juce::Component*()> find;        // or a click elsewhere
        std::function<bool()> ready, done;
        juce::String windowTitle;
    };

    void timerCallback() override;
    bool answerBox (juce::AlertWindow* topmost);
    void clickAt (juce::Component& target, const juce::String& windowTitle);
    bool clickerRunning() const;

    std::vector<Step> pending;
    std::vector<ShownBox> shown, closed;
    juce::Component::SafePointer<juce::Component> clicked;
    std::function<bool()> clickDone;
    juce::Component::SafePointer<juce::AlertWindow> waitingBox;
    juce::uint32 waitingSince = 0;
    std::vector<std::unique_ptr<juce::ChildProcess>> clickers;
};

// True when xdotool and an X display are there.
bool canClickBoxes();
