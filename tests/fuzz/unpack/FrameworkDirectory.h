#pragma once

#include <juce_core/juce_core.h>

#include <string>
#include <vector>

// One entry of the central directory as juce::ZipFile reads it, its name as
// the bytes the archive holds.
struct DirectoryRecord
{
    std::string name;
    juce::uint32 crc = 0;
    juce::int64 size = 0;
    juce::uint32 attributes = 0;
};

// The records juce::ZipFile lists for archive, in its order: its end-record
// search and its walk of the directory, repeated step by step with the same
// streams. The fuzzer's own account of which directory the framework
// unpacks by, kept apart from the program's.
std::vector<DirectoryRecord> frameworkDirectory (const juce::MemoryBlock& archive);

// Well-formed UTF-8, by the table of well-formed byte sequences.
bool isWellFormedUtf8 (const std::string& bytes);
