#include "UpdateFixture.h"

#include "LabelTables.h"
#include "Log.h"
#include "Settings.h"

juce::MemoryBlock makeZip (const std::vector<ZipItem>& items)
{
    TempFolder scratch;
    juce::ZipFile::Builder builder;
    int n = 0;

    for (auto& item : items)
    {
        if (item.linkTarget != juce::File())
        {
            const auto link = scratch / juce::String (n++);
            item.linkTarget.createSymbolicLink (link, true);
            builder.addFile (link, 0, item.name);
        }
        else
        {
            builder.addEntry (new juce::MemoryInputStream (item.content.toRawUTF8(), item.content.getNumBytesAsUTF8(), true),
                              6, item.name, juce::Time::getCurrentTime());
        }
    }

    juce::MemoryBlock zip;
    {
        juce::MemoryOutputStream out (zip, false);
        builder.writeToStream (out, nullptr);
    }
    return zip;
}

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

juce::StringArray entryNames (const juce::File& folder)
{
    juce::StringArray names;

    for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, false, "*"))
        names.add (f.getFileName());

    names.sort (false);
    return names;
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
