#include "SimFrame.h"

#include <gtest/gtest.h>

using sim::HostInput;

namespace
{
std::vector<HostInput> readAll (char start, const std::string& stream)
{
    sim::FrameReader reader (start);
    std::vector<HostInput> out;

    for (auto c : stream)
        reader.feed ((std::uint8_t) c, out);

    return out;
}
}

//==============================================================================
struct WorkedFrame
{
    char start;
    std::uint8_t code;
    std::vector<std::uint8_t> data;
    bool lowerCase;
    std::string frame;
};

// The worked frames of the protocol, as the device writes and reads them.
const WorkedFrame workedFrames[] = {
    { '$', 0x01, {}, false, "$0101E6\r\n" },
    { '&', 0x01, {}, false, "&0101E8\r\n" },
    { '*', 0x01, {}, false, "*0101EC\r\n" },
    { '#', 0x01, {}, false, "#0101E5\r\n" },
    { '$', 0x80, { 0x00, 0x13, 0x88, 0, 0, 0, 0 }, false, "$088000138800000000A8\r\n" },
    { '$', 0x80, { 0xF2, 0, 0, 0, 0, 0, 0 }, false, "$0880F2000000000000AC\r\n" },
    { '$', 0x80, { 0x03, 0, 0, 0, 0, 0, 0 }, false, "$08800300000000000097\r\n" },
    { '$', 0x80, { 0x01, 0, 0, 0, 0, 0, 0 }, false, "$08800100000000000095\r\n" },
    { '$', 0x80, { 0xF7, 0x00, 0x07, 0, 0, 0, 0 }, false, "$0880F7000700000000B8\r\n" },
    { '$', 0x01, { 0xAB }, false, "$0201AB6A\r\n" },
    { '$', 0x01, { 0xAB }, true, "$0201abAA\r\n" },
    { '$', 0x80, {}, false, "$0180ED\r\n" },
};

TEST (SimFrame, EncodesTheWorkedFrames)
{
    for (const auto& w : workedFrames)
        EXPECT_EQ (sim::encodeFrame (w.start, w.code, w.data, w.lowerCase), w.frame);
}

TEST (SimFrame, ReadsTheWorkedFrames)
{
    for (const auto& w : workedFrames)
    {
        const auto got = readAll (w.start, w.frame);
        ASSERT_EQ (got.size(), 1u) << w.frame;
        EXPECT_EQ (got[0].kind, HostInput::Kind::frame) << w.frame;
        EXPECT_EQ (got[0].code, w.code) << w.frame;
        EXPECT_EQ (got[0].data, w.data) << w.frame;
        EXPECT_EQ (got[0].characters, w.frame.size()) << w.frame;
    }
}

TEST (SimFrame, SeventyOneDataBytesMakeA151CharacterFrame)
{
    const std::vector<std::uint8_t> data (71, 0x5A);
    const auto frame = sim::encodeFrame ('$', 0x80, data);

    EXPECT_EQ (frame.size(), 151u);
    EXPECT_EQ (frame.substr (1, 4), "4880");

    const auto got = readAll ('$', frame);
    ASSERT_EQ (got.size(), 1u);
    EXPECT_EQ (got[0].data, data);
}

TEST (SimFrame, StartCharactersOfTheFourAddresses)
{
    EXPECT_EQ (sim::startCharacterFor (0), '&');
    EXPECT_EQ (sim::startCharacterFor (1), '*');
    EXPECT_EQ (sim::startCharacterFor (2), '#');
    EXPECT_EQ (sim::startCharacterFor (3), '$');
    EXPECT_EQ (sim::startCharacterFor (4), 0);
}

//==============================================================================
TEST (SimFrameReader, SortsPollsFramesAndEverythingElse)
{
    using K = HostInput::Kind;

    struct Case
    {
        const char* what;
        std::string stream;
        std::vector<K> expected;
    };

    const Case cases[] = {
        { "polls", "QQQ", { K::poll, K::poll, K::poll } },
        { "polls around a frame", "QQ$0101E6\r\nQ", { K::poll, K::poll, K::frame, K::poll } },
        { "another address", "&0101E8\r\n", {} },
        { "stray bytes", "xyz\r\n!R", {} },
        { "bad checksum", "$0101E7\r\n", { K::badFrame } },
        { "lower-case data, upper-case checksum", "$0201ab6A\r\n", { K::badFrame } },
        { "no CR LF", "$0101E6xx", { K::badFrame } },
        { "LL 00 has no code", "$0084\r\n", { K::badFrame } },
        { "a poll cuts a frame short", "$01Q", { K::badFrame, K::poll } },
        { "a new start character restarts", "$01$0101E6\r\n", { K::badFrame, K::frame } },
    };

    for (const auto& c : cases)
    {
        std::vector<K> kinds;

        for (const auto& input : readAll ('$', c.stream))
            kinds.push_back (input.kind);

        EXPECT_EQ (kinds, c.expected) << c.what;
    }
}

TEST (SimFrameReader, AFrameCutAnywhereStillReads)
{
    const std::string frame = "$088000138800000000A8\r\n";

    for (size_t cut = 1; cut < frame.size(); ++cut)
    {
        sim::FrameReader reader ('$');
        std::vector<HostInput> out;

        for (auto c : frame.substr (0, cut))
            reader.feed ((std::uint8_t) c, out);

        EXPECT_TRUE (out.empty()) << cut;

        for (auto c : frame.substr (cut))
            reader.feed ((std::uint8_t) c, out);

        ASSERT_EQ (out.size(), 1u) << cut;
        EXPECT_EQ (out[0].kind, HostInput::Kind::frame);
    }
}

TEST (SimFrameReader, ResetForgetsAHalfFrame)
{
    sim::FrameReader reader ('$');
    std::vector<HostInput> out;

    for (auto c : std::string ("$0880001388"))
        reader.feed ((std::uint8_t) c, out);

    reader.reset();

    for (auto c : std::string ("0000A8\r\n$0101E6\r\n"))
        reader.feed ((std::uint8_t) c, out);

    ASSERT_EQ (out.size(), 1u);
    EXPECT_EQ (out[0].kind, HostInput::Kind::frame);
    EXPECT_EQ (out[0].code, 0x01);
}
