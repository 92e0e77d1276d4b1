#include "WindowEvents.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <dlfcn.h>

int main (int argc, char** argv)
{
    // Without an application instance JUCE would not install its X error
    // handler, and the first window under Xvfb would end the process.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
    // JUCE opens libX11 at run time and closes it at exit, which would leave
    // the leak checker unable to name what the X libraries keep: hold it open.
    dlopen ("libX11.so.6", RTLD_LAZY);

    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    // The windows of the tests take their events as the program's do.
    if (juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isNotEmpty())
        platform::handleQueuedWindowEvents();

    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
