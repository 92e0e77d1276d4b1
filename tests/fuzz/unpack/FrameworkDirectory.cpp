#include "FrameworkDirectory.h"

namespace
{
    juce::uint32 le16 (const char* p) { return juce::ByteOrder::littleEndianShort (p); }
    juce::uint32 le32 (const char* p) { return juce::ByteOrder::littleEndianInt (p); }

    // juce_ZipFile.cpp, findCentralDirectoryFileHeader, as JUCE 7.0.5 has it.
    juce::int64 findEndRecord (juce::InputStream& input, int& numEntries)
    {
        juce::BufferedInputStream in (input, 8192);

        in.setPosition (in.getTotalLength());
        auto pos = in.getPosition();
        auto lowestPos = juce::jmax ((juce::int64) 0, pos - 1048576);
        char buffer[32] = {};

        while (pos > lowestPos)
        {
            in.setPosition (pos - 22);
            pos = in.getPosition();
            memcpy (buffer + 22, buffer, 4);

            if (in.read (buffer, 22) != 22)
                return 0;

            for (int i = 0; i < 22; ++i)
            {
                if (le32 (buffer + i) == 0x06054b50)
                {
                    in.setPosition (pos + i);
                    in.read (buffer, 22);
                    numEntries = (int) le16 (buffer + 10);
                    auto offset = (juce::int64) le32 (buffer + 16);

                    if (offset >= 4)
                    {
                        in.setPosition (offset);

                        if (in.readInt() != 0x02014b50)
                        {
                            in.setPosition (offset - 4);

                            if (in.readInt() == 0x02014b50)
                                offset -= 4;
                        }
                    }

                    return offset;
                }
            }
        }

        return 0;
    }
}

// juce_ZipFile.cpp, ZipFile::init.
std::vector<DirectoryRecord> frameworkDirectory (const juce::MemoryBlock& archive)
{
    std::vector<DirectoryRecord> records;
    juce::MemoryInputStream in (archive, false);
    int numEntries = 0;
    const auto start = findEndRecord (in, numEntries);

    if (start < 0 || start >= in.getTotalLength())
        return records;

    const auto size = (size_t) (in.getTotalLength() - start);
    in.setPosition (start);
    juce::MemoryBlock headerData;

    if (in.readIntoMemoryBlock (headerData, (ssize_t) size) != size)
        return records;

    size_t pos = 0;

    for (int i = 0; i < numEntries; ++i)
    {
        if (pos + 46 > size)
            break;

        const auto* buffer = static_cast<const char*> (headerData.getData()) + pos;
        const auto nameLength = le16 (buffer + 28);

        if (pos + 46 + nameLength > size)
            break;

        records.push_back ({ std::string (buffer + 46, nameLength), le32 (buffer + 16),
                             (juce::int64) le32 (buffer + 24), le32 (buffer + 38) });

        pos += 46 + nameLength + le16 (buffer + 30) + le16 (buffer + 32);
    }

    return records;
}

bool isWellFormedUtf8 (const std::string& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*> (bytes.data());
    const auto* end = p + bytes.size();

    while (p < end)
    {
        const unsigned lead = *p++;
        int more = 0;
        unsigned low = 0x80, high = 0xBF;   // the range of the byte after the lead

        if (lead <= 0x7F)                   more = 0;
        else if (lead >= 0xC2 && lead <= 0xDF) more = 1;
        else if (lead == 0xE0)              { more = 2; low = 0xA0; }
        else if (lead == 0xED)              { more = 2; high = 0x9F; }
        else if (lead >= 0xE1 && lead <= 0xEF) more = 2;
        else if (lead == 0xF0)              { more = 3; low = 0x90; }
        else if (lead == 0xF4)              { more = 3; high = 0x8F; }
        else if (lead >= 0xF1 && lead <= 0xF3) more = 3;
        else                                return false;

        for (int k = 0; k < more; ++k, ++p)
        {
            if (p == end || *p < low || *p > high)
                return false;

            low = 0x80;
            high = 0xBF;
        }
    }

    return true;
}
