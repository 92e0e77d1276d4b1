// A port picked from the open list while a port goes away: Start opens the
// port whose name was clicked, and no other. Real clicks through the X server,
// one of the test's own, on a simulated device behind each of three links.
#include "PageFixture.h"

#include "AccessibleFind.h"
#include "ProgramProcess.h"
#include "Settings.h"

namespace
{
    const juce::String openJob = "1006/1";

    struct PickCase
    {
        const char* name;
        int clicked;    // 0 to 2, the ports in name order; port 0 is unplugged while the list is open
    };

    // The page's rescan falls due within its 1000 ms, so it runs before a timer
    // of ours that falls due later: timers fire in the order they fall due.
    bool waitForARescan()
    {
        struct Later : juce::Timer
        {
            bool fired = false;
            void timerCallback() override { fired = true; stopTimer(); }
        } later;

        later.startTimer (1100);
        return runMessagesUntil ([&] { return later.fired; }, 30000);
    }
}

class PortPick : public PageFixture, public ::testing::WithParamInterface<PickCase>
{
protected:
    juce::String selected() { return page->getPortBox().getSelectedId() != 0 ? page->getPortBox().getText() : juce::String(); }

    // Declared after the fixture's links and worker: they go after the tear-down.
    std::unique_ptr<SimDeviceProcess> devices[3];
};

TEST_P (PortPick, StartOpensThePortWhoseNameWasClicked)
{
    const auto& c = GetParam();
    juce::String names[3];

    for (int i = 0; i < 3; ++i)
    {
        devices[i] = std::make_unique<SimDeviceProcess> (juce::StringArray { "--name", "FLINT001", "--devices", "1" });
        ASSERT_TRUE (devices[i]->isRunning());
        names[i] = linkPort ("pick" + juce::String (i + 1), devices[i]->hostPath());
    }

    SettingValues[settingLastComPort] = names[2];
    makePage();
    showPage();
    ASSERT_TRUE (runMessagesUntil ([&] { return portItems().contains (names[0]) && portItems().contains (names[2]); }, 20000))
        << portItems().joinIntoString (" ");

    // A click before the X server shows the window would go past it.
    ASSERT_TRUE (runMessagesUntil ([] { return ! x11::findWindows ("^page$").isEmpty(); }, 20000));

    // Other runs' links come before, between and after ours: entries are found by name.
    auto& box = page->getPortBox();
    x11::click (box.getScreenBounds().getCentre());
    ASSERT_TRUE (runMessagesUntil ([&] { return openMenuItem (names[1]) != nullptr; }, 20000)) << "the port list did not open";
    ASSERT_TRUE (runMessagesUntil ([] { return ! x11::findWindows ("^menu$").isEmpty(); }, 20000));

    unlinkPort (names[0]);
    ASSERT_TRUE (waitForARescan());
    ASSERT_TRUE (box.isPopupActive());

    auto* entry = openMenuItem (names[c.clicked]);
    ASSERT_NE (entry, nullptr) << "the open list no longer shows " << names[c.clicked];
    x11::click (entry->getScreenBounds().getCentre());
    ASSERT_TRUE (runMessagesUntil ([&] { return ! box.isPopupActive(); }, 20000)) << "the click did not close the list";

    // The list is rebuilt once it has closed, keeping the clicked name if it is still there.
    ASSERT_TRUE (runMessagesUntil ([&] { return ! portItems().contains (names[0]); }, 20000));
    const bool stillThere = c.clicked != 0;
    EXPECT_EQ (selected(), stillThere ? names[c.clicked] : juce::String());

    const auto firmware = writeFile ("pick.dsb", dsb::makeFile ("FLINT001", dsb::randomImage (640, 3)));
    page->getPathEditor().setText (firmware.getFullPathName(), true);
    click (page->getStartButton());

    if (stillThere)
    {
        EXPECT_TRUE (devices[c.clicked]->waitForEvent ("host-opened", 20000)) << "opened: " << page->getCurrentPort();
    }
    else
    {
        ASSERT_TRUE (waitForAlert());
        EXPECT_EQ (readAlert (*findAlert()).message, "Com port is null!");
    }

    settle();
    EXPECT_EQ (jobKinds().joinIntoString (" ").contains (openJob), stillThere) << jobKinds().joinIntoString (" ");

    for (const auto& job : tap->jobs)
    {
        if (juce::String::toHexString (job.id) + "/" + juce::String (job.type) == openJob)
        {
            EXPECT_EQ (juce::String (static_cast<const char*> (job.data.getData())), names[c.clicked]);
        }
    }

    for (int i = 0; i < 3; ++i)
    {
        if (i != c.clicked || ! stillThere)
        {
            EXPECT_EQ (devices[i]->countEvents ("host-opened"), 0) << names[i] << " was opened";
        }
    }
}

INSTANTIATE_TEST_SUITE_P (Entries, PortPick, ::testing::Values (
    PickCase { "aPortStillListed", 1 },
    PickCase { "theLastPort", 2 },
    PickCase { "thePortThatWent", 0 }),
    [] (const auto& p) { return std::string (p.param.name); });
