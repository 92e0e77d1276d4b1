// A device that stops answering part-way: each unanswered sub-command costs
// three attempts of about 5 s, so these cases live in a binary of their own.
#include "DeviceFixture.h"

struct SilentStep
{
    const char* name;
    const char* silentFrom;   // commands of a one-block transfer: 1 search, 2 begin, 3 prepare,
                              // 4 block, 5 commit, 6 end of data, 7 its commit, 8 verify
    int verifiesSent;
    std::vector<juce::String> lastLines;   // from the first of them on
};

class TransferTimeout : public DeviceFixture, public ::testing::WithParamInterface<SilentStep> {};

TEST_P (TransferTimeout, UnansweredSubCommandFailsTheTransfer)
{
    const auto& c = GetParam();
    startDevice ({ "--name", "ABCD1234", "--silent-from", c.silentFrom });
    startTransfer (writeFile ("example.dsb", exampleFile()));

    ASSERT_TRUE (waitForOutcomes (1, 60000)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FAILED), 1);
    EXPECT_TRUE (linesFromAre (c.lastLines));
    EXPECT_EQ (device->countEvents ("verify"), c.verifiesSent);

    // The page was told to forget the device after the third attempt, and
    // heard of the device nothing else before the failure.
    EXPECT_TRUE (noticesFromAre ({ NOTIFY_DEVICE_INFO, NOTIFY_DEVICE_CLEAR, NOTIFY_FAILED }));
}

INSTANTIATE_TEST_SUITE_P (Steps, TransferTimeout, ::testing::Values (
    SilentStep { "CommitOfTheEndOfData", "7", 0,
                 { "Try Fail!", "Firmware Verify ...", "Firmware download fail!", "Waiting flag ..." } },
    SilentStep { "Verify", "8", 3,
                 { "Firmware Verify ...", "Try Fail!", "Firmware download fail!", "Waiting flag ..." } }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });
