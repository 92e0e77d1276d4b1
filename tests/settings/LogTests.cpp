#include "SettingsFixture.h"

#include "Log.h"
#include "Settings.h"
#include "Translation.h"

#include <vector>

namespace
{
// 29 June 2021, 21:03:07 local time.
const juce::Time eveningOf29June (2021, 5, 29, 21, 3, 7, 0, true);

class LogTest : public SettingsFixture
{
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        SettingValues[settingLogFlag] = "1";
        setLogClock ([] { return eveningOf29June; });
    }

    juce::File logOf29June() const { return temp / "dfu 29 Jun 2021.log"; }
};
}

TEST_F (LogTest, AppendsOneStampedLinePerCall)
{
    writeBytes (logOf29June(), "29 Jun 2021 08:00:00: earlier run\r\n");

    writeLog ("Waiting flag ...");
    writeLog ("Exit");

    EXPECT_EQ (readBytes (logOf29June()), "29 Jun 2021 08:00:00: earlier run\r\n"
                                          "29 Jun 2021 21:03:07: Waiting flag ...\r\n"
                                          "29 Jun 2021 21:03:07: Exit\r\n");
}

struct Stamp
{
    const char* name;
    juce::Time time;
    const char* fileName;
    const char* line;
};

inline std::ostream& operator<< (std::ostream& os, const Stamp& c) { return os << c.name; }

class LogStampTest : public LogTest,
                     public ::testing::WithParamInterface<Stamp> {};

TEST_P (LogStampTest, NamesTheFileAndStampsTheLineWithTheLocalTime)
{
    const auto& c = GetParam();
    setLogClock ([t = c.time] { return t; });

    EXPECT_EQ (logFileFor (c.time), temp / c.fileName);

    writeLog ("text");
    EXPECT_EQ (readBytes (temp / c.fileName), c.line);
}

INSTANTIATE_TEST_SUITE_P (Times, LogStampTest, ::testing::Values (
    Stamp { "Evening",     eveningOf29June,                                "dfu 29 Jun 2021.log", "29 Jun 2021 21:03:07: text\r\n" },
    Stamp { "Morning",     juce::Time (2021, 6, 5, 9, 3, 7, 0, true),       "dfu 5 Jul 2021.log",  "5 Jul 2021 9:03:07: text\r\n" },
    Stamp { "Midnight",    juce::Time (2030, 0, 1, 0, 0, 0, 0, true),       "dfu 1 Jan 2030.log",  "1 Jan 2030 0:00:00: text\r\n" },
    Stamp { "LastSecond",  juce::Time (1999, 11, 31, 23, 59, 59, 999, true), "dfu 31 Dec 1999.log", "31 Dec 1999 23:59:59: text\r\n" }),
    CaseName());

TEST_F (LogTest, TheDateIsReadAgainForTheFileName)
{
    std::vector<juce::Time> ticks { juce::Time (2021, 5, 29, 23, 59, 59, 999, true),
                                    juce::Time (2021, 5, 30, 0, 0, 0, 0, true) };
    size_t next = 0;
    setLogClock ([&] { return ticks[juce::jmin (next++, ticks.size() - 1)]; });

    writeLog ("late");

    EXPECT_EQ (readBytes (temp / "dfu 30 Jun 2021.log"), "29 Jun 2021 23:59:59: late\r\n");
    EXPECT_FALSE (logOf29June().exists());
}

//==============================================================================
struct Written
{
    const char* name;
    const char* text;
    const char* expected;   // what follows the stamp and ": "
};

inline std::ostream& operator<< (std::ostream& os, const Written& c) { return os << c.name; }

class LogTextTest : public LogTest,
                    public ::testing::WithParamInterface<Written> {};

TEST_P (LogTextTest, NeverWritesALoneLineFeed)
{
    writeLog (juce::String::fromUTF8 (GetParam().text));
    EXPECT_EQ (readBytes (logOf29June()), std::string ("29 Jun 2021 21:03:07: ") + GetParam().expected + "\r\n");
}

INSTANTIATE_TEST_SUITE_P (Texts, LogTextTest, ::testing::Values (
    Written { "LoneLineFeed",  "a\nb",   "a\r\nb" },
    Written { "CrLf",          "a\r\nb", "a\r\nb" },
    Written { "LoneReturn",    "a\rb",   "a\rb" },
    Written { "Utf8",          u8"固件下载成功!", u8"固件下载成功!" }),
    CaseName());

TEST_F (LogTest, ChineseTextsStayChineseAndTheMonthStaysEnglish)
{
    juce::LocalisedStrings placeholder (juce::String(), false);
    setLanguage (&placeholder, 936);

    writeLog (TRANS ("Firmware download finish!"));

    EXPECT_EQ (readBytes (logOf29June()), std::string ("29 Jun 2021 21:03:07: ") + u8"固件下载成功!" + "\r\n");
}

//==============================================================================
struct Silent
{
    const char* name;
    const char* logFlag;
    const char* text;
};

inline std::ostream& operator<< (std::ostream& os, const Silent& c) { return os << c.name; }

class SilentLogTest : public LogTest,
                      public ::testing::WithParamInterface<Silent> {};

TEST_P (SilentLogTest, CreatesNoFile)
{
    SettingValues[settingLogFlag] = GetParam().logFlag;
    writeLog (GetParam().text);

    EXPECT_EQ (fileNamesIn (temp.get()), juce::StringArray());
}

INSTANTIATE_TEST_SUITE_P (Cases, SilentLogTest, ::testing::Values (
    Silent { "FlagZero",       "0",    "text" },
    Silent { "FlagEmpty",      "",     "text" },
    Silent { "FlagBlankOne",   " 1",   "text" },
    Silent { "FlagOneBlank",   "1 ",   "text" },
    Silent { "EmptyText",      "1",    "" }),
    CaseName());
