#include "RelaunchTimer.h"

#include "NewFile.h"
#include "ProcessLauncher.h"
#include "QuitRequest.h"

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
    requestApplicationQuit();

    // Only a plain file inside the folder, never what a link points to.
    if (platform::isPlainFile (executable) && ! folder.isSymbolicLink())
        platform::startExecutable (executable);

    delete this;
}
