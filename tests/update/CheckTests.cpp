// The update check against the local server, its boxes answered with the
// pointer on the X display. Nothing here quits the program.
#include "BoxAnswerer.h"
#include "MessageLoop.h"
#include "UpdateFixture.h"

#include "CheckNewSofyVersion.h"

namespace
{
const juce::String listPath = "/Uploadfiles/file/apx/urlapp.xml";

const ShownBox upToDateBox { "Updates tips", "The current version is already the latest version!", { "OK" } };
const ShownBox questionBox { "Updates tips", "Do you need to download the update for the latest version?",
                             { "Download updates", "Cancel" } };

juce::String listWith (const juce::String& entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<updateList>\n<updateFiles>\n" + entries
         + "\n</updateFiles>\n</updateList>\n";
}

class Check : public UpdateFixture
{
protected:
    void SetUp() override
    {
        if (! canClickBoxes())
            GTEST_SKIP() << "needs an X display and xdotool (run under xvfb-run)";

        UpdateFixture::SetUp();
    }

    void TearDown() override
    {
        for (auto* box : BoxAnswerer::openBoxes())
            box->exitModalState (0);

        runMessagesUntil ([] { return BoxAnswerer::openBoxes().empty(); }, 5000);
        UpdateFixture::TearDown();
    }

    void check()
    {
        CheckNewSofyVersion().checkForNewVersion (juce::URL (server.address (listPath)), "Flintmoor");
    }

    // Every queued answer given, and no other box open.
    void expectBoxes (const std::vector<ShownBox>& expected)
    {
        EXPECT_TRUE (runMessagesUntil ([this] { return answers.allAnswered(); }, 30000)) << answers.describeState();
        runMessagesUntil ([] { return BoxAnswerer::openBoxes().empty(); }, 5000);

        EXPECT_EQ (answers.answered(), expected);
        EXPECT_EQ (answers.unexpected(), std::vector<ShownBox>());

        for (auto* box : BoxAnswerer::openBoxes())
            ADD_FAILURE() << "unexpected box " << BoxAnswerer::describe (*box);
    }

    BoxAnswerer answers;
};

//==============================================================================
struct ListCase
{
    const char* name;
    std::string body;
    juce::StringArray log;
    std::vector<ShownBox> boxes;   // the question is answered with Cancel
};

std::ostream& operator<< (std::ostream& os, const ListCase& c) { return os << c.name; }

class ListContent : public Check,
                    public ::testing::WithParamInterface<ListCase> {};

TEST_P (ListContent, DecidesBetweenUpToDateAndTheQuestion)
{
    const auto& c = GetParam();
    server.serve (listPath.substring (1), juce::MemoryBlock (c.body.data(), c.body.size()));

    for (auto& box : c.boxes)
        answers.answer (box.title, box.buttons[box.buttons.size() - 1]);

    check();
    expectBoxes (c.boxes);

    EXPECT_EQ (logLines(), c.log);
    EXPECT_EQ (server.requests(), juce::StringArray { "GET " + listPath });   // never the package
}

// Raw bytes, which a juce::String would not keep when they are not UTF-8.
std::string list (const std::string& entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<updateList>\n<updateFiles>\n" + entries
         + "\n</updateFiles>\n</updateList>\n";
}

std::string deeplyNested()
{
    std::string s = "<updateList>";
    for (int i = 0; i < 100000; ++i)
        s += "<updateFiles>";
    return s;
}

const char* const recursiveEntity =
    "<?xml version=\"1.0\"?>\n<!DOCTYPE updateList [\n<!ENTITY a \"&b;&b;\">\n<!ENTITY b \"&a;&a;\">\n]>\n"
    "<updateList><updateFiles><Flintmoor url=\"&a;\" lastver=\"2.0\" appName=\"Flintmoor.exe\"/></updateFiles></updateList>";

const auto found = juce::StringArray { "Find new Soft Version" };
const auto current = juce::StringArray { "Current Version is New." };
const auto unreadable = juce::StringArray { "Can't read appName" };

INSTANTIATE_TEST_SUITE_P (Lists, ListContent, ::testing::Values (
    ListCase { "SameVersion",  list (R"(<Flintmoor url="@/p.zip" lastver="1.0.1" appName="Flintmoor.exe"/>)"), current, { upToDateBox } },
    ListCase { "OlderVersion", list (R"(<Flintmoor url="@/p.zip" lastver="1.0.0" appName="Flintmoor.exe"/>)"), found, { questionBox } },
    ListCase { "NewerVersion", list (R"(<Flintmoor url="@/p.zip" lastver="1.0.2" appName="Flintmoor.exe"/>)"), found, { questionBox } },
    ListCase { "NoVersion",    list (R"(<Flintmoor url="@/p.zip" appName="Flintmoor.exe"/>)"), found, { questionBox } },
    ListCase { "TagsInCapitals",
               "<LIST><UPDATEFILES><FLINTMOOR url=\"x\" lastver=\"1.0.1\" appName=\"Flintmoor.exe\"/></UPDATEFILES></LIST>",
               current, { upToDateBox } },
    ListCase { "FirstOfTwoEntries",
               list (R"(<Flintmoor lastver="1.0.1" appName="Flintmoor.exe"/><Flintmoor lastver="2.0" appName="Flintmoor.exe"/>)"),
               current, { upToDateBox } },
    ListCase { "OtherEntriesIgnored",
               list (R"(<Other lastver="2.0" appName="Flintmoor.exe"/><Flintmoor lastver="1.0.1" appName="Flintmoor.exe" size="9"/>)"),
               current, { upToDateBox } },
    ListCase { "AttributeNameInCapitals", list (R"(<Flintmoor lastver="2.0" AppName="Flintmoor.exe"/>)"), unreadable, {} },
    ListCase { "AppNameInOtherCase",      list (R"(<Flintmoor lastver="2.0" appName="flintmoor.exe"/>)"), unreadable, {} },
    ListCase { "NoEntry",                 list (R"(<Other lastver="2.0" appName="Flintmoor.exe"/>)"), unreadable, {} },
    ListCase { "NoUpdateFiles",  "<updateList><Flintmoor lastver=\"2.0\" appName=\"Flintmoor.exe\"/></updateList>", unreadable, {} },
    ListCase { "EmptyBody",      "", unreadable, {} },
    ListCase { "NotXml",         "<html><body>Service unavailable", unreadable, {} },
    ListCase { "DeeplyNested",   deeplyNested(), unreadable, {} },
    ListCase { "RecursiveEntity", recursiveEntity, unreadable, {} },
    ListCase { "BrokenUtf8",
               list ("<Flintmoor lastver=\"2.0\xc3\x28\" appName=\"Flintmoor.exe\"/>"), unreadable, {} },
    ListCase { "Huge",
               list (R"(<Flintmoor lastver="2.0" appName="Flintmoor.exe" pad=")" + std::string (3000000, 'x') + "\"/>"),
               unreadable, {} }),
    CaseName());

TEST_F (Check, AnAnswerOtherThan200EndsSilently)
{
    server.setRoutes (R"({"/Uploadfiles/file/apx/urlapp.xml": {"status": 404}})");

    check();
    expectBoxes ({});
    EXPECT_EQ (logLines(), juce::StringArray());
}

TEST_F (Check, NoServerIsLogged)
{
    const auto address = [] { UpdateServer gone; return gone.address (listPath); }();

    CheckNewSofyVersion().checkForNewVersion (juce::URL (address), "Flintmoor");
    expectBoxes ({});
    EXPECT_EQ (logLines(), unreadable);
}

TEST_F (Check, RedirectsOfTheListAreFollowed)
{
    server.serve ("list.xml", listWith (R"(<Flintmoor lastver="1.0.1" appName="Flintmoor.exe"/>)"));
    server.setRoutes (R"({"/Uploadfiles/file/apx/urlapp.xml": {"status": 302, "location": "@/list.xml"}})");
    answers.answer (upToDateBox.title, "OK");

    check();
    expectBoxes ({ upToDateBox });
}

//==============================================================================
// Yes to the question, then a download that cannot succeed: the failure is
// shown and the hand-over finds no batch file. No relaunch is armed.
TEST_F (Check, AnEntryWithoutUrlFailsTheDownload)
{
    server.serve (listPath.substring (1), listWith (R"(<Flintmoor lastver="2.0" appName="Flintmoor.exe"/>)"));
    answers.answer ("Updates tips", "Download updates");
    answers.answer ("Tips", "OK");
    answers.answer ("Installation Failed", "OK");

    check();
    expectBoxes ({ questionBox,
                   { "Tips", "Can't  find  autoUpdate.bat!", { "OK" } },
                   { "Installation Failed", "Failed to download from: ", { "OK" } } });

    EXPECT_EQ (logLines(), (juce::StringArray { "Find new Soft Version", "Can't find app autoUpdate.bat" }));
    EXPECT_FALSE (work ("app").exists());
    runMessagesFor (2500);   // longer than the relaunch delay
    EXPECT_FALSE (juce::MessageManager::getInstance()->hasStopMessageBeenSent());
}

TEST_F (Check, CancelDuringTheDownloadLeavesAppAlone)
{
    juce::MemoryBlock bigPackage;
    bigPackage.setSize (2 * 1024 * 1024, true);
    server.serve ("p.zip", bigPackage);
    server.setRoutes (R"({"/p.zip": {"file": "p.zip", "chunk": 1024, "delayMs": 20}})");
    server.serve (listPath.substring (1), listWith (R"(<Flintmoor url="@/p.zip" lastver="2.0" appName="Flintmoor.exe"/>)")
                                              .replace ("@", server.address ({})));
    work ("app").createDirectory();
    work ("app/Flintmoor.exe").replaceWithText ("previous");

    answers.answer ("Updates tips", "Download updates");
    answers.answer ("Downloading new version", "Cancel", [this] { return server.requests().contains ("GET /p.zip"); });
    answers.answer ("Tips", "OK");

    check();
    EXPECT_TRUE (runMessagesUntil ([this] { return answers.allAnswered(); }, 30000));
    ASSERT_EQ (answers.answered().size(), 3u);

    const auto& progress = answers.answered()[1];
    EXPECT_TRUE (progress.message.startsWith ("Downloading...")) << progress;
    EXPECT_EQ (progress.buttons, juce::StringArray { "Cancel" });
    EXPECT_EQ (answers.answered()[2], (ShownBox { "Tips", "Can't  find  autoUpdate.bat!", { "OK" } }));

    EXPECT_EQ (entryNames (work ("app")), juce::StringArray { "Flintmoor.exe" });
    EXPECT_FALSE (work ("app_old").exists());
    runMessagesFor (2500);   // longer than the relaunch delay
    EXPECT_FALSE (juce::MessageManager::getInstance()->hasStopMessageBeenSent());
}

//==============================================================================
// The whole fetch of the list ends within its 10 s, however slowly the server
// answers or sends; a list not complete by then counts as no answer.
struct SlowListCase
{
    const char* name;
    const char* route;
    bool complete;   // the list arrives within the time
};

std::ostream& operator<< (std::ostream& os, const SlowListCase& c) { return os << c.name; }

class SlowList : public Check,
                 public ::testing::WithParamInterface<SlowListCase> {};

TEST_P (SlowList, TheCheckEndsWithinItsTime)
{
    const auto& c = GetParam();
    const auto padding = juce::String::repeatedString (" ", 12000);
    server.serve ("list.xml", listWith (R"(<Flintmoor lastver="1.0.1" appName="Flintmoor.exe"/>)" + padding.substring (0, c.complete ? 400 : 12000)));
    server.setRoutes (juce::String (R"({"/Uploadfiles/file/apx/urlapp.xml": )") + c.route + "}");

    if (c.complete)
        answers.answer (upToDateBox.title, "OK");

    const auto start = juce::Time::getMillisecondCounterHiRes();
    check();
    const auto elapsed = juce::Time::getMillisecondCounterHiRes() - start;

    EXPECT_LT (elapsed, 15000.0);

    if (c.complete)
    {
        expectBoxes ({ upToDateBox });
        EXPECT_EQ (logLines(), current);
    }
    else
    {
        EXPECT_GE (elapsed, 9900.0);
        expectBoxes ({});
        EXPECT_EQ (logLines(), unreadable);
    }
}

INSTANTIATE_TEST_SUITE_P (Answers, SlowList, ::testing::Values (
    SlowListCase { "SlowButInTime",     R"({"file": "list.xml", "chunk": 200, "delayMs": 500})", true },
    SlowListCase { "BodyTooSlow",       R"({"file": "list.xml", "chunk": 200, "delayMs": 1000})", false },
    SlowListCase { "HeadersNeverCome",  R"({"file": "list.xml", "headerDelayMs": 600000})", false }),
    CaseName());

//==============================================================================
// Cancel while the server holds the download up: the thread sees it within
// about a second, so it is never killed, and the run ends as cancelled with
// nothing unpacked.
struct StallCase
{
    const char* name;
    const char* route;
};

std::ostream& operator<< (std::ostream& os, const StallCase& c) { return os << c.name; }

// Notes when the download window's Cancel button is clicked.
class CancelClickWatch : private juce::Timer,
                         private juce::Button::Listener
{
public:
    CancelClickWatch() { startTimer (5); }

    ~CancelClickWatch() override
    {
        if (auto* b = button.getComponent())
            b->removeListener (this);
    }

    double clickedAt = 0;

private:
    void timerCallback() override
    {
        if (button != nullptr)
            return;

        for (auto* box : BoxAnswerer::openBoxes())
            if (box->getName() == "Downloading new version")
                for (auto* child : box->getChildren())
                    if (auto* b = dynamic_cast<juce::Button*> (child))
                        if (b->getButtonText() == "Cancel")
                        {
                            button = b;
                            b->addListener (this);
                        }
    }

    void buttonClicked (juce::Button*) override { clickedAt = juce::Time::getMillisecondCounterHiRes(); }

    juce::Component::SafePointer<juce::Button> button;
};

class StalledServer : public Check,
                      public ::testing::WithParamInterface<StallCase> {};

TEST_P (StalledServer, CancelEndsTheRunAtOnce)
{
    const auto& c = GetParam();
    juce::Random random (3);
    juce::String noise;
    for (int i = 0; i < 500; ++i)
        noise << juce::String::toHexString (random.nextInt64());

    // Some kilobytes that do not deflate away, about 18 s at the slowest.
    server.serve ("p.zip", makeZip ({ { "autoUpdate.bat", "rem " + noise } }));
    server.setRoutes (juce::String (R"({"/p.zip": )") + c.route + "}");
    work ("app").createDirectory();
    work ("app/Flintmoor.exe").replaceWithText ("previous");

    // Cancel once the request has been held up for a while.
    double requestSeenAt = 0;
    const auto heldUp = [this, &requestSeenAt]
    {
        if (requestSeenAt == 0 && server.requests().contains ("GET /p.zip"))
            requestSeenAt = juce::Time::getMillisecondCounterHiRes();

        return requestSeenAt > 0 && juce::Time::getMillisecondCounterHiRes() - requestSeenAt > 1500;
    };

    answers.answer ("Downloading new version", "Cancel", heldUp);
    answers.answer ("Tips", "OK");
    CancelClickWatch watch;

    EXPECT_EQ (CheckNewSofyVersion().downloadAndInstall (juce::URL (server.address ("/p.zip"))), -1);
    const auto returnedAt = juce::Time::getMillisecondCounterHiRes();

    ASSERT_GT (watch.clickedAt, 0.0) << answers.describeState();
    EXPECT_LT (returnedAt - watch.clickedAt, 4000.0);   // about 1 s; the framework kills after 10 s

    EXPECT_TRUE (runMessagesUntil ([this] { return answers.allAnswered(); }, 30000)) << answers.describeState();
    ASSERT_EQ (answers.answered().size(), 2u);
    EXPECT_EQ (answers.answered()[1], (ShownBox { "Tips", "Can't  find  autoUpdate.bat!", { "OK" } }));
    EXPECT_EQ (answers.unexpected(), std::vector<ShownBox>());
    EXPECT_EQ (entryNames (work ("app")), juce::StringArray { "Flintmoor.exe" });
    EXPECT_EQ (work ("app/Flintmoor.exe").loadFileAsString(), "previous");
    EXPECT_FALSE (work ("app_old").exists());
    EXPECT_FALSE (work ("app_new").exists());
}

INSTANTIATE_TEST_SUITE_P (Stalls, StalledServer, ::testing::Values (
    StallCase { "BeforeTheHeaders", R"({"file": "p.zip", "headerDelayMs": 600000})" },
    StallCase { "After200Bytes",    R"({"file": "p.zip", "chunk": 200, "delayMs": 600000})" },
    StallCase { "At250BytesASecond", R"({"file": "p.zip", "chunk": 25, "delayMs": 100})" }),
    CaseName());
}
