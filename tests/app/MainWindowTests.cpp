#include "AppFixture.h"

#include "BackgroundThread.h"
#include "MenusDemo.h"
#include "MessagePanel.h"
#include "MsgPayload.h"
#include "MyCom.h"
#include "Settings.h"

namespace
{
class MainWindow : public AppFixture {};

TEST_F (MainWindow, LaysOutTheBarsAndThePageAtEveryWidth)
{
    openWindow();
    EXPECT_EQ (window->getName(), "Flintmoor V1.0.1");
    EXPECT_EQ (main->getWidth(), 700);
    EXPECT_EQ (main->getHeight(), 350);
    EXPECT_TRUE (window->isVisible());
    EXPECT_EQ (window->getConstrainer()->getMinimumWidth(), 600);
    EXPECT_EQ (window->getConstrainer()->getMinimumHeight(), 300);
    EXPECT_EQ (window->getConstrainer()->getMaximumWidth(), 10000);
    EXPECT_EQ (window->getConstrainer()->getMaximumHeight(), 10000);
    EXPECT_FALSE (main->getWorker()->isVisible());

    for (auto size : { juce::Point<int> (700, 350), juce::Point<int> (1024, 500) })
    {
        SCOPED_TRACE (size.x);
        main->setSize (size.x, size.y);
        EXPECT_EQ (main->getMenuBar()->getBounds(), juce::Rectangle<int> (0, 0, size.x, 30));
        EXPECT_EQ (main->getStatusBar()->getBounds(), juce::Rectangle<int> (0, size.y - 20, size.x, 20));
        EXPECT_EQ (page->getBounds(), juce::Rectangle<int> (0, 30, size.x, size.y - 50));
        EXPECT_EQ (main->getStatusBar()->lineEditorForTest().getBounds(), juce::Rectangle<int> (0, 0, size.x - 150, 18));
        EXPECT_EQ (main->getStatusBar()->creditEditorForTest().getBounds(), juce::Rectangle<int> (size.x - 150, 0, 150, 18));
    }
}

TEST_F (MainWindow, StartsInEnglishUnlessTheSettingIsExactlyChinese)
{
    const struct { const char* setting; bool chinese; } cases[] =
        { { "chinese", true }, { "Chinese", false }, { "chinese ", false }, { "english", false } };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.setting);
        openWindow ({ { "language", c.setting } });
        // The language file is written on the first start; the labels follow from the second.
        closeWindow();
        juce::LocalisedStrings::setCurrentMappings (nullptr);
        openWindow ({ { "language", c.setting } });

        EXPECT_EQ (page->getStartButton().getButtonText(), c.chinese ? text ("\xe5\xbc\x80\xe5\xa7\x8b") : "Start");
        EXPECT_EQ (juce::translate ("Tips"), c.chinese ? text ("\xe6\x8f\x90\xe7\xa4\xba") : "Tips");
        closeWindow();
        juce::LocalisedStrings::setCurrentMappings (nullptr);
    }
}

TEST_F (MainWindow, RemovesALeftOverUpdaterAtStart)
{
    ASSERT_TRUE (work ("autoUpdate.exe").getChildFile ("inner").createDirectory().wasOk());
    ASSERT_TRUE (work ("autoUpdate.exe").getChildFile ("inner/file.txt").replaceWithText ("x"));
    openWindow();
    EXPECT_FALSE (work ("autoUpdate.exe").exists());
}

// Log lines posted to the main component as the worker posts them.
class LogRouting : public MainWindow
{
protected:
    void SetUp() override
    {
        MainWindow::SetUp();

        if (! IsSkipped())
            openWindow ({ { "LogFlag", "1" }, { "LogCommun", "0" } });
    }

    void post (LogKind kind, const juce::String& line)
    {
        main->postMessage (payload::makeLog (kind, line));
        runMessagesFor (50);
    }

    juce::String statusLine() { return main->getStatusBar()->lineEditorForTest().getText(); }
};

TEST_F (LogRouting, WithoutAProgressWindow)
{
    post (LOG_INFO, "Waiting flag ...");
    EXPECT_EQ (statusLine(), "Waiting flag ...");
    EXPECT_TRUE (logText().contains (": Waiting flag ...\r\n"));

    // An error line is a box only: neither the log nor the status bar.
    post (LOG_ERROR, "Firmware tag error!");
    auto* box = waitForAlertWith ("Firmware tag error!");
    ASSERT_NE (box, nullptr);
    EXPECT_EQ (readAlertText (*box).title, "Tips");
    EXPECT_EQ (readAlertText (*box).icon, juce::MessageBoxIconType::InfoIcon);
    EXPECT_EQ (readAlertText (*box).buttons, juce::StringArray ("OK"));
    EXPECT_EQ (statusLine(), "Waiting flag ...");
    EXPECT_FALSE (logText().contains ("Firmware tag error!"));
    closeAllAlerts();

    // A closing line with no window held raises no box.
    post (LOG_FAIL, "Firmware download fail!");
    EXPECT_EQ (statusLine(), "Firmware download fail!");
    EXPECT_TRUE (shownAlerts().empty());

    // Frame dumps reach the log only with both switches on, and never the screen.
    post (LOG_SEND, "send: $02017B");
    EXPECT_FALSE (logText().contains ("$02017B"));
    SettingValues[settingLogCommun] = "1";
    post (LOG_RECV, "recv: $0381");
    EXPECT_TRUE (logText().contains ("recv: $0381"));
    EXPECT_EQ (statusLine(), "Firmware download fail!");

    // A line of 99 units arrives whole.
    const auto longLine = juce::String::repeatedString ("x", 98) + "!";
    post (LOG_INFO, longLine);
    EXPECT_EQ (statusLine(), longLine);
}

TEST_F (LogRouting, AroundAProgressWindow)
{
    post (LOG_BEGIN, "Start firmware download...");
    auto* held = main->getProgressWindow();
    ASSERT_NE (held, nullptr);
    ASSERT_TRUE (runMessagesUntil ([&] { return held->getAlertWindowForTest()->isCurrentlyModal(); }, 5000));
    EXPECT_EQ (statusLine(), "Start firmware download...");

    // No second window; an error line goes to the window, the bar and the log.
    post (LOG_BEGIN, "Start firmware download...");
    EXPECT_EQ (main->getProgressWindow(), held);
    post (LOG_ERROR, "Firmware tag error!");
    EXPECT_EQ (statusLine(), "Firmware tag error!");
    EXPECT_TRUE (logText().contains ("Firmware tag error!"));
    ASSERT_TRUE (runMessagesUntil ([&] { return held->getAlertWindowForTest()->getDescription().contains ("Firmware tag error!"); }, 5000));

    post (LOG_FAIL, "Firmware download fail!");
    EXPECT_EQ (main->getProgressWindow(), nullptr);
    auto* box = waitForAlertWith ("Firmware download fail!");
    ASSERT_NE (box, nullptr);
    EXPECT_EQ (readAlertText (*box).title, "");
    EXPECT_EQ (readAlertText (*box).icon, juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ (statusLine(), "Firmware download fail!");
}
}
