#include "QuitHandling.h"

#include <juce_events/juce_events.h>

// A window program without a console gets no console signals, and the
// Windows message loop wakes for a quit at every level.
void platform::holdQuitSignals()
{
}

void platform::installQuitHandling (std::function<void()>)
{
}

void platform::removeQuitHandling()
{
}

platform::AbortOnQuitSignal::AbortOnQuitSignal (std::function<void()> abortToUse)
    : abort (std::move (abortToUse))
{
}

platform::AbortOnQuitSignal::~AbortOnQuitSignal() = default;

void platform::quitMessageLoop()
{
    juce::JUCEApplicationBase::quit();
}
