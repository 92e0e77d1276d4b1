#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// The menu bar: File (Exit), Language (Chinese, English), Protocol (device
// address A0..A3) and Help (View help, About, Check for updates).
class MenusDemo : public juce::Component,
                  public juce::ApplicationCommandTarget,
                  public juce::MenuBarModel,
                  public juce::MessageListener
{
public:
    // Item ids; the registered commands use them too (5 is not a command).
    enum CommandIDs
    {
        menuPositionExit = 1,
        menuPositionChinese = 2,
        menuPositionEnglish = 3,
        menuPositionSoftVersion = 4,
        menuPositionViewHelp = 5,
        menuPositionDevAddrA0 = 6,
        menuPositionDevAddrA1 = 7,
        menuPositionDevAddrA2 = 8,
        menuPositionDevAddrA3 = 9,
        menuPositionCheckUpdate = 10
    };

    // worker: where MSG_LANGUAGE goes; may be null.
    explicit MenusDemo (juce::MessageListener* worker);
    ~MenusDemo() override;

    void resized() override;

    juce::ApplicationCommandTarget* getNextCommandTarget() override;
    void getAllCommands (juce::Array<juce::CommandID>& commands) override;
    void getCommandInfo (juce::CommandID commandID, juce::ApplicationCommandInfo& result) override;
    bool perform (const InvocationInfo& info) override;

    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex (int topLevelMenuIndex, const juce::String& menuName) override;
    void menuItemSelected (int menuItemID, int topLevelMenuIndex) override;

    void handleMessage (const juce::Message& message) override;

    void postLanguage (int codePage);

    // Shows a box with the text of a file in the working directory; fileName
    // begins with a backslash, which stands for the separator.
    void showTextFile (const juce::String& fileName, const juce::String& title, bool withHeader);

    // The box text showTextFile shows.
    static juce::String textFileBoxText (const juce::String& fileName, bool withHeader);

    void refreshMenuBar();

    // For tests.
    bool isChineseTicked() const noexcept           { return isChinese; }
    int deviceAddressIndex() const noexcept         { return devAddrIndex; }
    juce::MenuBarComponent& getMenuBarForTest()     { return *menuBar; }
    juce::ApplicationCommandManager& getCommandManagerForTest() { return commandManager; }

private:
    void setDeviceAddress (int index);
    void checkForUpdates();

    juce::ApplicationCommandManager commandManager;
    juce::MessageListener* worker = nullptr;
    std::unique_ptr<juce::MenuBarComponent> menuBar;
    bool isChinese = false;
    int devAddrIndex = 0;

    JUCE_DECLARE_NON_COPYABLE (MenusDemo)
};
