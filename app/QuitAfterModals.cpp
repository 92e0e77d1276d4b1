#include "QuitAfterModals.h"

#include "QuitHandling.h"

#include <juce_gui_basics/juce_gui_basics.h>

QuitAfterModals::~QuitAfterModals()
{
    stopTimer();
}

void QuitAfterModals::request()
{
    if (! isTimerRunning())
    {
        startTimer (20);
        timerCallback();
    }
}

void QuitAfterModals::timerCallback()
{
    auto& modals = *juce::ModalComponentManager::getInstance();

    // A window that was closed may be followed by another (the box after a
    // cancelled download): close again until there is none.
    if (modals.cancelAllModalComponents())
        return;

    stopTimer();
    platform::quitMessageLoop();
}
