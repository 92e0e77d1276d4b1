#include "UiTypeface.h"

#include "FontFiles.h"

juce::String chooseUiTypefaceName (const juce::StringArray& installedFamilies)
{
    static const char* const preferred[] =
    {
        "\xe5\xbe\xae\xe8\xbd\xaf\xe9\x9b\x85\xe9\xbb\x91",    // 微软雅黑
        "Microsoft YaHei"
    };

    for (auto* name : preferred)
    {
        const auto family = juce::String (juce::CharPointer_UTF8 (name));

        if (installedFamilies.contains (family))
            return family;
    }

    return {};
}

juce::String applyUiTypeface()
{
    auto& lookAndFeel = juce::Desktop::getInstance().getDefaultLookAndFeel();
    const auto name = chooseUiTypefaceName (juce::Font::findAllTypefaceNames());

    if (name.isNotEmpty())
    {
        lookAndFeel.setDefaultSansSerifTypefaceName (name);
        return name;
    }

    for (const auto& path : platform::uiFontFiles())
    {
        juce::MemoryBlock data;

        if (! juce::File (juce::String (path)).loadFileAsData (data) || data.isEmpty())
            continue;

        auto typeface = juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());

        if (typeface != nullptr && typeface->getName().isNotEmpty())
        {
            lookAndFeel.setDefaultSansSerifTypeface (typeface);
            return typeface->getName();
        }
    }

    return {};
}
