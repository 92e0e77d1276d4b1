// The whole road in the program's own window: Help > Check for updates...,
// clicked with the pointer, finds a newer version on the local server,
// downloads and unpacks it, and the relaunch starts the new program.
#include "AccessibleFind.h"
#include "BoxAnswerer.h"
#include "MessageLoop.h"
#include "UpdateFixture.h"

#include "AppInfo.h"
#include "ArvikApplication.h"
#include "LabelLoader.h"
#include "MainComponent.h"
#include "MenusDemo.h"
#include "UpdateListAddress.h"

namespace
{
class MenuUpdate : public UpdateFixture
{
protected:
    void SetUp() override
    {
        if (! canClickBoxes())
            GTEST_SKIP() << "needs an X display and xdotool (run under xvfb-run)";

        UpdateFixture::SetUp();
        setLanguageFileFolder (workFolder.get());
        savedAddress = updateListAddress;
    }

    void TearDown() override
    {
        if (IsSkipped())
            return;

        updateListAddress = savedAddress;
        setLanguageFileFolder ({});
        UpdateFixture::TearDown();
    }

    static bool quitting() { return juce::MessageManager::getInstance()->hasStopMessageBeenSent(); }

    juce::String savedAddress;
};
}

TEST_F (MenuUpdate, HelpCheckForUpdatesEndsInTheRelaunchedProgram)
{
    const auto batchRan = work ("batch-ran"), programRan = work ("program-ran");
    server.serve ("p.zip", makeZip ({ { "autoUpdate.bat", markerScript (batchRan) },
                                      { "Flintmoor.exe", markerScript (programRan) } }));
    server.serve ("Uploadfiles/file/apx/urlapp.xml",
                  "<updateList><updateFiles><Flintmoor url=\"" + server.address ("/p.zip")
                  + "\" lastver=\"1.0.2\" appName=\"Flintmoor.exe\"/></updateFiles></updateList>");
    updateListAddress = server.address ("/Uploadfiles/file/apx/urlapp.xml");

    // The program's window; no "Help.txt" here, so the batch file does not take over.
    auto window = std::make_unique<ArvikApplication::MainWindow> (appinfo::applicationName);
    auto& bar = dynamic_cast<MainComponent&> (*window->getContentComponent()).getMenuBar()->getMenuBarForTest();

    // A menu ignores a click that comes too soon after it opened.
    auto itemSeenAt = std::make_shared<juce::uint32> (0);
    auto menuSettled = [itemSeenAt]
    {
        if (openMenuItem ("Check for updates...") == nullptr)
            return false;

        const auto now = juce::Time::getMillisecondCounter();
        if (*itemSeenAt == 0)
            *itemSeenAt = now;
        return now - *itemSeenAt > 400;
    };

    BoxAnswerer user;
    user.click ([&bar] { return withAccessibleTitle (bar, "Help"); }, {},
                [] { return openMenuItem ("Check for updates...") != nullptr; }, appinfo::applicationName);
    user.click ([] { return openMenuItem ("Check for updates..."); }, menuSettled);
    user.answer ("Updates tips", "Download updates");

    ASSERT_TRUE (runMessagesUntil (quitting, 60000)) << user.describeState();
    EXPECT_TRUE (waitForFile (programRan));
    EXPECT_FALSE (batchRan.exists());
    EXPECT_TRUE (work ("autoUpdate.bat").existsAsFile());

    EXPECT_EQ (user.answered().size(), 1u);
    std::vector<ShownBox> open;
    for (auto* box : BoxAnswerer::openBoxes())
        open.push_back (BoxAnswerer::describe (*box));
    EXPECT_EQ (open, (std::vector<ShownBox> { { "Tips", "Can't  find new Flintmoor.exe!", { "OK" } } }));
}
