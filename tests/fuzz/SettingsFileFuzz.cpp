// Arbitrary bytes as the settings file. The sanitizers watch every access;
// what was read must come back the same once saved and read again (unless a
// value holds a surrogate code point, which UTF-16 cannot carry alone), and
// saving that again must give the same bytes.
#include "Settings.h"

#include <cstdlib>

namespace
{
const int storedIndices[] = { settingSoftVersion, settingLanguage, settingDevAddrSel, settingFirmPath,
                              settingComBaud, settingLastBaud, settingLogFlag, settingLogCommun };

void clearValues()
{
    for (auto& value : SettingValues)
        value = {};
}

bool holdsSurrogate (const juce::String& text)
{
    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();

        if (c >= 0xD800 && c <= 0xDFFF)
            return true;
    }

    return false;
}
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    clearValues();
    readSettingsBytes (juce::MemoryBlock (data, size));

    juce::String first[numSettingValues];
    bool comparable = true;

    for (auto index : storedIndices)
    {
        first[index] = SettingValues[index];
        comparable = comparable && ! holdsSurrogate (first[index]);
    }

    const auto saved = settingsFileBytes();
    clearValues();
    readSettingsBytes (saved);

    for (auto index : storedIndices)
        if (comparable && SettingValues[index] != first[index])
            std::abort();

    if (settingsFileBytes() != saved)
        std::abort();

    return 0;
}
