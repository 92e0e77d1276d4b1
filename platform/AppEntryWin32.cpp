#include "ArvikApplication.h"
#include "DetachedThreads.h"
#include "ProcessLauncher.h"

#include <windows.h>

// The Windows entry point. The command line is never read.
int WINAPI WinMain (HINSTANCE, HINSTANCE, LPSTR, int)
{
    platform::waitForRelaunchingProgram();
    juce::JUCEApplicationBase::createInstance = &createApplicationInstance;
    return platform::endProgram (juce::JUCEApplicationBase::main());
}
