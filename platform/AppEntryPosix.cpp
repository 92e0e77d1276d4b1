#include "ArvikApplication.h"
#include "ProcessLauncher.h"

int main (int argc, char* argv[])
{
    platform::waitForRelaunchingProgram();
    juce::JUCEApplicationBase::createInstance = &createApplicationInstance;
    return juce::JUCEApplicationBase::main (argc, (const char**) argv);
}
