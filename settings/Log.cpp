#include "Log.h"

#include "Settings.h"

namespace
{
    juce::Time realTime() { return juce::Time::getCurrentTime(); }

    std::function<juce::Time()> logClock = realTime;
}

void setLogClock (std::function<juce::Time()> clock)
{
    logClock = clock != nullptr ? std::move (clock) : std::function<juce::Time()> (realTime);
}

juce::File logFileFor (const juce::Time& t)
{
    return juce::File::getCurrentWorkingDirectory()
               .getChildFile ("dfu " + t.toString (true, false, false, false) + ".log");
}

void writeLog (const juce::String& text)
{
    if (SettingValues[settingLogFlag] != "1" || text.isEmpty())
        return;

    appendToLogFile (logClock().toString (true, true, true, true) + ": " + text + "\r\n");
}

int appendToLogFile (const juce::String& line)
{
    // The date is read again here, so a line stamped just before midnight
    // can open the next day's file.
    const auto file = logFileFor (logClock());

    if (! file.exists() && ! file.create())
        return -1;

    juce::FileOutputStream out (file, 16384);

    if (out.openedOk())
        out.writeText (line, false, false, "\r\n");

    return 0;
}
