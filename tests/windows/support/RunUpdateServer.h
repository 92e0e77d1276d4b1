#pragma once

#include "Bridge.h"

#include <juce_core/juce_core.h>

// The run's update server (tools/updateserver.py), which tools/test-windows
// starts; its folder as Wine shows it.
class RunUpdateServer
{
public:
    juce::File file (const juce::String& name) const { return root().getChildFile (name); }

    juce::String address (const juce::String& path) const
    {
        return "http://127.0.0.1:" + juce::SystemStats::getEnvironmentVariable ("FLINT_UPDATE_PORT", "0") + path;
    }

    void serve (const juce::String& name, const juce::MemoryBlock& body) const { file (name).replaceWithData (body.getData(), body.getSize()); }
    void setRoutes (const juce::String& json) const { file ("routes.json").replaceWithText (json); }
    bool hasSeen (const juce::String& path) const { return file ("requests.log").loadFileAsString().contains ("GET " + path); }

private:
    static juce::File root() { return bridge::linuxFile (juce::SystemStats::getEnvironmentVariable ("FLINT_UPDATE_ROOT", {})); }
};
