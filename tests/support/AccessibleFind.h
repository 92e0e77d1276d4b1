#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Components found as assistive technology sees them, by their accessible title.

// The first component below root whose accessible title is title.
juce::Component* withAccessibleTitle (juce::Component& root, const juce::String& title);

// An item of an open popup menu (a combo box's list included) that reads text.
juce::Component* openMenuItem (const juce::String& text);
