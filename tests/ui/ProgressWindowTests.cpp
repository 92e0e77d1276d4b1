#include "BackgroundThread.h"
#include "Translation.h"
#include "UiFixture.h"

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
}
