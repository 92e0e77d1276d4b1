#include "AppFixture.h"
#include "PortList.h"
#include "ProgramProcess.h"

#include <climits>

namespace
{
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
        }
    }

    std::unique_ptr<ProgramProcess> launch()
    {
        return std::make_unique<ProgramProcess> (workDir.get(), lockDir.get());
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
        x11::click (at (14 + 60 + 50, 30 + 10 + 12));
        juce::Thread::sleep (300);
        x11::key ("Escape");
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

    void shoot (const juce::String& name, int settleMs = 300)
    {
        juce::Thread::sleep (settleMs);   // the last repaint reaches the screen; only for the picture
        x11::screenshot (frame.expanded (60), artefactsFolder().getChildFile (name + ".png"));
    }

    TempFolder lockDir;
    juce::String windowId;
    juce::Rectangle<int> frame, content;
};

TEST_F (Program, OperatorWritesTheFirmwareIntoTheDevice)
{
    startDevice ({ "--name", "FLINT001", "--baud", "115200", "--devices", "1" });
    writeSettings ({ { "LogFlag", "1" } });
    const auto firmware = writeFirmware ("demo.dsb", 20000);

    auto program = launch();
    ASSERT_TRUE (findMainWindow (*program)) << program->output();
    shoot ("program-english");

    operatorStarts (firmware);
    ASSERT_TRUE (device->waitForEvent ("command device=1 sub=01", 30000)) << program->output();
    shoot ("program-english-transfer");

    ASSERT_TRUE (device->waitForEvent ("done device=1", 60000));
    EXPECT_TRUE (imageArrived (firmware));
    ASSERT_TRUE (waitFor ([&] { return logText().contains ("Firmware download finish!"); }, 30000)) << logText();
    shoot ("program-english-finished");

    // Close the box, then switch to Chinese through the menu.
    x11::key ("Return");
    x11::click (at (90, 12));
    juce::Thread::sleep (300);
    x11::click (at (80, 37));
    ASSERT_TRUE (waitFor ([&] { return settingsText().contains ("language=chinese"); }, 10000));
    shoot ("program-chinese", 1500);

    // The close button quits and logs "Exit".
    x11::click ({ frame.getRight() - 18, frame.getY() + 14 });
    EXPECT_EQ (program->waitForExit (30000), 0) << program->output();
    EXPECT_TRUE (logText().contains (": Exit\r\n"));
}

TEST_F (Program, ASecondStartLeavesOneWindowAndFileExitQuitsWithoutALogLine)
{
    if (! ProgramProcess::privateLockDirsWork())
        GTEST_SKIP() << "needs a private /var/tmp (unshare, root): other copies on this machine would count";

    writeSettings ({ { "LogFlag", "1" } });
    auto first = launch();
    ASSERT_TRUE (findMainWindow (*first)) << first->output();

    auto second = launch();
    EXPECT_EQ (second->waitForExit (30000), 0) << second->output();
    EXPECT_EQ (x11::findWindows ("^Flintmoor V1\\.0\\.1$").size(), 1);
    EXPECT_TRUE (first->isRunning());

    // File > Exit quits as the close button does, without its "Exit" line.
    x11::click (at (23, 12));
    juce::Thread::sleep (300);
    x11::click (at (40, 37));
    EXPECT_EQ (first->waitForExit (30000), 0) << first->output();
    EXPECT_FALSE (logText().contains ("Exit"));
}

TEST_F (Program, QuitDuringATransferEndsCleanly)
{
    startDevice ({ "--name", "FLINT001", "--baud", "9600", "--devices", "1" });
    writeSettings();
    auto program = launch();
    ASSERT_TRUE (findMainWindow (*program)) << program->output();

    operatorStarts (writeFirmware ("demo.dsb", 64 * 400));
    ASSERT_TRUE (device->waitForEvent ("command device=1 sub=01", 30000)) << program->output();

    program->interrupt();
    EXPECT_EQ (program->waitForExit (30000), 0) << program->output();
    EXPECT_TRUE (device->waitForEvent ("host-closed", 10000));
}
}
