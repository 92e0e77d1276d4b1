#pragma once

#include <juce_core/juce_core.h>

#include <functional>

// Unpacks an update package, a zip archive that comes from the network, into
// a folder of its own: plain files and folders only, each created new inside
// that folder, never through a link, every write checked.
namespace PackageUnpacker
{
    // Refuses, before anything is written, a package with an entry that is a
    // link or anything else but a plain file or folder, an entry whose name
    // leads outside the folder or is there twice, and one whose entries add
    // up to more than maxBytes. The message names the entry.
    juce::Result check (const juce::ZipFile& zip, juce::int64 maxBytes);

    // Unpacks a checked package into folder, which exists and is empty.
    // Stops with the failure "cancel" once shouldStop (if given) returns
    // true. On a failure folder holds a part of the package: the caller
    // deletes it.
    juce::Result unpack (juce::ZipFile& zip, const juce::File& folder, juce::int64 maxBytes,
                         const std::function<bool()>& shouldStop);
}
