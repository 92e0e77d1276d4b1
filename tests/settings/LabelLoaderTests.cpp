#include "SettingsFixture.h"

#include "LabelLoader.h"

#include <vector>

namespace
{
// The default language file as it must stand, line by line (CR LF after each).
const char* const defaultLanguageLines[] =
{
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
    "",
    "<brenlow_Flintmoor>",
    "  <Version Version=\"2021062902\"/>",
    "  <MENU>",
    "    <about>",
    "      <LOCAL CPID=\"0037\" name=\"About\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#20851;&#20110;\"/>",
    "    </about>",
    "    <devaddr>",
    "      <LOCAL CPID=\"0037\" name=\"Device address\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#35774;&#22791;&#22320;&#22336;\"/>",
    "    </devaddr>",
    "    <exit>",
    "      <LOCAL CPID=\"0037\" name=\"Exit\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#36864;&#20986;\"/>",
    "    </exit>",
    "    <file>",
    "      <LOCAL CPID=\"0037\" name=\"File\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#25991;&#20214;\"/>",
    "    </file>",
    "    <help>",
    "      <LOCAL CPID=\"0037\" name=\"Help\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#24110;&#21161;\"/>",
    "    </help>",
    "    <language>",
    "      <LOCAL CPID=\"0037\" name=\"Language\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#35821;&#35328;\"/>",
    "    </language>",
    "    <protocol>",
    "      <LOCAL CPID=\"0037\" name=\"Protocol\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#21327;&#35758;\"/>",
    "    </protocol>",
    "    <viewhelp>",
    "      <LOCAL CPID=\"0037\" name=\"View help\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#24110;&#21161;&#35828;&#26126;\"/>",
    "    </viewhelp>",
    "    <check>",
    "      <LOCAL CPID=\"0037\" name=\"Check for updates...\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#26816;&#27979;&#26356;&#26032;...\"/>",
    "    </check>",
    "  </MENU>",
    "  <PARA>",
    "    <comclose>",
    "      <LOCAL CPID=\"0037\" name=\"Close\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#20851;&#38381;\"/>",
    "    </comclose>",
    "    <comopen>",
    "      <LOCAL CPID=\"0037\" name=\"Open\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#25171;&#24320;\"/>",
    "    </comopen>",
    "    <devname>",
    "      <LOCAL CPID=\"0037\" name=\"Device name:\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#22120;&#20214;&#21517;&#31216;:\"/>",
    "    </devname>",
    "    <productdate>",
    "      <LOCAL CPID=\"0037\" name=\"Product date:\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#29983;&#20135;&#26085;&#26399;:\"/>",
    "    </productdate>",
    "    <releasedate>",
    "      <LOCAL CPID=\"0037\" name=\"Release date:\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#32534;&#35793;&#26085;&#26399;:\"/>",
    "    </releasedate>",
    "    <path>",
    "      <LOCAL CPID=\"0037\" name=\"Firmware path:\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#22266;&#20214;&#36335;&#24452;:\"/>",
    "    </path>",
    "    <com>",
    "      <LOCAL CPID=\"0037\" name=\"COM\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#20018;&#21475;\"/>",
    "    </com>",
    "    <update>",
    "      <LOCAL CPID=\"0037\" name=\"Update\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#21319;&#32423;\"/>",
    "    </update>",
    "    <succeedcnt>",
    "      <LOCAL CPID=\"0037\" name=\"Finish counter:\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#25104;&#21151;&#27425;&#25968;:\"/>",
    "    </succeedcnt>",
    "    <failcnt>",
    "      <LOCAL CPID=\"0037\" name=\"Fail counter:\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#22833;&#36133;&#27425;&#25968;:\"/>",
    "    </failcnt>",
    "    <comport>",
    "      <LOCAL CPID=\"0037\" name=\"COM port:\"/>",
    "      <LOCAL CPID=\"0936\" name=\"COM&#21475;:\"/>",
    "    </comport>",
    "    <baudrate>",
    "      <LOCAL CPID=\"0037\" name=\"Baud rate:\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#27874;&#29305;&#29575;:\"/>",
    "    </baudrate>",
    "    <start>",
    "      <LOCAL CPID=\"0037\" name=\"Start\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#24320;&#22987;\"/>",
    "    </start>",
    "    <stop>",
    "      <LOCAL CPID=\"0037\" name=\"Stop\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#20572;&#27490;\"/>",
    "    </stop>",
    "    <about>",
    "      <LOCAL CPID=\"0037\" name=\"About\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#20851;&#20110;\"/>",
    "    </about>",
    "  </PARA>",
    "  <TIP>",
    "    <downloadnewver>",
    "      <LOCAL CPID=\"0037\" name=\"Downloading new version\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#19979;&#36733;&#26368;&#26032;&#29256;&#26412;\"/>",
    "    </downloadnewver>",
    "    <updatetips>",
    "      <LOCAL CPID=\"0037\" name=\"Updates tips\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#26356;&#26032;&#25552;&#31034;\"/>",
    "    </updatetips>",
    "    <askdownloadnewver>",
    "      <LOCAL CPID=\"0037\" name=\"Do you need to download the update for the latest version?\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#21457;&#29616;&#26032;&#29256;&#26412;&#26159;&#21542;&#38656;&#35201;&#19979;&#36733;&#26356;&#26032;?\"/>",
    "    </askdownloadnewver>",
    "    <alreadynewver>",
    "      <LOCAL CPID=\"0037\" name=\"The current version is already the latest version!\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#24403;&#21069;&#29256;&#26412;&#24050;&#32463;&#26159;&#26368;&#26032;&#29256;&#26412;&#20102;&#65281;\"/>",
    "    </alreadynewver>",
    "    <downloadupdates>",
    "      <LOCAL CPID=\"0037\" name=\"Download Updates\"/>",
    "      <LOCAL CPID=\"0936\" name=\"&#19979;&#36733;&#21319;&#32423;\"/>",
    "    </downloadupdates>",
    "  </TIP>",
    "</brenlow_Flintmoor>"
};

std::string defaultLanguageBytes()
{
    std::u16string text;

    for (auto* line : defaultLanguageLines)
    {
        for (auto* c = line; *c != 0; ++c)
            text += (char16_t) *c;

        text += u"\r\n";
    }

    return utf16leWithMark (text);
}

juce::String utf8 (const char* s) { return juce::String::fromUTF8 (s); }

void expectBuiltInEnglish()
{
    for (int i = 0; i < numMenuLabels; ++i)    EXPECT_EQ (MenuLabels[i], menuLabelInfo[i].english) << i;
    for (int i = 0; i < numPageLabels; ++i)    EXPECT_EQ (PageLabels[i], pageLabelInfo[i].english) << i;
    for (int i = 0; i < numUpdateLabels; ++i)  EXPECT_EQ (UpdateLabels[i], updateLabelInfo[i].english) << i;

    EXPECT_EQ (UpdateLabels[updateDownloadUpdates], "Download updates");
}

// A language file with the given Version element and sections, for the cases below.
std::string languageDocument (const std::string& version, const std::string& sections)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<brenlow_Flintmoor>\n" + version + "\n" + sections + "\n</brenlow_Flintmoor>\n";
}

// <r>, then <a> and </a> each depth times, then </r>.
std::string deeplyNested (int depth)
{
    std::string text = "<r>";

    for (int i = 0; i < depth; ++i)  text += "<a>";
    for (int i = 0; i < depth; ++i)  text += "</a>";

    return text + "</r>";
}

const std::string goodVersion = "<Version Version=\"2021062902\"/>";
const std::string menuSection = "<MENU><file><LOCAL CPID=\"0037\" name=\"Old\"/></file></MENU>";
const std::string pageSection = "<PARA/>";
const std::string tipSection  = "<TIP/>";
}

using LabelLoaderTest = SettingsFixture;

TEST_F (LabelLoaderTest, LanguageFileLivesInTheExecutableFolderUnlessMoved)
{
    EXPECT_EQ (languageFile(), exeFolder().getChildFile ("language.xml"));

    setLanguageFileFolder ({});
    EXPECT_EQ (languageFile(), juce::File ("/proc/self/exe").getLinkedTarget().getSiblingFile ("language.xml"));
}

// Started through PATH, or by a relative path with the working directory
// changed afterwards, the program still finds the file beside itself.
TEST_F (LabelLoaderTest, LanguageFileStaysBesideTheExecutableHoweverItIsStarted)
{
    const juce::File probe (FLINT_LANGUAGE_FILE_PROBE);
    const auto folder = probe.getParentDirectory();
    const auto quoted = [] (const juce::File& f) { return "'" + f.getFullPathName() + "'"; };

    const juce::StringArray commands {
        "cd " + quoted (temp.get()) + " && PATH=" + quoted (folder) + " " + probe.getFileName(),
        "cd " + quoted (folder.getParentDirectory()) + " && ./" + folder.getFileName() + "/" + probe.getFileName()
            + " " + quoted (temp.get())
    };

    for (auto& command : commands)
    {
        juce::ChildProcess child;
        ASSERT_TRUE (child.start (juce::StringArray { "/bin/sh", "-c", command })) << command;
        const auto output = child.readAllProcessOutput().trim();
        child.waitForProcessToFinish (60000);

        EXPECT_EQ (child.getExitCode(), 0u) << command;
        EXPECT_EQ (output, folder.getChildFile ("language.xml").getFullPathName()) << command;
    }
}

TEST_F (LabelLoaderTest, FirstStartWritesTheDefaultFileAndTheNextLoadUsesIt)
{
    EXPECT_EQ (loadLabelTexts (codePageChinese), -1);
    expectBuiltInEnglish();

    const auto bytes = readBytes (languageFile());
    ASSERT_EQ (bytes, defaultLanguageBytes());

    EXPECT_NE (bytes.find (utf16leWithMark (u"name=\"&#25991;&#20214;\"").substr (2)), std::string::npos);

    // ASCII only, in 16-bit units: every high byte zero, nothing above U+007F.
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        ASSERT_TRUE ((unsigned char) bytes[i] < 0x80 && bytes[i + 1] == 0) << "at byte " << i;

    EXPECT_EQ (loadLabelTexts (codePageChinese), 0);
    EXPECT_EQ (MenuLabels[menuFile], utf8 (u8"文件"));
    EXPECT_EQ (MenuLabels[menuCheck], utf8 (u8"检测更新..."));
    EXPECT_EQ (PageLabels[pageComPort], utf8 (u8"COM口:"));
    EXPECT_EQ (PageLabels[pageStop], utf8 (u8"停止"));
    EXPECT_EQ (UpdateLabels[updateAlreadyNewVer], utf8 (u8"当前版本已经是最新版本了！"));
    EXPECT_EQ (UpdateLabels[updateDownloadUpdates], utf8 (u8"下载升级"));

    EXPECT_EQ (loadLabelTexts (codePageEnglish), 0);
    EXPECT_EQ (UpdateLabels[updateDownloadUpdates], "Download Updates");
    UpdateLabels[updateDownloadUpdates] = "Download updates";
    expectBuiltInEnglish();   // every other English text in the file equals the built-in one

    EXPECT_EQ (readBytes (languageFile()), bytes);
    EXPECT_EQ (fileNamesIn (exeFolder()), juce::StringArray ("language.xml"));
}

TEST_F (LabelLoaderTest, SaveReplacesTheWholeFile)
{
    writeBytes (languageFile(), std::string (5000, 'x'));
    saveLanguageFile ("<a/>\n");
    EXPECT_EQ (readBytes (languageFile()), utf16leWithMark (u"<a/>\r\n"));

    // A character beyond U+FFFF as a surrogate pair, not cut to 16 bits.
    saveLanguageFile (juce::String::fromUTF8 (u8"<a v=\"\U0001F4BE\"/>\r\n"));
    EXPECT_EQ (readBytes (languageFile()), utf16leWithMark (u"<a v=\"\U0001F4BE\"/>\r\n"));
}

//==============================================================================
struct InvalidFile
{
    const char* name;
    std::string text;
};

inline std::ostream& operator<< (std::ostream& os, const InvalidFile& c) { return os << c.name; }

class InvalidLanguageFileTest : public SettingsFixture,
                                public ::testing::WithParamInterface<InvalidFile> {};

TEST_P (InvalidLanguageFileTest, IsReplacedByTheDefaultFile)
{
    writeBytes (languageFile(), GetParam().text);

    EXPECT_EQ (loadLabelTexts (codePageChinese), -1);
    expectBuiltInEnglish();
    EXPECT_EQ (readBytes (languageFile()), defaultLanguageBytes());
}

INSTANTIATE_TEST_SUITE_P (Cases, InvalidLanguageFileTest, ::testing::Values (
    InvalidFile { "Empty",            "" },
    InvalidFile { "NotXml",           "language file" },
    InvalidFile { "Unclosed",         "<brenlow_Flintmoor><Version Version=\"2021062902\"/>" },
    InvalidFile { "OtherVersion",     languageDocument ("<Version Version=\"2021062903\"/>", menuSection + pageSection + tipSection) },
    InvalidFile { "TrailingBlank",    languageDocument ("<Version Version=\"2021062902 \"/>", menuSection + pageSection + tipSection) },
    InvalidFile { "AttributeCase",    languageDocument ("<Version version=\"2021062902\"/>", menuSection + pageSection + tipSection) },
    InvalidFile { "NoVersionElement", languageDocument ("", menuSection + pageSection + tipSection) },
    InvalidFile { "NoMenuSection",    languageDocument (goodVersion, pageSection + tipSection) },
    InvalidFile { "NoPageSection",    languageDocument (goodVersion, menuSection + tipSection) },
    InvalidFile { "NoTipSection",     languageDocument (goodVersion, menuSection + pageSection) },
    // Crafted files: each once crashed the start-up or read past the buffer.
    InvalidFile { "Nesting30000Deep", deeplyNested (30000) },
    InvalidFile { "RecursiveEntity",  "<!DOCTYPE r [<!ENTITY a \"x&a;\">]><r><Version Version=\"&a;\"/></r>" },
    InvalidFile { "TruncatedUtf8",    "<r><Version Version=\"2021062902\"/>\xe4" }),
    CaseName());

//==============================================================================
// One small valid file, stored in each encoding a reader accepts.
const juce::String smallDocument = juce::String::fromUTF8 (u8R"(<?xml version="1.0" encoding="ISO-8859-1"?>
<anyRoot>
  <!-- a comment -->
  <version Version="2021062902" extra="1"/>
  <menu>
    <about><LOCAL CPID="0037" name="About the program"/></about>
    <FILE><LOCAL CPID="0037" name="File"/><LOCAL CPID="0936" name="文件"/><LOCAL CPID="1252" name="Fichier"/></FILE>
  </menu>
  <PARA>
    <about><LOCAL CPID="0037" name="About page"/><LOCAL CPID="0936" name="&#20851;&#20110;"/></about>
  </PARA>
  <TIP/>
</anyRoot>
)");

struct EncodedFile
{
    const char* name;
    std::string bytes;
};

inline std::ostream& operator<< (std::ostream& os, const EncodedFile& c) { return os << c.name; }

std::string utf16Bytes (bool littleEndian)
{
    std::u16string units;

    for (auto p = smallDocument.toUTF16(); *p != 0; ++p)
        units += (char16_t) *p;

    return littleEndian ? utf16leWithMark (units) : utf16beWithMark (units);
}

class EncodedLanguageFileTest : public SettingsFixture,
                                public ::testing::WithParamInterface<EncodedFile> {};

TEST_P (EncodedLanguageFileTest, ReadsTheSameWhateverTheHeaderSays)
{
    writeBytes (languageFile(), GetParam().bytes);

    EXPECT_EQ (loadLabelTexts (codePageChinese), 0);
    EXPECT_EQ (MenuLabels[menuFile], utf8 (u8"文件"));
    EXPECT_EQ (PageLabels[pageAbout], utf8 (u8"关于"));
    EXPECT_EQ (MenuLabels[menuAbout], "");     // no Chinese child
    EXPECT_EQ (MenuLabels[menuExit], "");      // no key: no built-in text survives
    EXPECT_EQ (UpdateLabels[updateTips], "");

    EXPECT_EQ (loadLabelTexts (codePageEnglish), 0);
    EXPECT_EQ (MenuLabels[menuAbout], "About the program");
    EXPECT_EQ (PageLabels[pageAbout], "About page");
    EXPECT_EQ (MenuLabels[menuFile], "File");

    EXPECT_EQ (readBytes (languageFile()), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P (Encodings, EncodedLanguageFileTest, ::testing::Values (
    EncodedFile { "Utf8",        smallDocument.toStdString() },
    EncodedFile { "Utf8Mark",    "\xef\xbb\xbf" + smallDocument.toStdString() },
    EncodedFile { "Utf16le",     utf16Bytes (true) },
    EncodedFile { "Utf16be",     utf16Bytes (false) }),
    CaseName());

//==============================================================================
struct Lookup
{
    const char* name;
    const char* section;
    const char* key;
    int codePage;
    const char* expected;
};

inline std::ostream& operator<< (std::ostream& os, const Lookup& c) { return os << c.name; }

class LookupTest : public ::testing::TestWithParam<Lookup> {};

TEST_P (LookupTest, FindsTheFirstMatchingText)
{
    const auto& c = GetParam();
    const auto section = juce::XmlDocument::parse (c.section);
    ASSERT_NE (section, nullptr);

    EXPECT_EQ (lookupLabelText (section.get(), c.key, c.codePage), c.expected);
}

INSTANTIATE_TEST_SUITE_P (Cases, LookupTest, ::testing::Values (
    Lookup { "Plain",          "<S><file><LOCAL CPID=\"936\" name=\"x\"/></file></S>",    "file", 936, "x" },
    Lookup { "KeyCase",        "<S><FILE><LOCAL CPID=\"0936\" name=\"x\"/></FILE></S>",    "file", 936, "x" },
    Lookup { "AnyChildName",   "<S><file><other CPID=\"0936\" name=\"x\"/></file></S>",    "file", 936, "x" },
    Lookup { "LeadingZero",    "<S><file><LOCAL CPID=\"0936\" name=\"x\"/></file></S>",    "file", 936, "x" },
    Lookup { "LeadingBlank",   "<S><file><LOCAL CPID=\" 936\" name=\"x\"/></file></S>",    "file", 936, "x" },
    Lookup { "PlusSign",       "<S><file><LOCAL CPID=\"+936\" name=\"x\"/></file></S>",    "file", 936, "x" },
    Lookup { "TrailingText",   "<S><file><LOCAL CPID=\"936abc\" name=\"x\"/></file></S>",  "file", 936, "x" },
    Lookup { "MoreDigits",     "<S><file><LOCAL CPID=\"9360\" name=\"x\"/></file></S>",    "file", 936, "" },
    Lookup { "Negative",       "<S><file><LOCAL CPID=\"-936\" name=\"x\"/></file></S>",    "file", 936, "" },
    Lookup { "Huge",           "<S><file><LOCAL CPID=\"4294968232\" name=\"x\"/></file></S>", "file", 936, "" },
    Lookup { "NoCpid",         "<S><file><LOCAL name=\"x\"/></file></S>",                  "file", 936, "" },
    Lookup { "CpidCase",       "<S><file><LOCAL cpid=\"936\" name=\"x\"/></file></S>",     "file", 936, "" },
    Lookup { "NameCase",       "<S><file><LOCAL CPID=\"936\" Name=\"x\"/></file></S>",     "file", 936, "" },
    Lookup { "EnglishOnly",    "<S><file><LOCAL CPID=\"0037\" name=\"File\"/></file></S>", "file", 936, "" },
    Lookup { "NoKey",          "<S><exit><LOCAL CPID=\"0936\" name=\"x\"/></exit></S>",    "file", 936, "" },
    Lookup { "FirstKeyOnly",   "<S><file/><file><LOCAL CPID=\"0936\" name=\"x\"/></file></S>", "file", 936, "" },
    Lookup { "FirstChildOnly", "<S><file><LOCAL CPID=\"0037\" name=\"a\"/><LOCAL CPID=\"0936\" name=\"b\"/>"
                               "<LOCAL CPID=\"0037\" name=\"c\"/></file></S>",             "file", 37,  "a" }),
    CaseName());

TEST (LookupWithoutSection, GivesAnEmptyText)
{
    EXPECT_EQ (lookupLabelText (nullptr, "file", 936), "");
}

//==============================================================================
TEST_F (LabelLoaderTest, UnwritableFolderLeavesTheEnglishLabelsEveryTime)
{
    const auto plainFile = temp / "plain";
    writeBytes (plainFile, "not a folder");
    setLanguageFileFolder (plainFile.getChildFile ("exe"));

    for (int call = 0; call < 2; ++call)
    {
        EXPECT_EQ (loadLabelTexts (codePageChinese), -1);
        expectBuiltInEnglish();
    }

    EXPECT_EQ (readBytes (plainFile), "not a folder");
    EXPECT_EQ (fileNamesIn (temp.get()), juce::StringArray ("plain"));
}

TEST_F (LabelLoaderTest, FailedRewriteKeepsTheOldFileWhole)
{
    const auto old = languageDocument ("<Version Version=\"2020\"/>", menuSection + pageSection + tipSection);
    writeBytes (languageFile(), old);

    int result = 0;
    {
        WritesFail full;
        result = loadLabelTexts (codePageChinese);
    }

    EXPECT_EQ (result, -1);
    expectBuiltInEnglish();
    EXPECT_EQ (readBytes (languageFile()), old);
    EXPECT_EQ (fileNamesIn (exeFolder()), juce::StringArray ("language.xml"));

    EXPECT_EQ (loadLabelTexts (codePageChinese), -1);
    EXPECT_EQ (readBytes (languageFile()), defaultLanguageBytes());
}
