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
            // The button holds the focus and would take Return itself.
            button->addKeyListener (&returnSwallower);
            button->clearShortcuts();
            button->addShortcut (juce::KeyPress (juce::KeyPress::escapeKey));
        }
    }
}
