#include "ZipWriter.h"

namespace
{
    juce::uint32 crc32 (const juce::MemoryBlock& data)
    {
        juce::uint32 crc = 0xffffffff;

        for (size_t i = 0; i < data.getSize(); ++i)
        {
            crc ^= (juce::uint8) data[i];

            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }

        return ~crc;
    }

    // MS-DOS date and time, as zip entries keep them.
    std::pair<int, int> dosTime (juce::Time t)
    {
        return { (t.getHours() << 11) | (t.getMinutes() << 5) | (t.getSeconds() / 2),
                 ((t.getYear() - 1980) << 9) | ((t.getMonth() + 1) << 5) | t.getDayOfMonth() };
    }
}

juce::MemoryBlock makeZip (const std::vector<ZipItem>& items)
{
    constexpr juce::uint32 linkMode = 0120777;
    const auto [time, date] = dosTime (juce::Time::getCurrentTime());

    juce::MemoryOutputStream zip, directory;

    for (auto& item : items)
    {
        const bool isLink = item.linkTarget != juce::File();
        const auto text = isLink ? item.linkTarget.getFullPathName() : item.content;
        const juce::MemoryBlock data (text.toRawUTF8(), text.getNumBytesAsUTF8());
        const auto mode = isLink ? linkMode : item.mode;
        const bool keepAsItIs = isLink || item.stored;
        const int method = keepAsItIs ? 0 : 8;

        juce::MemoryBlock packed;
        if (keepAsItIs)
        {
            packed = data;
        }
        else
        {
            juce::MemoryOutputStream packedStream (packed, false);
            juce::GZIPCompressorOutputStream deflater (packedStream, 6, juce::GZIPCompressorOutputStream::windowBitsRaw);
            deflater.write (data.getData(), data.getSize());
        }

        const auto name = item.rawName.empty() ? item.name.toStdString() : item.rawName;
        const auto crc = item.crcOf.isNotEmpty()
            ? crc32 (juce::MemoryBlock (item.crcOf.toRawUTF8(), item.crcOf.getNumBytesAsUTF8()))
            : crc32 (data);
        const auto offset = (juce::uint32) zip.getPosition();
        const auto size = (juce::uint32) data.getSize();
        const auto claimed = item.claimedSize >= 0 ? (juce::uint32) item.claimedSize : size;

        const auto writeCommon = [&] (juce::OutputStream& out, juce::uint32 sizeToWrite)
        {
            out.writeShort (20);                          // version needed
            out.writeShort (0x0800);                      // UTF-8 names
            out.writeShort ((short) method);
            out.writeShort ((short) time);
            out.writeShort ((short) date);
            out.writeInt ((int) crc);
            out.writeInt ((int) packed.getSize());
            out.writeInt ((int) sizeToWrite);
            out.writeShort ((short) name.size());
            out.writeShort (0);                           // extra field
        };

        zip.writeInt (0x04034b50);
        writeCommon (zip, size);
        zip.write (name.data(), name.size());
        zip.write (packed.getData(), packed.getSize());

        directory.writeInt (0x02014b50);
        directory.writeShort (0x0314);                    // made by: Unix
        writeCommon (directory, claimed);
        directory.writeShort (0);                         // comment
        directory.writeShort (0);                         // disk
        directory.writeShort (0);                         // internal attributes
        directory.writeInt ((int) (mode << 16));
        directory.writeInt ((int) offset);
        directory.write (name.data(), name.size());
    }

    const auto directoryStart = (juce::uint32) zip.getPosition();
    zip << directory.getMemoryBlock();

    zip.writeInt (0x06054b50);
    zip.writeShort (0);
    zip.writeShort (0);
    zip.writeShort ((short) items.size());
    zip.writeShort ((short) items.size());
    zip.writeInt ((int) directory.getDataSize());
    zip.writeInt ((int) directoryStart);
    zip.writeShort (0);

    return zip.getMemoryBlock();
}
