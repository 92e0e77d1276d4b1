#include "FrameCodec.h"
#include "MenusDemo.h"
#include "Settings.h"
#include "UiFixture.h"

#include <gmock/gmock.h>

namespace
{
const juce::String chineseItem (juce::CharPointer_UTF8 ("\xe4\xb8\xad\xe6\x96\x87"));

struct Item { int id; juce::String text; bool ticked; };

std::vector<Item> itemsOf (const juce::PopupMenu& menu)
{
    std::vector<Item> items;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        items.push_back ({ it.getItem().itemID, it.getItem().text, it.getItem().isTicked });

    return items;
}

MATCHER_P3 (IsItem, id, text, ticked, "")
{
    return arg.id == id && arg.text == juce::String (text) && arg.ticked == ticked;
}

class MenuBar : public UiFixture
{
protected:
    std::unique_ptr<MenusDemo> makeMenus (const std::map<juce::String, juce::String>& settings = {},
                                          juce::MessageListener* target = nullptr)
    {
        writeSettings (settings);
        loadSettingsAndLabels();
        return std::make_unique<MenusDemo> (target);
    }

    RecordingTarget worker;
};

TEST_F (MenuBar, OffersTheFourMenusWithTheirItems)
{
    auto menus = makeMenus();
    EXPECT_EQ (menus->getMenuBarNames(), juce::StringArray ({ "File", "Language", "Protocol", "Help" }));

    using ::testing::ElementsAre;
    EXPECT_THAT (itemsOf (menus->getMenuForIndex (0, {})), ElementsAre (IsItem (1, "Exit", false)));
    EXPECT_THAT (itemsOf (menus->getMenuForIndex (1, {})),
                 ElementsAre (IsItem (2, chineseItem, false), IsItem (3, "English", true)));
    EXPECT_THAT (itemsOf (menus->getMenuForIndex (3, {})),
                 ElementsAre (IsItem (5, "View help", false), IsItem (4, "About", false),
                              IsItem (10, "Check for updates...", false)));
    EXPECT_TRUE (itemsOf (menus->getMenuForIndex (4, {})).empty());

    const auto protocolMenu = menus->getMenuForIndex (2, {});
    juce::PopupMenu::MenuItemIterator protocol (protocolMenu);
    ASSERT_TRUE (protocol.next());
    EXPECT_EQ (protocol.getItem().text, "Device address");
    ASSERT_NE (protocol.getItem().subMenu, nullptr);
    EXPECT_THAT (itemsOf (*protocol.getItem().subMenu),
                 ElementsAre (IsItem (6, "A0(&)", false), IsItem (7, "A1(*)", false),
                              IsItem (8, "A2(#)", false), IsItem (9, "A3($)", true)));
    EXPECT_FALSE (protocol.next());

    // The bar sits at the top of its 30-pixel strip at the look-and-feel's height.
    menus->setBounds (0, 0, 700, 30);
    EXPECT_EQ (menus->getMenuBarForTest().getBounds(), juce::Rectangle<int> (0, 0, 700, 24));
}

struct AddressCase { const char* name; juce::String setting; int index; char startChar; bool logged; };

class MenuBarAddressAtStart : public MenuBar, public ::testing::WithParamInterface<AddressCase> {};

TEST_P (MenuBarAddressAtStart, FollowsTheSettingOrFallsBackToA0)
{
    const auto& c = GetParam();
    DeviceAddressChar = 0;
    auto menus = makeMenus ({ { "DevAddrSel", c.setting }, { "LogFlag", "1" } });

    EXPECT_EQ (menus->deviceAddressIndex(), c.index);
    EXPECT_EQ (DeviceAddressChar.load(), c.startChar);
    EXPECT_EQ (logText().contains ("read config file error device address."), c.logged);
    // The setting itself stays until an address is chosen.
    EXPECT_TRUE (settingsText().contains ("DevAddrSel=" + c.setting + "\r\n"));
}

INSTANTIATE_TEST_SUITE_P (Settings, MenuBarAddressAtStart, ::testing::Values (
    AddressCase { "A0", "A0", 0, '&', false },
    AddressCase { "A1", "A1", 1, '*', false },
    AddressCase { "A2", "A2", 2, '#', false },
    AddressCase { "A3", "A3", 3, '$', false },
    AddressCase { "lowerCase", "a1", 0, '&', true },
    AddressCase { "trailingBlank", "A2 ", 0, '&', true },
    AddressCase { "empty", "", 0, '&', true }),
    [] (const auto& p) { return std::string (p.param.name); });

TEST_F (MenuBar, ChoosingAnAddressSetsTheStartCharacterTheTickAndTheFile)
{
    auto menus = makeMenus ({ { "DevAddrSel", "A2" } });
    EXPECT_EQ (DeviceAddressChar.load(), '#');

    const struct { int id; const char* setting; char startChar; } choices[] =
        { { 6, "A0", '&' }, { 7, "A1", '*' }, { 9, "A3", '$' }, { 8, "A2", '#' } };

    for (auto& choice : choices)
    {
        SCOPED_TRACE (choice.setting);
        menus->menuItemSelected (choice.id, 2);
        EXPECT_EQ (DeviceAddressChar.load(), choice.startChar);
        EXPECT_EQ (menus->deviceAddressIndex(), choice.id - 6);
        EXPECT_TRUE (settingsText().contains (juce::String ("DevAddrSel=") + choice.setting + "\r\n"));
    }
}

TEST_F (MenuBar, LanguageTickFollowsTheSettingExactly)
{
    const struct { const char* setting; bool ticked; } cases[] =
        { { "chinese", true }, { "Chinese", false }, { "chinese ", false }, { "english", false } };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.setting);
        auto menus = makeMenus ({ { "language", c.setting } });
        EXPECT_EQ (menus->isChineseTicked(), c.ticked);
        EXPECT_EQ (itemsOf (menus->getMenuForIndex (1, {}))[0].ticked, c.ticked);
    }
}

TEST_F (MenuBar, ChoosingALanguageWritesTheSettingAndTellsTheWorker)
{
    auto menus = makeMenus ({}, &worker);

    const struct { int id; const char* setting; int codePage; } choices[] =
        { { 2, "chinese", 936 }, { 2, "chinese", 936 }, { 3, "english", 37 } };

    for (size_t i = 0; i < std::size (choices); ++i)
    {
        auto& choice = choices[i];
        SCOPED_TRACE (i);
        menus->menuItemSelected (choice.id, 1);
        EXPECT_EQ (SettingValues[settingLanguage], choice.setting);
        EXPECT_TRUE (settingsText().contains (juce::String ("language=") + choice.setting + "\r\n"));
        EXPECT_EQ (menus->isChineseTicked(), choice.codePage == 936);

        ASSERT_TRUE (runMessagesUntil ([&] { return worker.records.size() == i + 1; }, 5000));
        EXPECT_EQ (worker.records.back().id, MSG_LANGUAGE);
        EXPECT_EQ (worker.records.back().type, 0);
        EXPECT_EQ (worker.records.back().value, choice.codePage);
    }
}

TEST_F (MenuBar, WithoutAWorkerALanguageChoiceIsStillSaved)
{
    auto menus = makeMenus();
    menus->menuItemSelected (2, 1);
    EXPECT_TRUE (settingsText().contains ("language=chinese\r\n"));
    EXPECT_TRUE (menus->isChineseTicked());
}

struct TextBoxCase
{
    const char* name;
    int id;
    const char* fileName;
    enum { none, text, folder } file;
    juce::String title, message;
};

class MenuBarTextBox : public MenuBar, public ::testing::WithParamInterface<TextBoxCase> {};

TEST_P (MenuBarTextBox, ShowsTheFileOrSaysItIsMissing)
{
    const auto& c = GetParam();
    auto menus = makeMenus();

    if (c.file == TextBoxCase::text)
    {
        ASSERT_TRUE (work (c.fileName).replaceWithText ("Line one\r\nLine two", false, false, nullptr));
    }
    else if (c.file == TextBoxCase::folder)
    {
        ASSERT_TRUE (work (c.fileName).createDirectory().wasOk());
    }

    menus->menuItemSelected (c.id, 3);

    juce::AlertWindow* box = nullptr;
    ASSERT_TRUE (runMessagesUntil ([&] { auto all = shownAlerts(); box = all.empty() ? nullptr : all.back(); return box != nullptr; }, 5000));
    const auto shown = readAlertText (*box);
    EXPECT_EQ (shown.title, c.title);
    EXPECT_EQ (shown.icon, juce::MessageBoxIconType::NoIcon);
    EXPECT_EQ (shown.buttons, juce::StringArray ("OK"));
    EXPECT_EQ (MenusDemo::textFileBoxText (juce::String ("\\") + c.fileName, c.id == 4), c.message);
}

const juce::String header = "Flintmoor V1.0.1\r\n";
const juce::String buildDate = "Build date: Jun 29 2021  20:41:22\r\n";

INSTANTIATE_TEST_SUITE_P (Files, MenuBarTextBox, ::testing::Values (
    TextBoxCase { "aboutMissing", 4, "about.txt", TextBoxCase::none, "About",
                  header + "\\about.txt can't not find!\r\n" + buildDate },
    TextBoxCase { "aboutPresent", 4, "about.txt", TextBoxCase::text, "About",
                  header + "Line one\r\nLine two\r\n" + buildDate },
    TextBoxCase { "helpMissing", 5, "help.txt", TextBoxCase::none, "Help", "\\help.txt can't not find!\r\n" },
    TextBoxCase { "helpPresent", 5, "help.txt", TextBoxCase::text, "Help", "Line one\r\nLine two\r\n" },
    TextBoxCase { "helpIsAFolder", 5, "help.txt", TextBoxCase::folder, "Help", "\r\n" }),
    [] (const auto& p) { return std::string (p.param.name); });
}
