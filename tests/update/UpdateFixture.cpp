#include "UpdateFixture.h"

#include "LabelTables.h"
#include "Log.h"
#include "Settings.h"

juce::String markerScript (const juce::File& marker)
{
    return "#!/bin/sh\necho ran > '" + marker.getFullPathName() + "'\n";
}

bool waitForFile (const juce::File& file, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! file.existsAsFile())
    {
        if (juce::Time::getMillisecondCounter() >= end)
            return false;

        juce::Thread::sleep (10);
    }

    return true;
}

void UpdateFixture::SetUp()
{
    ASSERT_TRUE (server.isRunning()) << "the update server did not start";

    savedWorkingDirectory = juce::File::getCurrentWorkingDirectory();
    workFolder.get().setAsCurrentWorkingDirectory();
    setBuiltInLabelTexts();
    SettingValues[settingLogFlag] = "1";
}

void UpdateFixture::TearDown()
{
    SettingValues[settingLogFlag] = {};
    savedWorkingDirectory.setAsCurrentWorkingDirectory();
}

juce::StringArray UpdateFixture::logLines() const
{
    juce::StringArray lines;
    lines.addLines (logFileFor (juce::Time::getCurrentTime()).loadFileAsString());
    lines.removeEmptyStrings();

    for (auto& line : lines)
        line = line.fromFirstOccurrenceOf (": ", false, false);

    return lines;
}
