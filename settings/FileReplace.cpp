#include "FileReplace.h"

juce::MemoryBlock utf16FileBytes (const juce::String& text)
{
    juce::MemoryOutputStream out;
    out.write ("\xff\xfe", 2);

    auto unit = [&out] (juce::uint32 u) { out.writeShort ((short) (juce::uint16) u); };
    bool lastWasReturn = false;

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        auto c = (juce::uint32) p.getAndAdvance();

        if (c == '\n' && ! lastWasReturn)
            unit ('\r');

        lastWasReturn = (c == '\r');

        // One unit each would cut a character beyond U+FFFF to its low 16 bits.
        if (c >= 0x10000 && c <= 0x10FFFF)
        {
            c -= 0x10000;
            unit (0xD800 + (c >> 10));
            unit (0xDC00 + (c & 0x3FF));
        }
        else
        {
            // A lone surrogate or a value beyond Unicode cannot be written as UTF-16.
            unit (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : c);
        }
    }

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
