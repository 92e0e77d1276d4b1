#include "BackgroundThread.h"
#include "DownloadNewVersionThread.h"
#include "Translation.h"
#include "UiFixture.h"
#include "UpdateFixture.h"

namespace
{
class ProgressWindow : public UiFixture
{
protected:
    static bool isShown (BackgroundThread& w)
    {
        auto* alert = w.getAlertWindowForTest();
        return alert->isVisible() && alert->isCurrentlyModal();
    }

    static juce::TextButton* buttonOf (BackgroundThread& w)
    {
        for (auto* c : w.getAlertWindowForTest()->getChildren())
            if (auto* b = dynamic_cast<juce::TextButton*> (c))
                return b;

        return nullptr;
    }

    RecordingTarget worker;
};

TEST_F (ProgressWindow, CancelHidesTheWindowAndReportsOnceButKeepsTheObject)
{
    auto window = std::make_unique<BackgroundThread> (&worker);
    window->launchThread();
    ASSERT_TRUE (runMessagesUntil ([&] { return isShown (*window); }, 10000));

    auto* cancel = buttonOf (*window);
    ASSERT_NE (cancel, nullptr);
    EXPECT_EQ (cancel->getButtonText(), "Cancel");
    cancel->triggerClick();

    ASSERT_TRUE (runMessagesUntil ([&] { return worker.count (MSG_CANCEL) == 1 && ! window->getAlertWindowForTest()->isVisible(); }, 10000));
    EXPECT_FALSE (window->isThreadRunning());

    // Still held: the main component goes on setting its text until the worker's closing line.
    window->setStatusMessage ("Firmware cancel!");
    runMessagesFor (300);
    EXPECT_EQ (worker.count (MSG_CANCEL), 1);
    EXPECT_EQ (worker.records.front().type, 0);
    EXPECT_FALSE (worker.records.front().hasData);
    window.reset();
}

TEST_F (ProgressWindow, ClosingItWithoutCancelReportsNothing)
{
    auto window = std::make_unique<BackgroundThread> (&worker);
    window->launchThread();
    // Its thread sets its own first text; a line set after that one stays.
    ASSERT_TRUE (runMessagesUntil ([&] { return isShown (*window)
                                                && window->getAlertWindowForTest()->getDescription().contains ("Prepare to do..."); }, 10000));
    window->setStatusMessage ("demo.dsb  Firmware download :10%.");
    ASSERT_TRUE (runMessagesUntil ([&] { return window->getAlertWindowForTest()->getDescription().contains ("10%"); }, 10000));
    window.reset();
    runMessagesFor (300);
    EXPECT_TRUE (worker.records.empty());
}

TEST_F (ProgressWindow, CancelWithoutOwnerOnlyEndsTheWindow)
{
    auto window = std::make_unique<BackgroundThread> (nullptr);
    window->launchThread();
    ASSERT_TRUE (runMessagesUntil ([&] { return isShown (*window); }, 10000));
    buttonOf (*window)->triggerClick();
    ASSERT_TRUE (runMessagesUntil ([&] { return ! window->getAlertWindowForTest()->isVisible(); }, 10000));
}

TEST_F (ProgressWindow, TitleAndCancelFollowTheChineseTable)
{
    juce::LocalisedStrings placeholder (juce::String(), false);
    setLanguage (&placeholder, 936);

    BackgroundThread window (&worker);
    EXPECT_EQ (window.getAlertWindowForTest()->getName(), juce::String (juce::CharPointer_UTF8 ("\xe4\xbb\xbb\xe5\x8a\xa1\xe8\xbf\x9b\xe5\xba\xa6")));
    EXPECT_EQ (buttonOf (window)->getButtonText(), juce::String (juce::CharPointer_UTF8 ("\xe5\x8f\x96\xe6\xb6\x88")));

    setLanguage (&placeholder, 37);
}

// Keys as the operator types them, through the X server to the focused window.
void typeKey (const char* key)
{
    juce::ChildProcess xdotool;
    ASSERT_TRUE (xdotool.start (juce::StringArray { "xdotool", "key", key }, 0));
    xdotool.waitForProcessToFinish (20000);
}

// Sees the keys that reach a window or its buttons, before they act there.
struct KeySeen : juce::KeyListener
{
    bool keyPressed (const juce::KeyPress& key, juce::Component*) override
    {
        seen.add (key);
        return false;
    }

    void watch (juce::AlertWindow& window)
    {
        window.addKeyListener (this);

        for (auto* c : window.getChildren())
            c->addKeyListener (this);
    }

    bool saw (int keyCode) const
    {
        for (auto& k : seen)
            if (k.getKeyCode() == keyCode)
                return true;

        return false;
    }

    juce::Array<juce::KeyPress> seen;
};

enum class Shown { transfer, download };

struct KeyCase
{
    const char* name;
    Shown window;
};

class ProgressKeys : public ProgressWindow, public ::testing::WithParamInterface<KeyCase>
{
protected:
    UpdateServer server;
};

// A result box below keeps its own Return for OK; the progress window above it
// takes Return from neither.
TEST_P (ProgressKeys, ReturnLeavesItRunningAndEscapeCancels)
{
    if (! juce::File ("/usr/bin/xdotool").existsAsFile())
        GTEST_SKIP() << "needs xdotool";

    std::unique_ptr<juce::ThreadWithProgressWindow> window;
    juce::AlertWindow* alert = nullptr;

    if (GetParam().window == Shown::transfer)
    {
        auto w = std::make_unique<BackgroundThread> (&worker);
        alert = w->getAlertWindowForTest();
        window = std::move (w);
    }
    else
    {
        // A slow body keeps the window up.
        server.serve ("p.zip", juce::String::repeatedString ("x", 200000));
        server.setRoutes (R"({"/slow.zip": {"file": "p.zip", "chunk": 512, "delayMs": 100}})");
        auto w = std::make_unique<DownloadNewVersionThread> (juce::URL (server.address ("/slow.zip")), juce::String(),
                                                              work ("app"));
        alert = w->getAlertWindow();
        window = std::move (w);
    }

    KeySeen keys;
    keys.watch (*alert);
    window->launchThread();
    ASSERT_TRUE (runMessagesUntil ([&] { return alert->isShowing() && alert->isCurrentlyModal() && alert->hasKeyboardFocus (true); }, 10000));

    typeKey ("Return");
    ASSERT_TRUE (runMessagesUntil ([&] { return keys.saw (juce::KeyPress::returnKey); }, 10000));
    runMessagesFor (500);
    EXPECT_TRUE (alert->isCurrentlyModal());
    EXPECT_TRUE (window->isThreadRunning());
    EXPECT_EQ (worker.count (MSG_CANCEL), 0);

    typeKey ("Escape");
    EXPECT_TRUE (runMessagesUntil ([&] { return ! alert->isVisible() && ! window->isThreadRunning(); }, 10000));

    if (GetParam().window == Shown::transfer)
    {
        EXPECT_TRUE (runMessagesUntil ([&] { return worker.count (MSG_CANCEL) == 1; }, 10000));
    }
}

INSTANTIATE_TEST_SUITE_P (Windows, ProgressKeys, ::testing::Values (
    KeyCase { "transfer", Shown::transfer },
    KeyCase { "download", Shown::download }),
    [] (const auto& p) { return std::string (p.param.name); });

TEST_F (ProgressWindow, AResultBoxKeepsReturnForOk)
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::InfoIcon, {}, "Firmware download finish!",
                                            "OK", nullptr, nullptr);
    ASSERT_TRUE (runMessagesUntil ([&] { auto boxes = shownAlerts(); return ! boxes.empty() && boxes.back()->hasKeyboardFocus (true); }, 10000));
    typeKey ("Return");
    EXPECT_TRUE (runMessagesUntil ([&] { return shownAlerts().empty(); }, 10000));
}
}
