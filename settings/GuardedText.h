#pragma once

#include <juce_core/juce_core.h>

#include <vector>

// A character that an XML document may hold: tab, LF, CR and U+0020 upwards,
// without the surrogates, U+FFFE and U+FFFF.
bool isXmlCharacter (juce::int64 c);

// Decodes the bytes of a text written by someone else: UTF-16 of either byte
// order when it starts with a byte-order mark, otherwise UTF-8 (a leading mark
// skipped). False on a malformed or truncated sequence, an odd UTF-16 length,
// a lone surrogate, or a character that is not an XML character (NUL among them).
bool decodeGuardedText (const juce::MemoryBlock& bytes, std::vector<juce::juce_wchar>& text);

// Decodes the bytes of a text file leniently, as juce::String::createStringFromData
// does (UTF-16 of either byte order after its mark, otherwise UTF-8 with or
// without mark, or Windows-1252 when that is not valid UTF-8), but joining
// UTF-16 surrogate pairs into one character; a lone surrogate becomes U+FFFD.
// Valid UTF-8 is meant strictly: overlong forms and surrogates make the text
// Windows-1252. The text ends at a NUL character.
juce::String decodeLenientText (const juce::MemoryBlock& bytes);

// Reads a regular file of at most maxBytes; false when it is missing,
// unreadable or larger (checked before reading, and again while reading, for
// a file that grows meanwhile).
bool readBoundedFile (const juce::File& file, size_t maxBytes, juce::MemoryBlock& bytes);
