// Arbitrary bytes as an update package, through the install the program runs,
// into "app" of a working directory that also holds a sibling folder and the
// folder HOME names. For each input it checks what the program promises:
// nothing outside the unzip folder, "app" and "app_old" created, changed or
// removed; after a failure "app" as it was; after a success every entry of
// the directory the framework unpacks by in place, with its size and CRC-32,
// and nothing else. The sanitizers watch every access.
#include "FrameworkDirectory.h"
#include "PackageInstall.h"
#include "TreeSnapshot.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <set>
#include <unistd.h>
#include <zlib.h>

namespace
{
struct Work
{
    std::string root;

    Work()
    {
        const char* tmp = std::getenv ("TMPDIR");
        std::string pattern = std::string (tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/flint-fuzz-unpack-XXXXXX";

        if (::mkdtemp (pattern.data()) == nullptr)
            std::abort();

        root = pattern;

        for (auto* planted : { "outside", "home" })
        {
            const auto folder = root + "/" + planted;
            makeFolder (folder);
            writeFile (folder + "/existing.txt", "planted");
            makeFolder (folder + "/sub");
            writeFile (folder + "/sub/deep.txt", "deep");
        }

        ::setenv ("HOME", (root + "/home").c_str(), 1);
    }

    ~Work() { removeTree (root); }

    std::string operator/ (const char* name) const { return root + "/" + name; }
};

[[noreturn]] void fault (const char* what, const juce::Result& result)
{
    std::fprintf (stderr, "unpack fault: %s (install said: %s)\n", what,
                  result.wasOk() ? "ok" : result.getErrorMessage().toRawUTF8());
    std::abort();
}

// The paths an entry's name gives inside "app", as the unpack parts it: '/'
// or '\' between parts, empty parts and "." dropped.
std::vector<std::string> partsOf (std::string name)
{
    std::vector<std::string> parts;
    std::string part;
    name += '/';

    for (const char c : name)
    {
        if (c != '/' && c != '\\')
        {
            part += c;
            continue;
        }

        if (! part.empty() && part != ".")
            parts.push_back (part);

        part.clear();
    }

    return parts;
}

bool isFolderEntry (const DirectoryRecord& record)
{
    const auto last = record.name.empty() ? 0 : record.name.back();
    return last == '/' || last == '\\' || ((record.attributes >> 28) & 0xf) == 0x4 || (record.attributes & 0x10) != 0;
}

juce::uint32 crcOf (const std::string& bytes)
{
    return (juce::uint32) crc32 (crc32 (0L, Z_NULL, 0), reinterpret_cast<const Bytef*> (bytes.data()), (uInt) bytes.size());
}

std::string bytesOf (const std::string& line)
{
    return line.substr (line.find (' ', line.find ("ctime ") + 6) + 1);
}

// After a success: each entry where its name puts it, files with the size
// and CRC-32 of the framework's directory, and nothing that no entry names.
void checkInstalled (const juce::MemoryBlock& package, const Tree& app, const juce::Result& result)
{
    std::set<std::string> expected { "" };

    for (const auto& record : frameworkDirectory (package))
    {
        if (! isWellFormedUtf8 (record.name) || record.name.find ('\0') != std::string::npos)
            fault ("a package with a name that is not well-formed UTF-8 was installed", result);

        std::string path;
        const auto parts = partsOf (record.name);

        for (size_t i = 0; i < parts.size(); ++i)
        {
            path += (i == 0 ? "" : "/") + parts[i];
            expected.insert (path);
            const auto found = app.find (path);

            if (found == app.end())
                fault ("an entry is missing after a success", result);

            const bool folder = i + 1 < parts.size() || isFolderEntry (record);

            if (found->second.rfind (folder ? "mode 40" : "mode 100", 0) != 0)
                fault ("an entry is not the kind of file its name and attributes give", result);

            if (! folder && ((juce::int64) bytesOf (found->second).size() != record.size
                             || crcOf (bytesOf (found->second)) != record.crc))
                fault ("a file does not hold the size and CRC-32 of the directory the framework unpacks by", result);
        }
    }

    for (const auto& [path, line] : app)
        if (expected.count (path) == 0)
            fault ("the new app holds what no entry names", result);
}

// The entries of a folder's tree without the folder itself, whose times a
// move changes.
Tree inside (Tree tree)
{
    tree.erase ("");
    return tree;
}
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    static Work work;

    for (auto* name : { "app", "app_old", "app_old(2)" })
        removeTree (work / name);

    // Which of "app" and "app_old" are there before (the second only with
    // the first), and whether Cancel is pressed, from the input's length.
    const bool previous = size % 2 == 1;
    const bool earlierOld = size % 4 == 3;
    const int stopAt = size % 5 == 4 && size > 0 ? 1 + data[0] % 16 : 0;

    if (previous)
    {
        makeFolder (work / "app");
        writeFile (work / "app/marker.txt", "previous");
        makeFolder (work / "app/docs");
        writeFile (work / "app/docs/readme.txt", "previous readme");
    }

    if (earlierOld)
    {
        makeFolder (work / "app_old");
        writeFile (work / "app_old/marker.txt", "earlier");
    }

    const auto before = snapshot (work.root);
    const juce::MemoryBlock package (data, size);
    int asked = 0;

    // In the working directory, as the program; libFuzzer's own relative
    // paths need the previous one back afterwards.
    const int previousDirectory = ::open (".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);

    if (previousDirectory < 0 || ::chdir (work.root.c_str()) != 0)
        std::abort();

    const auto result = PackageInstall::install (package, juce::File (work / "app"),
                                                 [&] { return stopAt > 0 && ++asked >= stopAt; },
                                                 [] (const juce::File& from, const juce::File& to) { return from.moveFileTo (to); });

    if (::fchdir (previousDirectory) != 0)
        std::abort();

    ::close (previousDirectory);

    const auto after = snapshot (work.root);

    // The working directory's own times change with every name made in it;
    // the names themselves are compared.
    const auto outsideBefore = inside (without (before, { "app", "app_old", "app_old(2)" }));

    if (inside (without (after, { "app", "app_old", "app_old(2)" })) != outsideBefore)
        fault ("something outside app and app_old was created, changed or removed", result);

    if (result.failed())
    {
        for (auto* name : { "app", "app_old", "app_old(2)" })
            if (subtree (after, name) != subtree (before, name))
                fault ("a failed install changed app or app_old", result);

        return 0;
    }

    if (previous)
    {
        const auto* keptIn = earlierOld ? "app_old(2)" : "app_old";

        if (inside (subtree (after, keptIn)) != inside (subtree (before, "app")) || subtree (after, keptIn).empty())
            fault ("the previous app is not kept whole under the old name", result);
    }

    if (subtree (after, "app_old") != subtree (before, "app_old") && ! (previous && ! earlierOld))
        fault ("an earlier app_old was changed", result);

    if (! subtree (after, "app_old(2)").empty() && ! earlierOld)
        fault ("an old folder was made with no previous app to keep", result);

    checkInstalled (package, subtree (after, "app"), result);
    return 0;
}
