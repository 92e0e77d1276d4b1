#include "ProgressWindowKeys.h"

namespace
{
    struct ReturnSwallower : juce::KeyListener
    {
        bool keyPressed (const juce::KeyPress& key, juce::Component*) override
        {
            return key.isKeyCode (juce::KeyPress::returnKey);
        }
    };
}

void setProgressWindowKeys (juce::AlertWindow& window)
{
    static ReturnSwallower returnSwallower;

    window.addKeyListener (&returnSwallower);

    for (auto* child : window.getChildren())
    {
        if (auto* button = dynamic_cast<juce::Button*> (child))
        {
            // A focused button would take Return itself, before the window.
            button->setWantsKeyboardFocus (false);
            button->addKeyListener (&returnSwallower);
            button->clearShortcuts();
            button->addShortcut (juce::KeyPress (juce::KeyPress::escapeKey));
        }
    }
}
