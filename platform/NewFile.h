#pragma once

#include <juce_core/juce_core.h>

namespace platform
{
    // A file that is created new for writing, never one that exists already
    // and never through a link at its own name. Every call returns a failure
    // with the system's reason, e.g. "No space left on device".
    class NewFile
    {
    public:
        NewFile() = default;
        ~NewFile();   // closes quietly; use close() to learn whether the data arrived

        juce::Result create (const juce::File& file);
        juce::Result write (const void* data, size_t numBytes);
        juce::Result setModificationTime (juce::Time time);
        juce::Result close();

    private:
        juce::pointer_sized_int handle = -1;

        JUCE_DECLARE_NON_COPYABLE (NewFile)
    };

    // Creates folder, or accepts one that is there already as a real folder
    // (not a link, not a file). Its parent must exist.
    juce::Result makeRealFolder (const juce::File& folder);

    // Creates folder new, failing when anything has its name already, a link
    // that leads nowhere too. Its parent must exist.
    enum class NewFolder { made, nameTaken, failed };
    NewFolder makeNewFolder (const juce::File& folder);

    // The full path of an existing file or folder with every link resolved;
    // empty when it cannot be resolved, or is not valid UTF-8.
    juce::String resolvedPath (const juce::File& file);

    // True when the entry itself (not what it may point to) is a plain file.
    bool isPlainFile (const juce::File& file);
}
