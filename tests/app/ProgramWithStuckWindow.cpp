// The program as it ships, with a modal window titled "Stuck" that does not
// close: each time it is ended it takes the modal state again, as a window
// would whose owner hangs, so that a quit waits for it for ever. The first
// end prints "stuck window ended" on the output.
#include "ArvikApplication.h"
#include "DetachedThreads.h"
#include "ProcessLauncher.h"
#include "QuitHandling.h"

#include <cstdio>
#include <utility>

namespace
{
class StuckWindow : public juce::DocumentWindow
{
public:
    StuckWindow() : juce::DocumentWindow ("Stuck", juce::Colours::darkgrey, 0, true)
    {
        setUsingNativeTitleBar (false);
        setBounds (40, 40, 240, 120);
        setVisible (true);
        hold();
    }

private:
    void hold()
    {
        enterModalState (true, juce::ModalCallbackFunction::create ([self = SafePointer<StuckWindow> (this)] (int)
        {
            static bool told = false;

            if (! std::exchange (told, true))
            {
                std::printf ("stuck window ended\n");
                std::fflush (stdout);
            }

            if (self != nullptr)
                self->hold();
        }), false);
    }
};

class ApplicationWithStuckWindow : public ArvikApplication
{
public:
    void initialise (const juce::String& commandLine) override
    {
        ArvikApplication::initialise (commandLine);
        stuck = std::make_unique<StuckWindow>();
    }

    void shutdown() override
    {
        stuck.reset();
        ArvikApplication::shutdown();
    }

private:
    std::unique_ptr<StuckWindow> stuck;
};
}

int main (int, char* argv[])
{
    platform::waitForRelaunchingProgram();
    platform::holdQuitSignals();
    juce::JUCEApplicationBase::createInstance = [] () -> juce::JUCEApplicationBase* { return new ApplicationWithStuckWindow(); };
    const char* programName[] = { argv[0] };
    return platform::endProgram (juce::JUCEApplicationBase::main (1, programName));
}
