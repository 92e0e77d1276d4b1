#include "PageFixture.h"

#include "LabelLoader.h"
#include "Settings.h"

void JobTap::handleMessage (const juce::Message& message)
{
    if (auto* msg = dynamic_cast<const MyMsg*> (&message))
        jobs.push_back ({ msg->id, msg->type, msg->value, msg->value2,
                          juce::MemoryBlock (msg->data.get(), msg->dataSize) });

    worker.handleMessage (message);
}

juce::AlertWindow* findAlert()
{
    for (int i = juce::Desktop::getInstance().getNumComponents(); --i >= 0;)
        if (auto* w = dynamic_cast<juce::AlertWindow*> (juce::Desktop::getInstance().getComponent (i)))
            if (w->isCurrentlyModal())
                return w;

    return nullptr;
}

namespace
{
    std::vector<juce::TextButton*> buttonsOf (juce::AlertWindow& alert)
    {
        std::vector<juce::TextButton*> result;

        for (auto* c : alert.getChildren())
            if (auto* b = dynamic_cast<juce::TextButton*> (c))
                result.push_back (b);

        return result;
    }
}

ShownAlert readAlert (juce::AlertWindow& alert)
{
    ShownAlert shown;
    shown.title = alert.getName();
    // The accessible description is the title, ". " and the message.
    shown.message = alert.getDescription().fromFirstOccurrenceOf (shown.title + ". ", false, false);
    shown.icon = alert.getAlertType();

    for (auto* b : buttonsOf (alert))
        shown.buttons.add (b->getButtonText());

    return shown;
}

bool pressAlertButton (juce::AlertWindow& alert, const juce::String& buttonText)
{
    for (auto* b : buttonsOf (alert))
    {
        if (b->getButtonText() == buttonText)
        {
            b->triggerClick();
            return true;
        }
    }

    return false;
}

void dismissAllAlerts()
{
    while (auto* alert = findAlert())
    {
        alert->exitModalState (0);
        runMessagesUntil ([alert] { return findAlert() != alert; }, 2000);
    }
}

void PageFixture::SetUp()
{
    if (juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty())
        GTEST_SKIP() << "needs an X display (run under xvfb-run)";

    savedWorkingDirectory = juce::File::getCurrentWorkingDirectory();
    ASSERT_TRUE (workDir.get().setAsCurrentWorkingDirectory());
    setLanguageFileFolder (workDir.get());

    for (auto& s : SettingValues)
        s = {};
}

void PageFixture::writeSettings (const juce::StringArray& lines)
{
    juce::String text;
    text << "Soft_Version=" << settingsFileVersion << "\r\n";

    for (auto& line : lines)
        text << line << "\r\n";

    ASSERT_TRUE (settingsFile().replaceWithText (text, true, true, "\r\n"));
}

void PageFixture::makePage()
{
    loadSettings();
    loadLabelTexts (SettingValues[settingLanguage] == "chinese" ? codePageChinese : codePageEnglish);

    WorkerFixture::SetUp();
    tap = std::make_unique<JobTap> (*worker);
    page = std::make_unique<PageDFU> (tap.get());
    worker->setListener (LISTENER_PAGE, page.get());
    page->setSize (700, 350 - 50);
}

void PageFixture::showPage (int width, int height)
{
    window = std::make_unique<juce::DocumentWindow> ("page", juce::Colours::darkgrey, 0, true);
    window->setUsingNativeTitleBar (false);
    window->setContentNonOwned (page.get(), false);
    window->setBounds (10, 10, width, height);
    page->setBounds (0, 0, width, height);
    window->setVisible (true);
    window->toFront (true);
}

void PageFixture::click (juce::Button& button)
{
    ASSERT_TRUE (button.isShowing());
    ASSERT_TRUE (button.isEnabled());
    button.triggerClick();
}

bool PageFixture::waitForAlert (int timeoutMs)
{
    return runMessagesUntil ([] { return findAlert() != nullptr; }, timeoutMs);
}

void PageFixture::settle (std::function<void()> justAfter)
{
    auto done = std::make_shared<bool> (false);

    juce::MessageManager::callAsync ([done, justAfter]
    {
        if (justAfter)
            justAfter();

        // Messages posted by those before us are queued behind this one.
        juce::MessageManager::callAsync ([done] { *done = true; });
    });

    ASSERT_TRUE (runMessagesUntil ([done] { return *done; }, 20000));
}

const juce::String& PageFixture::linkPort (const juce::String& suffix, const juce::String& target)
{
    links.push_back (std::make_unique<DevLink> ("ttyFMtest", suffix, target));
    EXPECT_TRUE (links.back()->ok()) << "cannot create /dev/" << links.back()->name();
    return links.back()->name();
}

void PageFixture::unlinkPort (const juce::String& name)
{
    links.erase (std::remove_if (links.begin(), links.end(), [&] (auto& l) { return l->name() == name; }), links.end());
}

juce::StringArray PageFixture::portItems()
{
    juce::StringArray items;

    for (int i = 0; i < page->getPortBox().getNumItems(); ++i)
        items.add (page->getPortBox().getItemText (i));

    return items;
}

juce::StringArray PageFixture::childTexts()
{
    juce::StringArray texts;

    for (auto* c : page->getChildren())
    {
        if (auto* l = dynamic_cast<juce::Label*> (c))
            texts.add (l->getText());
        else if (auto* b = dynamic_cast<juce::Button*> (c))
            texts.add (b->getButtonText());
        else if (auto* e = dynamic_cast<juce::TextEditor*> (c))
            texts.add (e->getText());
        else if (auto* box = dynamic_cast<juce::ComboBox*> (c))
            texts.add (box->getText());
    }

    return texts;
}

juce::StringArray PageFixture::jobKinds() const
{
    juce::StringArray kinds;

    for (auto& j : tap->jobs)
        kinds.add (juce::String::toHexString (j.id) + "/" + juce::String (j.type));

    return kinds;
}

void PageFixture::TearDown()
{
    if (IsSkipped())
        return;

    dismissAllAlerts();

    // The worker goes first: its thread may post to the page until it stops.
    if (worker != nullptr)
        WorkerFixture::TearDown();

    window.reset();
    page.reset();
    tap.reset();
    runMessagesFor (5);

    device.reset();
    links.clear();
    setLanguageFileFolder ({});
    juce::LocalisedStrings::setCurrentMappings (nullptr);
    savedWorkingDirectory.setAsCurrentWorkingDirectory();
}
