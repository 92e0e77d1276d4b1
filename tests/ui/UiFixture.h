#pragma once

#include "MessageLoop.h"
#include "MyMsg.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <map>
#include <vector>

// Each test runs in a fresh working directory (settings, log, about.txt) with
// the language file beside it, and leaves the process-wide state as it found
// it. Needs an X display; skipped without one.
class UiFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes dfu.init: the defaults with the given values in place.
    void writeSettings (const std::map<juce::String, juce::String>& values = {});
    // loadSettings and the label texts of the language setting, as the program starts.
    void loadSettingsAndLabels();

    juce::File work (const juce::String& name) const { return workDir / name; }
    // dfu.init as text, and the day's log as text ("" when none).
    juce::String settingsText() const;
    juce::String logText() const;

    TempFolder workDir;

private:
    juce::File savedWorkingDirectory;
};

// Records the MyMsg records it receives.
class RecordingTarget : public juce::MessageListener
{
public:
    struct Record { int id, type, value, value2; bool hasData; };

    void handleMessage (const juce::Message& message) override
    {
        if (auto* msg = dynamic_cast<const MyMsg*> (&message))
            records.push_back ({ msg->id, msg->type, msg->value, msg->value2, msg->data != nullptr });
    }

    int count (int id) const
    {
        int n = 0;

        for (auto& r : records)
            n += r.id == id ? 1 : 0;

        return n;
    }

    std::vector<Record> records;
};

// The boxes on the desktop, newest last.
std::vector<juce::AlertWindow*> shownAlerts();
// The title, message and button texts of a box as the user sees them.
struct AlertText
{
    juce::String title, message;
    juce::MessageBoxIconType icon;
    juce::StringArray buttons;
};
AlertText readAlertText (juce::AlertWindow&);
// Waits for a box whose message contains the text; null when none came.
juce::AlertWindow* waitForAlertWith (const juce::String& text, int timeoutMs = 20000);
void closeAllAlerts();

// build/artefacts, or the folder FLINT_ARTEFACTS names.
juce::File artefactsFolder();

// Saves that part of the X screen as <name>.png in the artefacts folder, for
// a person to look at: windows, boxes and the progress window as shown.
void saveScreenshot (juce::Rectangle<int> screenArea, const juce::String& name);
