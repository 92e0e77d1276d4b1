#include "MainComponent.h"

#include "BackgroundThread.h"
#include "CodePage.h"
#include "LabelLoader.h"
#include "Log.h"
#include "MenusDemo.h"
#include "MessagePanel.h"
#include "MsgPayload.h"
#include "MyCom.h"
#include "PageDFU.h"
#include "Settings.h"
#include "Translation.h"

MainComponent::MainComponent()
{
    localisedStrings = std::make_unique<juce::LocalisedStrings> (juce::String(), false);
    loadSettings();

    if (SettingValues[settingLanguage] == "chinese")
    {
        setLanguage (codePageChinese);
        loadLabelTexts (codePageChinese);
    }
    else
    {
        loadLabelTexts (codePageEnglish);
    }

    myCom = std::make_unique<MyCom> (this);
    addChildComponent (myCom.get());

    pageDFU = std::make_unique<PageDFU> (myCom.get());
    addAndMakeVisible (pageDFU.get());
    myCom->setListener (LISTENER_PAGE, pageDFU.get());

    messagePanel = std::make_unique<MessagePanel>();
    addAndMakeVisible (messagePanel.get());

    menusDemo = std::make_unique<MenusDemo> (myCom.get());
    addAndMakeVisible (menusDemo.get());

    setSize (700, 350);

    auto leftOver = juce::File::getCurrentWorkingDirectory().getChildFile ("autoUpdate.exe");

    if (leftOver.exists())
        leftOver.deleteRecursively();
}

MainComponent::~MainComponent()
{
    // The worker goes before the page and this component's other parts: its
    // thread may post to them until it has stopped.
    closeProgressWindow();
    myCom.reset();
    localisedStrings.reset();
    menusDemo.reset();
    messagePanel.reset();
    pageDFU.reset();
}

void MainComponent::paint (juce::Graphics&)
{
}

void MainComponent::resized()
{
    const int w = getWidth();
    const int h = getHeight();

    menusDemo->setBounds (0, 0, w, menuBarHeight);
    messagePanel->setBounds (0, h - statusBarHeight, w, statusBarHeight);
    pageDFU->setBounds (0, menusDemo->getBottom(), w, h - messagePanel->getHeight() - menusDemo->getHeight());
}

int MainComponent::setLanguage (int codePage)
{
    return ::setLanguage (localisedStrings.get(), codePage);
}

void MainComponent::closeProgressWindow()
{
    delete backgroundThread;
    backgroundThread = nullptr;
}

void MainComponent::handleMessage (const juce::Message& message)
{
    auto* msg = dynamic_cast<const MyMsg*> (&message);

    if (msg == nullptr)
        return;

    if (msg->id == MSG_NOTIFY && msg->type == NOTIFY_LOG && msg->data != nullptr)
    {
        handleLogLine (msg->value, payload::readLogText (*msg));
    }
    else if (msg->id == MSG_LANGUAGE && msg->type == 0 && localisedStrings != nullptr)
    {
        if (SettingValues[settingLanguage] == "chinese")
            setLanguage (codePageChinese);
        else
            juce::LocalisedStrings::setCurrentMappings (nullptr);
    }
}

void MainComponent::handleLogLine (int kind, const juce::String& text)
{
    if (kind == LOG_SEND || kind == LOG_RECV)
    {
        if (SettingValues[settingLogFlag] == "1" && SettingValues[settingLogCommun] == "1")
            writeLog (text);

        return;
    }

    if (backgroundThread != nullptr)
    {
        backgroundThread->setStatusMessage (text);

        if (kind == LOG_FAIL || kind == LOG_DONE)
        {
            closeProgressWindow();
            juce::AlertWindow::showMessageBoxAsync (kind == LOG_FAIL ? juce::MessageBoxIconType::WarningIcon
                                                                     : juce::MessageBoxIconType::InfoIcon,
                                                    {}, text, TRANS ("OK"), nullptr, nullptr);
        }

        writeLog (text);
        messagePanel->addLine (text);
        return;
    }

    switch (kind)
    {
        case LOG_ERROR:
            juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::InfoIcon, TRANS ("Tips"), text,
                                                    TRANS ("OK"), nullptr, nullptr);
            break;

        case LOG_BEGIN:
            backgroundThread = new BackgroundThread (myCom.get());
            backgroundThread->launchThread();
            backgroundThread->setStatusMessage (text);
            messagePanel->addLine (text);
            writeLog (text);
            break;

        default:
            messagePanel->addLine (text);
            writeLog (text);
            break;
    }
}
