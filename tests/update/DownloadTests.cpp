// Downloading a package through the update server and unpacking it, without
// the progress window: download and install called on the test's thread.
#include "UpdateFixture.h"

#include "DownloadNewVersionThread.h"


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
// A name taken by a link that leads nowhere is taken all the same: the folder
// to unzip into is made new under the next free name, never through the link.
TEST_F (UpdateFixture, TheUnzipFolderIsMadeNewBesideALinkInItsWay)
{
    for (const bool withPrevious : { false, true })
    {
        TempFolder folder;
        const auto app = folder / "app";
        const auto nowhere = folder / "nowhere";
        const auto link = folder / (withPrevious ? "app(2)" : "app_new");

        if (withPrevious)
        {
            app.createDirectory();
            app.getChildFile ("marker.txt").replaceWithText ("previous");
        }

        ASSERT_TRUE (nowhere.createSymbolicLink (link, false));

        const auto result = DownloadNewVersionThread::install (makeZip ({ { "autoUpdate.bat", "new batch" } }), app);

        EXPECT_TRUE (result.wasOk()) << result.getErrorMessage();
        EXPECT_EQ (entryNames (app), juce::StringArray { "autoUpdate.bat" });
        EXPECT_TRUE (link.isSymbolicLink());
        EXPECT_FALSE (nowhere.exists());
        EXPECT_EQ (entryNames (folder.get()), withPrevious ? (juce::StringArray { "app", "app(2)", "app_old" })
                                                           : (juce::StringArray { "app", "app_new" }));
    }
}
}
