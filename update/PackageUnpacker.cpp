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

    juce::Result describe (const juce::ZipFile::ZipEntry& zipEntry, Entry& entry)
    {
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

    bool isWithin (const juce::String& path, const juce::String& root)
    {
        return path == root || path.startsWith (root.trimCharactersAtEnd ("\\/") + juce::File::getSeparatorString());
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

    juce::Result outside (const Entry& entry)
    {
        return juce::Result::fail ("Entry " + entry.name + " is outside the target directory");
    }

    // Folders are made one part at a time, each a real folder inside the
    // last, and each checked to lie inside root before it is made.
    juce::Result makeFolders (const juce::File& folder, const juce::String& root, const Entry& entry, int count)
    {
        for (int i = 0; i < count; ++i)
        {
            if (! isWithin (platform::resolvedPath (childOf (folder, entry.parts, i)), root))
                return outside (entry);

            const auto current = childOf (folder, entry.parts, i + 1);

            if (platform::makeRealFolder (current).failed())
                return juce::Result::fail ("Failed to create target folder: " + current.getFullPathName());
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
    // every folder on its way is compared in upper case.
    std::set<juce::String> names;
    std::map<juce::String, juce::String> spellings;
    juce::int64 total = 0;

    for (int i = 0; i < zip.getNumEntries(); ++i)
    {
        const auto& zipEntry = *zip.getEntry (i);
        Entry entry;
        const auto described = describe (zipEntry, entry);

        if (described.failed())
            return described;

        if (entry.parts.isEmpty())
            continue;

        const auto twice = juce::Result::fail ("Entry " + entry.name + " is in the package twice");

        if (! names.insert (entry.parts.joinIntoString ("/").toUpperCase()).second)
            return twice;

        juce::String path;

        for (auto& part : entry.parts)
        {
            path << (path.isEmpty() ? "" : "/") << part;
            const auto known = spellings.emplace (path.toUpperCase(), path).first;

            if (known->second != path)
                return twice;
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
    const auto root = platform::resolvedPath (folder);

    if (root.isEmpty())
        return juce::Result::fail ("Failed to create target folder: " + folder.getFullPathName());

    if (crcs.size() != (size_t) zip.getNumEntries())
        return juce::Result::fail ("The package's directory is damaged");

    juce::HeapBlock<char> buffer (65536);
    juce::int64 total = 0;

    for (int i = 0; i < zip.getNumEntries(); ++i)
    {
        if (stopRequested())
            return cancelled;

        const auto& zipEntry = *zip.getEntry (i);
        Entry entry;
        const auto described = describe (zipEntry, entry);

        if (described.failed())
            return described;

        if (entry.parts.isEmpty())
            continue;

        const auto made = makeFolders (folder, root, entry, entry.parts.size() - (entry.isFolder ? 0 : 1));

        if (made.failed())
            return made;

        if (entry.isFolder)
            continue;

        const auto target = childOf (folder, entry.parts, entry.parts.size());

        if (! isWithin (platform::resolvedPath (childOf (folder, entry.parts, entry.parts.size() - 1)), root))
            return outside (entry);

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
