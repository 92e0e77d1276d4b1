// The worker opens and closes its port on its own thread while the message
// thread moves the keyboard focus, as boxes do when they open and close.
// Nothing the worker makes or deletes may touch what the message thread owns:
// under ThreadSanitizer a port object that were a window component shows as
// a race on the focused component.
#include "PtyPeer.h"
#include "WorkerHarness.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
// Opens a box every few milliseconds, gives its button the focus and closes
// it again, until stopped; counts the times the focus really moved.
class FocusChurn : private juce::Timer
{
public:
    FocusChurn() { startTimer (1); }
    ~FocusChurn() override { stopTimer(); box.reset(); }

    int focusMoves() const noexcept { return moves; }

private:
    void timerCallback() override
    {
        if (box != nullptr)
        {
            box->exitModalState (0);
            box.reset();
            return;
        }

        box.reset (juce::LookAndFeel::getDefaultLookAndFeel()
                       .createAlertWindow ("Tips", "Focus", "OK", {}, {}, juce::MessageBoxIconType::InfoIcon, 1, nullptr));
        box->enterModalState (true, nullptr, false);

        for (auto* child : box->getChildren())
            if (child->getWantsKeyboardFocus())
                child->grabKeyboardFocus();

        if (juce::Component::getCurrentlyFocusedComponent() != nullptr)
            ++moves;
    }

    std::unique_ptr<juce::AlertWindow> box;
    int moves = 0;
};
}

class PortFocus : public WorkerFixture
{
protected:
    void SetUp() override
    {
        if (juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty())
            GTEST_SKIP() << "needs an X display (run under xvfb-run)";

        WorkerFixture::SetUp();
    }
};

TEST_F (PortFocus, PortOpensAndClosesWhileBoxesTakeTheFocus)
{
    PtyPeer peer;
    FocusChurn churn;
    constexpr int rounds = 60;

    for (int round = 1; round <= rounds; ++round)
    {
        postPortOpen (peer.portName());
        ASSERT_TRUE (waitForNotice (NOTIFY_PORT_OPENED, round)) << "round " << round << "\n" << log.describe();
        stop();
        ASSERT_TRUE (waitForNotice (NOTIFY_PORT_CLOSED, round)) << "round " << round << "\n" << log.describe();
    }

    // The race needs the focus to have moved while the port came and went.
    EXPECT_GT (churn.focusMoves(), rounds);
}
