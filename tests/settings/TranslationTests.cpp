#include "SettingsFixture.h"

#include "Translation.h"

namespace
{
juce::String utf8 (const char* s) { return juce::String::fromUTF8 (s); }

class TranslationTest : public SettingsFixture
{
protected:
    juce::LocalisedStrings placeholder { juce::String(), false };
};

struct Translated
{
    const char* name;
    const char* text;
    const char* chinese;    // what it becomes while Chinese is installed
};

const Translated translatedCases[] =
{
    { "Ok",                "OK",                          u8"确定" },
    { "Cancel",            "Cancel",                      u8"取消" },
    { "FileLabel",         "file:",                       u8"文件:" },
    { "Tips",              "Tips",                        u8"提示" },
    { "Finish",            "Firmware download finish!",   u8"固件下载成功!" },
    { "FailWithoutMark",   "Firmware download fail!",     u8"固件下载失败" },
    { "FullWidthComma",    "The file has been changed,Do you want to apply new file?", u8"固件文件被更改，是否加载新文件?" },
    { "NoPair",            "Waiting flag ...",            "Waiting flag ..." },
    { "NoPairOpenFail",    "Open COM fail!",              "Open COM fail!" },
    { "Month",             "Jun",                         "Jun" },
    { "KeyCaseOk",         "ok",                          "ok" },
    { "KeyCaseTips",       "tips",                        "tips" },
    { "KeyCaseFinish",     "Firmware Download finish!",   "Firmware Download finish!" },
    { "TrailingBlank",     "Cancel ",                     "Cancel " }
};

void expectLanguage (bool chinese)
{
    for (auto& c : translatedCases)
        EXPECT_EQ (juce::translate (c.text), chinese ? utf8 (c.chinese) : juce::String (c.text)) << c.name;
}
}

TEST_F (TranslationTest, TheTextHasTwoHeaderLinesAndOneLinePerPair)
{
    const auto text = chineseTranslationText();
    EXPECT_FALSE (text.endsWith ("\r\n"));

    const auto lines = juce::StringArray::fromLines (text);
    ASSERT_EQ (lines.size(), 28);
    EXPECT_EQ (lines.joinIntoString ("\r\n"), text);

    EXPECT_EQ (lines[0], "language: Chinese");
    EXPECT_EQ (lines[1], "countries : fr be mc ch lu");
    EXPECT_EQ (lines[2], utf8 (u8"\"Cancel\" = \"取消\""));
    EXPECT_EQ (lines[27], utf8 (u8"\"file:\" = \"文件:\""));
}

TEST_F (TranslationTest, ChineseTranslatesEveryPairAndNothingElse)
{
    EXPECT_EQ (setLanguage (&placeholder, 936), 0);
    ASSERT_NE (juce::LocalisedStrings::getCurrentMappings(), nullptr);

    expectLanguage (true);

    for (auto& pair : translationPairs)
        EXPECT_EQ (juce::translate (pair.english), utf8 (pair.chinese)) << pair.english;
}

TEST_F (TranslationTest, EnglishRemovesTheTable)
{
    for (int codePage : { 37, 0, 1252 })
    {
        setLanguage (&placeholder, 936);
        EXPECT_EQ (setLanguage (&placeholder, codePage), 0);
        EXPECT_EQ (juce::LocalisedStrings::getCurrentMappings(), nullptr) << codePage;
        expectLanguage (false);
    }
}

TEST_F (TranslationTest, SwitchingBackAndForthInstallsAFreshEqualTable)
{
    setLanguage (&placeholder, 936);
    const auto* first = juce::LocalisedStrings::getCurrentMappings();

    setLanguage (&placeholder, 936);
    EXPECT_NE (juce::LocalisedStrings::getCurrentMappings(), first);
    expectLanguage (true);

    setLanguage (&placeholder, 37);
    expectLanguage (false);

    setLanguage (&placeholder, 936);
    expectLanguage (true);
}

TEST_F (TranslationTest, WithoutPlaceholderNothingChanges)
{
    EXPECT_EQ (setLanguage (nullptr, 936), -1);
    EXPECT_EQ (juce::LocalisedStrings::getCurrentMappings(), nullptr);

    setLanguage (&placeholder, 936);
    const auto* installed = juce::LocalisedStrings::getCurrentMappings();

    EXPECT_EQ (setLanguage (nullptr, 37), -1);
    EXPECT_EQ (juce::LocalisedStrings::getCurrentMappings(), installed);
    expectLanguage (true);
}
