#include "Settings.h"

#include "FileReplace.h"

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

int loadSettings()
{
    const auto file = settingsFile();

    if (file.exists())
    {
        juce::StringArray lines;
        lines.addLines (file.loadFileAsString());

        for (auto& line : lines)
            readLine (line);

        if (SettingValues[settingSoftVersion] == settingsFileVersion)
            return 0;
    }

    // Missing or outdated: the whole file is replaced by the defaults. The
    // text is built before the values change, so a failed write leaves the
    // values as read.
    juce::String defaults[numSettingValues];
    setDefaults (defaults);

    if (! replaceFileWith (file, utf16FileBytes (fileText (defaults))))
        return -1;

    for (auto index : writtenOrder)
        SettingValues[index] = defaults[index];

    return 0;
}

int saveSettings()
{
    return replaceFileWith (settingsFile(), utf16FileBytes (fileText (SettingValues))) ? 0 : -1;
}
