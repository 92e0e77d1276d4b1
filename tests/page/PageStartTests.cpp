// Start's checks in order, the firmware pre-check and what the page posts.
#include "PageFixture.h"

#include "Settings.h"

namespace
{
    const juce::String pathJob = "1003/0", dataJob = "1003/5", openJob = "1006/1", closeJob = "1006/0";

    dsb::Bytes bytes (std::initializer_list<int> list)
    {
        dsb::Bytes b;

        for (auto v : list)
            b.push_back ((std::uint8_t) v);

        return b;
    }

    struct StartCase
    {
        const char* name;
        enum Path { emptyPath, missingFile, shortFolder, folder, longPath, file } path;
        dsb::Bytes content;          // for file and longPath
        bool portSelected, baudSelected;
        juce::String boxText;        // empty: no box
        juce::StringArray jobs;
    };
}

class StartChecks : public PageFixture, public ::testing::WithParamInterface<StartCase>
{
protected:
    void SetUp() override
    {
        PageFixture::SetUp();

        if (IsSkipped())
            return;

        port = linkPort ("start", pty.slavePath());
        SettingValues[settingLastComPort] = port;
        makePage();
        showPage();
        ASSERT_EQ (page->getPortBox().getText(), port);
    }

    juce::String pathFor (const StartCase& c)
    {
        switch (c.path)
        {
            case StartCase::emptyPath:   return {};
            case StartCase::missingFile: return (workDir / "missing.dsb").getFullPathName();
            case StartCase::shortFolder: (workDir / "ab").createDirectory(); return "ab";
            case StartCase::folder:      (workDir / "folder").createDirectory(); return (workDir / "folder").getFullPathName();
            case StartCase::longPath:
            {
                auto dir = (workDir / juce::String::repeatedString ("a", 200)).getChildFile (juce::String::repeatedString ("b", 200));
                dir.createDirectory();
                auto f = dir.getChildFile (juce::String::repeatedString ("c", 120) + ".dsb");
                f.replaceWithData (c.content.data(), c.content.size());
                return f.getFullPathName();
            }
            case StartCase::file:
            {
                auto f = workDir / "firmware.dsb";
                f.deleteFile();
                EXPECT_TRUE (f.create());   // replaceWithData deletes a file it would leave empty

                if (! c.content.empty())
                    f.replaceWithData (c.content.data(), c.content.size());
                return f.getFullPathName();
            }
        }

        return {};
    }

    Pty pty;
    juce::String port;
};

TEST_P (StartChecks, StopAtTheFirstFailureWithItsBox)
{
    const auto& c = GetParam();
    const auto path = pathFor (c);
    page->getPathEditor().setText (path, true);

    if (! c.portSelected)
        page->getPortBox().setSelectedId (0, juce::dontSendNotification);

    if (! c.baudSelected)
        page->getBaudBox().setSelectedId (0, juce::dontSendNotification);

    click (page->getStartButton());
    settle();

    EXPECT_EQ (jobKinds(), c.jobs);
    EXPECT_EQ (page->getFirmwarePath(), path);

    auto* alert = findAlert();

    if (c.boxText.isEmpty())
    {
        EXPECT_EQ (alert, nullptr) << readAlert (*alert).message;
        EXPECT_EQ (SettingValues[settingLastComPort], port);
        return;
    }

    ASSERT_NE (alert, nullptr);
    const auto shown = readAlert (*alert);
    EXPECT_EQ (shown.title, "Tips");
    EXPECT_EQ (shown.message, c.boxText);
    EXPECT_EQ (shown.icon, juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ (shown.buttons, juce::StringArray { "OK" });

    EXPECT_TRUE (pressAlertButton (*alert, "OK"));
    EXPECT_TRUE (runMessagesUntil ([] { return findAlert() == nullptr; }, 5000));
    EXPECT_FALSE (page->isRunning());
}

INSTANTIATE_TEST_SUITE_P (Cases, StartChecks, ::testing::Values (
    StartCase { "EmptyPath", StartCase::emptyPath, {}, true, true, "The file path is null!", {} },
    StartCase { "MissingFile", StartCase::missingFile, {}, true, true, "The file does not exist!", {} },
    StartCase { "NoPort", StartCase::file, exampleFile(), false, true, "Com port is null!", {} },
    // Under three characters the path is not posted; a folder cannot be loaded.
    StartCase { "ShortPathOfAFolder", StartCase::shortFolder, {}, true, true, "Load firmware file fail!", {} },
    StartCase { "Folder", StartCase::folder, {}, true, true, "Load firmware file fail!", { pathJob } },
    StartCase { "LongPath", StartCase::longPath, exampleFile(), true, true, "Firmware file path error!", { pathJob } },
    StartCase { "WrongSum", StartCase::file, bytes ({ 0, 0, 0, 0x10, 1, 2 }), true, true,
                "Firmware file cs error! :10,3.", { pathJob } },
    StartCase { "NoBaudAfterPathAndFile", StartCase::file, exampleFile(), true, false, "Baudrate is null!", { pathJob, dataJob } },
    StartCase { "EmptyFilePasses", StartCase::file, {}, true, true, "", { pathJob, dataJob, openJob } },
    StartCase { "FourZerosPass", StartCase::file, bytes ({ 0, 0, 0, 0 }), true, true, "", { pathJob, dataJob, openJob } },
    StartCase { "BytesSumUnsigned", StartCase::file, bytes ({ 0, 0, 1, 0xfe, 0xff, 0xff }), true, true, "", { pathJob, dataJob, openJob } }),
    [] (const auto& p) { return std::string (p.param.name); });

TEST_F (StartChecks, JobsCarryThePathTheFileAndThePort)
{
    // A path outside ASCII, to see UTF-16 units in the path job.
    auto file = workDir / juce::String (juce::CharPointer_UTF8 ("firmware-\xc3\xa9\xf0\x9f\x98\x80.dsb"));
    const auto content = exampleFile();
    file.replaceWithData (content.data(), content.size());
    page->getPathEditor().setText (file.getFullPathName(), true);

    click (page->getStartButton());
    settle();
    ASSERT_EQ (jobKinds(), (juce::StringArray { pathJob, dataJob, openJob }));

    const auto& path = tap->jobs[0];
    const auto utf16 = file.getFullPathName().toUTF16();
    EXPECT_EQ (path.value, (int) utf16.sizeInBytes());
    EXPECT_EQ (path.data, juce::MemoryBlock (utf16.getAddress(), utf16.sizeInBytes()));

    const auto& data = tap->jobs[1];
    EXPECT_EQ (data.value2, (int) content.size());
    EXPECT_EQ (data.data, juce::MemoryBlock (content.data(), content.size()));

    const auto& open = tap->jobs[2];
    juce::MemoryBlock name (port.toRawUTF8(), (size_t) port.length());
    name.append ("\0\0", 2);
    EXPECT_EQ (open.value, port.length() + 2);
    EXPECT_EQ (open.value2, 115200);
    EXPECT_EQ (open.data, name);

    // The worker took them and opened the port; the page follows it.
    ASSERT_TRUE (runMessagesUntil ([this] { return page->isRunning(); }, 20000));
    EXPECT_EQ (worker->devicePath(), "/dev/" + port);
    EXPECT_EQ (SettingValues[settingLastComPort], port);
}

// The file chooser, run modally; a timer plays the user inside its loop. The
// action is repeated while the box stays open (the folder may still be read
// when it first acts); past the deadline the box is closed, as the test waits
// below the box's modal loop and could not time out itself.
class ChooserUser : private juce::Timer
{
public:
    using Action = std::function<bool (juce::FileChooserDialogBox&)>;
    explicit ChooserUser (Action a) : action (std::move (a)) { startTimer (100); }

    bool acted = false, gaveUp = false;

private:
    void timerCallback() override
    {
        for (int i = juce::Desktop::getInstance().getNumComponents(); --i >= 0;)
        {
            if (auto* box = dynamic_cast<juce::FileChooserDialogBox*> (juce::Desktop::getInstance().getComponent (i));
                box != nullptr && box->isCurrentlyModal())
            {
                if (juce::Time::getMillisecondCounter() > deadline)
                {
                    gaveUp = true;
                    box->exitModalState (0);
                    stopTimer();
                }
                else if (action (*box))
                {
                    acted = true;
                }
            }
        }
    }

    Action action;
    juce::uint32 deadline = juce::Time::getMillisecondCounter() + 30000;
};

template <typename Type>
Type* findChild (juce::Component& parent)
{
    for (auto* c : parent.getChildren())
    {
        if (auto* t = dynamic_cast<Type*> (c))
            return t;

        if (auto* t = findChild<Type> (*c))
            return t;
    }

    return nullptr;
}

bool pressButton (juce::Component& parent, const juce::String& text)
{
    for (auto* c : parent.getChildren())
    {
        if (auto* b = dynamic_cast<juce::Button*> (c); b != nullptr && b->getButtonText() == text)
        {
            b->triggerClick();
            return true;
        }

        if (pressButton (*c, text))
            return true;
    }

    return false;
}

TEST_F (StartChecks, ChoosingSeveralFilesGivesTheFirst)
{
    for (auto name : { "a.dsb", "b.dsb" })
        (workDir / name).replaceWithText ("x");

    juce::File root;
    int selected = 0;
    ChooserUser user ([&root, &selected] (juce::FileChooserDialogBox& box)
    {
        auto* browser = findChild<juce::FileBrowserComponent> (box);
        auto* list = findChild<juce::FileListComponent> (box);

        if (browser == nullptr || list == nullptr || static_cast<juce::ListBox*> (list)->getModel()->getNumRows() < 2)
            return false;   // still reading the folder

        root = browser->getRoot();
        list->selectRangeOfRows (0, 1);
        selected = browser->getNumSelectedFiles();
        return pressButton (box, "Open");
    });

    click (page->getBrowseButton());
    ASSERT_TRUE (runMessagesUntil ([&] { return page->getFirmwarePath().isNotEmpty() || user.gaveUp; }, 60000));
    ASSERT_FALSE (user.gaveUp);

    EXPECT_EQ (selected, 2);
    EXPECT_EQ (root, workDir.get());   // no FirmPath yet: the working directory
    EXPECT_EQ (page->getFirmwarePath(), (workDir / "a.dsb").getFullPathName());
    EXPECT_EQ (page->getPathEditor().getText(), page->getFirmwarePath());
}

TEST_F (StartChecks, CancellingTheChooserKeepsTheTypedPath)
{
    // The chooser opens where the last firmware was.
    auto last = (workDir / "last").getChildFile ("old.dsb");
    last.create();
    SettingValues[settingFirmPath] = last.getFullPathName();

    auto typed = workDir / "typed.dsb";
    const auto content = exampleFile();
    typed.replaceWithData (content.data(), content.size());
    page->getPathEditor().setText (typed.getFullPathName(), true);

    juce::File root;
    ChooserUser user ([&root] (juce::FileChooserDialogBox& box)
    {
        if (auto* browser = findChild<juce::FileBrowserComponent> (box))
            root = browser->getRoot();

        return pressButton (box, "Cancel");
    });

    click (page->getBrowseButton());
    ASSERT_TRUE (runMessagesUntil ([&] { return user.acted || user.gaveUp; }, 60000));
    ASSERT_FALSE (user.gaveUp);
    settle();

    EXPECT_EQ (root, last.getParentDirectory());
    EXPECT_EQ (page->getPathEditor().getText(), typed.getFullPathName());
    EXPECT_EQ (page->getFirmwarePath(), "");

    click (page->getStartButton());
    settle();
    ASSERT_EQ (jobKinds(), (juce::StringArray { pathJob, dataJob, openJob }));
    EXPECT_EQ (payload::readUtf16 ((const std::uint8_t*) tap->jobs[0].data.getData(), tap->jobs[0].data.getSize()),
               typed.getFullPathName());
}
