#include "ArvikApplication.h"
#include "DetachedThreads.h"
#include "ProcessLauncher.h"
#include "QuitHandling.h"

int main (int argc, char* argv[])
{
    platform::waitForRelaunchingProgram();
    platform::holdQuitSignals();
    juce::JUCEApplicationBase::createInstance = &createApplicationInstance;
    return platform::endProgram (juce::JUCEApplicationBase::main (argc, (const char**) argv));
}
