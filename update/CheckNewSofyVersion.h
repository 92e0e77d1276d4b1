#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The steps of an online update, grouped; it keeps no state and is never shown.
struct CheckNewSofyVersion : public juce::Component
{
    // Fetches the update list, compares this application's listed version
    // with its own and tells that it is current or offers the download.
    // Always 0.
    int checkForNewVersion (const juce::URL& listUrl, const juce::String& appName);

    // The attribute (matched exactly) of the first child of updateFiles whose
    // tag equals appName ignoring case; empty when there is none.
    juce::String getAppAttribute (const juce::XmlElement* updateFiles, const juce::String& appName,
                                  const juce::String& attributeName);

    // Downloads and unpacks the package into "app" of the working directory,
    // then hands over to the package's "autoUpdate.bat". 0 when the batch
    // file was started and the program is quitting, else -1.
    int downloadAndInstall (const juce::URL& url);
};
