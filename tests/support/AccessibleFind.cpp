#include "AccessibleFind.h"

namespace
{
    juce::Component* find (juce::Component& root, const std::function<bool (juce::AccessibilityHandler&)>& matches)
    {
        for (auto* child : root.getChildren())
        {
            if (auto* handler = child->getAccessibilityHandler())
                if (matches (*handler))
                    return child;

            if (auto* found = find (*child, matches))
                return found;
        }

        return nullptr;
    }
}

juce::Component* withAccessibleTitle (juce::Component& root, const juce::String& title)
{
    return find (root, [&] (juce::AccessibilityHandler& h) { return h.getTitle() == title; });
}

juce::Component* openMenuItem (const juce::String& text)
{
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* item = find (*desktop.getComponent (i), [&] (juce::AccessibilityHandler& h)
                               { return h.getRole() == juce::AccessibilityRole::menuItem && h.getTitle() == text; }))
            return item;

    return nullptr;
}
