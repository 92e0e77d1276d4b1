// The hand-over after a download: moving and starting the package's batch
// file, and the relaunch of the new program. A quit ends the message loop for
// good, so every test runs in a process of its own.
#include "BoxAnswerer.h"
#include "MessageLoop.h"
#include "UpdateFixture.h"

#include "CheckNewSofyVersion.h"

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
