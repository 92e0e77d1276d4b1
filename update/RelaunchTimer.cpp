#include "RelaunchTimer.h"

#include "ProcessLauncher.h"
#include "QuitHandling.h"

RelaunchTimer::RelaunchTimer (const juce::File& f)
    : folder (f)
{
    startTimer (1500);
}

RelaunchTimer::~RelaunchTimer()
{
    stopTimer();
}

void RelaunchTimer::timerCallback()
{
    stopTimer();
    const auto executable = folder.getChildFile ("Flintmoor.exe");
    platform::quitMessageLoop();

    if (executable.exists())
        platform::startExecutable (executable);

    delete this;
}
