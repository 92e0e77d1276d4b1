#pragma once

#include "AppFixture.h"
#include "PortList.h"
#include "ProgramProcess.h"

#include <algorithm>

// The built program, driven through the X server as an operator drives it.
class Program : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();

        if (! IsSkipped())
        {
            ASSERT_TRUE (lockDir.get().isDirectory());

            // The device's port is picked by its place in the machine's port
            // list, which the links of another checkout's tests would shift.
            portPick.enter();
        }
    }

    void TearDown() override
    {
        AppFixture::TearDown();
        portPick.exit();
    }

    // The program, or another executable given with its arguments.
    std::unique_ptr<ProgramProcess> launch (const juce::StringArray& command = {})
    {
        return std::make_unique<ProgramProcess> (workDir.get(), lockDir.get(), command);
    }

    // Waits for the main window and returns where its content (700 × 350) lies on the screen.
    bool findMainWindow (ProgramProcess& program, int timeoutMs = 30000)
    {
        const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

        while (juce::Time::getMillisecondCounterHiRes() < end && program.isRunning())
        {
            const auto ids = x11::findWindows ("^Flintmoor V1\\.0\\.1$");

            if (ids.size() == 1)
            {
                windowId = ids[0];
                frame = x11::geometry (windowId);
                const int border = (frame.getWidth() - 700) / 2;
                content = { frame.getX() + border, frame.getBottom() - border - 350, 700, 350 };
                return frame.getWidth() >= 700;
            }

            juce::Thread::sleep (50);
        }

        return false;
    }

    juce::Point<int> at (int x, int y) const { return content.getPosition() + juce::Point<int> (x, y); }

    // Picks the device's port, types the firmware path and presses Start.
    void operatorStarts (const juce::File& firmware)
    {
        const auto ports = platform::listSerialPorts();
        const auto index = (int) (std::find (ports.begin(), ports.end(), linkName.toStdString()) - ports.begin());
        ASSERT_LT (index, (int) ports.size()) << "the port list does not show " << linkName;

        // Port box: focus it (its list opens; Escape closes it), then step to the device's port.
        // The list opens a moment after the click: keys sent before it would land in it.
        ASSERT_TRUE (clickToShow (at (14 + 60 + 50, 30 + 10 + 12), menuWindow)) << "the port list did not open";
        x11::key ("Escape");
        ASSERT_TRUE (windowShown (menuWindow, false)) << "the port list did not close";
        x11::key ("Up", 20);
        x11::key ("Down", index);

        x11::click (at (14 + 95 + 240, 30 + 45 + 12));
        x11::type (firmware.getFullPathName());
        x11::click (at (608 + 30, 30 + 125 + 15));
    }

    static bool waitFor (const std::function<bool()>& condition, int timeoutMs)
    {
        const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

        while (! condition())
        {
            if (juce::Time::getMillisecondCounterHiRes() > end)
                return condition();

            juce::Thread::sleep (20);
        }

        return true;
    }

    // Before the links of the other window tests in the sorted port list.
    static constexpr const char* portFirst = "ttyFMP";

    // Clicks once and waits until a window titled so shows: the program
    // handles the click without any further input.
    static bool clickToShow (juce::Point<int> point, const juce::String& titlePattern, int timeoutMs = 30000)
    {
        x11::click (point);
        return windowShown (titlePattern, true, timeoutMs);
    }

    // JUCE names the window of every popup menu, a combo box's list included, "menu".
    static constexpr const char* menuWindow = "^menu$";

    static bool windowShown (const juce::String& titlePattern, bool shown, int timeoutMs = 30000)
    {
        return waitFor ([&] { return x11::findWindows (titlePattern).isEmpty() != shown; }, timeoutMs);
    }

    // Opens a menu from the menu bar and clicks one of its items, each once
    // the program is ready for it.
    static bool chooseFromMenu (juce::Point<int> title, juce::Point<int> item)
    {
        if (! clickToShow (title, menuWindow))
            return false;

        juce::Thread::sleep (400);   // a menu ignores a click that comes too soon after it opened
        x11::click (item);
        return windowShown (menuWindow, false);
    }

    void shoot (const juce::String& name, int settleMs = 300)
    {
        juce::Thread::sleep (settleMs);   // the last repaint reaches the screen; only for the picture
        x11::screenshot (frame.expanded (60), artefactsFolder().getChildFile (name + ".png"));
    }

    juce::InterProcessLock portPick { "flintmoor-test-port-pick" };
    TempFolder lockDir;
    juce::String windowId;
    juce::Rectangle<int> frame, content;
};
