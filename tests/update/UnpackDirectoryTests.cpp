// Which central directory an update package is unpacked by, and whose CRC-32s
// are checked: packages put together byte by byte from the parts of one that
// the zip writer made, in a temporary working directory.
#include "UnpackFixture.h"

#include "DownloadNewVersionThread.h"

#include <string>

namespace
{
const std::vector<ZipItem> items { { "autoUpdate.bat", "new batch" }, { "Flintmoor.exe", "new program", {}, 0, -1, true } };

juce::uint32 read32 (const std::string& bytes, size_t at) { return juce::ByteOrder::littleEndianInt (bytes.data() + at); }
juce::uint32 read16 (const std::string& bytes, size_t at) { return juce::ByteOrder::littleEndianShort (bytes.data() + at); }

std::string le16 (juce::uint32 v) { return { (char) (v & 0xff), (char) ((v >> 8) & 0xff) }; }
std::string le32 (juce::uint32 v) { return le16 (v & 0xffff) + le16 (v >> 16); }

const std::string endSignature = le32 (0x06054b50);

// A package of the zip writer's in its parts: the entries and their count,
// and the directory.
struct Parts
{
    std::string entries, directory;
    juce::uint32 count;
};

Parts partsOf (const juce::MemoryBlock& zip)
{
    const std::string bytes (static_cast<const char*> (zip.getData()), zip.getSize());
    const auto end = bytes.size() - 22;
    const auto offset = read32 (bytes, end + 16);
    return { bytes.substr (0, offset), bytes.substr (offset, read32 (bytes, end + 12)), read16 (bytes, end + 10) };
}

// The same directory with every CRC-32 in it changed.
std::string withWrongCrcs (std::string directory)
{
    for (size_t pos = 0; pos + 46 <= directory.size();
         pos += 46 + read16 (directory, pos + 28) + read16 (directory, pos + 30) + read16 (directory, pos + 32))
        directory.replace (pos + 16, 4, le32 (read32 (directory, pos + 16) ^ 0x5a5a5a5a));

    return directory;
}

// An end record; sizeField, when given, stands in the directory's size.
std::string endRecord (juce::uint32 count, juce::uint32 offset, const std::string& comment, const std::string& sizeField)
{
    return endSignature + le16 (0) + le16 (0) + le16 (count) + le16 (count) + sizeField + le32 (offset)
         + le16 ((juce::uint32) comment.size()) + comment;
}

juce::MemoryBlock blockOf (const std::string& bytes) { return { bytes.data(), bytes.size() }; }

struct DirectoryCase
{
    const char* name;
    std::function<std::string (const Parts&)> package;
    const char* message;        // empty: the package installs
};

std::ostream& operator<< (std::ostream& os, const DirectoryCase& c) { return os << c.name; }

class PackageDirectory : public UnpackFixture,
                         public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P (PackageDirectory, IsTheOneTheFrameworkUnpacksByOrIsRefused)
{
    const auto& c = GetParam();
    const auto package = blockOf (c.package (partsOf (makeZip (items))));

    for (const bool withPrevious : { false, true })
    {
        TempFolder folder;
        const auto app = folder / "app";

        if (withPrevious)
        {
            app.createDirectory();
            app.getChildFile ("marker.txt").replaceWithText ("previous");
        }

        const auto result = DownloadNewVersionThread::install (package, app);

        if (juce::String (c.message).isEmpty())
        {
            EXPECT_TRUE (result.wasOk()) << result.getErrorMessage();
            EXPECT_EQ (app.getChildFile ("Flintmoor.exe").loadFileAsString(), "new program");
            continue;
        }

        EXPECT_EQ (result.getErrorMessage(), juce::String (c.message));
        EXPECT_EQ (entryNames (folder.get()), withPrevious ? juce::StringArray { "app" } : juce::StringArray());

        if (withPrevious)
        {
            EXPECT_EQ (entryNames (app), juce::StringArray { "marker.txt" });
        }
    }
}

// Two directories with the same names, sizes and attributes, the first with
// CRC-32s that the entries' bytes do not have: the framework's search and a
// search byte by byte from the end find different end records.
std::string twoDirectories (const Parts& p, bool endRecordNamesTheFirst, const std::string& comment, const std::string& sizeField)
{
    const auto first = (juce::uint32) p.entries.size();
    const auto second = first + (juce::uint32) p.directory.size();
    return p.entries + withWrongCrcs (p.directory) + p.directory
         + endRecord (p.count, endRecordNamesTheFirst ? first : second, comment, sizeField);
}

INSTANTIATE_TEST_SUITE_P (Packages, PackageDirectory, ::testing::Values (
    DirectoryCase { "OneDirectory",
                    [] (const Parts& p) { return p.entries + p.directory
                                                 + endRecord (p.count, (juce::uint32) p.entries.size(), {}, le32 ((juce::uint32) p.directory.size())); },
                    "" },
    DirectoryCase { "BehindTheLongestComment",
                    [] (const Parts& p) { return p.entries + p.directory
                                                 + endRecord (p.count, (juce::uint32) p.entries.size(), std::string (0xffff, 'c'),
                                                              le32 ((juce::uint32) p.directory.size())); },
                    "" },
    // The framework takes the real record, which comes first in its block;
    // a search byte by byte the one that begins in the real one's size field.
    DirectoryCase { "EndSignatureInTheEndRecordsSizeField",
                    [] (const Parts& p) {
                        const auto second = (juce::uint32) (p.entries.size() + p.directory.size());
                        return twoDirectories (p, true, le16 (p.count) + le32 ((juce::uint32) p.directory.size()) + le32 (second)
                                                            + le16 (0) + "    ", endSignature); },
                    "The package's directory is damaged" },
    // The framework takes a record cut off 10 bytes from the end, its fields
    // read partly from the bytes before it.
    DirectoryCase { "EndRecordCutOffNearTheEnd",
                    [] (const Parts& p) {
                        return twoDirectories (p, false, le16 (p.count) + endSignature + le32 ((juce::uint32) p.entries.size()) + le16 (0),
                                               le32 ((juce::uint32) p.directory.size())); },
                    "The package's directory is damaged" },
    DirectoryCase { "SecondEndRecordInTheComment",
                    [] (const Parts& p) {
                        const auto offset = (juce::uint32) p.entries.size();
                        const auto size = le32 ((juce::uint32) p.directory.size());
                        return p.entries + p.directory + endRecord (p.count, offset, "note " + endRecord (p.count, offset, {}, size), size); },
                    "The package's directory is damaged" },
    DirectoryCase { "EndRecordFartherThanACommentReaches",
                    [] (const Parts& p) { return p.entries + p.directory
                                                 + endRecord (p.count, (juce::uint32) p.entries.size(), {}, le32 ((juce::uint32) p.directory.size()))
                                                 + std::string (0x10000, 'j'); },
                    "The package's directory is damaged" }),
    CaseName());
}
