#include "SettingsFixture.h"

#include "Settings.h"

#include <vector>

namespace
{
const std::u16string defaultSettingsText =
    u"Soft_Version=Brenlow Flintmoor V1.0.0\r\n"
    u"DevAddrSel=A3\r\n"
    u"FirmPath=\r\n"
    u"ComBaud=5,9600,115200,230400,921600,2000000\r\n"
    u"LastBaud=1\r\n"
    u"LogFlag=0\r\n"
    u"LogCommun=0\r\n"
    u"language=english\r\n";

std::string utf8Of (const std::u16string& text)
{
    return juce::String (juce::CharPointer_UTF16 (reinterpret_cast<const juce::CharPointer_UTF16::CharType*> (text.c_str())))
               .toStdString();
}

std::u16string joinLines (const std::vector<std::u16string>& lines, const std::u16string& separator)
{
    std::u16string text;

    for (auto& line : lines)
        text += line + separator;

    return text;
}

void expectDefaultValues()
{
    EXPECT_EQ (SettingValues[settingSoftVersion], "Brenlow Flintmoor V1.0.0");
    EXPECT_EQ (SettingValues[settingLanguage], "english");
    EXPECT_EQ (SettingValues[settingDevAddrSel], "A3");
    EXPECT_EQ (SettingValues[settingFirmPath], "");
    EXPECT_EQ (SettingValues[settingComBaud], "5,9600,115200,230400,921600,2000000");
    EXPECT_EQ (SettingValues[settingLastBaud], "1");
    EXPECT_EQ (SettingValues[settingLogFlag], "0");
    EXPECT_EQ (SettingValues[settingLogCommun], "0");
}
}

using SettingsFileTest = SettingsFixture;

TEST_F (SettingsFileTest, FirstStartWritesTheDefaultFile)
{
    SettingValues[settingLastComPort] = "COM7";

    EXPECT_EQ (settingsFile(), temp / "dfu.init");
    EXPECT_EQ (loadSettings(), 0);

    const auto bytes = readBytes (settingsFile());
    EXPECT_EQ (bytes, utf16leWithMark (defaultSettingsText));
    EXPECT_EQ (bytes.substr (0, 6), std::string ("\xff\xfeS\0o\0", 6));
    EXPECT_EQ (bytes.substr (bytes.size() - 4), std::string ("\r\0\n\0", 4));

    expectDefaultValues();
    EXPECT_EQ (SettingValues[settingLastComPort], "COM7");
    EXPECT_EQ (fileNamesIn (temp.get()), juce::StringArray ("dfu.init"));
}

//==============================================================================
struct OutdatedFile
{
    const char* name;
    std::string bytes;
};

inline std::ostream& operator<< (std::ostream& os, const OutdatedFile& c) { return os << c.name; }

class OutdatedSettingsTest : public SettingsFixture,
                             public ::testing::WithParamInterface<OutdatedFile> {};

TEST_P (OutdatedSettingsTest, IsReplacedWholeByTheDefaults)
{
    writeBytes (settingsFile(), GetParam().bytes);

    EXPECT_EQ (loadSettings(), 0);
    EXPECT_EQ (readBytes (settingsFile()), utf16leWithMark (defaultSettingsText));
    expectDefaultValues();
}

const std::string outdatedRest = "language=chinese\r\nDevAddrSel=A0\r\nLogFlag=1\r\nComBaud=1,9600\r\n";

INSTANTIATE_TEST_SUITE_P (Versions, OutdatedSettingsTest, ::testing::Values (
    OutdatedFile { "OtherCase",      "Soft_Version=brenlow flintmoor v1.0.0\r\n" + outdatedRest },
    OutdatedFile { "TrailingBlank",  "Soft_Version=Brenlow Flintmoor V1.0.0 \r\n" + outdatedRest },
    OutdatedFile { "Older",          "Soft_Version=Brenlow Flintmoor V0.9.0\r\n" + outdatedRest },
    OutdatedFile { "KeyInOtherCase", "soft_version=Brenlow Flintmoor V1.0.0\r\n" + outdatedRest },
    OutdatedFile { "NoVersionLine",  outdatedRest },
    OutdatedFile { "Empty",          "" }),
    CaseName());

//==============================================================================
// The same hand-edited content in the encodings and line ends a reader meets.
const std::vector<std::u16string> handEditedLines =
{
    u"Soft_Version=Brenlow Flintmoor V1.0.0",
    u"language=chinese",
    u"DevAddrSel=A0",
    u"DevAddrSel=A1",
    u"FirmPath=C:\\固件\\a=b c.dsb ",
    u"ComBaud=2,9600,19200",
    u"LogFlag= 1",
    u"logcommun=1",
    u"LastComPort=COM9",
    u"; not a setting"
};

struct HandEdited
{
    const char* name;
    std::string bytes;
};

inline std::ostream& operator<< (std::ostream& os, const HandEdited& c) { return os << c.name; }

class HandEditedSettingsTest : public SettingsFixture,
                               public ::testing::WithParamInterface<HandEdited> {};

TEST_P (HandEditedSettingsTest, IsReadAsWrittenAndLeftAlone)
{
    writeBytes (settingsFile(), GetParam().bytes);
    SettingValues[settingLastComPort] = "COM3";

    EXPECT_EQ (loadSettings(), 0);

    EXPECT_EQ (SettingValues[settingSoftVersion], "Brenlow Flintmoor V1.0.0");
    EXPECT_EQ (SettingValues[settingLanguage], "chinese");
    EXPECT_EQ (SettingValues[settingDevAddrSel], "A1");      // the last of repeated keys
    EXPECT_EQ (SettingValues[settingFirmPath], juce::String::fromUTF8 (u8"C:\\固件\\a=b c.dsb "));
    EXPECT_EQ (SettingValues[settingComBaud], "2,9600,19200");
    EXPECT_EQ (SettingValues[settingLastBaud], "");          // missing: no default per key
    EXPECT_EQ (SettingValues[settingLogFlag], " 1");
    EXPECT_EQ (SettingValues[settingLogCommun], "");         // keys are case-sensitive
    EXPECT_EQ (SettingValues[settingLastComPort], "COM3");   // never read from the file

    EXPECT_EQ (readBytes (settingsFile()), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P (Encodings, HandEditedSettingsTest, ::testing::Values (
    HandEdited { "Utf8Lf",        utf8Of (joinLines (handEditedLines, u"\n")) },
    HandEdited { "Utf8MarkCrLf",  "\xef\xbb\xbf" + utf8Of (joinLines (handEditedLines, u"\r\n")) },
    HandEdited { "Utf8Cr",        utf8Of (joinLines (handEditedLines, u"\r")) },
    HandEdited { "Utf16leCrLf",   utf16leWithMark (joinLines (handEditedLines, u"\r\n")) },
    HandEdited { "Utf16beLf",     utf16beWithMark (joinLines (handEditedLines, u"\n")) }),
    CaseName());

//==============================================================================
TEST_F (SettingsFileTest, SaveWritesTheStoredValuesInWrittenOrder)
{
    writeBytes (settingsFile(), utf8Of (joinLines (handEditedLines, u"\n")));
    ASSERT_EQ (loadSettings(), 0);

    SettingValues[settingLastComPort] = "COM3";
    SettingValues[settingLanguage] = "english";
    EXPECT_EQ (saveSettings(), 0);

    const std::u16string edited =
        u"Soft_Version=Brenlow Flintmoor V1.0.0\r\n"
        u"DevAddrSel=A1\r\n"
        u"FirmPath=C:\\固件\\a=b c.dsb \r\n"
        u"ComBaud=2,9600,19200\r\n"
        u"LastBaud=\r\n"
        u"LogFlag= 1\r\n"
        u"LogCommun=\r\n";

    EXPECT_EQ (readBytes (settingsFile()), utf16leWithMark (edited + u"language=english\r\n"));

    SettingValues[settingLanguage] = "chinese";
    EXPECT_EQ (saveSettings(), 0);
    EXPECT_EQ (readBytes (settingsFile()), utf16leWithMark (edited + u"language=chinese\r\n"));
    EXPECT_EQ (fileNamesIn (temp.get()), juce::StringArray ("dfu.init"));
}

TEST_F (SettingsFileTest, FailedSaveKeepsTheOldFile)
{
    ASSERT_EQ (loadSettings(), 0);
    const auto before = readBytes (settingsFile());

    SettingValues[settingFirmPath] = "/tmp/new.dsb";
    int result = 0;
    {
        WritesFail full;
        result = saveSettings();
    }

    EXPECT_EQ (result, -1);
    EXPECT_EQ (readBytes (settingsFile()), before);
    EXPECT_EQ (fileNamesIn (temp.get()), juce::StringArray ("dfu.init"));

    EXPECT_EQ (saveSettings(), 0);
    SettingValues[settingFirmPath] = {};
    ASSERT_EQ (loadSettings(), 0);
    EXPECT_EQ (SettingValues[settingFirmPath], "/tmp/new.dsb");
}

struct FailedDefaultWrite
{
    const char* name;
    std::string bytes;          // empty: no file
};

inline std::ostream& operator<< (std::ostream& os, const FailedDefaultWrite& c) { return os << c.name; }

class FailedDefaultWriteTest : public SettingsFixture,
                               public ::testing::WithParamInterface<FailedDefaultWrite> {};

TEST_P (FailedDefaultWriteTest, PutsTheDefaultsInForceAndKeepsTheOldFile)
{
    const auto& c = GetParam();

    if (! c.bytes.empty())
        writeBytes (settingsFile(), c.bytes);

    SettingValues[settingLastComPort] = "COM7";
    int result = 0;
    {
        WritesFail full;
        result = loadSettings();
    }

    EXPECT_EQ (result, -1);
    EXPECT_EQ (readBytes (settingsFile()), c.bytes);
    EXPECT_EQ (fileNamesIn (temp.get()), c.bytes.empty() ? juce::StringArray() : juce::StringArray ("dfu.init"));
    expectDefaultValues();
    EXPECT_EQ (SettingValues[settingLastComPort], "COM7");
}

INSTANTIATE_TEST_SUITE_P (Cases, FailedDefaultWriteTest, ::testing::Values (
    FailedDefaultWrite { "Missing",  "" },
    FailedDefaultWrite { "Outdated", "Soft_Version=V0\r\nlanguage=chinese\r\nComBaud=1,9600\r\nFirmPath=/old.dsb\r\n" }),
    CaseName());

//==============================================================================
// A path with a character beyond U+FFFF goes out as a surrogate pair and comes back the same.
TEST_F (SettingsFileTest, CharactersBeyondTheBasicPlaneSurviveSaveAndLoad)
{
    ASSERT_EQ (loadSettings(), 0);
    const auto path = juce::String::fromUTF8 (u8"/home/op/\U0001F4BE/fw.dsb");
    SettingValues[settingFirmPath] = path;
    ASSERT_EQ (saveSettings(), 0);

    EXPECT_NE (readBytes (settingsFile()).find (utf16leWithMark (u"FirmPath=/home/op/\U0001F4BE/fw.dsb\r\n").substr (2)),
               std::string::npos);

    SettingValues[settingFirmPath] = {};
    ASSERT_EQ (loadSettings(), 0);
    EXPECT_EQ (SettingValues[settingFirmPath], path);
}

// Larger than any settings file: unreadable, so replaced by the defaults without being read.
TEST_F (SettingsFileTest, OversizedFileIsReplacedByTheDefaults)
{
    {
        juce::FileOutputStream out (settingsFile());
        ASSERT_TRUE (out.openedOk());
        ASSERT_TRUE (out.writeText ("Soft_Version=Brenlow Flintmoor V1.0.0\r\nlanguage=chinese\r\n", false, false, nullptr));
        ASSERT_TRUE (out.setPosition ((juce::int64) 4 << 30));
        ASSERT_TRUE (out.writeByte ('\n'));
    }

    EXPECT_EQ (loadSettings(), 0);
    expectDefaultValues();
    EXPECT_EQ (readBytes (settingsFile()), utf16leWithMark (defaultSettingsText));
}

//==============================================================================
// A hand-edited file whose bytes are not UTF-8 is read as Windows-1252, every
// byte a character; the framework's own test of UTF-8 lets overlong forms and
// surrogates through, whose bytes its strings then copy and count apart.
struct NotUtf8
{
    const char* name;
    std::string pathBytes;
    std::string path;           // UTF-8: the value read
};

inline std::ostream& operator<< (std::ostream& os, const NotUtf8& c) { return os << c.name; }

class NotUtf8SettingsTest : public SettingsFixture,
                            public ::testing::WithParamInterface<NotUtf8> {};

TEST_P (NotUtf8SettingsTest, IsReadAsWindows1252)
{
    const auto& c = GetParam();
    writeBytes (settingsFile(), "Soft_Version=Brenlow Flintmoor V1.0.0\r\nFirmPath=" + c.pathBytes + "\r\nlanguage=chinese\r\n");

    EXPECT_EQ (loadSettings(), 0);
    EXPECT_EQ (SettingValues[settingFirmPath], juce::String::fromUTF8 (c.path.c_str()));
    EXPECT_EQ (SettingValues[settingLanguage], "chinese");
}

std::string times40 (const std::string& bytes)
{
    std::string result;
    for (int i = 0; i < 40; ++i)
        result += bytes;
    return result;
}

INSTANTIATE_TEST_SUITE_P (Bytes, NotUtf8SettingsTest, ::testing::Values (
    NotUtf8 { "Latin1",          "/fw/caf\xe9.dsb", u8"/fw/caf\u00e9.dsb" },
    NotUtf8 { "OverlongForms",   "/fw/" + times40 ("\xf0\x80\x80\xae") + ".dsb",
              "/fw/" + times40 (u8"\u00f0\u20ac\u20ac\u00ae") + ".dsb" },
    NotUtf8 { "Surrogate",       "/fw/\xed\xa0\x80.dsb", u8"/fw/\u00ed\u00a0\u20ac.dsb" },
    NotUtf8 { "CutOffAtTheEnd",  "/fw/a\xe6\x96", u8"/fw/a\u00e6\u2013" }),
    CaseName());
