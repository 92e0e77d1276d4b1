// The program as it ships, driven from its command line for the tests under
// Wine, as the operator would once its window is up:
//   --download URL     downloads and hands over the package at URL, as
//                      "Download updates" does after the update question;
//   --start FILE PORT  chooses the firmware FILE and the PORT on the
//                      firmware page and presses Start.
#include "ArvikApplication.h"
#include "DetachedThreads.h"
#include "CheckNewSofyVersion.h"
#include "MainComponent.h"
#include "PageDFU.h"
#include "ProcessLauncher.h"

#include <windows.h>

namespace
{
MainComponent* findMainComponent()
{
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* window = dynamic_cast<juce::DocumentWindow*> (desktop.getComponent (i)))
            if (auto* main = dynamic_cast<MainComponent*> (window->getContentComponent()))
                return main;

    return nullptr;
}

// Presses Start once the port is in the page's list.
class StartWhenListed : private juce::Timer
{
public:
    StartWhenListed (const juce::String& f, const juce::String& p) : file (f), port (p) { startTimer (50); }

private:
    void timerCallback() override
    {
        auto* main = findMainComponent();

        if (main == nullptr)
            return;

        auto& page = *main->getPage();
        auto& ports = page.getPortBox();

        for (int i = 0; i < ports.getNumItems(); ++i)
        {
            if (ports.getItemText (i) == port)
            {
                stopTimer();
                ports.setSelectedItemIndex (i);
                page.getPathEditor().setText (file);
                page.getStartButton().triggerClick();
                return;
            }
        }
    }

    juce::String file, port;
};

class DrivenApplication : public ArvikApplication
{
public:
    void initialise (const juce::String& commandLine) override
    {
        ArvikApplication::initialise (commandLine);
        const auto args = getCommandLineParameterArray();

        if (args[0] == "--download")
        {
            const juce::URL url (args[1]);
            juce::MessageManager::callAsync ([url] { CheckNewSofyVersion().downloadAndInstall (url); });
        }
        else if (args[0] == "--start")
        {
            starter = std::make_unique<StartWhenListed> (args[1], args[2]);
        }
    }

    void shutdown() override
    {
        starter.reset();
        ArvikApplication::shutdown();
    }

private:
    std::unique_ptr<StartWhenListed> starter;
};
}

int WINAPI WinMain (HINSTANCE, HINSTANCE, LPSTR, int)
{
    platform::waitForRelaunchingProgram();
    juce::JUCEApplicationBase::createInstance = [] () -> juce::JUCEApplicationBase* { return new DrivenApplication(); };
    return platform::endProgram (juce::JUCEApplicationBase::main());
}
