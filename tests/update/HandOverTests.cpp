// The hand-over after a download: moving and starting the package's batch
// file, and the relaunch of the new program. A quit ends the message loop for
// good, so every test runs in a process of its own.
#include "BoxAnswerer.h"
#include "MessageLoop.h"
#include "UpdateFixture.h"

#include "CheckNewSofyVersion.h"
#include "RelaunchTimer.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace
{
class HandOver : public UpdateFixture
{
protected:
    void SetUp() override
    {
        if (! canClickBoxes())
            GTEST_SKIP() << "needs an X display and xdotool (run under xvfb-run)";

        UpdateFixture::SetUp();
    }

    void servePackage()
    {
        server.serve ("p.zip", makeZip ({ { "autoUpdate.bat", markerScript (batchRan) },
                                          { "Flintmoor.exe", markerScript (programRan) } }));
    }

    void writeTextFiles (bool withHelp)
    {
        work ("About.txt").replaceWithText ("about");

        if (withHelp)
            work ("Help.txt").replaceWithText ("help");
    }

    int downloadAndInstall (const juce::String& path)
    {
        return CheckNewSofyVersion().downloadAndInstall (juce::URL (server.address (path)));
    }

    static bool quitting() { return juce::MessageManager::getInstance()->hasStopMessageBeenSent(); }

    // The boxes open now, topmost first.
    static std::vector<ShownBox> openBoxes()
    {
        std::vector<ShownBox> boxes;
        for (auto* box : BoxAnswerer::openBoxes())
            boxes.push_back (BoxAnswerer::describe (*box));
        return boxes;
    }

    const juce::File batchRan = work ("batch-ran");
    const juce::File programRan = work ("program-ran");
};

// Files of this process can grow to bytes at most while it lives: a write
// beyond fails as on a full disk (SIGXFSZ ignored, so the write returns EFBIG).
class FileSizeLimit
{
public:
    explicit FileSizeLimit (rlim_t bytes)
    {
        previousHandler = std::signal (SIGXFSZ, SIG_IGN);
        getrlimit (RLIMIT_FSIZE, &previous);
        auto limited = previous;
        limited.rlim_cur = bytes;
        setrlimit (RLIMIT_FSIZE, &limited);
    }

    ~FileSizeLimit()
    {
        setrlimit (RLIMIT_FSIZE, &previous);
        std::signal (SIGXFSZ, previousHandler);
    }

private:
    rlimit previous {};
    void (*previousHandler) (int) = nullptr;
};

juce::StringArray appFolders (const juce::File& folder)
{
    juce::StringArray names;
    for (auto& name : entryNames (folder))
        if (name.startsWith ("app"))
            names.add (name);
    return names;
}

const juce::StringArray movedLines { "Find app->autoUpdate.bat", "autoUpdate.bat move file succeed!" };
}

TEST_F (HandOver, WithTheTextFilesTheBatchFileTakesOver)
{
    servePackage();
    writeTextFiles (true);

    EXPECT_EQ (downloadAndInstall ("/p.zip"), 0);

    EXPECT_TRUE (quitting());
    EXPECT_TRUE (waitForFile (batchRan));
    EXPECT_TRUE (work ("autoUpdate.bat").existsAsFile());
    EXPECT_FALSE (work ("app/autoUpdate.bat").exists());
    EXPECT_TRUE (work ("app/Flintmoor.exe").existsAsFile());
    EXPECT_EQ (logLines(), (juce::StringArray { "Find app->autoUpdate.bat", "autoUpdate.bat move file succeed!",
                                                "autoUpdate.bat is exists!", "autoUpdate.bat open succeed!" }));
    EXPECT_EQ (openBoxes(), std::vector<ShownBox>());
}

// The archive carries no execute bit; the new program starts all the same.
TEST_F (HandOver, WithoutHelpTextTheRelaunchStartsTheNewProgram)
{
    servePackage();
    writeTextFiles (false);

    EXPECT_EQ (downloadAndInstall ("/p.zip"), -1);
    EXPECT_EQ (openBoxes(), (std::vector<ShownBox> { { "Tips", "Can't  find new Flintmoor.exe!", { "OK" } } }));
    EXPECT_FALSE (quitting());

    EXPECT_TRUE (runMessagesUntil (quitting, 20000));
    EXPECT_TRUE (waitForFile (programRan));
    EXPECT_FALSE (batchRan.exists());
    EXPECT_EQ (logLines(), (juce::StringArray { "Find app->autoUpdate.bat", "autoUpdate.bat move file succeed!",
                                                "Can't find autoUpdate.bat" }));
}

// A batch file left in "app" by an earlier unpack is handed over after a
// failed download, and no relaunch is armed.
TEST_F (HandOver, AFailedDownloadStillStartsAnEarlierBatchFile)
{
    writeTextFiles (true);
    work ("app").createDirectory();
    work ("app/autoUpdate.bat").replaceWithText (markerScript (batchRan), false, false, "\n");

    EXPECT_EQ (downloadAndInstall ("/missing.zip?key=1"), 0);

    EXPECT_TRUE (quitting());
    EXPECT_TRUE (waitForFile (batchRan));
    EXPECT_EQ (openBoxes(), (std::vector<ShownBox> {
        { "Installation Failed", "Failed to download from: " + server.address ("/missing.zip"), { "OK" } } }));
}

// The older "autoUpdate.bat" in the working directory cannot be replaced (a
// folder with something in it); it passes the existence test but cannot start.
TEST_F (HandOver, AFailedMoveLeavesTheOlderBatchFileToStart)
{
    writeTextFiles (true);
    work ("app").createDirectory();
    work ("app/autoUpdate.bat").replaceWithText (markerScript (batchRan), false, false, "\n");
    work ("autoUpdate.bat").createDirectory();
    work ("autoUpdate.bat/inside.txt").replaceWithText ("x");

    EXPECT_EQ (downloadAndInstall ("/missing.zip"), -1);

    EXPECT_EQ (logLines(), (juce::StringArray { "Find app->autoUpdate.bat", "autoUpdate.bat move file fail! ",
                                                "autoUpdate.bat is exists!", "app startAsProcess Fail!" }));
    EXPECT_EQ (openBoxes(), (std::vector<ShownBox> {
        { "Tips", "autoUpdate.bat startAsProcess fail!", { "OK" } },
        { "Installation Failed", "Failed to download from: " + server.address ("/missing.zip"), { "OK" } } }));
    EXPECT_TRUE (work ("app/autoUpdate.bat").existsAsFile());
    runMessagesFor (2500);   // longer than the relaunch delay
    EXPECT_FALSE (quitting());
    EXPECT_FALSE (batchRan.exists());
}

// The disk fills while the package is unpacked: the failure is shown with the
// file and the reason, the partial folder goes, the previous "app" stays, and
// nothing is handed over or relaunched.
TEST_F (HandOver, AFullDiskKeepsThePreviousAppAndHandsNothingOver)
{
    writeTextFiles (true);
    work ("app").createDirectory();
    work ("app/marker.txt").replaceWithText ("previous");
    server.serve ("p.zip", makeZip ({ { "autoUpdate.bat", markerScript (batchRan) },
                                      { "Flintmoor.exe", markerScript (programRan) },
                                      { "payload.bin", juce::String::repeatedString ("0", 4 * 1024 * 1024) } }));
    int returned = 0;
    {
        const FileSizeLimit limit (1024 * 1024);
        returned = downloadAndInstall ("/p.zip");
    }

    EXPECT_EQ (returned, -1);
    const auto boxes = openBoxes();
    ASSERT_EQ (boxes.size(), 2u) << ::testing::PrintToString (boxes);
    EXPECT_EQ (boxes[0], (ShownBox { "Tips", "Can't  find  autoUpdate.bat!", { "OK" } }));
    EXPECT_EQ (boxes[1].title, "Installation Failed");
    EXPECT_TRUE (boxes[1].message.startsWith ("Failed to write to target file: " + workFolder.get().getFullPathName()))
        << boxes[1].message;
    EXPECT_TRUE (boxes[1].message.endsWith ("payload.bin (File too large)")) << boxes[1].message;

    EXPECT_EQ (appFolders (workFolder.get()), juce::StringArray { "app" });
    EXPECT_EQ (entryNames (work ("app")), juce::StringArray { "marker.txt" });
    EXPECT_FALSE (work ("autoUpdate.bat").exists());
    runMessagesFor (2500);   // longer than the relaunch delay
    EXPECT_FALSE (quitting());
    EXPECT_FALSE (batchRan.exists());
    EXPECT_FALSE (programRan.exists());
}

// "Flintmoor.exe" in "app" is a link to a program outside: the relaunch
// neither starts it nor gives it the execute bit.
TEST_F (HandOver, TheRelaunchStartsNoLink)
{
    const auto outsideProgram = work ("outside/program");
    outsideProgram.getParentDirectory().createDirectory();
    outsideProgram.replaceWithText (markerScript (programRan), false, false, "\n");
    chmod (outsideProgram.getFullPathName().toRawUTF8(), 0644);
    work ("app").createDirectory();
    ASSERT_TRUE (outsideProgram.createSymbolicLink (work ("app/Flintmoor.exe"), true));

    new RelaunchTimer (work ("app"));

    EXPECT_TRUE (runMessagesUntil (quitting, 20000));
    juce::Thread::sleep (2000);   // a started program would have written its marker by now
    EXPECT_FALSE (programRan.exists());

    struct stat info {};
    ASSERT_EQ (stat (outsideProgram.getFullPathName().toRawUTF8(), &info), 0);
    EXPECT_EQ (info.st_mode & 0777, 0644u);
}
