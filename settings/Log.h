#pragma once

#include <juce_core/juce_core.h>

#include <functional>

// Appends "<date and time>: <text>\r\n" to the day's log file when LogFlag is
// exactly "1" and the text is not empty. Message thread only.
void writeLog (const juce::String& text);

// Appends a complete line to the log file of the clock's current date.
// 0, or -1 when that file did not exist and could not be created.
int appendToLogFile (const juce::String& line);

// "dfu <day> <Mon> <year>.log" in the current working directory.
juce::File logFileFor (const juce::Time& t);

// The clock for the stamp and the file name; an empty function restores the real one.
void setLogClock (std::function<juce::Time()> clock);
