#include "FileReplace.h"

juce::MemoryBlock utf16FileBytes (const juce::String& text)
{
    juce::MemoryOutputStream out;
    out.writeText (text, true, true, "\r\n");
    return out.getMemoryBlock();
}

bool replaceFileWith (const juce::File& target, const juce::MemoryBlock& bytes)
{
    juce::TemporaryFile temp (target);

    {
        juce::FileOutputStream out (temp.getFile(), 16384);

        if (! out.openedOk())
            return false;

        if (! out.write (bytes.getData(), bytes.getSize()))
            return false;

        out.flush();

        if (out.getStatus().failed())
            return false;
    }

    // A short write is not always reported by the stream, so check what landed.
    if (temp.getFile().getSize() != (juce::int64) bytes.getSize())
        return false;

    return temp.overwriteTargetFileWithTemporary();
}
