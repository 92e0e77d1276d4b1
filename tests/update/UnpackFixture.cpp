#include "UnpackFixture.h"

juce::StringArray entryNames (const juce::File& folder)
{
    juce::StringArray names;

    for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, false, "*"))
        names.add (f.getFileName());

    names.sort (false);
    return names;
}

juce::StringArray treeOf (const juce::File& folder)
{
    juce::StringArray paths;

    for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, true, "*",
                                                juce::File::FollowSymlinks::no))
        paths.add (f.getRelativePathFrom (folder).replaceCharacter ('\\', '/'));

    paths.sort (false);
    return paths;
}

void UnpackFixture::SetUp()
{
    savedWorkingDirectory = juce::File::getCurrentWorkingDirectory();
    workFolder.get().setAsCurrentWorkingDirectory();
}

void UnpackFixture::TearDown()
{
    if (homeChanged)
        setHomeVariable (savedHome, hadHome);

    savedWorkingDirectory.setAsCurrentWorkingDirectory();
}

void UnpackFixture::pointHomeAt (const juce::File& folder)
{
    if (! homeChanged)
        savedHome = homeVariable (hadHome);

    homeChanged = true;
    setHomeVariable (folder.getFullPathName(), true);
}
