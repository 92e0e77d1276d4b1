#pragma once

#include <juce_core/juce_core.h>

// The English texts that have a Chinese translation, keyed exactly and case-sensitively.
struct TranslationPair
{
    const char* english;
    const char* chinese;    // UTF-8
};

constexpr int numTranslationPairs = 26;

extern const TranslationPair translationPairs[numTranslationPairs];

// The table's text: two header lines and one "key" = "text" line per pair, joined by CR LF.
juce::String chineseTranslationText();

// With 936 installs a freshly built Chinese table as the current mappings;
// with any other code page removes the installed one. Does nothing without a
// placeholder (the main component's, which it keeps for its lifetime).
// 0, or -1 when there was no placeholder.
int setLanguage (const juce::LocalisedStrings* placeholder, int codePage);
