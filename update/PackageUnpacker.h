#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <vector>

// Unpacks an update package, a zip archive that comes from the network, into
// a folder of its own: plain files and folders only, each created new inside
// that folder, never through a link, every write checked. No name from the
// package is ever parsed as a path: its checked parts are appended to the
// folder's path as text.
namespace PackageUnpacker
{
    // The longest name an entry may have, in characters: Windows' own limit
    // on a whole path (MAX_PATH), which no real package comes near.
    constexpr int maxNameLength = 260;

    // Refuses, before anything is written, a package with an entry that is a
    // link or anything else but a plain file or folder, an entry whose name
    // leads outside the folder, is one Windows cannot keep as written (a
    // device name, a part ending in a dot or a space) or is there twice
    // (case aside), one whose entries add up to more than maxBytes, and one
    // without a CRC-32 for every entry (crcs, from ZipDirectory). The message
    // names the entry; one longer than maxNameLength by its number, counted
    // from 1.
    juce::Result check (const juce::ZipFile& zip, const std::vector<juce::uint32>& crcs, juce::int64 maxBytes);

    // Unpacks a checked package into folder, which exists and is empty; an
    // entry whose bytes do not match their CRC-32 fails it. Each folder is
    // made and checked once. Stops with the failure "cancel" once shouldStop
    // (if given) returns true: it is asked before each entry, each folder
    // made and each block read. On a failure folder holds a part of the
    // package: the caller deletes it.
    juce::Result unpack (juce::ZipFile& zip, const std::vector<juce::uint32>& crcs, const juce::File& folder,
                         juce::int64 maxBytes, const std::function<bool()>& shouldStop);
}
