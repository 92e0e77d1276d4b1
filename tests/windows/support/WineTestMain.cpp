#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

// GoogleTest with JUCE's message manager and GUI support, for the Windows
// executables (the Linux main also holds libX11 open, which has no place here).
int main (int argc, char** argv)
{
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
