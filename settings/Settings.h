#pragma once

#include <juce_core/juce_core.h>

// The nine settings values, read and assigned directly by index on the
// message thread. All but LastComPort are stored in the settings file.
enum SettingIndex
{
    settingSoftVersion = 0,     // Soft_Version
    settingLanguage,            // language: "chinese" or anything else for English
    settingDevAddrSel,          // DevAddrSel: "A0".."A3"
    settingFirmPath,            // FirmPath
    settingLastComPort,         // LastComPort: memory only
    settingComBaud,             // ComBaud: count, then the rates, comma-separated
    settingLastBaud,            // LastBaud: index of the preselected rate
    settingLogFlag,             // LogFlag: "1" switches the log on
    settingLogCommun            // LogCommun: "1" adds the frame dumps
};

constexpr int numSettingValues = 9;

extern juce::String SettingValues[numSettingValues];

// The version the file must carry; any other discards the whole file.
extern const char* const settingsFileVersion;

// Reads the file into SettingValues. When it is missing, unreadable (larger
// than a settings file can sensibly be among that) or of another version, the
// eight stored values get their defaults and the default file is written.
// 0, or -1 when the default file could not be written; the defaults are in
// force either way.
int loadSettings();

// Replaces the file with the eight stored values as they are in memory.
// 0, or -1 when the new file could not be written; the old file is then kept.
int saveSettings();

// Reads the lines of a settings file's bytes (UTF-16 of either byte order with
// its mark, otherwise UTF-8) into SettingValues, without checking the version.
void readSettingsBytes (const juce::MemoryBlock& bytes);

// The bytes saveSettings writes for the values in memory.
juce::MemoryBlock settingsFileBytes();

// "dfu.init" in the current working directory.
juce::File settingsFile();
