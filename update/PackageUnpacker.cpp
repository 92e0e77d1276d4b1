#include "PackageUnpacker.h"

#include "NewFile.h"

#include <map>
#include <set>
#include <zlib.h>

namespace
{
    // Kinds of entry, from the Unix mode in the upper half of the external
    // attributes and the DOS attributes in the lower.
    constexpr juce::uint32 unixTypeFolder = 0x4, unixTypeFile = 0x8, unixTypeLink = 0xA;
    constexpr juce::uint32 dosFolder = 0x10, dosReparsePoint = 0x400;

    struct Entry
    {
        juce::String name;          // as the package writes it, with '/' between parts
        juce::StringArray parts;    // empty: nothing to unpack
        bool isFolder = false;
    };

    // Names Windows takes for devices, whatever follows a dot. COM and LPT
    // take the superscript digits too.
    bool isDeviceName (const juce::String& part)
    {
        const auto stem = part.upToFirstOccurrenceOf (".", false, false).trimEnd().toUpperCase();

        for (auto* device : { "CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$" })
            if (stem == device)
                return true;

        const juce::String digits (juce::CharPointer_UTF8 ("0123456789\xc2\xb9\xc2\xb2\xc2\xb3"));

        return (stem.startsWith ("COM") || stem.startsWith ("LPT")) && stem.length() == 4
            && digits.containsChar (stem[3]);
    }

    // Windows drops a dot or a space at the end of a name, so the file would
    // not be the one the package names.
    bool endsUnkeepably (const juce::String& part)
    {
        return part.endsWithChar ('.') || part.endsWithChar (' ');
    }

    bool hasControlCharacter (const juce::String& text)
    {
        for (auto p = text.getCharPointer(); ! p.isEmpty(); ++p)
            if (*p < 0x20 || *p == 0x7f)
                return true;

        return false;
    }

    juce::Result describe (const juce::ZipFile::ZipEntry& zipEntry, int index, Entry& entry)
    {
        if (zipEntry.filename.length() > PackageUnpacker::maxNameLength)
            return juce::Result::fail ("Entry " + juce::String (index + 1) + " has a name longer than "
                                       + juce::String (PackageUnpacker::maxNameLength) + " characters");

        // Archives made on Windows may part names with backslashes.
        entry.name = zipEntry.filename.replaceCharacter ('\\', '/');
        const auto attributes = zipEntry.externalFileAttributes;
        const auto unixType = (attributes >> 28) & 0xf;

        if (entry.name.isEmpty())
            return juce::Result::ok();

        if (zipEntry.isSymbolicLink || unixType == unixTypeLink || (attributes & dosReparsePoint) != 0)
            return juce::Result::fail ("Entry " + entry.name + " is a symbolic link");

        if (unixType != 0 && unixType != unixTypeFolder && unixType != unixTypeFile)
            return juce::Result::fail ("Entry " + entry.name + " is not a plain file or folder");

        entry.isFolder = entry.name.endsWithChar ('/') || unixType == unixTypeFolder || (attributes & dosFolder) != 0;

        const auto outside = juce::Result::fail ("Entry " + entry.name + " is outside the target directory");

        if (entry.name.startsWithChar ('/') || (entry.name.length() >= 2 && entry.name[1] == ':'))
            return outside;

        for (auto& part : juce::StringArray::fromTokens (entry.name, "/", {}))
        {
            if (part.isEmpty() || part == ".")
                continue;

            if (part == "..")
                return outside;

            if (part.containsChar (':') || hasControlCharacter (part) || isDeviceName (part) || endsUnkeepably (part))
                return juce::Result::fail ("Entry " + entry.name + " has a name that cannot be unpacked");

            entry.parts.add (part);
        }

        return juce::Result::ok();
    }

    juce::String sizeBound (juce::int64 maxBytes)
    {
        return "The package unpacks to more than " + juce::File::descriptionOfSizeInBytes (maxBytes);
    }

    juce::Result writeFailure (const juce::File& file, const juce::Result& reason)
    {
        return juce::Result::fail ("Failed to write to target file: " + file.getFullPathName()
                                   + " (" + reason.getErrorMessage() + ")");
    }

    // The first count parts appended to folder's path as text: a part that
    // starts with "~" is a name, not a home folder.
    juce::File childOf (const juce::File& folder, const juce::StringArray& parts, int count)
    {
        auto path = folder.getFullPathName();

        for (int i = 0; i < count; ++i)
            path << juce::File::getSeparatorString() << parts[i];

        return juce::File (path);
    }

    // The folders made so far, each by its parent's number and its own
    // name: a folder is made and checked once, however many entries lie in
    // it. Number 0 is the unzip folder itself.
    using MadeFolders = std::map<std::pair<int, juce::String>, int>;

    // Folders are made one part at a time, each a real folder (never a link)
    // inside one made before it, so each lies inside folder; no path from
    // the package is resolved, which would walk every part of it again.
    // Stops with "cancel" before any folder once stopRequested returns true.
    juce::Result makeFolders (const juce::File& folder, const Entry& entry, int count, MadeFolders& made,
                              const std::function<bool()>& stopRequested)
    {
        auto path = folder.getFullPathName();
        int number = 0;

        for (int i = 0; i < count; ++i)
        {
            path << juce::File::getSeparatorString() << entry.parts[i];
            const auto known = made.find ({ number, entry.parts[i] });

            if (known != made.end())
            {
                number = known->second;
                continue;
            }

            if (stopRequested())
                return juce::Result::fail ("cancel");

            const juce::File current (path);

            if (platform::makeRealFolder (current).failed())
                return juce::Result::fail ("Failed to create target folder: " + current.getFullPathName());

            number = made.emplace (std::make_pair (number, entry.parts[i]), (int) made.size() + 1).first->second;
        }

        return juce::Result::ok();
    }

    juce::String hex (juce::uint32 value)
    {
        return juce::String::toHexString ((juce::int64) value).paddedLeft ('0', 8);
    }
}

juce::Result PackageUnpacker::check (const juce::ZipFile& zip, const std::vector<juce::uint32>& crcs, juce::int64 maxBytes)
{
    if (crcs.size() != (size_t) zip.getNumEntries())
        return juce::Result::fail ("The package's directory is damaged");

    // Windows takes names that differ only by case for one: every entry and
    // every folder on its way is compared in upper case, each part by its
    // parent's number, so that a deep name costs no more than a long one.
    std::set<juce::String> names;
    std::map<std::pair<int, juce::String>, std::pair<int, juce::String>> spellings;
    juce::int64 total = 0;

    for (int i = 0; i < zip.getNumEntries(); ++i)
    {
        const auto& zipEntry = *zip.getEntry (i);
        Entry entry;
        const auto described = describe (zipEntry, i, entry);

        if (described.failed())
            return described;

        if (entry.parts.isEmpty())
            continue;

        const auto twice = juce::Result::fail ("Entry " + entry.name + " is in the package twice");

        if (! names.insert (entry.parts.joinIntoString ("/").toUpperCase()).second)
            return twice;

        int number = 0;

        for (auto& part : entry.parts)
        {
            const auto next = (int) spellings.size() + 1;
            const auto known = spellings.emplace (std::make_pair (number, part.toUpperCase()), std::make_pair (next, part)).first;

            if (known->second.second != part)
                return twice;

            number = known->second.first;
        }

        total += zipEntry.uncompressedSize;

        if (total > maxBytes)
            return juce::Result::fail (sizeBound (maxBytes));
    }

    return juce::Result::ok();
}

juce::Result PackageUnpacker::unpack (juce::ZipFile& zip, const std::vector<juce::uint32>& crcs, const juce::File& folder,
                                      juce::int64 maxBytes, const std::function<bool()>& shouldStop)
{
    const auto stopRequested = [&shouldStop] { return shouldStop != nullptr && shouldStop(); };
    const auto cancelled = juce::Result::fail ("cancel");

    // The unzip folder, made just before, must be there and be one the
    // system can name.
    if (platform::resolvedPath (folder).isEmpty())
        return juce::Result::fail ("Failed to create target folder: " + folder.getFullPathName());

    if (crcs.size() != (size_t) zip.getNumEntries())
        return juce::Result::fail ("The package's directory is damaged");

    juce::HeapBlock<char> buffer (65536);
    juce::int64 total = 0;
    MadeFolders madeFolders;

    for (int i = 0; i < zip.getNumEntries(); ++i)
    {
        if (stopRequested())
            return cancelled;

        const auto& zipEntry = *zip.getEntry (i);
        Entry entry;
        const auto described = describe (zipEntry, i, entry);

        if (described.failed())
            return described;

        if (entry.parts.isEmpty())
            continue;

        const auto made = makeFolders (folder, entry, entry.parts.size() - (entry.isFolder ? 0 : 1), madeFolders, stopRequested);

        if (made.failed())
            return made;

        if (entry.isFolder)
            continue;

        // In a folder made above: the file lies inside folder too.
        const auto target = childOf (folder, entry.parts, entry.parts.size());

        platform::NewFile out;
        const auto created = out.create (target);

        if (created.failed())
            return writeFailure (target, created);

        std::unique_ptr<juce::InputStream> in (zip.createStreamForEntry (i));

        if (in == nullptr)
            return juce::Result::fail ("Failed to open the zip file for reading");

        // The directory's sizes were checked; what an entry really holds
        // is counted as it is written, since a directory can lie, and its
        // CRC-32 computed, since a byte may have changed on the way.
        juce::int64 written = 0;
        uLong crc = crc32 (0L, Z_NULL, 0);

        for (;;)
        {
            if (stopRequested())
                return cancelled;

            const auto count = in->read (buffer.get(), 65536);

            if (count <= 0)
                break;

            written += count;
            total += count;

            if (written > zipEntry.uncompressedSize)
                return juce::Result::fail ("Entry " + entry.name + " holds more than the package's directory says");

            if (total > maxBytes)
                return juce::Result::fail (sizeBound (maxBytes));

            const auto wrote = out.write (buffer.get(), (size_t) count);

            if (wrote.failed())
                return writeFailure (target, wrote);

            crc = crc32 (crc, reinterpret_cast<const Bytef*> (buffer.get()), (uInt) count);
        }

        if (written != zipEntry.uncompressedSize)
            return juce::Result::fail ("Entry " + entry.name + " is damaged: it holds "
                                       + juce::String (written) + " of " + juce::String (zipEntry.uncompressedSize) + " bytes");

        if ((juce::uint32) crc != crcs[(size_t) i])
            return juce::Result::fail ("Entry " + entry.name + " is damaged: its CRC-32 is " + hex ((juce::uint32) crc)
                                       + ", the package's directory gives " + hex (crcs[(size_t) i]));

        const auto timed = out.setModificationTime (zipEntry.fileTime);

        if (timed.failed())
            return writeFailure (target, timed);

        const auto closed = out.close();

        if (closed.failed())
            return writeFailure (target, closed);
    }

    return juce::Result::ok();
}
