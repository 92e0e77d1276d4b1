#include "ZipDirectory.h"

#include "Utf8.h"

#include <cstring>

namespace
{
    constexpr juce::uint32 endSignature = 0x06054b50, entrySignature = 0x02014b50;
    constexpr size_t endSize = 22, entrySize = 46, maxCommentSize = 0xffff, frameworkReach = 1048576;
    constexpr size_t none = ~(size_t) 0;

    juce::uint32 read32 (const juce::uint8* p) { return juce::ByteOrder::littleEndianInt (p); }
    juce::uint32 read16 (const juce::uint8* p) { return juce::ByteOrder::littleEndianShort (p); }

    juce::Result damaged() { return juce::Result::fail ("The package's directory is damaged"); }

    // Where juce::ZipFile finds the end record (findCentralDirectoryFileHeader):
    // in 22-byte blocks from the end backwards, each searched forwards with
    // the first four bytes of the block after it behind it, zeros after the
    // last. It takes a signature in the last 21 bytes too, a record cut off.
    size_t frameworkEndRecord (const juce::uint8* bytes, size_t size)
    {
        juce::uint8 block[endSize + 4] = {};
        const auto lowest = size > frameworkReach ? size - frameworkReach : 0;

        for (size_t pos = size; pos > lowest;)
        {
            pos = pos > endSize ? pos - endSize : 0;
            std::memmove (block + endSize, block, 4);

            if (size - pos < endSize)
                return none;

            std::memcpy (block, bytes + pos, endSize);

            for (size_t i = 0; i < endSize; ++i)
                if (read32 (block + i) == endSignature)
                    return pos + i;
        }

        return none;
    }

    // A reader that searches byte by byte, as most do, takes the same record
    // only when it is whole, lies where a comment can reach it, and is the
    // only end signature there.
    bool isTheOnlyEndRecord (const juce::uint8* bytes, size_t size, size_t end)
    {
        if (end + endSize > size || read32 (bytes + end) != endSignature)
            return false;

        const auto lowest = size > endSize + maxCommentSize ? size - endSize - maxCommentSize : 0;

        if (end < lowest)
            return false;

        for (auto pos = lowest; pos + 4 <= size; ++pos)
            if (pos != end && read32 (bytes + pos) == endSignature)
                return false;

        return true;
    }

    // Some archives give the directory's offset just past the first entry's
    // signature; the framework takes them, so this does too.
    size_t frameworkDirectoryStart (const juce::uint8* bytes, size_t size, size_t offset)
    {
        const auto signatureAt = [&] (size_t pos) { return pos + 4 <= size && read32 (bytes + pos) == entrySignature; };

        if (offset >= 4 && ! signatureAt (offset) && signatureAt (offset - 4))
            return offset - 4;

        return offset;
    }
}

juce::Result ZipDirectory::read (const juce::MemoryBlock& archive, std::vector<Entry>& entries)
{
    entries.clear();
    const auto* bytes = static_cast<const juce::uint8*> (archive.getData());
    const auto size = archive.getSize();
    const auto end = frameworkEndRecord (bytes, size);

    if (end == none)
        return juce::Result::ok();

    if (! isTheOnlyEndRecord (bytes, size, end))
        return damaged();

    const auto count = read16 (bytes + end + 10);
    auto pos = frameworkDirectoryStart (bytes, size, read32 (bytes + end + 16));

    // The framework stops, without a word, at the first record that does not
    // fit; it never looks at a record's signature.
    for (juce::uint32 i = 0; i < count && pos < size && size - pos >= entrySize; ++i)
    {
        const auto* record = bytes + pos;
        const auto nameLength = read16 (record + 28);

        if (size - pos - entrySize < nameLength)
            break;

        if (read32 (record) != entrySignature)
            return damaged();

        // The framework's ZipFile keeps a name's bytes as they are: only
        // well-formed UTF-8 may reach anything that reads them as text.
        const auto* name = reinterpret_cast<const char*> (record + entrySize);
        const auto number = "Entry " + juce::String (i + 1);

        if (! platform::isValidUtf8 (name, nameLength))
            return juce::Result::fail (number + " has a name that is not valid UTF-8");

        if (std::memchr (name, 0, nameLength) != nullptr)
            return juce::Result::fail (number + " has a name that cannot be unpacked");

        Entry entry;
        entry.name = juce::String::fromUTF8 (name, (int) nameLength);
        entry.crc = read32 (record + 16);
        entry.uncompressedSize = (juce::int64) read32 (record + 24);
        entry.externalFileAttributes = read32 (record + 38);
        entries.push_back (entry);

        pos += entrySize + nameLength + read16 (record + 30) + read16 (record + 32);
    }

    return juce::Result::ok();
}

std::vector<juce::uint32> ZipDirectory::crcs (const juce::ZipFile& zip, const std::vector<Entry>& entries)
{
    if (entries.size() != (size_t) zip.getNumEntries())
        return {};

    std::vector<juce::uint32> result;

    for (int i = 0; i < zip.getNumEntries(); ++i)
    {
        const auto& ours = entries[(size_t) i];
        const auto& theirs = *zip.getEntry (i);

        if (ours.name != theirs.filename || ours.uncompressedSize != theirs.uncompressedSize
            || ours.externalFileAttributes != theirs.externalFileAttributes)
            return {};

        result.push_back (ours.crc);
    }

    return result;
}
