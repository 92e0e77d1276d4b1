#include "UiFixture.h"

#include "CodePage.h"
#include "LabelLoader.h"
#include "Log.h"
#include "Settings.h"

void UiFixture::SetUp()
{
    if (juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty())
        GTEST_SKIP() << "needs an X display";

    savedWorkingDirectory = juce::File::getCurrentWorkingDirectory();
    ASSERT_TRUE (workDir.get().setAsCurrentWorkingDirectory());
    setLanguageFileFolder (workDir.get());

    for (auto& s : SettingValues)
        s = {};

    juce::LocalisedStrings::setCurrentMappings (nullptr);
}

void UiFixture::TearDown()
{
    if (IsSkipped())
        return;

    closeAllAlerts();
    juce::LocalisedStrings::setCurrentMappings (nullptr);
    setLanguageFileFolder ({});

    for (auto& s : SettingValues)
        s = {};

    savedWorkingDirectory.setAsCurrentWorkingDirectory();
}

void UiFixture::writeSettings (const std::map<juce::String, juce::String>& values)
{
    std::map<juce::String, juce::String> all {
        { "Soft_Version", settingsFileVersion }, { "DevAddrSel", "A3" }, { "FirmPath", "" },
        { "ComBaud", "5,9600,115200,230400,921600,2000000" }, { "LastBaud", "1" },
        { "LogFlag", "0" }, { "LogCommun", "0" }, { "language", "english" } };

    for (auto& [key, value] : values)
        all[key] = value;

    juce::String text;

    for (auto& [key, value] : all)
        text << key << "=" << value << "\r\n";

    ASSERT_TRUE (settingsFile().replaceWithText (text, true, true, "\r\n"));
}

void UiFixture::loadSettingsAndLabels()
{
    loadSettings();
    loadLabelTexts (SettingValues[settingLanguage] == "chinese" ? codePageChinese : codePageEnglish);
}

juce::String UiFixture::settingsText() const
{
    return settingsFile().loadFileAsString();
}

juce::String UiFixture::logText() const
{
    return logFileFor (juce::Time::getCurrentTime()).loadFileAsString();
}

std::vector<juce::AlertWindow*> shownAlerts()
{
    std::vector<juce::AlertWindow*> result;
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* w = dynamic_cast<juce::AlertWindow*> (desktop.getComponent (i)))
            if (w->isVisible())
                result.push_back (w);

    return result;
}

AlertText readAlertText (juce::AlertWindow& alert)
{
    AlertText shown;
    shown.title = alert.getName();
    // The accessible description is the title, ". " and the message.
    shown.message = alert.getDescription().fromFirstOccurrenceOf (shown.title + ". ", false, false);
    shown.icon = alert.getAlertType();

    for (auto* c : alert.getChildren())
        if (auto* b = dynamic_cast<juce::TextButton*> (c))
            shown.buttons.add (b->getButtonText());

    return shown;
}

juce::AlertWindow* waitForAlertWith (const juce::String& text, int timeoutMs)
{
    juce::AlertWindow* found = nullptr;

    runMessagesUntil ([&]
    {
        for (auto* w : shownAlerts())
            if (readAlertText (*w).message.contains (text))
                found = w;

        return found != nullptr;
    }, timeoutMs);

    return found;
}

void closeAllAlerts()
{
    for (int round = 0; round < 20; ++round)
    {
        auto alerts = shownAlerts();

        if (alerts.empty())
            return;

        for (auto* w : alerts)
            if (w->isCurrentlyModal())
                w->exitModalState (0);

        runMessagesFor (20);
    }
}

juce::File artefactsFolder()
{
    auto folder = juce::File (juce::SystemStats::getEnvironmentVariable ("FLINT_ARTEFACTS", FLINT_ARTEFACTS_DIR));
    folder.createDirectory();
    return folder;
}

void saveScreenshot (juce::Rectangle<int> screenArea, const juce::String& name)
{
    // Let pending repaints reach the X server first; this only feeds a picture.
    runMessagesFor (300);

    auto file = artefactsFolder().getChildFile (name + ".png");
    file.deleteFile();
    juce::ChildProcess import;

    if (import.start (juce::StringArray { "import", "-window", "root", "-crop",
                                          juce::String (screenArea.getWidth()) + "x" + juce::String (screenArea.getHeight())
                                              + "+" + juce::String (screenArea.getX()) + "+" + juce::String (screenArea.getY()),
                                          file.getFullPathName() }, 0))
        runMessagesUntil ([&] { return ! import.isRunning(); }, 20000);
}
