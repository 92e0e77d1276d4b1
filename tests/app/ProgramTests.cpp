#include "ProgramFixture.h"

#include <climits>

namespace
{
TEST_F (Program, OperatorWritesTheFirmwareIntoTheDevice)
{
    startDevice ({ "--name", "FLINT001", "--baud", "115200", "--devices", "1" }, portFirst);
    writeSettings ({ { "LogFlag", "1" } });
    const auto firmware = writeFirmware ("demo.dsb", 20000);

    auto program = launch();
    ASSERT_TRUE (findMainWindow (*program)) << program->output();
    shoot ("program-english");

    operatorStarts (firmware);
    ASSERT_TRUE (device->waitForEvent ("command device=1 sub=01", 30000)) << program->output() << "\nlog:\n" << logText();
    shoot ("program-english-transfer");

    ASSERT_TRUE (device->waitForEvent ("done device=1", 60000));
    EXPECT_TRUE (imageArrived (firmware));
    ASSERT_TRUE (waitFor ([&] { return logText().contains ("Firmware download finish!"); }, 30000)) << logText();
    shoot ("program-english-finished");

    // Close the box (shown before the line was logged), then switch to Chinese through the menu.
    x11::key ("Return");
    ASSERT_TRUE (chooseFromMenu (at (90, 12), at (80, 37)));
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
    ASSERT_TRUE (chooseFromMenu (at (23, 12), at (40, 37)));
    EXPECT_EQ (first->waitForExit (30000), 0) << first->output();
    EXPECT_FALSE (logText().contains ("Exit"));
}

TEST_F (Program, QuitDuringATransferEndsCleanly)
{
    startDevice ({ "--name", "FLINT001", "--baud", "9600", "--devices", "1" }, portFirst);
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
