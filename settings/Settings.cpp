#include "Settings.h"

#include "FileReplace.h"
#include "GuardedText.h"

juce::String SettingValues[numSettingValues];

const char* const settingsFileVersion = "Brenlow Flintmoor V1.0.0";

namespace
{
    const char* const keys[numSettingValues] =
    {
        "Soft_Version", "language", "DevAddrSel", "FirmPath", "LastComPort",
        "ComBaud", "LastBaud", "LogFlag", "LogCommun"
    };

    const int readOrder[] = { settingSoftVersion, settingLanguage, settingDevAddrSel, settingFirmPath,
                              settingComBaud, settingLastBaud, settingLogFlag, settingLogCommun };

    const int writtenOrder[] = { settingSoftVersion, settingDevAddrSel, settingFirmPath, settingComBaud,
                                 settingLastBaud, settingLogFlag, settingLogCommun, settingLanguage };

    void setDefaults (juce::String* values)
    {
        values[settingSoftVersion] = settingsFileVersion;
        values[settingLanguage]    = "english";
        values[settingDevAddrSel]  = "A3";
        values[settingFirmPath]    = {};
        values[settingComBaud]     = "5,9600,115200,230400,921600,2000000";
        values[settingLastBaud]    = "1";
        values[settingLogFlag]     = "0";
        values[settingLogCommun]   = "0";
    }

    juce::String fileText (const juce::String* values)
    {
        juce::String text;

        for (auto index : writtenOrder)
            text << keys[index] << "=" << values[index] << "\r\n";

        return text;
    }

    // A real settings file is a few hundred bytes; a larger one is not read.
    constexpr size_t maxSettingsFileBytes = 1024 * 1024;

    void readLine (const juce::String& line)
    {
        for (auto index : readOrder)
        {
            const auto prefix = juce::String (keys[index]) + "=";

            if (line.substring (0, prefix.length()) == prefix)
            {
                SettingValues[index] = line.substring (prefix.length());
                return;
            }
        }
    }
}

juce::File settingsFile()
{
    return juce::File::getCurrentWorkingDirectory().getChildFile ("dfu.init");
}

void readSettingsBytes (const juce::MemoryBlock& bytes)
{
    juce::StringArray lines;
    lines.addLines (decodeLenientText (bytes));

    for (auto& line : lines)
        readLine (line);
}

juce::MemoryBlock settingsFileBytes()
{
    return utf16FileBytes (fileText (SettingValues));
}

int loadSettings()
{
    const auto file = settingsFile();
    juce::MemoryBlock bytes;

    if (readBoundedFile (file, maxSettingsFileBytes, bytes))
    {
        readSettingsBytes (bytes);

        if (SettingValues[settingSoftVersion] == settingsFileVersion)
            return 0;
    }

    // Missing, unreadable or outdated: every value read is discarded, and the
    // defaults are in force even when the default file cannot be written.
    juce::String defaults[numSettingValues];
    setDefaults (defaults);

    for (auto index : writtenOrder)
        SettingValues[index] = defaults[index];

    return replaceFileWith (file, settingsFileBytes()) ? 0 : -1;
}

int saveSettings()
{
    return replaceFileWith (settingsFile(), settingsFileBytes()) ? 0 : -1;
}
