#include "DsbFile.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST (DsbFile, TheSeventeenByteExample)
{
    const dsb::Bytes expected { 0x00, 0x00, 0x01, 0xE3, 'A', 'B', 'C', 'D', '1', '2', '3', '4', 1, 2, 3, 4, 5 };
    const auto file = dsb::makeFile ("ABCD1234", { 1, 2, 3, 4, 5 });

    EXPECT_EQ (file, expected);
    EXPECT_TRUE (dsb::checksumHolds (file));
}

TEST (DsbFile, WrongChecksumIsOffByOne)
{
    const auto good = dsb::makeFile ("ABCD1234", { 1, 2, 3, 4, 5 });
    const auto bad = dsb::makeFile ("ABCD1234", { 1, 2, 3, 4, 5 }, false);

    EXPECT_FALSE (dsb::checksumHolds (bad));
    EXPECT_EQ (bad[3], 0xE4);
    EXPECT_TRUE (std::equal (good.begin() + 4, good.end(), bad.begin() + 4));
}

TEST (DsbFile, ChecksumCarriesAcrossBytesAndWraps)
{
    // Enough 0xFF bytes for the sum to reach its top byte.
    const auto file = dsb::makeFile (std::string (8, '\xff'), dsb::Bytes (70000, 0xFF));
    EXPECT_TRUE (dsb::checksumHolds (file));
    EXPECT_EQ (dsb::byteSum (file.data() + 4, file.size() - 4), 70008u * 0xFFu);
    EXPECT_EQ (file[0], 0x01);
}

TEST (DsbFile, ShortTagsArePaddedAndLongOnesRefused)
{
    const auto file = dsb::makeFile ("AB", {});
    EXPECT_EQ (file.size(), 12u);
    EXPECT_EQ (dsb::Bytes (file.begin() + 4, file.end()), (dsb::Bytes { 'A', 'B', 0, 0, 0, 0, 0, 0 }));

    EXPECT_THROW (dsb::makeFile ("ABCD12345", {}), std::invalid_argument);
}

TEST (DsbFile, RandomImagesFollowTheirSeed)
{
    EXPECT_EQ (dsb::randomImage (1000, 7), dsb::randomImage (1000, 7));
    EXPECT_NE (dsb::randomImage (1000, 7), dsb::randomImage (1000, 8));
    EXPECT_EQ (dsb::randomImage (0, 7).size(), 0u);
}

TEST (DsbFile, ImageAsSentIsPaddedToWholeBlocks)
{
    struct Case { size_t image; size_t sent; };

    for (const auto c : { Case { 0, 0 }, Case { 1, 64 }, Case { 64, 64 }, Case { 65, 128 }, Case { 200, 256 } })
    {
        const auto image = dsb::randomImage (c.image, 3);
        const auto sent = dsb::imageAsSent (dsb::makeFile ("T", image));

        ASSERT_EQ (sent.size(), c.sent) << c.image;
        EXPECT_TRUE (std::equal (image.begin(), image.end(), sent.begin())) << c.image;
        EXPECT_TRUE (std::all_of (sent.begin() + (std::ptrdiff_t) c.image, sent.end(), [] (auto b) { return b == 0; })) << c.image;
    }
}
