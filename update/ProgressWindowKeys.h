#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The keys of a progress window: Escape presses its Cancel, Return does
// nothing. The framework gives a window's lone button Return as well, and a
// progress window may open over a result box that the operator is about to
// acknowledge with Return.
void setProgressWindowKeys (juce::AlertWindow& window);
