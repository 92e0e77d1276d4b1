// Block numbers and the verify's block count travel as 16 bits: a file of
// more blocks than that can count is refused before anything is sent.
#include "DeviceFixture.h"

namespace
{
struct BlockLimit
{
    const char* name;
    size_t imageBytes;
    bool sent;
};

inline std::ostream& operator<< (std::ostream& os, const BlockLimit& c) { return os << c.name; }

class BlockLimitTest : public DeviceFixture,
                       public ::testing::WithParamInterface<BlockLimit> {};

TEST_P (BlockLimitTest, OnlyCountsThatFitSixteenBitsAreSent)
{
    const auto& c = GetParam();
    const auto blocks = (c.imageBytes + 63) / 64;

    // Silent from the second block on (1 search, 2 begin, 3 prepare, 4 block,
    // 5 commit): a file that is sent fails there instead of running to its end.
    startDevice ({ "--name", "LIMIT001", "--silent-from", "6" });
    const auto file = dsb::makeFile ("LIMIT001", dsb::randomImage (c.imageBytes, 9));
    startTransfer (writeFile ("limit.dsb", file));

    if (c.sent)
    {
        ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
        EXPECT_TRUE (log.hasLine ("Start firmware download..."));
        EXPECT_TRUE (device->countEvents ("command device=1 sub=") >= 3);
        EXPECT_EQ (log.lines ({ LOG_ERROR }), std::vector<juce::String>());
    }
    else
    {
        ASSERT_TRUE (waitFor ([&] { return log.countLines ("Waiting flag ...") >= 2 || log.hasLine ("Start firmware download..."); }))
            << log.describe();
        EXPECT_FALSE (log.hasLine ("Start firmware download...")) << "a file of " << blocks << " blocks was sent";
        EXPECT_EQ (log.lines ({ LOG_ERROR }), (std::vector<juce::String> {
            "Firmware file too large! :" + juce::String ((int) blocks) + " blocks." }));
        EXPECT_EQ (device->countEvents ("command"), 0);
        EXPECT_EQ (outcomes(), 0);
    }

    // Idle before the worker goes: each new announcement would load and sum the file again.
    stop();
    ASSERT_TRUE (waitForNotice (NOTIFY_PORT_CLOSED, 1, 60000)) << log.describe();
}

INSTANTIATE_TEST_SUITE_P (Counts, BlockLimitTest, ::testing::Values (
    BlockLimit { "LargestCount", 65535 * 64, true },
    BlockLimit { "OneByteIntoBlock65536", 65535 * 64 + 1, false },
    BlockLimit { "Exactly65536Blocks", 65536 * 64, false }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });
}
