#include "BoxAnswerer.h"

namespace
{
    // How long a box that no answer expects stays open.
    constexpr juce::uint32 unexpectedBoxMs = 5000;

    // A box is clicked once it has been open this long, as a person would.
    // A click is given once: the program takes it without further input.
    constexpr juce::uint32 settleMs = 200;

    juce::TextButton* buttonWithText (juce::Component& box, const juce::String& text)
    {
        for (auto* child : box.getChildren())
            if (auto* button = dynamic_cast<juce::TextButton*> (child))
                if (button->getButtonText() == text)
                    return button;

        return nullptr;
    }
}

bool operator== (const ShownBox& a, const ShownBox& b)
{
    return a.title == b.title && a.message == b.message && a.buttons == b.buttons;
}

std::ostream& operator<< (std::ostream& os, const ShownBox& b)
{
    return os << "[" << b.title << "] " << b.message << " (" << b.buttons.joinIntoString ("|") << ")";
}

BoxAnswerer::BoxAnswerer()
{
    startTimer (20);
}

BoxAnswerer::~BoxAnswerer()
{
    stopTimer();

    for (auto& p : clickers)
        if (p->isRunning())
            p->kill();
}

void BoxAnswerer::answer (const juce::String& title, const juce::String& button, std::function<bool()> ready)
{
    pending.push_back ({ title, button, {}, std::move (ready), {}, title });
}

void BoxAnswerer::click (std::function<juce::Component*()> find, std::function<bool()> ready,
                         std::function<bool()> done, const juce::String& windowTitle)
{
    pending.push_back ({ {}, {}, std::move (find), std::move (ready), std::move (done), windowTitle });
}

std::vector<juce::AlertWindow*> BoxAnswerer::openBoxes()
{
    std::vector<juce::AlertWindow*> boxes;
    auto* mcm = juce::ModalComponentManager::getInstance();

    for (int i = 0; i < mcm->getNumModalComponents(); ++i)
        if (auto* w = dynamic_cast<juce::AlertWindow*> (mcm->getModalComponent (i)))
            boxes.push_back (w);

    return boxes;
}

ShownBox BoxAnswerer::describe (juce::AlertWindow& box)
{
    ShownBox b;
    b.title = box.getName();
    b.message = box.getDescription().fromFirstOccurrenceOf (b.title + ". ", false, false);

    for (auto* child : box.getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*> (child))
            b.buttons.add (button->getButtonText());

    return b;
}

void BoxAnswerer::timerCallback()
{
    // One click at a time: the next waits until the last one has taken (a
    // box has gone, a menu has opened or closed).
    const bool taken = clickDone != nullptr ? clickDone()
                                            : (clicked.getComponent() == nullptr || ! clicked->isShowing());

    if (! taken)
        return;

    clicked = nullptr;
    clickDone = nullptr;

    // Only the topmost modal window takes the pointer.
    auto* mcm = juce::ModalComponentManager::getInstance();
    auto* topmost = mcm->getNumModalComponents() > 0 ? dynamic_cast<juce::AlertWindow*> (mcm->getModalComponent (0))
                                                     : nullptr;

    if (answerBox (topmost) || pending.empty() || pending.front().find == nullptr)
        return;

    auto& next = pending.front();
    auto* target = next.find();

    if (target == nullptr || ! target->isShowing() || (next.ready && ! next.ready()))
        return;

    clicked = target;
    clickDone = next.done;
    clickAt (*target, next.windowTitle);
    pending.erase (pending.begin());
}

// True when the topmost box was dealt with, or is being waited for.
bool BoxAnswerer::answerBox (juce::AlertWindow* box)
{
    if (box == nullptr || ! box->isShowing())
        return false;

    const bool expected = ! pending.empty() && pending.front().find == nullptr
                          && box->getName() == pending.front().boxTitle;

    if (! expected)
    {
        if (box != waitingBox.getComponent())
        {
            waitingBox = box;
            waitingSince = juce::Time::getMillisecondCounter();
        }
        else if (juce::Time::getMillisecondCounter() - waitingSince > unexpectedBoxMs)
        {
            closed.push_back (describe (*box));
            box->exitModalState (0);
        }

        return true;
    }

    auto& next = pending.front();

    if (box != waitingBox.getComponent())
    {
        waitingBox = box;
        waitingSince = juce::Time::getMillisecondCounter();
    }

    if (juce::Time::getMillisecondCounter() - waitingSince < settleMs || (next.ready && ! next.ready()))
        return true;

    if (auto* button = buttonWithText (*box, next.button))
    {
        shown.push_back (describe (*box));
        clicked = box;
        clickAt (*button, box->getName());
        pending.erase (pending.begin());
    }

    return true;
}

void BoxAnswerer::clickAt (juce::Component& target, const juce::String& windowTitle)
{
    const auto centre = target.getScreenBounds().getCentre();

    // Waits until the window is mapped and raises it: without a window
    // manager two boxes may lie in the X stacking order otherwise than in the
    // modal order. The first move makes sure the second is a real movement,
    // which --sync needs. Menus act on a press and a release that their own
    // timer sees apart.
    juce::String script;

    if (windowTitle.isNotEmpty())
        script << "timeout 20 xdotool search --sync --onlyvisible --name '^" << windowTitle << "$' > /dev/null; ";

    if (auto* peer = target.getPeer())
        script << "xdotool windowraise " << juce::String ((juce::pointer_sized_uint) peer->getNativeHandle()) << "; ";

    script << "xdotool mousemove 0 0 mousemove --sync " << centre.x << " " << centre.y
           << " sleep 0.1 mousedown 1 sleep 0.3 mouseup 1";

    auto process = std::make_unique<juce::ChildProcess>();
    process->start (juce::StringArray { "/bin/sh", "-c", script }, 0);
    clickers.push_back (std::move (process));
}

juce::String BoxAnswerer::describeState() const
{
    juce::String s;
    s << pending.size() << " clicks to do";

    if (! pending.empty())
        s << ", next: " << (pending.front().find != nullptr ? juce::String ("a click") : "\"" + pending.front().button
                                                                                        + "\" on \"" + pending.front().boxTitle + "\"");

    s << "; waiting for a click to take: " << (clicked.getComponent() != nullptr || clickDone != nullptr ? "yes" : "no")
      << (clickerRunning() ? " (being clicked)" : "");

    for (auto& b : shown)
        s << "\n  answered " << juce::String (juce::String (b.title) + ": " + b.message);

    for (auto& b : closed)
        s << "\n  unexpected " << juce::String (juce::String (b.title) + ": " + b.message);

    for (auto* box : openBoxes())
        s << "\n  open " << box->getName() << ": " << describe (*box).message;

    return s;
}

bool BoxAnswerer::clickerRunning() const
{
    return ! clickers.empty() && clickers.back()->isRunning();
}

bool canClickBoxes()
{
    return juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isNotEmpty()
        && juce::File ("/usr/bin/xdotool").existsAsFile();
}
