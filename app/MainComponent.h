#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class MyCom;
class BackgroundThread;
class PageDFU;
class MessagePanel;
class MenusDemo;

// The main window's content. Its constructor builds the running system; it
// then receives the worker's log lines and its language relay.
class MainComponent : public juce::Component,
                      public juce::MessageListener
{
public:
    MainComponent();
    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void handleMessage (const juce::Message& message) override;

    // Installs (936) or removes the Chinese translation table. 0, or -1
    // without the placeholder table.
    int setLanguage (int codePage);

    static constexpr int menuBarHeight = 30;
    static constexpr int statusBarHeight = 20;

    // For tests.
    MyCom* getWorker() const noexcept                       { return myCom.get(); }
    BackgroundThread* getProgressWindow() const noexcept    { return backgroundThread; }
    PageDFU* getPage() const noexcept                       { return pageDFU.get(); }
    MessagePanel* getStatusBar() const noexcept             { return messagePanel.get(); }
    MenusDemo* getMenuBar() const noexcept                  { return menusDemo.get(); }

private:
    void handleLogLine (int kind, const juce::String& text);
    void closeProgressWindow();

    std::unique_ptr<MyCom> myCom;
    BackgroundThread* backgroundThread = nullptr;
    std::unique_ptr<PageDFU> pageDFU;
    std::unique_ptr<MessagePanel> messagePanel;
    std::unique_ptr<MenusDemo> menusDemo;
    std::unique_ptr<juce::LocalisedStrings> localisedStrings;

    JUCE_DECLARE_NON_COPYABLE (MainComponent)
};
