#include "ArvikApplication.h"

#include "AppInfo.h"
#include "Log.h"
#include "MainComponent.h"
#include "QuitAfterModals.h"
#include "QuitHandling.h"
#include "UiTypeface.h"
#include "WindowEvents.h"

ArvikApplication::~ArvikApplication()
{
    quitAfterModals.reset();
    mainWindow.reset();
}

const juce::String ArvikApplication::getApplicationName()
{
    return appinfo::applicationName;
}

const juce::String ArvikApplication::getApplicationVersion()
{
    return appinfo::applicationVersion;
}

bool ArvikApplication::moreThanOneInstanceAllowed()
{
    return false;
}

void ArvikApplication::initialise (const juce::String&)
{
    platform::handleQueuedWindowEvents();
    applyUiTypeface();
    platform::installQuitHandling ([this] { systemRequestedQuit(); });
    mainWindow = std::make_unique<MainWindow> (getApplicationName());
}

void ArvikApplication::shutdown()
{
    quitAfterModals.reset();

    // A box can still open between the quit and the end of the loop (the
    // worker's closing line, the hand-over's box once a download window has
    // ended). Left to the framework's own shutdown, it is deleted after the
    // timers its drop shadow uses on Windows, and the program crashes on its
    // way out: the boxes are deleted here, while all is in place.
    juce::ModalComponentManager::deleteInstance();

    mainWindow.reset();
    platform::removeQuitHandling();
}

void ArvikApplication::anotherInstanceStarted (const juce::String&)
{
}

// Every road of a quit comes here: the close button, File > Exit, the
// window manager's close request and SIGINT or SIGTERM.
void ArvikApplication::systemRequestedQuit()
{
    if (quitAfterModals == nullptr)
        quitAfterModals = std::make_unique<QuitAfterModals>();

    quitAfterModals->request();
}

ArvikApplication::MainWindow::MainWindow (const juce::String& name)
    : juce::DocumentWindow (name,
                            juce::Desktop::getInstance().getDefaultLookAndFeel()
                                .findColour (juce::ResizableWindow::backgroundColourId),
                            juce::DocumentWindow::allButtons)
{
    setUsingNativeTitleBar (false);
    setContentOwned (new MainComponent(), true);
    setResizable (true, true);
    setResizeLimits (600, 300, 10000, 10000);
    setTitleBarTextCentred (false);
    setVisible (true);
    centreWithSize (getWidth(), getHeight());
}

void ArvikApplication::MainWindow::closeButtonPressed()
{
    writeLog (TRANS ("Exit"));

    if (auto* app = juce::JUCEApplication::getInstance())
        app->systemRequestedQuit();
}

juce::JUCEApplicationBase* createApplicationInstance()
{
    return new ArvikApplication();
}
