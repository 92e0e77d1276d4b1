// The reader for XML written by someone else: what it accepts, and the
// hostile documents it must refuse without crashing or reading out of bounds.
#include "SettingsFixture.h"

#include "GuardedXml.h"

namespace
{
juce::MemoryBlock blockOf (const std::string& bytes)
{
    return { bytes.data(), bytes.size() };
}

std::string repeated (const std::string& s, int n)
{
    std::string out;

    for (int k = 0; k < n; ++k)
        out += s;

    return out;
}

std::string nested (int depth, const std::string& inner = {})
{
    return repeated ("<a>", depth) + inner + repeated ("</a>", depth);
}

struct Accepted
{
    const char* name;
    std::string bytes;
    juce::String expectedName;   // attribute "v" of the root's first child
};

class GuardedXmlAccepts : public ::testing::TestWithParam<Accepted> {};

TEST_P (GuardedXmlAccepts, DocumentReadsWithItsText)
{
    const auto root = parseGuardedXml (blockOf (GetParam().bytes));
    ASSERT_NE (root, nullptr);
    ASSERT_NE (root->getFirstChildElement(), nullptr);
    EXPECT_EQ (root->getFirstChildElement()->getStringAttribute ("v"), GetParam().expectedName);
}

const juce::String floppy = juce::String::charToString ((juce::juce_wchar) 0x1F4BE);
const juce::String wenjian = juce::String::charToString ((juce::juce_wchar) 0x6587) + juce::String::charToString ((juce::juce_wchar) 0x4EF6);

INSTANTIATE_TEST_SUITE_P (Encodings, GuardedXmlAccepts, ::testing::Values (
    Accepted { "Utf8WithoutMark", "<r><c v=\"\xe6\x96\x87\xe4\xbb\xb6\"/></r>", wenjian },
    Accepted { "Utf8WithMark", "\xef\xbb\xbf<r><c v=\"\xf0\x9f\x92\xbe\"/></r>", floppy },
    Accepted { "Utf16LittleEndian", utf16leWithMark (u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r><c v=\"\U0001F4BE\"/></r>\r\n"), floppy },
    Accepted { "Utf16BigEndian", utf16beWithMark (u"<r><c v='\u6587\u4EF6'/></r>"), wenjian },
    Accepted { "References", "<r><c v=\"&#25991;&#x4EF6;\"/></r>", wenjian },
    Accepted { "ReferenceBeyondBmp", "<r><c v=\"&#128190;\"/></r>", floppy },
    Accepted { "PredefinedEntities", "<r><c v=\"&lt;&gt;&amp;&quot;&apos;\"/></r>", "<>&\"'" },
    Accepted { "CommentsCdataAndInstructions",
               "<?xml version=\"1.0\"?><!-- x --><?pi a?><r><!-- <q> --><c v=\"1\"/><![CDATA[<b><b>]]><!-- -->t&amp;</r><!-- end -->\n",
               "1" }),
    CaseName());

// Depth counts the root as 1, so a child of 63 open elements is the deepest allowed.
TEST (GuardedXml, NestingUpToTheBoundIsReadDeeperIsRefused)
{
    const auto deepest = "<r>" + nested (maxGuardedXmlDepth - 2, "<c/>") + "</r>";
    EXPECT_NE (parseGuardedXml (blockOf (deepest)), nullptr);

    const auto tooDeep = "<r>" + nested (maxGuardedXmlDepth - 1, "<c/>") + "</r>";
    EXPECT_EQ (parseGuardedXml (blockOf (tooDeep)), nullptr);
    EXPECT_EQ (parseGuardedXml (blockOf ("<r>" + nested (maxGuardedXmlDepth) + "</r>")), nullptr);
}

TEST (GuardedXml, SizeUpToTheBoundIsReadLargerIsRefused)
{
    const std::string head = "<r><c v='1'/><!--", tail = "--></r>";
    const auto atBound = head + std::string (maxGuardedXmlBytes - head.size() - tail.size(), 'x') + tail;
    EXPECT_NE (parseGuardedXml (blockOf (atBound)), nullptr);

    const auto overBound = head + std::string (maxGuardedXmlBytes + 1 - head.size() - tail.size(), 'x') + tail;
    EXPECT_EQ (parseGuardedXml (blockOf (overBound)), nullptr);
}

struct Refused
{
    const char* name;
    std::string bytes;
};

class GuardedXmlRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P (GuardedXmlRefuses, DocumentIsUnreadable)
{
    EXPECT_EQ (parseGuardedXml (blockOf (GetParam().bytes)), nullptr);
}

INSTANTIATE_TEST_SUITE_P (Hostile, GuardedXmlRefuses, ::testing::Values (
    Refused { "Nesting30000Deep", "<r>" + nested (30000) + "</r>" },
    Refused { "RecursiveEntity", "<!DOCTYPE r [<!ENTITY a \"x&a;\">]><r><Version Version=\"&a;\"/></r>" },
    Refused { "TruncatedLeadByteAtEnd", "<r><Version Version=\"2021062902\"/>\xe4" },
    Refused { "DoctypeWithoutEntities", "<!DOCTYPE r><r/>" },
    Refused { "UndeclaredEntity", "<r v='&a;'/>" },
    Refused { "EntityNameHoldingTags", "<r>&" + repeated ("<a>", 100) + ";</r>" },
    Refused { "ReferenceToNul", "<r v='&#0;'/>" },
    Refused { "EmptyHexReference", "<r v='&#x;'/>" },
    Refused { "ReferenceToSurrogate", "<r v='&#xD800;'/>" },
    Refused { "ReferenceBeyondUnicode", "<r v='&#x110000;'/>" },
    Refused { "UnterminatedReference", "<r>&#65</r>" },
    Refused { "RawNul", std::string ("<r v='a\0b'/>", 12) },
    Refused { "OverlongUtf8", "<r v='\xc0\xaf'/>" },
    Refused { "EncodedSurrogateUtf8", "<r v='\xed\xa0\x80'/>" },
    Refused { "StrayContinuationByte", "<r v='\x80'/>" },
    Refused { "Utf16OddLength", utf16leWithMark (u"<r/>") + "x" },
    Refused { "Utf16LoneHighSurrogate", utf16leWithMark (u"<r v='") + std::string ("\x00\xd8", 2) + utf16leWithMark (u"'/>").substr (2) },
    Refused { "Utf16LoneLowSurrogate", utf16leWithMark (u"<r v='") + std::string ("\x00\xdc", 2) + utf16leWithMark (u"'/>").substr (2) },
    Refused { "Utf16HighSurrogateAtEnd", utf16leWithMark (u"<r/>") + std::string ("\x00\xd8", 2) },
    Refused { "Empty", "" },
    Refused { "TextOnly", "hello" },
    Refused { "UnclosedRoot", "<r><c/>" },
    Refused { "MismatchedClose", "<r><a></b></r>" },
    Refused { "TextAfterRoot", "<r/>junk" },
    Refused { "SecondRoot", "<r/><r/>" },
    Refused { "LessThanInAttribute", "<r v='<a>'/>" },
    Refused { "UnterminatedQuote", "<r v='x/>" + repeated ("<a>", 100) },
    Refused { "UnterminatedComment", "<r><!-- </r>" },
    Refused { "AttributeWithoutQuotes", "<r v=1/>" },
    Refused { "InstructionBeforeTextInsideRoot", "<r><?x?>t</r>" }),
    CaseName());

class GuardedXmlFile : public SettingsFixture {};

TEST_F (GuardedXmlFile, MissingFolderOrOversizedFileIsUnreadable)
{
    EXPECT_EQ (readGuardedXmlFile (temp / "missing.xml"), nullptr);
    EXPECT_EQ (readGuardedXmlFile (temp.get()), nullptr);

    // Refused by its size before it is read: a sparse file of 4 GiB.
    const auto huge = temp / "huge.xml";
    writeBytes (huge, "<r/>");
    {
        juce::FileOutputStream out (huge);
        ASSERT_TRUE (out.openedOk());
        ASSERT_TRUE (out.setPosition ((juce::int64) 4 << 30));
        ASSERT_TRUE (out.writeByte (' '));
    }
    EXPECT_EQ (readGuardedXmlFile (huge), nullptr);

    const auto good = temp / "good.xml";
    writeBytes (good, "<r><c v='1'/></r>");
    EXPECT_NE (readGuardedXmlFile (good), nullptr);
}
}
