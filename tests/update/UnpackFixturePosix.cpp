#include "UnpackFixture.h"

#include <cstdlib>
#include <sys/stat.h>

// The change time shows a changed mode or time too.
juce::StringArray snapshot (const juce::File& folder)
{
    juce::StringArray lines;

    for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, true, "*",
                                                juce::File::FollowSymlinks::no))
    {
        struct stat info {};
        lstat (f.getFullPathName().toRawUTF8(), &info);
        lines.add (f.getRelativePathFrom (folder) + " mode " + juce::String::toHexString ((int) info.st_mode)
                   + " size " + juce::String ((juce::int64) info.st_size)
                   + " mtime " + juce::String ((juce::int64) info.st_mtim.tv_sec) + "." + juce::String (info.st_mtim.tv_nsec)
                   + " ctime " + juce::String ((juce::int64) info.st_ctim.tv_sec) + "." + juce::String (info.st_ctim.tv_nsec)
                   + (f.existsAsFile() ? " " + f.loadFileAsString() : juce::String()));
    }

    lines.sort (false);
    return lines;
}

juce::String homeVariable (bool& isSet)
{
    const auto* value = std::getenv ("HOME");
    isSet = value != nullptr;
    return isSet ? juce::String::fromUTF8 (value) : juce::String();
}

void setHomeVariable (const juce::String& value, bool set)
{
    if (set)
        setenv ("HOME", value.toRawUTF8(), 1);
    else
        unsetenv ("HOME");
}
