#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

int main (int argc, char** argv)
{
    // Without an application instance JUCE would not install its X error
    // handler, and the first window under Xvfb would end the process.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
