#pragma once

#include <juce_core/juce_core.h>

#include <vector>

// The central directory of a zip archive as the framework's ZipFile reads
// it, read from the archive's own bytes for what ZipFile does not tell.
namespace ZipDirectory
{
    struct Entry
    {
        juce::String name;
        juce::uint32 crc = 0;
        juce::int64 uncompressedSize = 0;
        juce::uint32 externalFileAttributes = 0;
    };

    // The entries of the directory that juce::ZipFile reads from archive, in
    // its order: the end record found by the framework's own search, the
    // records walked as it walks them. None, and no failure, where the
    // framework finds no end record. Fails with "The package's directory is
    // damaged" where another reader could take another directory (more than
    // one end signature in the last 64 KiB + 22 bytes, an end record cut off
    // or farther from the end than a comment reaches) and where a record has
    // no signature; with "Entry N has a name that is not valid UTF-8" (N
    // counted from 1, in the directory's order) before any string is made of
    // such a name, and "... cannot be unpacked" for a name that holds a NUL.
    juce::Result read (const juce::MemoryBlock& archive, std::vector<Entry>& entries);

    // The CRC-32 of each of zip's entries, in zip's order. Empty unless
    // entries (from read) are zip's own: the same names, sizes and attributes.
    std::vector<juce::uint32> crcs (const juce::ZipFile& zip, const std::vector<Entry>& entries);
}
