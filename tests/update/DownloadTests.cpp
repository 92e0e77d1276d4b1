// Downloading a package through the update server and unpacking it, without
// the progress window: download and install called on the test's thread.
#include "UpdateFixture.h"

#include "DownloadNewVersionThread.h"

#include <sys/stat.h>

namespace
{
const juce::String packageBytes = juce::String::repeatedString ("0123456789", 90);   // 900 bytes

// Every "@" in the routes and in the texts stands for the server's address.
constexpr const char* redirectChain = R"({
    "/r1": {"status": 302, "location": "@/r2"},
    "/r2": {"status": 302, "location": "@/r3"},
    "/r3": {"status": 302, "location": "@/r4"},
    "/r4": {"status": 302, "location": "@/r5"},
    "/r5": {"status": 302, "location": "@/r6"},
    "/r6": {"file": "pkg.bin"},
    "/lower": {"status": 302, "location": "@/pkg.bin", "header": "location"},
    "/bare": {"status": 302},
    "/empty-location": {"status": 302, "location": ""},
    "/relative": {"status": 302, "location": "/pkg.bin"},
    "/moved": {"status": 301, "location": "@/pkg.bin"},
    "/empty": {"body": ""},
    "/slow": {"file": "pkg.bin", "chunk": 100, "delayMs": 20}
})";

struct DownloadCase
{
    const char* name;
    const char* start;      // path on the server
    const char* failure;    // "" when the download ends ok
    int bytes;              // received when ok
    std::vector<const char*> requests;
};

std::ostream& operator<< (std::ostream& os, const DownloadCase& c) { return os << c.name; }

class Download : public UpdateFixture,
                 public ::testing::WithParamInterface<DownloadCase>
{
protected:
    juce::String withAddress (const juce::String& text) const { return text.replace ("@", server.address ({})); }
};

TEST_P (Download, FollowsRedirectsByHand)
{
    const auto& c = GetParam();
    server.serve ("pkg.bin", packageBytes);
    server.setRoutes (redirectChain);

    DownloadNewVersionThread thread (juce::URL (server.address (c.start)), {}, work ("app"));
    juce::MemoryBlock data;
    const auto result = thread.download (data);

    EXPECT_EQ (result.getErrorMessage(), withAddress (c.failure));

    if (result.wasOk())
    {
        EXPECT_EQ (data.toString(), packageBytes.substring (0, c.bytes));
    }

    juce::StringArray expected;
    for (auto* path : c.requests)
        expected.add (juce::String ("GET ") + path);

    EXPECT_EQ (server.requests(), expected);
}

INSTANTIATE_TEST_SUITE_P (Answers, Download, ::testing::Values (
    DownloadCase { "Direct",             "/pkg.bin",   "", 900, { "/pkg.bin" } },
    DownloadCase { "SlowBody",           "/slow",      "", 900, { "/slow" } },
    DownloadCase { "FourRedirects",      "/r2",        "", 900, { "/r2", "/r3", "/r4", "/r5", "/r6" } },
    DownloadCase { "LowerCaseLocation",  "/lower",     "", 900, { "/lower", "/pkg.bin" } },
    DownloadCase { "EmptyBody",          "/empty",     "", 0,   { "/empty" } },
    DownloadCase { "FiveRedirects",      "/r1",        "Failed to download from: @/r6", 0, { "/r1", "/r2", "/r3", "/r4", "/r5" } },
    DownloadCase { "NoLocation",         "/bare",      "Failed to download from: @/bare", 0, { "/bare" } },
    DownloadCase { "EmptyLocation",      "/empty-location", "Failed to download from: @/empty-location", 0, { "/empty-location" } },
    DownloadCase { "RelativeLocation",   "/relative",  "Failed to download from: /pkg.bin", 0, { "/relative" } },
    DownloadCase { "MovedIsNotFollowed", "/moved",     "Failed to download from: @/moved", 0, { "/moved" } },
    DownloadCase { "NotFound",           "/none.zip",  "Failed to download from: @/none.zip", 0, { "/none.zip" } },
    DownloadCase { "QueryDropped",       "/none.zip?token=secret&id=7", "Failed to download from: @/none.zip", 0,
                   { "/none.zip?token=secret&id=7" } }),
    CaseName());

// A server that sends more than a package can be: refused at the announced
// length, or once the body without one runs past the bound.
TEST_F (UpdateFixture, APackageBeyondTheBoundIsRefused)
{
    server.serve ("pkg.bin", packageBytes);
    server.setRoutes (R"({"/unsized": {"file": "pkg.bin", "noLength": true, "chunk": 100}})");

    struct Case { const char* path; juce::int64 limit; bool ok; };

    for (const auto& c : { Case { "/pkg.bin", 900, true },  Case { "/unsized", 900, true },
                           Case { "/pkg.bin", 899, false }, Case { "/unsized", 899, false } })
    {
        DownloadNewVersionThread thread (juce::URL (server.address (c.path)), {}, work ("app"));
        thread.packageLimit = c.limit;
        juce::MemoryBlock data;
        const auto result = thread.download (data);
        const auto where = juce::String (c.path) + " with a bound of " + juce::String (c.limit);

        if (c.ok)
            EXPECT_EQ (data.toString(), packageBytes) << where;
        else
            EXPECT_EQ (result.getErrorMessage(),
                       "The package is larger than 899 bytes: " + server.address (c.path)) << where;
    }
}

TEST_F (UpdateFixture, DownloadFromAClosedPortFails)
{
    juce::String address;
    {
        UpdateServer gone;
        address = gone.address ("/pkg.zip");
    }

    DownloadNewVersionThread thread (juce::URL (address), {}, work ("app"));
    juce::MemoryBlock data;
    EXPECT_EQ (thread.download (data).getErrorMessage(), "Failed to download from: " + address);
}

// Cut early, the connection fails; cut late, the download ends with what came
// and the unpacking refuses it. Either way nothing is installed.
TEST_F (UpdateFixture, ACutOffPackageIsNeverInstalled)
{
    juce::Random random (11);
    juce::MemoryOutputStream text;
    for (int i = 0; i < 200000; ++i)
        text << juce::String::toHexString (random.nextInt64());
    const auto big = text.toString();

    server.serve ("small.zip", makeZip ({ { "autoUpdate.bat", "batch" } }));
    server.serve ("big.zip", makeZip ({ { "autoUpdate.bat", "batch" }, { "data.bin", big } }));
    server.setRoutes (R"({"/small.zip": {"file": "small.zip", "cutAfter": 60},
                          "/big.zip": {"file": "big.zip", "cutAfter": 1000000, "chunk": 65536, "delayMs": 5}})");

    for (auto* path : { "/small.zip", "/big.zip" })
    {
        DownloadNewVersionThread thread (juce::URL (server.address (path)), {}, work ("app"));
        juce::MemoryBlock data;
        auto result = thread.download (data);

        if (result.wasOk())
        {
            EXPECT_LE (data.getSize(), 1000000u) << path;
            result = DownloadNewVersionThread::install (data, work ("app"));
        }

        EXPECT_TRUE (result.failed()) << path;
        EXPECT_FALSE (work ("app").exists()) << path;
    }
}

//==============================================================================
const std::vector<ZipItem> newPackage { { "autoUpdate.bat", "new batch" },
                                        { "Flintmoor.exe", "new program" },
                                        { "docs/readme.txt", "new readme" } };

juce::MemoryBlock newPackageZip() { return makeZip (newPackage); }

void fillFolder (const juce::File& folder, const juce::String& marker)
{
    folder.createDirectory();
    folder.getChildFile ("marker.txt").replaceWithText (marker);
}

juce::String markerIn (const juce::File& folder) { return folder.getChildFile ("marker.txt").loadFileAsString(); }

bool holdsNewPackage (const juce::File& folder)
{
    return entryNames (folder) == juce::StringArray { "Flintmoor.exe", "autoUpdate.bat", "docs" }
        && folder.getChildFile ("docs/readme.txt").loadFileAsString() == "new readme";
}

using Install = UpdateFixture;

TEST_F (Install, UnpacksIntoANewFolder)
{
    EXPECT_TRUE (DownloadNewVersionThread::install (newPackageZip(), work ("app")).wasOk());

    EXPECT_TRUE (holdsNewPackage (work ("app")));
    EXPECT_EQ (entryNames (workFolder.get()), juce::StringArray { "app" });
}

TEST_F (Install, KeepsThePreviousFolderUnderTheOldName)
{
    fillFolder (work ("app"), "previous");

    EXPECT_TRUE (DownloadNewVersionThread::install (newPackageZip(), work ("app")).wasOk());

    EXPECT_TRUE (holdsNewPackage (work ("app")));
    EXPECT_EQ (markerIn (work ("app_old")), "previous");
    EXPECT_EQ (entryNames (workFolder.get()), (juce::StringArray { "app", "app_old" }));
}

TEST_F (Install, NumbersTheOldFolderWhenItsNameIsTaken)
{
    fillFolder (work ("app"), "previous");
    fillFolder (work ("app_old"), "earlier");

    EXPECT_TRUE (DownloadNewVersionThread::install (newPackageZip(), work ("app")).wasOk());

    EXPECT_TRUE (holdsNewPackage (work ("app")));
    EXPECT_EQ (markerIn (work ("app_old")), "earlier");
    EXPECT_EQ (markerIn (work ("app_old(2)")), "previous");
    EXPECT_EQ (entryNames (workFolder.get()), (juce::StringArray { "app", "app_old", "app_old(2)" }));
}

TEST_F (Install, RefusesWhatIsNotAnArchive)
{
    const auto zip = newPackageZip();

    for (const auto& data : { juce::MemoryBlock(),
                              juce::MemoryBlock ("<html>Not found</html>", 22),
                              juce::MemoryBlock (zip.getData(), zip.getSize() / 2) })
    {
        for (const bool withPrevious : { false, true })
        {
            TempFolder folder;
            const auto app = folder / "app";

            if (withPrevious)
                fillFolder (app, "previous");

            EXPECT_EQ (DownloadNewVersionThread::install (data, app).getErrorMessage(),
                       "The downloaded file wasn't a valid JUCE file!");
            EXPECT_EQ (entryNames (folder.get()), withPrevious ? juce::StringArray { "app" } : juce::StringArray());

            if (withPrevious)
            {
                EXPECT_EQ (entryNames (app), juce::StringArray { "marker.txt" });
            }
        }
    }
}

// The last entry needs a folder where the first entry put a file.
TEST_F (Install, APackageThatDoesNotUnpackCompletelyNeverBecomesApp)
{
    const auto zip = makeZip ({ { "autoUpdate.bat", "new batch" },
                                { "Flintmoor.exe", "new program" },
                                { "autoUpdate.bat/extra.txt", "cannot be written" } });

    for (const bool withPrevious : { false, true })
    {
        TempFolder folder;
        const auto app = folder / "app";

        if (withPrevious)
            fillFolder (app, "previous");

        const auto result = DownloadNewVersionThread::install (zip, app);

        EXPECT_TRUE (result.getErrorMessage().startsWith ("Failed to create target folder: ")) << result.getErrorMessage();
        EXPECT_TRUE (result.getErrorMessage().endsWith ("autoUpdate.bat")) << result.getErrorMessage();
        EXPECT_EQ (entryNames (folder.get()), withPrevious ? juce::StringArray { "app" } : juce::StringArray());

        if (withPrevious)
        {
            EXPECT_EQ (entryNames (app), juce::StringArray { "marker.txt" });
        }
    }
}

//==============================================================================
// What an outside folder holds, to the byte and the nanosecond (the change
// time shows a changed mode or time too), links not followed.
juce::StringArray snapshot (const juce::File& folder)
{
    juce::StringArray lines;

    for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, true, "*",
                                                juce::File::FollowSymlinks::no))
    {
        struct stat info {};
        lstat (f.getFullPathName().toRawUTF8(), &info);
        lines.add (f.getRelativePathFrom (folder) + " mode " + juce::String::toHexString ((int) info.st_mode)
                   + " size " + juce::String ((juce::int64) info.st_size)
                   + " mtime " + juce::String ((juce::int64) info.st_mtim.tv_sec) + "." + juce::String (info.st_mtim.tv_nsec)
                   + " ctime " + juce::String ((juce::int64) info.st_ctim.tv_sec) + "." + juce::String (info.st_ctim.tv_nsec)
                   + (f.existsAsFile() ? " " + f.loadFileAsString() : juce::String()));
    }

    lines.sort (false);
    return lines;
}

// An outside folder with something in it: a file a link may point to, a
// program a link named Flintmoor.exe may point to, a folder.
void plantOutside (const juce::File& outside)
{
    outside.createDirectory();
    outside.getChildFile ("existing.txt").replaceWithText ("planted");
    outside.getChildFile ("program").replaceWithText ("#!/bin/sh\necho outside program ran\n", false, false, "\n");
    chmod (outside.getChildFile ("program").getFullPathName().toRawUTF8(), 0644);
    outside.getChildFile ("sub").createDirectory();
    outside.getChildFile ("sub/deep.txt").replaceWithText ("deep");

    // Times in the past, so that a change shows whatever the clock's step.
    for (const auto& f : outside.findChildFiles (juce::File::findFilesAndDirectories, true))
        f.setLastModificationTime (juce::Time (2001, 0, 2, 3, 4, 5));
}

struct HostileCase
{
    const char* name;
    std::function<std::vector<ZipItem> (const juce::File& outside)> entries;
    const char* messageStart;
};

std::ostream& operator<< (std::ostream& os, const HostileCase& c) { return os << c.name; }

class HostileArchive : public UpdateFixture,
                       public ::testing::WithParamInterface<HostileCase> {};

// Entries that lead outside the folder, or are not plain files and folders,
// create, follow or change nothing, and the update fails.
TEST_P (HostileArchive, WritesNothingOutsideTheTarget)
{
    const auto& c = GetParam();
    const auto outside = work ("outside");
    plantOutside (outside);
    const auto before = snapshot (outside);

    for (const bool withPrevious : { false, true })
    {
        if (withPrevious)
            fillFolder (work ("app"), "previous");

        auto items = c.entries (outside);
        items.insert (items.begin(), { "autoUpdate.bat", "batch" });

        const auto result = DownloadNewVersionThread::install (makeZip (items), work ("app"));

        EXPECT_TRUE (result.getErrorMessage().startsWith (c.messageStart)) << result.getErrorMessage();
        EXPECT_EQ (snapshot (outside), before);
        EXPECT_EQ (entryNames (workFolder.get()),
                   withPrevious ? (juce::StringArray { "app", "outside" }) : juce::StringArray { "outside" });

        if (withPrevious)
        {
            EXPECT_EQ (entryNames (work ("app")), juce::StringArray { "marker.txt" });
        }
    }
}

using Items = std::vector<ZipItem>;

INSTANTIATE_TEST_SUITE_P (Entries, HostileArchive, ::testing::Values (
    HostileCase { "ParentPath",
                  [] (const juce::File&) { return Items { { "../outside/escaped.txt", "x" } }; },
                  "Entry ../outside/escaped.txt is outside the target directory" },
    HostileCase { "ParentInTheMiddle",
                  [] (const juce::File&) { return Items { { "docs/../../outside/escaped.txt", "x" } }; },
                  "Entry docs/../../outside/escaped.txt is outside the target directory" },
    HostileCase { "BackslashParentPath",
                  [] (const juce::File&) { return Items { { "..\\outside\\escaped.txt", "x" } }; },
                  "Entry ../outside/escaped.txt is outside the target directory" },
    HostileCase { "AbsolutePath",
                  [] (const juce::File& outside) { return Items { { outside.getFullPathName() + "/escaped.txt", "x" } }; },
                  "Entry /" },
    HostileCase { "BackslashAbsolutePath",
                  [] (const juce::File& outside) { return Items { { outside.getFullPathName().replaceCharacter ('/', '\\')
                                                                    + "\\escaped.txt", "x" } }; },
                  "Entry /" },
    HostileCase { "DriveLetter",
                  [] (const juce::File&) { return Items { { "C:/outside/escaped.txt", "x" } }; },
                  "Entry C:/outside/escaped.txt is outside the target directory" },
    HostileCase { "ThroughASymbolicLink",
                  [] (const juce::File& outside) { return Items { { "link", {}, outside }, { "link/escaped.txt", "x" } }; },
                  "Entry link is a symbolic link" },
    HostileCase { "LinkThenFileToAMissingTarget",
                  [] (const juce::File& outside) { return Items { { "dang", {}, outside.getChildFile ("created.txt") },
                                                                  { "dang", "through the link" } }; },
                  "Entry dang is a symbolic link" },
    HostileCase { "LinkThenFileToAnExistingTarget",
                  [] (const juce::File& outside) { return Items { { "dang", {}, outside.getChildFile ("existing.txt") },
                                                                  { "dang", "through the link" } }; },
                  "Entry dang is a symbolic link" },
    HostileCase { "LinkThenFileThenParentPath",
                  [] (const juce::File& outside) { return Items { { "dang", {}, outside.getChildFile ("created.txt") },
                                                                  { "dang", "through the link" },
                                                                  { "../x", "x" } }; },
                  "Entry dang is a symbolic link" },
    HostileCase { "LinkNamedLikeTheProgram",
                  [] (const juce::File& outside) { return Items { { "Flintmoor.exe", {}, outside.getChildFile ("program") } }; },
                  "Entry Flintmoor.exe is a symbolic link" },
    HostileCase { "NamedPipe",
                  [] (const juce::File&) { return Items { { "pipe", {}, {}, 010644 } }; },
                  "Entry pipe is not a plain file or folder" },
    HostileCase { "DeviceName",
                  [] (const juce::File&) { return Items { { "COM5", "to the serial port" } }; },
                  "Entry COM5 has a name that cannot be unpacked" },
    HostileCase { "SameNameTwice",
                  [] (const juce::File&) { return Items { { "autoUpdate.bat", "again" } }; },
                  "Entry autoUpdate.bat is in the package twice" }),
    CaseName());

//==============================================================================
// The directory is believed only to refuse a package before anything is
// written; what the entries really hold is counted as it is written.
struct SizeCase
{
    const char* name;
    Items entries;
    const char* message;
};

std::ostream& operator<< (std::ostream& os, const SizeCase& c) { return os << c.name; }

class PackageSize : public UpdateFixture,
                    public ::testing::WithParamInterface<SizeCase> {};

TEST_P (PackageSize, AnUnpackBeyondTheBoundOrTheDirectoryFails)
{
    const auto& c = GetParam();

    for (const bool withPrevious : { false, true })
    {
        TempFolder folder;
        const auto app = folder / "app";

        if (withPrevious)
            fillFolder (app, "previous");

        EXPECT_EQ (DownloadNewVersionThread::install (makeZip (c.entries), app).getErrorMessage(), c.message);
        EXPECT_EQ (entryNames (folder.get()), withPrevious ? juce::StringArray { "app" } : juce::StringArray());

        if (withPrevious)
        {
            EXPECT_EQ (entryNames (app), juce::StringArray { "marker.txt" });
        }
    }
}

const juce::String kilobytes200 = juce::String::repeatedString ("0123456789", 20000);

INSTANTIATE_TEST_SUITE_P (Claims, PackageSize, ::testing::Values (
    SizeCase { "OneEntryClaimsFourGigabytes",
               { { "autoUpdate.bat", "batch" }, { "payload.bin", "small", {}, 0, 0xffffffffLL } },
               "The package unpacks to more than 1.0 GB" },
    SizeCase { "EntriesAddUpBeyondTheBound",
               { { "a.bin", "a", {}, 0, 400000000 }, { "b.bin", "b", {}, 0, 400000000 }, { "c.bin", "c", {}, 0, 400000000 } },
               "The package unpacks to more than 1.0 GB" },
    SizeCase { "AnEntryHoldsMoreThanClaimed",
               { { "autoUpdate.bat", "batch" }, { "payload.bin", kilobytes200, {}, 0, 1000 } },
               "Entry payload.bin holds more than the package's directory says" },
    SizeCase { "AnEntryHoldsLessThanClaimed",
               { { "autoUpdate.bat", "batch" }, { "payload.bin", "ten bytes!", {}, 0, 20 } },
               "Entry payload.bin is damaged: it holds 10 of 20 bytes" }),
    CaseName());

// Cancel while unpacking: the part unpacked goes, the previous folder stays.
TEST_F (Install, AStoppedUnpackLeavesNothingBehind)
{
    juce::Random random (5);
    juce::MemoryOutputStream text;
    for (int i = 0; i < 40000; ++i)
        text << juce::String::toHexString (random.nextInt64());

    const auto zip = makeZip ({ { "autoUpdate.bat", "batch" }, { "payload.bin", text.toString() },
                                { "Flintmoor.exe", "program" } });

    for (const int stopAt : { 1, 2, 4, 8 })
    {
        TempFolder folder;
        const auto app = folder / "app";
        fillFolder (app, "previous");
        int asked = 0;

        const auto result = DownloadNewVersionThread::install (zip, app, [&] { return ++asked >= stopAt; });

        EXPECT_EQ (result.getErrorMessage(), "cancel") << "stopped at " << stopAt;
        EXPECT_EQ (asked, stopAt);
        EXPECT_EQ (entryNames (folder.get()), juce::StringArray { "app" }) << "stopped at " << stopAt;
        EXPECT_EQ (entryNames (app), juce::StringArray { "marker.txt" });
    }
}
}
