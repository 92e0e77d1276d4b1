#include "ArvikApplication.h"

int main (int argc, char* argv[])
{
    juce::JUCEApplicationBase::createInstance = &createApplicationInstance;
    return juce::JUCEApplicationBase::main (argc, (const char**) argv);
}
