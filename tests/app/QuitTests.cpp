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
    // Slow lines: the situation lasts long enough to quit in it.
    startDevice ({ "--name", "FLINT001", "--baud", GetParam().situation == QuitCase::questionOpen ? "300" : "9600", "--devices", "1" });
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
            // The file goes while the device answers the search: the worker asks.
            ASSERT_TRUE (device->waitForEvent ("search device=1", 30000));
            ASSERT_TRUE (firmware.deleteFile());
            ASSERT_NE (waitForAlertWith ("The file does not exist", 30000), nullptr);
            break;

        case QuitCase::cancelledWindowHeld:
        {
            ASSERT_TRUE (runMessagesUntil ([&] { return progressShown(); }, 30000));
            ASSERT_TRUE (device->waitForEvent ("command device=1 sub=01", 30000));
            auto* held = main->getProgressWindow();

            for (auto* c : held->getAlertWindowForTest()->getChildren())
                if (auto* b = dynamic_cast<juce::TextButton*> (c))
                    b->triggerClick();

            ASSERT_TRUE (runMessagesUntil ([&] { return main->getProgressWindow() != held || ! held->getAlertWindowForTest()->isVisible(); }, 10000));
            ASSERT_EQ (main->getProgressWindow(), held);
            break;
        }
    }

    // The worker stops within its 1000 ms; the progress window's thread at once.
    EXPECT_LT (closeWindow(), 5000.0);
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
