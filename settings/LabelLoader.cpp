#include "LabelLoader.h"

#include "FileReplace.h"
#include "GuardedXml.h"

#include "ExecutableFolder.h"

#include <limits>

const char* const languageFileVersion = "2021062902";

namespace
{
    juce::File languageFolderOverride;

    const juce::XmlElement* firstChildNamed (const juce::XmlElement& parent, const juce::String& name)
    {
        for (auto* child : parent.getChildIterator())
            if (! child->isTextElement() && child->getTagName().equalsIgnoreCase (name))
                return child;

        return nullptr;
    }

    // atoi's reading: leading white space, an optional sign, the digits up to
    // the first other character; 0 without digits. Saturates instead of overflowing.
    int atoiValue (const juce::String& text)
    {
        auto p = text.getCharPointer();

        while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
            ++p;

        const bool negative = (*p == '-');

        if (*p == '-' || *p == '+')
            ++p;

        juce::int64 value = 0;

        for (; *p >= '0' && *p <= '9'; ++p)
            value = juce::jmin ((juce::int64) std::numeric_limits<int>::max() + 1, value * 10 + (*p - '0'));

        return (int) juce::jlimit ((juce::int64) std::numeric_limits<int>::min(),
                                   (juce::int64) std::numeric_limits<int>::max(),
                                   negative ? -value : value);
    }

    void loadTable (const juce::XmlElement& section, juce::String* labels, const LabelInfo* info, int count, int codePage)
    {
        for (int i = 0; i < count; ++i)
            labels[i] = lookupLabelText (&section, info[i].key, codePage);
    }
}

juce::File languageFile()
{
    if (languageFolderOverride != juce::File())
        return languageFolderOverride.getChildFile ("language.xml");

    // Not JUCE's currentExecutableFile: on Linux it joins the working directory
    // with argv[0] at every call, so it follows the working directory.
    const auto& folder = platform::executableFolder();

    if (folder.empty())
        return juce::File::getSpecialLocation (juce::File::currentExecutableFile).getSiblingFile ("language.xml");

    return juce::File (juce::String::fromUTF8 (folder.c_str(), (int) folder.size())).getChildFile ("language.xml");
}

void setLanguageFileFolder (const juce::File& folder)
{
    languageFolderOverride = folder;
}

int loadLabelTexts (int codePage)
{
    setBuiltInLabelTexts();

    if (! readLabelTexts (readGuardedXmlFile (languageFile()).get(), codePage))
    {
        writeDefaultLanguageFile();
        return -1;
    }

    return 0;
}

bool readLabelTexts (const juce::XmlElement* root, int codePage)
{
    if (root == nullptr)
        return false;

    const auto* version = firstChildNamed (*root, "Version");
    const auto* menu = firstChildNamed (*root, menuSectionName);
    const auto* page = firstChildNamed (*root, pageSectionName);
    const auto* update = firstChildNamed (*root, updateSectionName);

    // A file without its version or one of its sections is treated like an outdated one.
    if (version == nullptr || menu == nullptr || page == nullptr || update == nullptr
         || version->getStringAttribute ("Version") != languageFileVersion)
        return false;

    loadTable (*menu, MenuLabels, menuLabelInfo, numMenuLabels, codePage);
    loadTable (*page, PageLabels, pageLabelInfo, numPageLabels, codePage);
    loadTable (*update, UpdateLabels, updateLabelInfo, numUpdateLabels, codePage);
    return true;
}

juce::String lookupLabelText (const juce::XmlElement* section, const juce::String& key, int codePage)
{
    if (section == nullptr)
        return {};

    const auto* entry = firstChildNamed (*section, key);

    if (entry == nullptr)
        return {};

    for (auto* local : entry->getChildIterator())
        if (atoiValue (local->getStringAttribute ("CPID")) == codePage)
            return local->getStringAttribute ("name");

    return {};
}

void saveLanguageFile (const juce::String& text)
{
    replaceFileWith (languageFile(), utf16FileBytes (text));
}
