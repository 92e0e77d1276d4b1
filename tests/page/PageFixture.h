#pragma once

#include "PageDFU.h"

#include "DeviceFixture.h"
#include "PtyLink.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace juce
{
    inline void PrintTo (const StringArray& a, std::ostream* os)  { *os << "{ " << a.joinIntoString (" | ") << " }"; }
}

// The jobs the page posted, in order, each handed on to the real worker.
class JobTap : public juce::MessageListener
{
public:
    struct Job { int id, type, value, value2; juce::MemoryBlock data; };

    explicit JobTap (MyCom& workerToUse) : worker (workerToUse) {}
    void handleMessage (const juce::Message& message) override;

    std::vector<Job> jobs;

private:
    MyCom& worker;
};

// An asynchronous box on the desktop, read as the user sees it.
struct ShownAlert
{
    juce::String title, message;
    juce::MessageBoxIconType icon;
    juce::StringArray buttons;
};

juce::AlertWindow* findAlert();
ShownAlert readAlert (juce::AlertWindow&);
// Presses the box's button with that text; false when it has none.
bool pressAlertButton (juce::AlertWindow&, const juce::String& buttonText);
void dismissAllAlerts();

// The page as the program builds it: settings and labels loaded in a fresh
// working directory, then the real worker, then the page as the worker's
// LISTENER_PAGE. The page's jobs pass through a tap on their way to the worker.
// Needs an X display; skipped without one.
class PageFixture : public DeviceFixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Settings written to dfu.init before the page is built; call before makePage().
    void writeSettings (const juce::StringArray& lines);
    void makePage();

    // A visible window that holds the page, so that clicks and focus are real.
    void showPage (int width = 700, int height = 350);

    // Clicks a showing, enabled button; the click arrives as a posted message.
    void click (juce::Button&);

    bool waitForAlert (int timeoutMs = 10000);

    // Runs the messages already queued and those they post, then returns;
    // justAfter runs right behind the first of them (e.g. a click).
    void settle (std::function<void()> justAfter = {});

    // A /dev/ttyFMtest* link to target, removed with the fixture.
    const juce::String& linkPort (const juce::String& suffix, const juce::String& target);
    void unlinkPort (const juce::String& name);

    // The port box's item texts, in order.
    juce::StringArray portItems();

    // The texts of the page's children in construction order: labels, button
    // texts and the editor's text.
    juce::StringArray childTexts();

    // The worker's jobs as the tap saw them: "id/type" each.
    juce::StringArray jobKinds() const;

    std::vector<std::unique_ptr<DevLink>> links;
    std::unique_ptr<JobTap> tap;
    std::unique_ptr<PageDFU> page;
    std::unique_ptr<juce::DocumentWindow> window;
    juce::File savedWorkingDirectory;
    TempFolder workDir;
};
