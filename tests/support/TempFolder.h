#pragma once

#include <juce_core/juce_core.h>

// A fresh folder under the system's temporary directory, deleted with its contents.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();

    const juce::File& get() const { return folder; }
    juce::File operator/ (const juce::String& name) const { return folder.getChildFile (name); }

private:
    juce::File folder;
    JUCE_DECLARE_NON_COPYABLE (TempFolder)
};
