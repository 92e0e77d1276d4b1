// The port box following ports that come and go, checked once a second.
#include "PageFixture.h"

#include "Settings.h"

class PortBox : public PageFixture
{
protected:
    bool waitForItems (const std::function<bool (const juce::StringArray&)>& condition)
    {
        return runMessagesUntil ([&] { return condition (portItems()); }, 20000);
    }

    static auto has (const juce::String& name)     { return [name] (const juce::StringArray& items) { return items.contains (name); }; }
    static auto hasNot (const juce::String& name)  { return [name] (const juce::StringArray& items) { return ! items.contains (name); }; }

    juce::String selected() { return page->getPortBox().getSelectedId() != 0 ? page->getPortBox().getText() : juce::String(); }

    Pty ptyA, ptyB, ptyC;
};

TEST_F (PortBox, FollowsPortsThatComeAndGo)
{
    const auto a = linkPort ("a", ptyA.slavePath());
    SettingValues[settingLastComPort] = a;   // preselected as at a later Start
    makePage();
    ASSERT_TRUE (portItems().contains (a));
    EXPECT_EQ (selected(), a);

    // Items carry their position in the list as id.
    for (int i = 0; i < page->getPortBox().getNumItems(); ++i)
        EXPECT_EQ (page->getPortBox().getItemId (i), i + 1);

    // Plugged in: listed at a rescan, the selection stays.
    const auto b = linkPort ("b", ptyB.slavePath());
    ASSERT_TRUE (waitForItems (has (b)));
    EXPECT_EQ (selected(), a);

    // Another port replaced within a second: same count, another name.
    unlinkPort (b);
    const auto c = linkPort ("c", ptyC.slavePath());
    ASSERT_TRUE (waitForItems ([&] (auto& items) { return items.contains (c) && ! items.contains (b); }));
    EXPECT_EQ (selected(), a);

    // Another port unplugged: the selection stays.
    unlinkPort (c);
    ASSERT_TRUE (waitForItems (hasNot (c)));
    EXPECT_EQ (selected(), a);

    // The selected port unplugged: nothing is selected.
    unlinkPort (a);
    ASSERT_TRUE (waitForItems (hasNot (a)));
    EXPECT_EQ (selected(), "");
}

TEST_F (PortBox, FirstPortSelectedWithoutALastOne)
{
    linkPort ("first", ptyA.slavePath());
    makePage();

    ASSERT_GT (page->getPortBox().getNumItems(), 0);
    EXPECT_EQ (page->getPortBox().getSelectedItemIndex(), 0);
}

TEST_F (PortBox, RescansWhileTheControlsAreDisabled)
{
    makePage();
    page->setControlsEnabled (false);
    EXPECT_FALSE (page->getPortBox().isEnabled());
    EXPECT_TRUE (page->getStartButton().isEnabled());

    const auto a = linkPort ("late", ptyA.slavePath());
    EXPECT_TRUE (waitForItems (has (a)));
}
