#include "AppFixture.h"

#include "BackgroundThread.h"
#include "MyCom.h"

namespace
{
// Closing the main window is what the application's shutdown does after a
// quit request: it must take the system down cleanly in every situation,
// worker first, without waiting on an open box.
struct QuitCase
{
    const char* name;
    enum { transferRunning, questionOpen, cancelledWindowHeld } situation;
};

class Quit : public AppFixture, public ::testing::WithParamInterface<QuitCase>
{
protected:
    bool progressShown()
    {
        auto* w = main->getProgressWindow();
        return w != nullptr && w->getAlertWindowForTest()->isCurrentlyModal();
    }
};

TEST_P (Quit, TakesTheSystemDownCleanly)
{
    double quitTook = 0;
    // A slow line makes the transfer last; a device held back lets the file
    // go before the transfer loads it.
    if (GetParam().situation == QuitCase::questionOpen)
        startDevice ({ "--name", "FLINT001", "--hold", "--devices", "1" });
    else
        startDevice ({ "--name", "FLINT001", "--baud", "9600", "--devices", "1" });

    openWindow ({ { "LogFlag", "1" } });
    const auto firmware = writeFirmware ("demo.dsb", 64 * 400);
    startTransfer (firmware);

    switch (GetParam().situation)
    {
        case QuitCase::transferRunning:
            ASSERT_TRUE (runMessagesUntil ([&] { return progressShown(); }, 30000));
            ASSERT_TRUE (device->waitForEvent ("command device=1 sub=01", 30000));
            break;

        case QuitCase::questionOpen:
            // The worker polls, so it has Start's jobs: the file goes, then the
            // device answers, and the transfer finds the file gone and asks.
            ASSERT_TRUE (device->waitForEvent ("held device=1", 30000));
            ASSERT_TRUE (firmware.deleteFile());
            device->release();
            ASSERT_NE (waitForAlertWith ("The file does not exist", 30000), nullptr);
            break;

        case QuitCase::cancelledWindowHeld:
        {
            ASSERT_TRUE (runMessagesUntil ([&] { return progressShown(); }, 30000));
            ASSERT_TRUE (device->waitForEvent ("command device=1 sub=01", 30000));

            // The quit request is posted the moment Cancel hides the window,
            // so it comes before the cancel the window then posts to the worker.
            struct QuitOnHide : juce::ComponentListener
            {
                ~QuitOnHide() override
                {
                    if (auto* c = watched.getComponent())
                        c->removeComponentListener (this);
                }

                juce::Component::SafePointer<juce::Component> watched;
                std::function<void()> quit;
                void componentVisibilityChanged (juce::Component& c) override
                {
                    if (! c.isVisible() && quit != nullptr)
                        juce::MessageManager::callAsync (std::exchange (quit, nullptr));
                }
            } quitOnHide;

            auto* held = main->getProgressWindow();
            bool quitWhileHeld = false;
            quitOnHide.quit = [&] { quitWhileHeld = main != nullptr && main->getProgressWindow() == held; quitTook = closeWindow(); };
            quitOnHide.watched = held->getAlertWindowForTest();
            held->getAlertWindowForTest()->addComponentListener (&quitOnHide);

            for (auto* c : held->getAlertWindowForTest()->getChildren())
                if (auto* b = dynamic_cast<juce::TextButton*> (c))
                    b->triggerClick();

            ASSERT_TRUE (runMessagesUntil ([&] { return window == nullptr; }, 10000));
            EXPECT_TRUE (quitWhileHeld);
            break;
        }
    }

    // The worker stops within its 1000 ms; the progress window's thread at once.
    if (window != nullptr)
        quitTook = closeWindow();

    EXPECT_LT (quitTook, 5000.0);
    runMessagesFor (200);
    EXPECT_TRUE (shownAlerts().empty() || GetParam().situation != QuitCase::questionOpen);
    EXPECT_TRUE (device->waitForEvent ("host-closed", 10000));
}

INSTANTIATE_TEST_SUITE_P (Situations, Quit, ::testing::Values (
    QuitCase { "transferRunning", QuitCase::transferRunning },
    QuitCase { "questionOpen", QuitCase::questionOpen },
    QuitCase { "cancelledWindowHeld", QuitCase::cancelledWindowHeld }),
    [] (const auto& p) { return std::string (p.param.name); });
}
