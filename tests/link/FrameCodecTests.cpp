#include "FrameCodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
struct AddressScope
{
    explicit AddressScope (char c) : saved (DeviceAddressChar.load()) { DeviceAddressChar = c; }
    ~AddressScope() { DeviceAddressChar = saved; }
    std::int32_t saved;
};

std::string build (std::uint8_t command, const std::vector<std::uint8_t>& data)
{
    std::uint8_t buffer[frameBufferSize] = {};
    const int length = buildFrame (buffer, command, data.data(), (int) data.size());
    return std::string (reinterpret_cast<const char*> (buffer), (size_t) length);
}

struct Parser
{
    Parser() { std::memset (&ring, 0, sizeof ring); std::memset (&reply, 0, sizeof reply); }

    void put (const std::string& s) { ringPut (ring, reinterpret_cast<const std::uint8_t*> (s.data()), (int) s.size()); }
    int parse() { return parseFrame (ring, reply); }
    std::vector<std::uint8_t> bytes() const { return { reply.bytes, reply.bytes + reply.count }; }

    RxRing ring;
    ReplyRecord reply;
};

const std::string crlf = "\r\n";
}

//==============================================================================
struct BuiltFrame
{
    char address;
    std::uint8_t command;
    std::vector<std::uint8_t> data;
    std::string expected;
};

class BuildFrameTest : public ::testing::TestWithParam<BuiltFrame> {};

TEST_P (BuildFrameTest, MatchesTheWorkedFrame)
{
    const auto& c = GetParam();
    AddressScope address (c.address);
    const auto frame = build (c.command, c.data);

    EXPECT_EQ (frame, c.expected + crlf);
    EXPECT_EQ (frame.size(), 2 * c.data.size() + 9);
}

INSTANTIATE_TEST_SUITE_P (WorkedFrames, BuildFrameTest, ::testing::Values (
    BuiltFrame { '$', 0x01, {}, "$0101E6" },
    BuiltFrame { '&', 0x01, {}, "&0101E8" },
    BuiltFrame { '*', 0x01, {}, "*0101EC" },
    BuiltFrame { '#', 0x01, {}, "#0101E5" },
    BuiltFrame { '$', 0x80, { 0x00, 0x13, 0x88, 0, 0, 0, 0 }, "$088000138800000000A8" },
    BuiltFrame { '$', 0x80, { 0xF2, 0, 0, 0, 0, 0, 0 }, "$0880F2000000000000AC" },
    BuiltFrame { '$', 0x80, { 0x03, 0, 0, 0, 0, 0, 0 }, "$08800300000000000097" },
    BuiltFrame { '$', 0x80, { 0x01, 0, 0, 0, 0, 0, 0 }, "$08800100000000000095" },
    BuiltFrame { '$', 0x80, { 0xF7, 0x00, 0x07, 0, 0, 0, 0 }, "$0880F7000700000000B8" },
    BuiltFrame { '$', 0x01, { 0xAB }, "$0201AB6A" }));

TEST (BuildFrame, SeventyOneDataBytesGiveLL48And151Characters)
{
    AddressScope address ('$');
    const auto frame = build (0x80, std::vector<std::uint8_t> (71, 0x5A));

    EXPECT_EQ (frame.size(), 151u);
    EXPECT_EQ (frame.substr (1, 4), "4880");
    EXPECT_EQ (frame.substr (149), crlf);
}

TEST (BuildFrame, ReadsTheAddressAtEveryBuild)
{
    AddressScope address ('$');
    EXPECT_EQ (build (0x01, {}), "$0101E6" + crlf);
    DeviceAddressChar = '&';
    EXPECT_EQ (build (0x01, {}), "&0101E8" + crlf);
}

//==============================================================================
TEST (HexPairToByte, DecodesDigitsOfEitherCaseAndOtherCharactersByTheirCode)
{
    struct Case { char high, low; std::uint8_t expected; };
    const Case cases[] = {
        { '0', '0', 0x00 }, { '9', '9', 0x99 }, { 'A', 'b', 0xAB }, { 'f', 'F', 0xFF },
        { 'G', '1', 0x71 }, { 'z', 'z', 0x1A }, { '\r', '\n', 0xDA },
    };

    for (const auto& c : cases)
        EXPECT_EQ (hexPairToByte ((std::uint8_t) c.high, (std::uint8_t) c.low), c.expected)
            << c.high << c.low;
}

TEST (NibbleToHexChar, GivesUpperCaseDigits)
{
    const std::string digits = "0123456789ABCDEF";

    for (int v = 0; v < 16; ++v)
        EXPECT_EQ (nibbleToHexChar (v), (std::uint8_t) digits[(size_t) v]);
}

//==============================================================================
struct ParsedFrame
{
    const char* name;
    std::string stream;
    int result;
    std::vector<std::uint8_t> bytes;  // the accepted frame's code and data
};

class ParseFrameTest : public ::testing::TestWithParam<ParsedFrame> {};

TEST_P (ParseFrameTest, GivesTheResultAndBytes)
{
    const auto& c = GetParam();
    AddressScope address ('$');
    Parser p;
    p.put (c.stream);

    EXPECT_EQ (p.parse(), c.result);

    if (c.result == 0)
    {
        EXPECT_EQ (p.reply.framesParsed, 1);
        EXPECT_EQ (p.bytes(), c.bytes);
    }
    else
    {
        EXPECT_EQ (p.reply.framesParsed, 0);
        EXPECT_EQ (p.reply.count, 0);
    }
}

INSTANTIATE_TEST_SUITE_P (Frames, ParseFrameTest, ::testing::Values (
    ParsedFrame { "UpperCase",                 "$0201AB6A\r\n",          0, { 0x01, 0xAB } },
    ParsedFrame { "LowerCaseWithItsOwnSum",    "$0201abAA\r\n",          0, { 0x01, 0xAB } },
    ParsedFrame { "LowerCaseWithUpperSum",     "$0201ab6A\r\n",         -1, {} },
    ParsedFrame { "CodeWithoutData",           "$0180ED\r\n",            0, { 0x80 } },
    ParsedFrame { "LengthZero",                "$0084\r\n",              0, {} },
    ParsedFrame { "WrongChecksum",             "$0180EE\r\n",           -1, {} },
    ParsedFrame { "MissingLineFeed",           "$0180ED\rX",            -1, {} },
    ParsedFrame { "LineEndsSwapped",           "$0180ED\n\r",           -1, {} },
    ParsedFrame { "OtherAddress",              "&0180EF\r\n",           -1, {} },
    ParsedFrame { "NoStartCharacter",          "0180ED\r\n",            -1, {} },
    ParsedFrame { "IncompleteTail",            "$0201AB6A\r",           -4, {} },
    ParsedFrame { "OnlyTheStart",              "$",                     -4, {} },
    ParsedFrame { "GarbageBeforeTheFrame",     "xx\r\n&01$0180ED\r\n",   0, { 0x80 } },
    ParsedFrame { "TwoFramesOnlySecondCounts", "$0201AB6A\r\n$0180ED\r\n", 0, { 0x80 } },
    ParsedFrame { "NonHexDecodedByCode",       "$0201G15F\r\n",          0, { 0x01, 0x71 } }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (ParseFrame, NothingUnreadGivesMinusOne)
{
    AddressScope address ('$');
    Parser p;
    EXPECT_EQ (p.parse(), -1);
}

TEST (ParseFrame, TwoFramesAtOnceDisableTheFirstStart)
{
    AddressScope address ('$');
    Parser p;
    p.put ("$0201AB6A\r\n$0180ED\r\n");

    ASSERT_EQ (p.parse(), 0);
    EXPECT_EQ (p.ring.buf[0], (std::uint8_t) ('$' | 0x80));
    EXPECT_EQ (p.ring.buf[11], (std::uint8_t) ('$' | 0x80));
    EXPECT_EQ (p.ring.tail, 0);  // at the last start that was disabled
    EXPECT_EQ (p.parse(), -1);
    EXPECT_EQ (p.reply.framesParsed, 1);
}

TEST (ParseFrame, IncompleteFrameStaysLiveAndTheEarlierCompleteOneIsLost)
{
    AddressScope address ('$');
    Parser p;
    p.put ("$0180ED\r\n$02");

    EXPECT_EQ (p.parse(), -4);
    EXPECT_EQ (p.ring.buf[9], (std::uint8_t) '$');
    EXPECT_EQ (p.reply.framesParsed, 0);

    p.put ("01AB6A\r\n");
    ASSERT_EQ (p.parse(), 0);
    EXPECT_EQ (p.bytes(), (std::vector<std::uint8_t> { 0x01, 0xAB }));
    EXPECT_EQ (p.reply.framesParsed, 1);
}

TEST (ParseFrame, CharacterByCharacterArrivalIsAcceptedAtTheLastOne)
{
    AddressScope address ('$');
    Parser p;
    const std::string frame = "$0201AB6A\r\n";

    for (size_t i = 0; i + 1 < frame.size(); ++i)
    {
        p.put (frame.substr (i, 1));
        EXPECT_EQ (p.parse(), -4) << "after " << i + 1 << " characters";
    }

    p.put (frame.substr (frame.size() - 1));
    EXPECT_EQ (p.parse(), 0);
}

TEST (ParseFrame, RejectedFrameIsNotDecodedAgain)
{
    AddressScope address ('$');
    Parser p;
    p.put ("$0201AB6B\r\n");

    EXPECT_EQ (p.parse(), -1);
    EXPECT_EQ (p.reply.bytes[1], 0xAB);  // decoded bytes stay, counters do not move
    p.reply.bytes[1] = 0;
    EXPECT_EQ (p.parse(), -1);
    EXPECT_EQ (p.reply.bytes[1], 0);
    EXPECT_EQ (p.reply.framesParsed, 0);
}

TEST (ParseFrame, OtherAddressLeavesTailAtHead)
{
    AddressScope address ('$');
    Parser p;
    p.put ("&0180EF\r\n");

    EXPECT_EQ (p.parse(), -1);
    EXPECT_EQ (p.ring.tail, p.ring.head);
}

TEST (ParseFrame, FrameAcrossTheEndOfTheRingIsAccepted)
{
    AddressScope address ('$');
    Parser p;
    p.ring.head = p.ring.tail = 1020;
    p.put ("$0201AB6A\r\n");

    EXPECT_EQ (p.ring.head, 7);
    ASSERT_EQ (p.parse(), 0);
    EXPECT_EQ (p.bytes(), (std::vector<std::uint8_t> { 0x01, 0xAB }));
    EXPECT_EQ (p.ring.buf[1020], (std::uint8_t) ('$' | 0x80));
}

TEST (ParseFrame, LongReplyWrapsInsideTheRecord)
{
    AddressScope address ('$');
    std::vector<std::uint8_t> data (140);

    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (std::uint8_t) i;

    Parser p;
    p.put (build (0x80, data));
    ASSERT_EQ (p.parse(), 0);
    EXPECT_EQ (p.reply.count, 141);
    EXPECT_EQ (p.reply.bytes[0], data[127]);   // byte 128 of the frame wrapped to index 0
    EXPECT_EQ (p.reply.bytes[12], data[139]);
    EXPECT_EQ (p.reply.bytes[13], data[12]);
}

TEST (ParseFrame, EveryAddressRoundTrips)
{
    for (char c : { '&', '*', '#', '$' })
    {
        AddressScope address (c);
        Parser p;
        p.put (build (0x05, { 1, 2, 3 }));
        ASSERT_EQ (p.parse(), 0) << c;
        EXPECT_EQ (p.bytes(), (std::vector<std::uint8_t> { 5, 1, 2, 3 }));
    }
}
