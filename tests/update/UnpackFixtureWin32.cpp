#include "UnpackFixture.h"

#include <cstdlib>
#include <windows.h>

// Windows keeps no change time: the attributes, sizes and write times.
juce::StringArray snapshot (const juce::File& folder)
{
    juce::StringArray lines;

    for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, true, "*",
                                                juce::File::FollowSymlinks::no))
    {
        WIN32_FILE_ATTRIBUTE_DATA info {};
        GetFileAttributesExW (f.getFullPathName().toWideCharPointer(), GetFileExInfoStandard, &info);
        const auto written = ((juce::uint64) info.ftLastWriteTime.dwHighDateTime << 32) | info.ftLastWriteTime.dwLowDateTime;
        const auto size = ((juce::uint64) info.nFileSizeHigh << 32) | info.nFileSizeLow;
        lines.add (f.getRelativePathFrom (folder) + " attributes " + juce::String::toHexString ((int) info.dwFileAttributes)
                   + " size " + juce::String (size) + " written " + juce::String (written)
                   + (f.existsAsFile() ? " " + f.loadFileAsString() : juce::String()));
    }

    lines.sort (false);
    return lines;
}

juce::String homeVariable (bool& isSet)
{
    const auto* value = _wgetenv (L"HOME");
    isSet = value != nullptr;
    return isSet ? juce::String (value) : juce::String();
}

// "HOME=" with no value removes the variable.
void setHomeVariable (const juce::String& value, bool set)
{
    _wputenv (("HOME=" + (set ? value : juce::String())).toWideCharPointer());
}
