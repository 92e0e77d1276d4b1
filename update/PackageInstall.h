#pragma once

#include <juce_core/juce_core.h>

#include <functional>

// The unpack of a downloaded update package and the swap with the target
// folder, on JUCE's core alone: what DownloadNewVersionThread::install does,
// and what the fuzzer runs.
namespace PackageInstall
{
    // What a package may unpack to, all its files together.
    constexpr juce::int64 maxUnpackedBytes = (juce::int64) 1 << 30;

    // Moves a folder, true when moved.
    using FolderMove = std::function<bool (const juce::File& from, const juce::File& to)>;

    // See DownloadNewVersionThread::install.
    juce::Result install (const juce::MemoryBlock& data, const juce::File& targetFolder,
                          const std::function<bool()>& shouldStop, const FolderMove& moveFolder);
}
