#include "MenusDemo.h"

#include "AppInfo.h"
#include "CheckNewSofyVersion.h"
#include "CodePage.h"
#include "FrameCodec.h"
#include "LabelTables.h"
#include "Log.h"
#include "MyMsg.h"
#include "Settings.h"
#include "UpdateListAddress.h"

namespace
{
    // The four forms of a device address, by index.
    struct DeviceAddress
    {
        int id;
        const char* itemText;
        const char* setting;
        char startChar;
    };

    constexpr DeviceAddress deviceAddresses[] =
    {
        { MenusDemo::menuPositionDevAddrA0, "A0(&)", "A0", '&' },
        { MenusDemo::menuPositionDevAddrA1, "A1(*)", "A1", '*' },
        { MenusDemo::menuPositionDevAddrA2, "A2(#)", "A2", '#' },
        { MenusDemo::menuPositionDevAddrA3, "A3($)", "A3", '$' }
    };

    constexpr juce::CommandID registeredCommands[] =
    {
        MenusDemo::menuPositionExit, MenusDemo::menuPositionChinese, MenusDemo::menuPositionEnglish,
        MenusDemo::menuPositionSoftVersion, MenusDemo::menuPositionDevAddrA0, MenusDemo::menuPositionDevAddrA1,
        MenusDemo::menuPositionDevAddrA2, MenusDemo::menuPositionDevAddrA3, MenusDemo::menuPositionCheckUpdate
    };

    const char* commandName (juce::CommandID id)
    {
        switch (id)
        {
            case MenusDemo::menuPositionExit:        return "menuPositionExit";
            case MenusDemo::menuPositionChinese:     return "menuPositionChinese";
            case MenusDemo::menuPositionEnglish:     return "menuPositionEnglish";
            case MenusDemo::menuPositionSoftVersion: return "menuPositionSoftVersion";
            case MenusDemo::menuPositionDevAddrA0:   return "menuPositionDevAddrA0";
            case MenusDemo::menuPositionDevAddrA1:   return "menuPositionDevAddrA1";
            case MenusDemo::menuPositionDevAddrA2:   return "menuPositionDevAddrA2";
            case MenusDemo::menuPositionDevAddrA3:   return "menuPositionDevAddrA3";
            case MenusDemo::menuPositionCheckUpdate: return "menuPositionCheckUpdate";
            default:                                 return nullptr;
        }
    }
}

MenusDemo::MenusDemo (juce::MessageListener* workerToUse)
    : worker (workerToUse)
{
    menuBar = std::make_unique<juce::MenuBarComponent> (this);
    addAndMakeVisible (menuBar.get());
    setApplicationCommandManagerToWatch (&commandManager);
    commandManager.registerAllCommandsForTarget (this);
    addKeyListener (commandManager.getKeyMappings());

    isChinese = SettingValues[settingLanguage] == "chinese";

    const auto& address = SettingValues[settingDevAddrSel];
    int index = -1;

    for (int i = 0; i < 4 && index < 0; ++i)
        if (address == deviceAddresses[i].setting)
            index = i;

    if (index >= 0)
    {
        devAddrIndex = index;
        DeviceAddressChar = deviceAddresses[index].startChar;
    }
    else
    {
        writeLog ("read config file error device address.");
        DeviceAddressChar = '&';
        devAddrIndex = 0;
    }

    setSize (1024, 60);
}

MenusDemo::~MenusDemo()
{
    // The base class would detach from the command manager after the manager,
    // a member, has gone; detach while it is still there.
    removeKeyListener (commandManager.getKeyMappings());
    setApplicationCommandManagerToWatch (nullptr);
}

void MenusDemo::resized()
{
    const int barHeight = juce::LookAndFeel::getDefaultLookAndFeel().getDefaultMenuBarHeight();
    menuBar->setBounds (0, 0, getWidth(), juce::jmin (getHeight(), barHeight));
}

juce::ApplicationCommandTarget* MenusDemo::getNextCommandTarget()
{
    return nullptr;
}

void MenusDemo::getAllCommands (juce::Array<juce::CommandID>& commands)
{
    for (auto id : registeredCommands)
        commands.add (id);
}

void MenusDemo::getCommandInfo (juce::CommandID commandID, juce::ApplicationCommandInfo& result)
{
    if (auto* name = commandName (commandID))
        result.setInfo (name, "Uses a burger menu", "Menu", 0);
}

bool MenusDemo::perform (const InvocationInfo& info)
{
    if (info.commandID < menuPositionExit || info.commandID > menuPositionSoftVersion)
        return false;

    refreshMenuBar();
    return true;
}

void MenusDemo::refreshMenuBar()
{
    menuBar->setVisible (true);
    menuItemsChanged();
    resized();
}

juce::StringArray MenusDemo::getMenuBarNames()
{
    return { MenuLabels[menuFile], MenuLabels[menuLanguage], MenuLabels[menuProtocol], MenuLabels[menuHelp] };
}

juce::PopupMenu MenusDemo::getMenuForIndex (int topLevelMenuIndex, const juce::String&)
{
    juce::PopupMenu menu;

    switch (topLevelMenuIndex)
    {
        case 0:
            menu.addItem (menuPositionExit, MenuLabels[menuExit]);
            break;

        case 1:
            menu.addItem (menuPositionChinese, juce::CharPointer_UTF8 ("\xe4\xb8\xad\xe6\x96\x87"), true, isChinese);
            menu.addItem (menuPositionEnglish, "English", true, ! isChinese);
            break;

        case 2:
        {
            juce::PopupMenu addresses;

            for (int i = 0; i < 4; ++i)
                addresses.addItem (deviceAddresses[i].id, deviceAddresses[i].itemText, true, devAddrIndex == i);

            menu.addSubMenu (MenuLabels[menuDevAddr], addresses, true, juce::Image(), false, 0);
            break;
        }

        case 3:
            menu.addItem (menuPositionViewHelp, MenuLabels[menuViewHelp]);
            menu.addItem (menuPositionSoftVersion, MenuLabels[menuAbout]);
            menu.addItem (menuPositionCheckUpdate, MenuLabels[menuCheck]);
            break;

        default:
            break;
    }

    return menu;
}

void MenusDemo::menuItemSelected (int menuItemID, int)
{
    switch (menuItemID)
    {
        case menuPositionExit:
            if (auto* app = juce::JUCEApplication::getInstance())
                app->systemRequestedQuit();
            break;

        case menuPositionChinese:
            SettingValues[settingLanguage] = "chinese";
            postLanguage (codePageChinese);
            saveSettings();
            isChinese = true;
            break;

        case menuPositionEnglish:
            postLanguage (codePageEnglish);
            SettingValues[settingLanguage] = "english";
            saveSettings();
            isChinese = false;
            break;

        case menuPositionSoftVersion:
            showTextFile ("\\about.txt", PageLabels[pageAbout], true);
            break;

        case menuPositionViewHelp:
            showTextFile ("\\help.txt", MenuLabels[menuHelp], false);
            break;

        case menuPositionDevAddrA0:
        case menuPositionDevAddrA1:
        case menuPositionDevAddrA2:
        case menuPositionDevAddrA3:
            setDeviceAddress (menuItemID - menuPositionDevAddrA0);
            break;

        case menuPositionCheckUpdate:
            checkForUpdates();
            break;

        default:
            break;
    }
}

void MenusDemo::setDeviceAddress (int index)
{
    devAddrIndex = index;
    SettingValues[settingDevAddrSel] = deviceAddresses[index].setting;
    DeviceAddressChar = deviceAddresses[index].startChar;
    saveSettings();
}

// Help > Check for updates: the online update's check goes here.
void MenusDemo::checkForUpdates()
{
    // Synchronous: the check blocks the message thread until it has answered.
    auto check = std::make_unique<CheckNewSofyVersion>();
    check->checkForNewVersion (juce::URL (updateListAddress), "Flintmoor");
}

void MenusDemo::postLanguage (int codePage)
{
    if (worker != nullptr)
        worker->postMessage (new MyMsg (MSG_LANGUAGE, 0, codePage));
}

juce::String MenusDemo::textFileBoxText (const juce::String& fileName, bool withHeader)
{
    const auto file = juce::File::getCurrentWorkingDirectory()
                          .getChildFile (fileName.trimCharactersAtStart ("\\/"));
    juce::String text;

    if (withHeader)
        text << appinfo::applicationName << "\r\n";

    if (file.exists())
        text << file.loadFileAsString() << "\r\n";
    else
        text << fileName << " can't not find!" << "\r\n";

    if (withHeader)
        text << "Build date: " << "Jun 29 2021" << "  " << "20:41:22" << "\r\n";

    return text;
}

void MenusDemo::showTextFile (const juce::String& fileName, const juce::String& title, bool withHeader)
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::NoIcon, title,
                                            textFileBoxText (fileName, withHeader), {}, nullptr, nullptr);
}

void MenusDemo::handleMessage (const juce::Message&)
{
    // Nothing posts here; a record's payload goes with the record.
}
