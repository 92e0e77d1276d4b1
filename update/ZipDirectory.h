#pragma once

#include <juce_core/juce_core.h>

#include <vector>

// What a zip archive's central directory says about its entries beyond what
// the framework's ZipFile reads from it.
namespace ZipDirectory
{
    // The CRC-32 of each of zip's entries, in zip's order, read from the
    // archive's own bytes. Empty when that directory cannot be read, or does
    // not list the same entries as zip.
    std::vector<juce::uint32> crcs (const juce::ZipFile& zip, const juce::MemoryBlock& archive);
}
