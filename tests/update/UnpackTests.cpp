// Unpacking an update package into "app", with real files in a temporary
// working directory. The same source runs on Linux and, under Wine, on Windows.
#include "UnpackFixture.h"

#include "DownloadNewVersionThread.h"

#include <algorithm>
#include <set>
#include <string>

namespace
{
// The program is stored as it is, the rest deflated.
const std::vector<ZipItem> newPackage { { "autoUpdate.bat", "new batch" },
                                        { "Flintmoor.exe", "new program", {}, 0, -1, true },
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
        && folder.getChildFile ("docs/readme.txt").loadFileAsString() == "new readme"
        && folder.getChildFile ("Flintmoor.exe").loadFileAsString() == "new program";
}

using Install = UnpackFixture;

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

// The CRC-32s come from the package's directory, found behind a comment as
// the framework finds it; a directory the framework reads past a damaged
// record is refused, not guessed at.
TEST_F (Install, TakesTheCrcsFromTheDirectoryTheFrameworkReads)
{
    const juce::String comment ("packed by hand");
    auto withComment = newPackageZip();
    static_cast<char*> (withComment.getData())[withComment.getSize() - 2] = (char) comment.length();
    withComment.append (comment.toRawUTF8(), (size_t) comment.length());

    auto damaged = newPackageZip();
    auto* const begin = static_cast<char*> (damaged.getData());
    auto* const end = begin + damaged.getSize();
    const std::string signature ("PK\x01\x02");
    auto* const first = std::search (begin, end, signature.begin(), signature.end());
    auto* const second = std::search (first + 1, end, signature.begin(), signature.end());
    ASSERT_NE (second, end);
    *second = 'X';

    EXPECT_TRUE (DownloadNewVersionThread::install (withComment, work ("app")).wasOk());
    EXPECT_TRUE (holdsNewPackage (work ("app")));

    EXPECT_EQ (DownloadNewVersionThread::install (damaged, work ("app")).getErrorMessage(),
               "The package's directory is damaged");
    EXPECT_TRUE (holdsNewPackage (work ("app")));
    EXPECT_EQ (entryNames (workFolder.get()), juce::StringArray { "app" });
}

//==============================================================================
// The folder moves of the swap fail on demand. They come in this order: the
// previous "app" to "app_old", the new folder to "app", and after a failure
// of that one "app_old" back to "app".
struct SwapCase
{
    const char* name;
    std::set<int> failingMoves;
    const char* message;        // "{old}" stands for the full path of "app_old"
    int movesTried;
    juce::StringArray folders;  // in the working directory afterwards
    const char* previousIn;     // the folder that then holds the previous contents
};

std::ostream& operator<< (std::ostream& os, const SwapCase& c) { return os << c.name; }

class FailedSwap : public UnpackFixture,
                   public ::testing::WithParamInterface<SwapCase> {};

TEST_P (FailedSwap, KeepsThePreviousContentsAndSaysWhere)
{
    const auto& c = GetParam();
    fillFolder (work ("app"), "previous");
    int moves = 0;

    const auto result = DownloadNewVersionThread::install (newPackageZip(), work ("app"), {},
        [&] (const juce::File& from, const juce::File& to)
        {
            return c.failingMoves.count (++moves) == 0 && from.moveFileTo (to);
        });

    EXPECT_EQ (result.getErrorMessage(),
               juce::String (c.message).replace ("{old}", work ("app_old").getFullPathName()));
    EXPECT_EQ (moves, c.movesTried);
    EXPECT_EQ (entryNames (workFolder.get()), c.folders);
    EXPECT_EQ (entryNames (work (c.previousIn)), juce::StringArray { "marker.txt" });
    EXPECT_EQ (markerIn (work (c.previousIn)), "previous");
}

INSTANTIATE_TEST_SUITE_P (Moves, FailedSwap, ::testing::Values (
    SwapCase { "FirstMoveFails", { 1 }, "Could not remove the existing folder!", 1, { "app" }, "app" },
    SwapCase { "SecondMoveFails", { 2 }, "Could not overwrite the existing folder!", 3, { "app" }, "app" },
    SwapCase { "SecondMoveAndTheWayBackFail", { 2, 3 },
               "Could not overwrite the existing folder! The previous contents are in {old}", 3, { "app_old" }, "app_old" }),
    CaseName());

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
// A folder outside the target with something in it: a file a link may point
// to, a program a link named Flintmoor.exe may point to, a folder.
void plantOutside (const juce::File& outside)
{
    outside.createDirectory();
    outside.getChildFile ("existing.txt").replaceWithText ("planted");
    outside.getChildFile ("program").replaceWithText ("#!/bin/sh\necho outside program ran\n", false, false, "\n");
    outside.getChildFile ("program").setExecutePermission (false);
    outside.getChildFile ("sub").createDirectory();
    outside.getChildFile ("sub/deep.txt").replaceWithText ("deep");

    // Times in the past, so that a change shows whatever the clock's step.
    for (const auto& f : outside.findChildFiles (juce::File::findFilesAndDirectories, true))
        f.setLastModificationTime (juce::Time (2001, 0, 2, 3, 4, 5));
}

// A refusal comes from the check of the whole package, before the folder to
// unzip into is made, or only while the entries are written.
enum class Refused { beforeWriting, whileUnpacking };

struct HostileCase
{
    const char* name;
    std::function<std::vector<ZipItem> (const juce::File& outside)> entries;
    std::string messageStart;                   // UTF-8, "{outside}" for its path; empty: the package installs
    Refused refused = Refused::beforeWriting;
    std::vector<const char*> installed {};      // what "app" then holds
};

std::ostream& operator<< (std::ostream& os, const HostileCase& c) { return os << c.name; }

class HostileArchive : public UnpackFixture,
                       public ::testing::WithParamInterface<HostileCase> {};

// Entries that lead outside the folder, or are not plain files and folders,
// create, follow or change nothing, and the update fails. Names the
// framework would read as a home folder ("~") stay plain names inside it.
TEST_P (HostileArchive, WritesNothingOutsideTheTarget)
{
    const auto& c = GetParam();
    const bool installs = c.messageStart.empty();
    const auto outside = work ("outside");
    const auto home = work ("home");
    plantOutside (outside);
    plantOutside (home);
    pointHomeAt (home);
    const auto before = snapshot (outside);
    const auto homeBefore = snapshot (home);

    for (const bool withPrevious : { false, true })
    {
        for (auto* name : { "app", "app_old" })
            work (name).deleteRecursively();

        if (withPrevious)
            fillFolder (work ("app"), "previous");

        auto items = c.entries (outside);
        items.insert (items.begin(), { "autoUpdate.bat", "batch" });

        // The unpack asks whether to stop before each entry it writes.
        int unpackSteps = 0;
        const auto result = DownloadNewVersionThread::install (makeZip (items), work ("app"),
                                                               [&] { ++unpackSteps; return false; });
        const auto round = withPrevious ? "with a previous app" : "without a previous app";

        if (installs)
        {
            juce::StringArray expected;
            for (auto* path : c.installed)
                expected.add (juce::String::fromUTF8 (path));
            expected.sort (false);

            EXPECT_TRUE (result.wasOk()) << result.getErrorMessage() << ", " << round;
            EXPECT_EQ (treeOf (work ("app")), expected) << round;
        }
        else
        {
            const auto outsidePath = outside.getFullPathName().replaceCharacter ('\\', '/');
            EXPECT_TRUE (result.getErrorMessage().startsWith (juce::String::fromUTF8 (c.messageStart.c_str())
                                                                  .replace ("{outside}", outsidePath)))
                << result.getErrorMessage() << ", " << round;

            if (c.refused == Refused::beforeWriting)
            {
                EXPECT_EQ (unpackSteps, 0) << "refused only once the unpack had begun, " << round;
            }

            if (withPrevious)
            {
                EXPECT_EQ (entryNames (work ("app")), juce::StringArray { "marker.txt" }) << round;
            }
        }

        EXPECT_EQ (snapshot (outside), before) << round;
        EXPECT_EQ (snapshot (home), homeBefore) << round;

        juce::StringArray expectedNames { "home", "outside" };
        if (installs || withPrevious)
            expectedNames.add ("app");
        if (installs && withPrevious)
            expectedNames.add ("app_old");
        expectedNames.sort (false);

        EXPECT_EQ (entryNames (workFolder.get()), expectedNames) << round;
    }
}

using Items = std::vector<ZipItem>;

// A package with one entry named so that Windows would take it for a device
// or change it; the name is UTF-8.
HostileCase unpackableName (const char* caseName, const char* entry)
{
    return { caseName,
             [entry] (const juce::File&) { return Items { { juce::String::fromUTF8 (entry), "x" } }; },
             std::string ("Entry ") + entry + " has a name that cannot be unpacked" };
}

std::string repeated (const std::string& bytes, int times)
{
    std::string result;
    while (--times >= 0)
        result += bytes;
    return result;
}

// U+0080, U+07FF, U+0800, U+D7FF, U+E000, U+FFFD, U+10000 and U+10FFFF.
const char* const boundaryCharacters = "\xc2\x80\xdf\xbf\xe0\xa0\x80\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbd"
                                       "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf.txt";

// A package whose second entry (after autoUpdate.bat) has a name of these
// bytes, which are not UTF-8 or not a name: entries are counted from 1.
HostileCase badName (const char* caseName, std::string bytes, const char* what = "is not valid UTF-8")
{
    return { caseName,
             [bytes] (const juce::File&) { return Items { { {}, "x", {}, 0, -1, false, {}, bytes } }; },
             std::string ("Entry 2 has a name that ") + what };
}

ZipItem stored (ZipItem item)
{
    item.stored = true;
    return item;
}

// An entry whose bytes changed after it was packed: its headers carry the
// CRC-32 of packedFrom.
ZipItem changedAfterPacking (ZipItem item, const juce::String& packedFrom)
{
    item.crcOf = packedFrom;
    return item;
}

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
                  "Entry {outside}/escaped.txt is outside the target directory" },
    HostileCase { "BackslashAbsolutePath",
                  [] (const juce::File& outside) { return Items { { outside.getFullPathName().replaceCharacter ('/', '\\')
                                                                    + "\\escaped.txt", "x" } }; },
                  "Entry {outside}/escaped.txt is outside the target directory" },
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
                  "Entry autoUpdate.bat is in the package twice" },
    HostileCase { "SameNameInOtherCase",
                  [] (const juce::File&) { return Items { { "AUTOUPDATE.BAT", "again" } }; },
                  "Entry AUTOUPDATE.BAT is in the package twice" },
    HostileCase { "SameFolderInOtherCase",
                  [] (const juce::File&) { return Items { { "Docs/a.txt", "a" }, { "docs/b.txt", "b" } }; },
                  "Entry docs/b.txt is in the package twice" },
    unpackableName ("DeviceNameCOM0", "COM0"),
    unpackableName ("DeviceNameLPT0", "lpt0.txt"),
    unpackableName ("DeviceNameCOMSuperscript1", "COM\u00b9"),
    unpackableName ("DeviceNameCOMSuperscript2", "COM\u00b2.log"),
    unpackableName ("DeviceNameCOMSuperscript3", "com\u00b3"),
    unpackableName ("DeviceNameLPTSuperscript1", "LPT\u00b9"),
    unpackableName ("DeviceNameLPTSuperscript2", "LPT\u00b2.txt"),
    unpackableName ("DeviceNameLPTSuperscript3", "lpt\u00b3"),
    unpackableName ("DeviceNameCONIN", "CONIN$"),
    unpackableName ("DeviceNameCONOUT", "conout$.txt"),
    unpackableName ("DeviceNameAsAFolder", "docs/NUL/readme.txt"),
    unpackableName ("NameEndingInADot", "x."),
    unpackableName ("NameEndingInASpace", "x "),
    unpackableName ("FolderEndingInADot", "docs./readme.txt"),
    unpackableName ("FolderEndingInASpace", "docs /readme.txt"),
    badName ("StrayContinuationByteAfterASlash", "a/\xaf" "b"),
    badName ("StrayContinuationByteAtTheEnd", "a\xaf"),
    badName ("StrayContinuationByteFirst", "\x80" "a.txt"),
    badName ("OverlongSequencesInAFolder", "d" + repeated ("\xf0\x80\x80\xae", 40) + "e/x.txt"),
    badName ("OverlongSlash", "a\xc0\xaf" "b"),
    badName ("CutOffSequence", "a\xf0\x9f\x98"),
    badName ("CutOffSequenceInAFolder", "a\xe6\x96/b.txt"),
    badName ("Surrogate", "a\xed\xa0\x80.txt"),
    badName ("PastTheLastCodePoint", "a\xf4\x90\x80\x80.txt"),
    badName ("NotALeadByte", "a\xff.txt"),
    badName ("OverlongThreeBytes", "a\xe0\x9f\xbf.txt"),
    badName ("LastSurrogate", "a\xed\xbf\xbf.txt"),
    HostileCase { "FirstAndLastCharacterOfEachLength",
                  [] (const juce::File&) { return Items { { juce::String::fromUTF8 (boundaryCharacters), "x" } }; },
                  "", Refused::beforeWriting, { "autoUpdate.bat", boundaryCharacters } },
    HostileCase { "NameLongerThanWindowsTakes",
                  [] (const juce::File&) { return Items { { juce::String::repeatedString ("a/", 130) + "b", "x" } }; },
                  "Entry 2 has a name longer than 260 characters" },
    HostileCase { "TwoThousandFoldersDeep",
                  [] (const juce::File&) { return Items { { juce::String::repeatedString ("a/", 2000) + "x.txt", "x" } }; },
                  "Entry 2 has a name longer than 260 characters" },
    badName ("NulInTheName", std::string ("Flintmoor.exe\0.txt", 18), "cannot be unpacked"),
    HostileCase { "HomeFolder",
                  [] (const juce::File&) { return Items { { "~/x/", "" } }; },
                  "", Refused::beforeWriting, { "autoUpdate.bat", "~", "~/x" } },
    HostileCase { "FileInTheHomeFolder",
                  [] (const juce::File&) { return Items { { "~/x/y.txt", "y" } }; },
                  "", Refused::beforeWriting, { "autoUpdate.bat", "~", "~/x", "~/x/y.txt" } },
    HostileCase { "AnotherUsersHomeFolder",
                  [] (const juce::File&) { return Items { { "~nosuchuser/x/", "" } }; },
                  "", Refused::beforeWriting, { "autoUpdate.bat", "~nosuchuser", "~nosuchuser/x" } },
    HostileCase { "HomeFolderInTheMiddle",
                  [] (const juce::File&) { return Items { { "a/~/b.txt", "b" } }; },
                  "", Refused::beforeWriting, { "autoUpdate.bat", "a", "a/~", "a/~/b.txt" } },
    HostileCase { "StoredEntryWithAChangedByte",
                  [] (const juce::File&) { return Items { changedAfterPacking (stored ({ "Flintmoor.exe", "new progrAm" }),
                                                                               "new program") }; },
                  "Entry Flintmoor.exe is damaged: its CRC-32 is ", Refused::whileUnpacking },
    HostileCase { "DeflatedEntryWithAChangedByte",
                  [] (const juce::File&) { return Items { changedAfterPacking ({ "Flintmoor.exe", "new program" },
                                                                               "new progrAm") }; },
                  "Entry Flintmoor.exe is damaged: its CRC-32 is ", Refused::whileUnpacking }),
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

class PackageSize : public UnpackFixture,
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

// A stop asked for at the stopAt-th look ends the install there: the part
// unpacked goes, the previous folder stays.
void expectStoppedAt (const juce::MemoryBlock& zip, int stopAt)
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

// Cancel while unpacking.
TEST_F (Install, AStoppedUnpackLeavesNothingBehind)
{
    juce::Random random (5);
    juce::MemoryOutputStream text;
    for (int i = 0; i < 40000; ++i)
        text << juce::String::toHexString (random.nextInt64());

    const auto zip = makeZip ({ { "autoUpdate.bat", "batch" }, { "payload.bin", text.toString() },
                                { "Flintmoor.exe", "program" } });

    for (const int stopAt : { 1, 2, 4, 8 })
        expectStoppedAt (zip, stopAt);
}

// Cancel while the folders of one entry are made: each folder asks first.
TEST_F (Install, AStopWhileFoldersAreMadeEndsTheUnpack)
{
    const auto zip = makeZip ({ { "a/b/c/d/e/f/g/h/x.txt", "x" } });

    for (int stopAt = 1; stopAt <= 9; ++stopAt)
        expectStoppedAt (zip, stopAt);
}
}
