// The page driving the real worker: Start and Stop, a transfer into the
// simulated device from the Start button, a failed one, and relabelling.
#include "PageFixture.h"

#include "CodePage.h"
#include "LabelTables.h"
#include "Settings.h"

#include <fcntl.h>
#include <unistd.h>

namespace
{
    const juce::Colour runningColour (0xff42a2c8), idleColour (0xff808080);
}

class PageTransfer : public PageFixture
{
protected:
    // The page on a port linked to target, with the example file typed in.
    void preparePage (const juce::String& target)
    {
        port = linkPort ("dev", target);
        SettingValues[settingLastComPort] = port;
        makePage();
        showPage();
        ASSERT_EQ (page->getPortBox().getText(), port);

        firmware = writeFile ("example.dsb", exampleFile());
        page->getPathEditor().setText (firmware.getFullPathName(), true);
    }

    bool waitForRunning (bool state)
    {
        return runMessagesUntil ([&] { return page->isRunning() == state; }, 20000);
    }

    juce::Colour buttonColour() { return page->getStartButton().findColour (juce::TextButton::buttonColourId); }

    bool inputsEnabled (bool state)
    {
        return page->getPathEditor().isEnabled() == state && page->getBrowseButton().isEnabled() == state
            && page->getPortBox().isEnabled() == state && page->getBaudBox().isEnabled() == state;
    }

    juce::String port;
    juce::File firmware;
};

TEST_F (PageTransfer, StartStopStart)
{
    Pty pty;   // no device: the worker polls until stopped
    preparePage (pty.slavePath());

    click (page->getStartButton());
    ASSERT_TRUE (waitForRunning (true));
    EXPECT_EQ (page->getStartButton().getButtonText(), "Stop");
    EXPECT_EQ (buttonColour(), runningColour);
    EXPECT_TRUE (inputsEnabled (false));
    EXPECT_TRUE (page->getStartButton().isEnabled());
    EXPECT_TRUE (settingsFile().loadFileAsString().contains ("FirmPath=" + firmware.getFullPathName() + "\r\n"));

    // Stop frees the inputs at once; the button waits for the worker.
    bool enabledAtOnce = false;
    juce::String textAtOnce;
    click (page->getStartButton());
    settle ([&] { enabledAtOnce = inputsEnabled (true); textAtOnce = page->getStartButton().getButtonText(); });
    EXPECT_TRUE (enabledAtOnce);
    EXPECT_EQ (textAtOnce, "Stop");

    ASSERT_TRUE (waitForRunning (false));
    EXPECT_EQ (page->getStartButton().getButtonText(), "Start");
    EXPECT_EQ (buttonColour(), idleColour);
    EXPECT_TRUE (inputsEnabled (true));

    click (page->getStartButton());
    ASSERT_TRUE (waitForRunning (true));
    EXPECT_EQ (jobKinds(), (juce::StringArray { "1003/0", "1003/5", "1006/1", "1006/0", "1003/0", "1003/5", "1006/1" }));
}

TEST_F (PageTransfer, FromTheStartButtonToTheFinishCounter)
{
    startDevice ({ "--name", "ABCD1234", "--release-date", "21062910", "--devices", "1" });
    preparePage (device->hostPath());

    click (page->getStartButton());
    ASSERT_TRUE (runMessagesUntil ([&] { return page->getFinishCountLabel().getText() == "1"; }, 60000)) << log.describe();

    EXPECT_EQ (page->getFailCountLabel().getText(), "0");
    EXPECT_EQ (page->getDeviceNameLabel().getText(), "Device name:ABCD1234");
    EXPECT_EQ (page->getReleaseDateLabel().getText(), "Release date:2021.6.29.10");

    ASSERT_TRUE (device->waitForEvent ("done device=1"));
    auto expected = exampleFile();
    dsb::Bytes image (expected.begin() + 12, expected.end());
    image.resize (64, 0);
    EXPECT_EQ (bytesOf (device->image (1)), image);

    // A language change while the device is shown and the port is open.
    SettingValues[settingLanguage] = "chinese";
    worker->postMessage (payload::makeLanguage (codePageChinese));
    ASSERT_TRUE (runMessagesUntil ([&] { return page->getStartButton().getButtonText() != "Stop"; }, 20000));

    const juce::StringArray chinese { PageLabels[pagePath], PageLabels[pageSucceedCnt], PageLabels[pageFailCnt], "1", "0",
                                      firmware.getFullPathName(), "...", PageLabels[pageDevName], PageLabels[pageReleaseDate],
                                      PageLabels[pageComPort], PageLabels[pageBaudRate], port, "115200", PageLabels[pageStop] };
    EXPECT_EQ (childTexts(), chinese);
    EXPECT_NE (PageLabels[pageDevName], "Device name:");

    SettingValues[settingLanguage] = "english";
    worker->postMessage (payload::makeLanguage (codePageEnglish));
    ASSERT_TRUE (runMessagesUntil ([&] { return page->getStartButton().getButtonText() == "Stop"; }, 20000));
    EXPECT_EQ (childTexts(), (juce::StringArray { "Firmware path:", "Finish counter:", "Fail counter:", "1", "0",
                                                  firmware.getFullPathName(), "...", "Device name:", "Release date:",
                                                  "COM port:", "Baud rate:", port, "115200", "Stop" }));
}

TEST_F (PageTransfer, FailedTransferCounted)
{
    startDevice ({ "--name", "ABCD1234", "--wrong-sum", "--devices", "1" });
    preparePage (device->hostPath());

    click (page->getStartButton());
    ASSERT_TRUE (runMessagesUntil ([&] { return page->getFailCountLabel().getText() == "1"; }, 60000)) << log.describe();
    EXPECT_EQ (page->getFinishCountLabel().getText(), "0");
}

TEST_F (PageTransfer, LostPortEndsAsAStopAndIsListedAgainWhenItReturns)
{
    startDevice ({ "--name", "ABCD1234", "--hangup-after-block", "0" });
    preparePage (device->hostPath());

    // Held open, the terminal keeps its number after the device hangs up, so
    // that no other pseudo-terminal on the machine takes it while the test
    // looks for the port to go.
    struct HeldOpen
    {
        int fd;
        ~HeldOpen() { if (fd >= 0) ::close (fd); }
    } const held { ::open (device->hostPath().toRawUTF8(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) };
    ASSERT_GE (held.fd, 0);
    firmware = writeFile ("lost.dsb", dsb::makeFile ("ABCD1234", dsb::randomImage (500, 40)));
    page->getPathEditor().setText (firmware.getFullPathName(), true);

    // The device hangs up within moments of the open, so the running state
    // may come and go between two looks: the device's own events show the open.
    click (page->getStartButton());
    ASSERT_TRUE (runMessagesUntil ([&] { return device->countEvents ("host-opened") > 0; }, 20000));
    ASSERT_TRUE (runMessagesUntil ([&] { return page->getFailCountLabel().getText() == "1"; }, 60000)) << log.describe();

    // The worker closed the port itself: Start again, and the inputs free.
    ASSERT_TRUE (waitForRunning (false)) << log.describe();
    EXPECT_EQ (page->getStartButton().getButtonText(), "Start");
    EXPECT_EQ (buttonColour(), idleColour);
    EXPECT_TRUE (inputsEnabled (true));
    EXPECT_TRUE (log.hasLine ("COM port lost!")) << log.describe();

    // Its end has gone, so has the port; plugged in again it is listed again.
    ASSERT_TRUE (runMessagesUntil ([&] { return ! portItems().contains (port); }, 20000));
    startDevice ({ "--name", "ABCD1234", "--devices", "1" });
    unlinkPort (port);
    ASSERT_EQ (linkPort ("dev", device->hostPath()), port);
    ASSERT_TRUE (runMessagesUntil ([&] { return portItems().contains (port); }, 20000));
}

namespace
{
    MyMsg* deviceInfo (std::initializer_list<int> name, std::initializer_list<int> release)
    {
        DeviceInfo info {};
        std::copy (name.begin(), name.end(), info.name);
        std::copy (release.begin(), release.end(), info.releaseDate);
        return payload::makeDeviceInfo (info);
    }

    MyMsg* withData (MyMsg* msg, size_t bytes)
    {
        msg->allocateData (bytes);
        return msg;
    }

    struct NoticeStep
    {
        const char* what;
        std::function<MyMsg*()> make;
        juce::String name, date, finished, failed;
    };
}

using PageNotices = PageFixture;

TEST_F (PageNotices, FollowOnlyWellFormedNotices)
{
    makePage();

    const NoticeStep steps[] =
    {
        { "info without payload", [] { return new MyMsg (MSG_NOTIFY, NOTIFY_DEVICE_INFO); }, "Device name:", "Release date:", "0", "0" },
        { "info too short", [] { return withData (new MyMsg (MSG_NOTIFY, NOTIFY_DEVICE_INFO), 5); }, "Device name:", "Release date:", "0", "0" },
        { "finish with payload", [] { return withData (payload::makeNotice (NOTIFY_FINISHED), 4); }, "Device name:", "Release date:", "0", "0" },
        { "another id", [] { return new MyMsg (MSG_LANGUAGE, NOTIFY_FINISHED); }, "Device name:", "Release date:", "0", "0" },
        { "unknown type", [] { return new MyMsg (MSG_NOTIFY, 99); }, "Device name:", "Release date:", "0", "0" },
        { "device", [] { return deviceInfo ({ 'A', 'B', 'C', 'D', '1', '2', '3', '4' }, { 0x21, 0x06, 0x29, 0x10 }); },
          "Device name:ABCD1234", "Release date:2021.6.29.10", "0", "0" },
        // Bytes are characters of the same code, up to the first zero.
        { "name with a zero", [] { return deviceInfo ({ 'A', 0xe9, 0, 'X', 'Y' }, { 0, 0, 0, 0 }); },
          juce::String (juce::CharPointer_UTF8 ("Device name:A\xc3\xa9")), "Release date:2000.0.0.0", "0", "0" },
        { "finished", [] { return payload::makeNotice (NOTIFY_FINISHED); }, "", "", "1", "0" },
        { "failed", [] { return payload::makeNotice (NOTIFY_FAILED); }, "", "", "1", "1" },
        { "clear", [] { return payload::makeNotice (NOTIFY_DEVICE_CLEAR); }, "Device name:", "Release date:", "1", "1" },
    };

    for (const auto& step : steps)
    {
        page->postMessage (step.make());
        settle();

        if (step.name.isNotEmpty())
        {
            EXPECT_EQ (page->getDeviceNameLabel().getText(), step.name) << step.what;
            EXPECT_EQ (page->getReleaseDateLabel().getText(), step.date) << step.what;
        }

        EXPECT_EQ (page->getFinishCountLabel().getText(), step.finished) << step.what;
        EXPECT_EQ (page->getFailCountLabel().getText(), step.failed) << step.what;
    }

    EXPECT_FALSE (page->isRunning());
}
