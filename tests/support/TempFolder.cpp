#include "TempFolder.h"

TempFolder::TempFolder()
    : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                  .getChildFile ("flintmoor-test-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64())))
{
    folder.createDirectory();
}

TempFolder::~TempFolder()
{
    folder.deleteRecursively();
}
