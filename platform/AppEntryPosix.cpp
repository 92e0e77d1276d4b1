#include "ArvikApplication.h"
#include "ProcessLauncher.h"
#include "QuitHandling.h"

int main (int argc, char* argv[])
{
    platform::waitForRelaunchingProgram();
    platform::holdQuitSignals();
    juce::JUCEApplicationBase::createInstance = &createApplicationInstance;
    return juce::JUCEApplicationBase::main (argc, (const char**) argv);
}
