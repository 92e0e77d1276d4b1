#include "SettingsFixture.h"

#include "LabelTables.h"
#include "LabelLoader.h"
#include "Log.h"
#include "Settings.h"

#include <csignal>
#include <sys/resource.h>

namespace
{
    void clearGlobals()
    {
        for (auto& s : SettingValues)  s = {};
        for (auto& s : MenuLabels)     s = {};
        for (auto& s : PageLabels)     s = {};
        for (auto& s : UpdateLabels)   s = {};
    }
}

void SettingsFixture::SetUp()
{
    savedWorkingDirectory = juce::File::getCurrentWorkingDirectory();
    ASSERT_TRUE (temp.get().setAsCurrentWorkingDirectory());
    ASSERT_TRUE (exeFolder().createDirectory().wasOk());
    setLanguageFileFolder (exeFolder());
    clearGlobals();
    juce::LocalisedStrings::setCurrentMappings (nullptr);
}

void SettingsFixture::TearDown()
{
    juce::LocalisedStrings::setCurrentMappings (nullptr);
    setLogClock ({});
    setLanguageFileFolder ({});
    clearGlobals();
    savedWorkingDirectory.setAsCurrentWorkingDirectory();
}

std::string readBytes (const juce::File& file)
{
    juce::MemoryBlock block;

    if (! file.existsAsFile() || ! file.loadFileAsData (block))
        return {};

    return std::string (static_cast<const char*> (block.getData()), block.getSize());
}

void writeBytes (const juce::File& file, const std::string& bytes)
{
    ASSERT_TRUE (file.replaceWithData (bytes.data(), bytes.size()));
}

std::string utf16leWithMark (const std::u16string& text)
{
    std::string bytes = "\xff\xfe";

    for (auto unit : text)
    {
        bytes += (char) (unit & 0xff);
        bytes += (char) (unit >> 8);
    }

    return bytes;
}

std::string utf16beWithMark (const std::u16string& text)
{
    std::string bytes = "\xfe\xff";

    for (auto unit : text)
    {
        bytes += (char) (unit >> 8);
        bytes += (char) (unit & 0xff);
    }

    return bytes;
}

juce::StringArray fileNamesIn (const juce::File& folder)
{
    juce::StringArray names;

    for (auto& f : folder.findChildFiles (juce::File::findFiles, false))
        names.add (f.getFileName());

    names.sort (false);
    return names;
}

WritesFail::WritesFail()
{
    rlimit limit {};
    getrlimit (RLIMIT_FSIZE, &limit);
    savedSoftLimit = (juce::int64) limit.rlim_cur;
    savedHandler = std::signal (SIGXFSZ, SIG_IGN);

    limit.rlim_cur = 0;
    setrlimit (RLIMIT_FSIZE, &limit);
}

WritesFail::~WritesFail()
{
    rlimit limit {};
    getrlimit (RLIMIT_FSIZE, &limit);
    limit.rlim_cur = (rlim_t) savedSoftLimit;
    setrlimit (RLIMIT_FSIZE, &limit);
    std::signal (SIGXFSZ, savedHandler);
}
