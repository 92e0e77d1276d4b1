#include "QuitHandling.h"

#include <juce_events/juce_events.h>

// A window program without a console gets no console signals, and the
// Windows message loop wakes for a quit at every level.
void platform::installQuitHandling (std::function<void()>)
{
}

void platform::removeQuitHandling()
{
}

void platform::quitMessageLoop()
{
    juce::JUCEApplicationBase::quit();
}
