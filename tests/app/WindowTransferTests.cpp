#include "AppFixture.h"

#include "BackgroundThread.h"
#include "MenusDemo.h"
#include "MessagePanel.h"
#include "Settings.h"

namespace
{
class WindowTransfer : public AppFixture
{
protected:
    bool progressShown()
    {
        auto* w = main->getProgressWindow();
        return w != nullptr && w->getAlertWindowForTest()->isCurrentlyModal();
    }

    juce::TextButton* progressCancelButton()
    {
        for (auto* c : main->getProgressWindow()->getAlertWindowForTest()->getChildren())
            if (auto* b = dynamic_cast<juce::TextButton*> (c))
                return b;

        return nullptr;
    }

    juce::String count (const juce::Label& label) { return label.getText(); }
};

TEST_F (WindowTransfer, FromStartToTheFinishCounter)
{
    startDevice ({ "--name", "FLINT001", "--baud", "115200", "--devices", "1" });
    openWindow ({ { "LogFlag", "1" } });
    const auto firmware = writeFirmware ("demo.dsb", 20000);
    startTransfer (firmware);

    ASSERT_TRUE (runMessagesUntil ([&] { return progressShown(); }, 30000)) << "no progress window";
    EXPECT_TRUE (page->isRunning());
    EXPECT_EQ (page->getStartButton().getButtonText(), "Stop");
    EXPECT_TRUE (page->getDeviceNameLabel().getText().endsWith ("FLINT001"));
    saveScreenshot (window->getScreenBounds(), "main-window-english-transfer");

    ASSERT_TRUE (runMessagesUntil ([&] { return count (page->getFinishCountLabel()) == "1"; }, 60000));
    EXPECT_EQ (main->getProgressWindow(), nullptr);
    auto* box = waitForAlertWith ("Firmware download finish!");
    ASSERT_NE (box, nullptr);
    EXPECT_EQ (readAlertText (*box).icon, juce::MessageBoxIconType::InfoIcon);
    EXPECT_EQ (count (page->getFailCountLabel()), "0");
    EXPECT_TRUE (imageArrived (firmware));
    EXPECT_TRUE (logText().contains ("Firmware download finish!"));
    EXPECT_TRUE (settingsText().contains ("FirmPath=" + firmware.getFullPathName()));

    closeAllAlerts();
    ASSERT_TRUE (runMessagesUntil ([&] { return main->getStatusBar()->lineEditorForTest().getText() == "Waiting flag ..."; }, 20000));
    saveScreenshot (window->getScreenBounds(), "main-window-english-device");
}

// Cancel clears the worker's download flag. A transfer that sees it before its
// next block ends with "Firmware cancel!" and no count; a command caught
// waiting for its reply gives up and the transfer fails, counted. Which of the
// two depends on where the worker is when the flag goes.
TEST_F (WindowTransfer, CancelOnTheProgressWindowEndsTheTransfer)
{
    startDevice ({ "--name", "FLINT001", "--devices", "1" });
    openWindow ({ { "LogFlag", "1" } });
    startTransfer (writeFirmware ("big.dsb", 1024 * 1024));

    ASSERT_TRUE (runMessagesUntil ([&] { return progressShown(); }, 30000));
    ASSERT_TRUE (device->waitForEvent ("command device=1 sub=01", 30000));
    // The window, not its address: a new one may take the old one's place.
    juce::Component::SafePointer<juce::AlertWindow> held (main->getProgressWindow()->getAlertWindowForTest());
    progressCancelButton()->triggerClick();

    ASSERT_TRUE (runMessagesUntil ([&] { return held == nullptr || ! held->isVisible(); }, 10000));

    juce::AlertWindow* box = nullptr;
    ASSERT_TRUE (runMessagesUntil ([&]
    {
        for (auto* w : shownAlerts())
            if (readAlertText (*w).message.contains ("Firmware cancel!") || readAlertText (*w).message.contains ("Firmware download fail!"))
                box = w;

        return box != nullptr;
    }, 30000));

    // The transfer's progress window is gone. The device stays on the line,
    // so the worker may already have begun with it again, in a window of its own.
    const bool cancelled = readAlertText (*box).message.contains ("Firmware cancel!");
    EXPECT_EQ (held, nullptr);
    EXPECT_EQ (count (page->getFinishCountLabel()), "0");
    EXPECT_EQ (count (page->getFailCountLabel()), cancelled ? "0" : "1");
    EXPECT_EQ (device->countEvents ("done device=1"), 0);
    EXPECT_TRUE (logText().contains (cancelled ? "Firmware cancel!" : "Firmware download fail!"));
}

TEST_F (WindowTransfer, LanguageSwitchRelabelsTheWindowAndBack)
{
    startDevice ({ "--name", "FLINT001", "--devices", "1" });
    openWindow();
    // The language file exists from here on, so the switch reads its texts.
    startTransfer (writeFirmware ("demo.dsb", 640));
    ASSERT_TRUE (runMessagesUntil ([&] { return count (page->getFinishCountLabel()) == "1"; }, 60000));
    closeAllAlerts();
    ASSERT_TRUE (page->isRunning());

    auto* menus = main->getMenuBar();
    menus->menuItemSelected (MenusDemo::menuPositionChinese, 1);
    ASSERT_TRUE (runMessagesUntil ([&] { return page->getStartButton().getButtonText() == text ("\xe5\x81\x9c\xe6\xad\xa2"); }, 10000));
    juce::StringArray chineseNames;
    chineseNames.add (text ("\xe6\x96\x87\xe4\xbb\xb6"));
    chineseNames.add (text ("\xe8\xaf\xad\xe8\xa8\x80"));
    chineseNames.add (text ("\xe5\x8d\x8f\xe8\xae\xae"));
    chineseNames.add (text ("\xe5\xb8\xae\xe5\x8a\xa9"));
    EXPECT_EQ (menus->getMenuBarNames(), chineseNames);
    EXPECT_EQ (page->getDeviceNameLabel().getText(), text ("\xe5\x99\xa8\xe4\xbb\xb6\xe5\x90\x8d\xe7\xa7\xb0:"));
    EXPECT_EQ (count (page->getFinishCountLabel()), "1");
    saveScreenshot (window->getScreenBounds(), "main-window-chinese");

    // Stop, then a failing check shows its box in Chinese.
    page->getStartButton().triggerClick();
    ASSERT_TRUE (runMessagesUntil ([&] { return page->getStartButton().getButtonText() == text ("\xe5\xbc\x80\xe5\xa7\x8b"); }, 20000));
    page->getPathEditor().setText ({}, true);
    page->getStartButton().triggerClick();
    auto* box = waitForAlertWith (text ("\xe5\x9b\xba\xe4\xbb\xb6\xe8\xb7\xaf\xe5\xbe\x84\xe4\xb8\x8d\xe8\x83\xbd\xe4\xb8\xba\xe7\xa9\xba!"));
    ASSERT_NE (box, nullptr);
    EXPECT_EQ (readAlertText (*box).title, text ("\xe6\x8f\x90\xe7\xa4\xba"));
    EXPECT_EQ (readAlertText (*box).buttons, juce::StringArray (text ("\xe7\xa1\xae\xe5\xae\x9a")));
    saveScreenshot (window->getScreenBounds(), "main-window-chinese-box");
    closeAllAlerts();

    menus->menuItemSelected (MenusDemo::menuPositionEnglish, 1);
    ASSERT_TRUE (runMessagesUntil ([&] { return page->getStartButton().getButtonText() == "Start"; }, 10000));
    EXPECT_EQ (menus->getMenuBarNames(), juce::StringArray ({ "File", "Language", "Protocol", "Help" }));
    EXPECT_EQ (page->getDeviceNameLabel().getText(), "Device name:");
    page->getStartButton().triggerClick();
    box = waitForAlertWith ("The file path is null!");
    ASSERT_NE (box, nullptr);
    EXPECT_EQ (readAlertText (*box).title, "Tips");
    EXPECT_EQ (readAlertText (*box).buttons, juce::StringArray ("OK"));
}

TEST_F (WindowTransfer, DeviceAddressItemSetsTheNextFramesAndTheFile)
{
    // The device answers only frames that start with '&' (A0); the setting says A3.
    startDevice ({ "--name", "FLINT001", "--address", "A0", "--devices", "1" });
    openWindow ({ { "DevAddrSel", "A3" } });
    main->getMenuBar()->menuItemSelected (MenusDemo::menuPositionDevAddrA0, 2);
    EXPECT_TRUE (settingsText().contains ("DevAddrSel=A0\r\n"));

    const auto firmware = writeFirmware ("demo.dsb", 640);
    startTransfer (firmware);
    ASSERT_TRUE (runMessagesUntil ([&] { return count (page->getFinishCountLabel()) == "1"; }, 60000));
    EXPECT_TRUE (imageArrived (firmware));
}
}
