// Children, their rectangles and the baud list, as the page builds them.
#include "PageFixture.h"

#include "Settings.h"

namespace
{
    struct LayoutCase
    {
        int width;
        int x0, e;
    };

    // The children in the order the page adds them, with their rectangles
    // relative to x0 and the editor's width E.
    juce::Rectangle<int> expectedBounds (int child, int x0, int e)
    {
        const juce::Rectangle<int> table[] =
        {
            { x0, 45, 90, 25 },             // pathLabel
            { x0, 125, 100, 25 },           // finishLabel
            { x0 + 250, 125, 100, 25 },     // failLabel
            { x0 + 100, 125, 80, 25 },      // finishCountLabel
            { x0 + 350, 125, 80, 25 },      // failCountLabel
            { x0 + 95, 45, e, 25 },         // pathEditor
            { x0 + 105 + e, 45, 60, 30 },   // browseButton
            { x0, 90, 250, 25 },            // deviceNameLabel
            { x0 + 250, 90, 250, 25 },      // releaseDateLabel
            { x0, 10, 60, 25 },             // comPortLabel
            { x0 + 210, 10, 60, 25 },       // baudRateLabel
            { x0 + 60, 10, 100, 25 },       // portBox
            { x0 + 270, 10, 100, 25 },      // baudBox
            { x0 + 105 + e, 125, 60, 30 },  // startButton
        };
        return table[child];
    }
}

class PageLayout : public PageFixture, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P (PageLayout, ChildrenStandWhereTheWidthPutsThem)
{
    makePage();
    const auto c = GetParam();
    page->setSize (c.width, 300);

    ASSERT_EQ (page->getNumChildComponents(), 14);

    for (int i = 0; i < page->getNumChildComponents(); ++i)
        EXPECT_EQ (page->getChildComponent (i)->getBounds(), expectedBounds (i, c.x0, c.e)) << "child " << i;

    EXPECT_EQ (page->getStartButton().getX(), c.x0 + 105 + c.e);
}

// 700 × 0.7 is just under 490 in double precision.
INSTANTIATE_TEST_SUITE_P (Widths, PageLayout, ::testing::Values (LayoutCase { 700, 14, 489 },
                                                                 LayoutCase { 1024, 20, 716 }));

namespace
{
    struct BaudCase
    {
        const char* name;
        const char* comBaud;    // nullptr: the default
        const char* lastBaud;
        juce::StringArray items;
        std::vector<int> ids;
        juce::String selected;  // empty: nothing selected
    };

    const juce::StringArray defaultRates { "9600", "115200", "230400", "921600", "2000000" };
}

class BaudList : public PageFixture, public ::testing::WithParamInterface<BaudCase> {};

TEST_P (BaudList, FollowsTheSettings)
{
    const auto& c = GetParam();
    juce::StringArray lines { juce::String ("LastBaud=") + c.lastBaud };

    if (c.comBaud != nullptr)
        lines.add (juce::String ("ComBaud=") + c.comBaud);
    else
        lines.add ("ComBaud=5,9600,115200,230400,921600,2000000");

    writeSettings (lines);
    makePage();
    auto& box = page->getBaudBox();

    juce::StringArray items;
    std::vector<int> ids;

    for (int i = 0; i < box.getNumItems(); ++i)
    {
        items.add (box.getItemText (i));
        ids.push_back (box.getItemId (i));
    }

    EXPECT_EQ (items, c.items);
    EXPECT_EQ (ids, c.ids);
    EXPECT_EQ (box.getSelectedId() != 0 ? box.getText() : juce::String(), c.selected);
}

INSTANTIATE_TEST_SUITE_P (Cases, BaudList, ::testing::Values (
    BaudCase { "Defaults", nullptr, "1", defaultRates, { 1, 2, 3, 4, 5 }, "115200" },
    BaudCase { "EmptyRateKeepsItsId", "3,9600,,115200", "1", { "9600", "115200" }, { 1, 3 }, "115200" },
    BaudCase { "RatesAfterTheCountIgnored", "2,9600,115200,230400", "0", { "9600", "115200" }, { 1, 2 }, "9600" },
    BaudCase { "CountBeyondTheRates", "4,9600,115200", "0", { "9600", "115200" }, { 1, 2 }, "9600" },
    // A count far beyond the rates must not hold the page up.
    BaudCase { "HugeCount", "2147483647,9600", "0", { "9600" }, { 1 }, "9600" },
    BaudCase { "NoCommaIsACountAlone", "9600", "0", {}, {}, "" },
    BaudCase { "CountZero", "0,9600,115200", "0", {}, {}, "" },
    BaudCase { "LastBaudEqualToCount", nullptr, "5", defaultRates, { 1, 2, 3, 4, 5 }, "" },
    BaudCase { "LastBaudBeyondCount", nullptr, "7", defaultRates, { 1, 2, 3, 4, 5 }, "" }),
    [] (const auto& p) { return std::string (p.param.name); });
