#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The typeface every text of the window is drawn in: "微软雅黑" where a family
// of that name is installed, else a typeface with both Latin and Chinese
// glyphs. JUCE on Linux draws nothing at all for a family it cannot find, so a
// missing 微软雅黑 must not be set by name.

// The family to set by name: "微软雅黑" or another listed family known to carry
// Latin and Chinese glyphs; empty when none of them is listed.
juce::String chooseUiTypefaceName (const juce::StringArray& installedFamilies);

// Sets the default look-and-feel's sans-serif typeface: by name when one is
// listed, else from the first usable font file of the platform's list; with
// neither the framework's default stays. Returns the family now in use for
// default text, empty when unchanged.
juce::String applyUiTypeface();
