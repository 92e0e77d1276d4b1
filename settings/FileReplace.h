#pragma once

#include <juce_core/juce_core.h>

// The bytes of a text file as the settings and language files are stored:
// FF FE, then UTF-16LE (a character beyond U+FFFF as a surrogate pair),
// with a lone LF written as CR LF.
juce::MemoryBlock utf16FileBytes (const juce::String& text);

// Writes the bytes to a temporary file beside the target and renames it over
// the target, so that a failed create, write or rename leaves the old file
// as it was. True when the target now holds exactly these bytes.
bool replaceFileWith (const juce::File& target, const juce::MemoryBlock& bytes);
