#include "BoxAnswerer.h"

bool operator== (const ShownBox& a, const ShownBox& b)
{
    return a.title == b.title && a.message == b.message && a.buttons == b.buttons;
}

std::ostream& operator<< (std::ostream& os, const ShownBox& b)
{
    return os << "[" << b.title << "] " << b.message << " (" << b.buttons.joinIntoString ("|") << ")";
}

namespace
{
    // How long a box that no answer expects stays open.
    constexpr juce::uint32 unexpectedBoxMs = 5000;
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
    pending.push_back ({ title, button, std::move (ready) });
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
    // One click at a time: the next waits until the clicked box has gone.
    if (clicked.getComponent() != nullptr && clicked->isCurrentlyModal (false))
        return;

    clicked = nullptr;

    // Only the topmost box takes the pointer.
    auto* mcm = juce::ModalComponentManager::getInstance();
    auto* box = mcm->getNumModalComponents() > 0 ? dynamic_cast<juce::AlertWindow*> (mcm->getModalComponent (0))
                                                 : nullptr;

    if (box == nullptr || ! box->isShowing())
        return;

    if (pending.empty() || box->getName() != pending.front().title)
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

        return;
    }

    auto& next = pending.front();

    if (next.ready && ! next.ready())
        return;

    for (auto* child : box->getChildren())
    {
        if (auto* button = dynamic_cast<juce::TextButton*> (child))
        {
            if (button->getButtonText() == next.button)
            {
                shown.push_back (describe (*box));
                clicked = box;
                click (*button, box->getName());
                pending.erase (pending.begin());
                return;
            }
        }
    }
}

void BoxAnswerer::click (juce::Component& target, const juce::String& windowTitle)
{
    const auto centre = target.getScreenBounds().getCentre();
    const auto x = juce::String (centre.x), y = juce::String (centre.y);

    // Waits until the window is mapped; the first move makes sure the second
    // one is a real movement, which --sync needs.
    const auto script = "timeout 20 xdotool search --sync --onlyvisible --name '^" + windowTitle + "$' > /dev/null;"
                        " xdotool mousemove 0 0 mousemove --sync " + x + " " + y + " click 1";

    auto process = std::make_unique<juce::ChildProcess>();
    process->start (juce::StringArray { "/bin/sh", "-c", script }, 0);
    clickers.push_back (std::move (process));
}

bool canClickBoxes()
{
    return juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isNotEmpty()
        && juce::File ("/usr/bin/xdotool").existsAsFile();
}
