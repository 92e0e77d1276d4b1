#pragma once

#include "QuitAfterModals.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// The application: one running copy, the user-interface typeface and the main
// window, whose content builds the whole system.
class ArvikApplication : public juce::JUCEApplication
{
public:
    ArvikApplication() = default;
    ~ArvikApplication() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;

    class MainWindow : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name);
        void closeButtonPressed() override;

    private:
        JUCE_DECLARE_NON_COPYABLE (MainWindow)
    };

private:
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<QuitAfterModals> quitAfterModals;
};

// The framework's application factory.
juce::JUCEApplicationBase* createApplicationInstance();
