#pragma once

#include <juce_core/juce_core.h>

#include <string>
#include <vector>

// One entry of a test package: a file with its text, or a symbolic link to
// linkTarget (which need not exist). mode, when given, is the Unix mode the
// entry carries (type bits included); claimedSize, when given, the size its
// directory entry claims instead of the true one. A stored entry is kept as
// it is instead of deflated; crcOf, when given, is the text whose CRC-32 the
// headers carry, as if the entry's bytes had changed after it was packed.
// rawName, when given, is written as the name's bytes in place of name: bytes
// that need not be UTF-8, which no juce::String may hold.
struct ZipItem
{
    juce::String name;
    juce::String content;
    juce::File linkTarget {};
    juce::uint32 mode = 0;
    juce::int64 claimedSize = -1;
    bool stored = false;
    juce::String crcOf {};
    std::string rawName {};
};

// A zip archive of the items, in order, written byte by byte: deflated files,
// stored links, the Unix mode in the external attributes as zip tools write it.
juce::MemoryBlock makeZip (const std::vector<ZipItem>& items);
