// The program as it ships, with the update list at the address given as its
// first argument. With "--check" after it, it starts Help > Check for
// updates... as soon as its window is up, as the menu bar does after a click;
// with "--download URL", it downloads and hands over the package at URL, as
// "Download updates" does once the check has asked.
#include "ArvikApplication.h"
#include "CheckNewSofyVersion.h"
#include "DetachedThreads.h"
#include "MainComponent.h"
#include "MenusDemo.h"
#include "ProcessLauncher.h"
#include "QuitHandling.h"
#include "UpdateListAddress.h"

namespace
{
bool checkAtStart = false;
juce::String packageToDownload;

class ApplicationWithUpdateList : public ArvikApplication
{
public:
    void initialise (const juce::String& commandLine) override
    {
        ArvikApplication::initialise (commandLine);

        if (packageToDownload.isNotEmpty())
        {
            juce::MessageManager::callAsync ([] { CheckNewSofyVersion().downloadAndInstall (juce::URL (packageToDownload)); });
            return;
        }

        if (! checkAtStart)
            return;

        juce::MessageManager::callAsync ([]
        {
            auto& desktop = juce::Desktop::getInstance();

            for (int i = 0; i < desktop.getNumComponents(); ++i)
                if (auto* window = dynamic_cast<juce::DocumentWindow*> (desktop.getComponent (i)))
                    if (auto* main = dynamic_cast<MainComponent*> (window->getContentComponent()))
                        main->getMenuBar()->menuItemSelected (MenusDemo::menuPositionCheckUpdate, 3);
        });
    }
};
}

int main (int argc, char* argv[])
{
    if (argc > 1)
        updateListAddress = juce::String (juce::CharPointer_UTF8 (argv[1]));

    checkAtStart = argc > 2 && juce::String (argv[2]) == "--check";

    if (argc > 3 && juce::String (argv[2]) == "--download")
        packageToDownload = juce::String (juce::CharPointer_UTF8 (argv[3]));

    platform::waitForRelaunchingProgram();
    platform::holdQuitSignals();
    juce::JUCEApplicationBase::createInstance = [] () -> juce::JUCEApplicationBase* { return new ApplicationWithUpdateList(); };
    const char* programName[] = { argv[0] };
    return platform::endProgram (juce::JUCEApplicationBase::main (1, programName));
}
