#include "ZipDirectory.h"

namespace
{
    constexpr juce::uint32 endSignature = 0x06054b50, entrySignature = 0x02014b50;
    constexpr size_t endSize = 22, entrySize = 46, maxCommentSize = 0xffff;

    juce::uint32 read32 (const juce::uint8* p) { return juce::ByteOrder::littleEndianInt (p); }
    juce::uint32 read16 (const juce::uint8* p) { return juce::ByteOrder::littleEndianShort (p); }
}

std::vector<juce::uint32> ZipDirectory::crcs (const juce::ZipFile& zip, const juce::MemoryBlock& archive)
{
    const auto* bytes = static_cast<const juce::uint8*> (archive.getData());
    const auto size = archive.getSize();

    if (size < endSize)
        return {};

    // The end record comes last, followed only by the archive's comment.
    auto end = size - endSize;
    const auto lowest = end > maxCommentSize ? end - maxCommentSize : 0;

    while (read32 (bytes + end) != endSignature)
    {
        if (end == lowest)
            return {};

        --end;
    }

    size_t pos = read32 (bytes + end + 16);

    // Some archives give the offset just past the first entry's signature;
    // the framework takes them, so this does too.
    if (pos >= 4 && pos + 4 <= size && read32 (bytes + pos) != entrySignature && read32 (bytes + pos - 4) == entrySignature)
        pos -= 4;

    std::vector<juce::uint32> result;

    for (int i = 0; i < zip.getNumEntries(); ++i)
    {
        if (pos > size || size - pos < entrySize || read32 (bytes + pos) != entrySignature)
            return {};

        const auto* entry = bytes + pos;
        const auto nameLength = read16 (entry + 28);
        const auto recordSize = entrySize + nameLength + read16 (entry + 30) + read16 (entry + 32);

        if (size - pos < entrySize + nameLength)
            return {};

        // The same entry as the framework's, or none at all.
        const auto& theirs = *zip.getEntry (i);

        if (juce::String::fromUTF8 (reinterpret_cast<const char*> (entry + entrySize), (int) nameLength) != theirs.filename
            || (juce::int64) read32 (entry + 24) != theirs.uncompressedSize
            || read32 (entry + 38) != theirs.externalFileAttributes)
            return {};

        result.push_back (read32 (entry + 16));
        pos += recordSize;
    }

    return result;
}
