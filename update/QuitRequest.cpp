#include "QuitRequest.h"

#include "QuitHandling.h"

#include <juce_events/juce_events.h>

void requestApplicationQuit()
{
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
    else
        platform::quitMessageLoop();
}
