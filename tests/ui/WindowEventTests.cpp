// Window events that an Xlib call outside the framework's event callback has
// read from the X connection are handled without further input.
#include "MessageLoop.h"
#include "WindowEvents.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
bool canClick()
{
    return juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isNotEmpty()
        && juce::File ("/usr/bin/xdotool").existsAsFile();
}

bool run (const juce::StringArray& command)
{
    juce::ChildProcess child;
    return child.start (command, 0) && child.waitForProcessToFinish (20000) && child.getExitCode() == 0;
}

struct ButtonWindow : public juce::Component
{
    ButtonWindow()
    {
        button.setWantsKeyboardFocus (false);
        button.onClick = [this] { ++clicks; };
        addAndMakeVisible (button);
        setBounds (200, 200, 300, 200);
        addToDesktop (juce::ComponentPeer::windowHasTitleBar);
        setVisible (true);
    }

    void resized() override { button.setBounds (getLocalBounds().reduced (50)); }

    juce::TextButton button { "Press" };
    int clicks = 0;
};
}

TEST (WindowEvents, AClickReadIntoXlibsQueueByARoundTripIsHandled)
{
    if (! canClick())
        GTEST_SKIP() << "needs an X display and xdotool (run under xvfb-run)";

    platform::handleQueuedWindowEvents();

    ButtonWindow window;
    ASSERT_TRUE (run ({ "xdotool", "search", "--sync", "--onlyvisible", "--name", "^" + window.getName() + "$" })
                 || runMessagesUntil ([&] { return window.isShowing(); }, 10000));
    runMessagesFor (500);   // the window has drawn itself: nothing more comes from the server

    const auto centre = window.button.getScreenBounds().getCentre();

    // A message holds the message thread while the click arrives, and then
    // makes a round trip, as a menu's timer does when it asks where the
    // pointer is: the click moves into Xlib's queue after the loop last
    // looked at the connection.
    int queued = -1;
    bool clicked = false;
    juce::MessageManager::callAsync ([&]
    {
        clicked = run ({ "xdotool", "mousemove", "--sync", juce::String (centre.x), juce::String (centre.y),
                         "click", "1" });
        juce::Desktop::getMousePosition();
        queued = platform::windowEventsInXlibQueue();
    });

    ASSERT_TRUE (runMessagesUntil ([&] { return queued >= 0; }, 10000));
    ASSERT_TRUE (clicked);
    ASSERT_GT (queued, 0) << "the click had not arrived before the round trip: nothing was tested";

    // Nothing else comes from the X server now: the click is handled or waits.
    EXPECT_TRUE (runMessagesUntil ([&] { return window.clicks == 1; }, 10000)) << "the click was left in Xlib's queue";
}
