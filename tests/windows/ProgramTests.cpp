// The Windows program under Wine: its window, built in this process and drawn
// into a snapshot; and Flintmoor.exe itself, started twice.
#include "ArvikApplication.h"
#include "Bridge.h"
#include "MainComponent.h"
#include "MessageLoop.h"
#include "PageDFU.h"
#include "ProgramProcess.h"
#include "TempFolder.h"
#include "UiTypeface.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace
{
constexpr int waitMs = 30000;
const wchar_t* const windowTitle = L"Flintmoor V1.0.1";

// Pixels that stand out from the commonest colour of the area: the ink of
// whatever is drawn on the background there.
int inkPixels (const juce::Image& image, juce::Rectangle<int> area)
{
    std::map<juce::uint32, int> counts;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            ++counts[image.getPixelAt (x, y).getARGB()];

    if (counts.empty())
        return 0;

    const auto background = juce::Colour (std::max_element (counts.begin(), counts.end(),
                                                            [] (auto& a, auto& b) { return a.second < b.second; })->first);
    int ink = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (std::abs (image.getPixelAt (x, y).getPerceivedBrightness() - background.getPerceivedBrightness()) > 0.3f)
                ++ink;

    return ink;
}
}

TEST (WineProgram, TheWindowListsTheComPortAndDrawsThePageWithItsLabels)
{
    TempFolder folder;
    folder.get().setAsCurrentWorkingDirectory();

    applyUiTypeface();
    ArvikApplication::MainWindow window ("Flintmoor V1.0.1");
    auto* content = dynamic_cast<MainComponent*> (window.getContentComponent());
    ASSERT_NE (content, nullptr);
    auto* page = content->getPage();
    ASSERT_NE (page, nullptr);

    auto& ports = page->getPortBox();
    ASSERT_TRUE (runMessagesUntil ([&] { return ports.getNumItems() > 0; }, waitMs));

    juce::StringArray items;
    for (int i = 0; i < ports.getNumItems(); ++i)
        items.add (ports.getItemText (i));

    EXPECT_TRUE (items.contains (bridge::portName())) << items.joinIntoString (", ");
    EXPECT_EQ (ports.getText(), items[0]);

    // The page's area of the whole content, so that the background it stands on is drawn too.
    const auto snapshot = content->createComponentSnapshot (page->getBoundsInParent());
    ASSERT_EQ (snapshot.getWidth(), page->getWidth());

    // Kept for a look after the run.
    juce::File shot (juce::SystemStats::getEnvironmentVariable ("FLINT_SNAPSHOT", {}));
    if (shot.getFullPathName().isNotEmpty())
    {
        // On the window's background, as the user sees it.
        juce::Image flat (juce::Image::RGB, snapshot.getWidth(), snapshot.getHeight(), true);
        juce::Graphics g (flat);
        g.fillAll (window.getBackgroundColour());
        g.drawImageAt (snapshot, 0, 0);

        shot.deleteFile();
        juce::FileOutputStream out (shot);
        juce::PNGImageFormat().writeImageToStream (flat, out);
    }

    int labels = 0;

    for (auto* child : page->getChildren())
    {
        auto* label = dynamic_cast<juce::Label*> (child);

        if (label == nullptr || label->getText().isEmpty())
            continue;

        ++labels;
        EXPECT_GT (inkPixels (snapshot, label->getBounds().getIntersection (page->getLocalBounds())), 20)
            << "label \"" << label->getText() << "\" is not drawn";
    }

    EXPECT_EQ (labels, 9);
    EXPECT_GT (inkPixels (snapshot, ports.getBounds()), 20) << "the port box shows no port";

    window.setVisible (false);
    juce::File::getSpecialLocation (juce::File::tempDirectory).setAsCurrentWorkingDirectory();
}

TEST (WineProgram, ASecondStartEndsAndLeavesOneWindow)
{
    TempFolder folder;
    ASSERT_EQ (countProgramWindows(), 0);

    ProgramProcess first (FLINT_PROGRAM_PATH, folder.get());
    ASSERT_TRUE (first.started());
    ASSERT_TRUE (waitUntil ([] { return countProgramWindows() == 1; }, waitMs)) << "the program opened no window";

    ProgramProcess second (FLINT_PROGRAM_PATH, folder.get());
    ASSERT_TRUE (second.started());
    EXPECT_TRUE (second.hasEnded (waitMs)) << "the second copy still runs";
    EXPECT_EQ (second.exitCode(), 0u);
    EXPECT_FALSE (first.hasEnded (0));
    EXPECT_EQ (countProgramWindows(), 1);

    // Closing the window ends the program.
    PostMessageW (FindWindowW (nullptr, windowTitle), WM_CLOSE, 0, 0);
    EXPECT_TRUE (first.hasEnded (waitMs)) << "the program did not end when its window closed";
}
