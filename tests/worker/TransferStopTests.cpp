// Cancel, Stop, a vanishing device and quitting, in the middle of a transfer.
#include "DeviceFixture.h"

using TransferStop = DeviceFixture;

namespace
{
    bool isProgress (const juce::String& line) { return line.contains ("Firmware download :"); }
}

TEST_F (TransferStop, CancelWhileAReplyIsAwaitedFailsAtOnce)
{
    // The device stops answering at the first block: without the cancel the
    // host would wait three times 5 s for it.
    startDevice ({ "--name", "CANCEL01", "--silent-from", "4" });
    startTransfer (writeFile ("cancel.dsb", dsb::makeFile ("CANCEL01", dsb::randomImage (500, 20))));

    ASSERT_TRUE (device->waitForEvent ("command device=1 sub=01", 20000));
    ASSERT_TRUE (waitForLine ("Start firmware download..."));
    postJob (payload::makeCancel());

    // Well before the first attempt's own 5 s time-out.
    ASSERT_TRUE (waitForOutcomes (1, 4000)) << "the cancel did not cut the wait short\n" << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FAILED), 1);
    EXPECT_EQ (linesFrom ("Try Fail!"), (std::vector<juce::String> {
        "Try Fail!", "Firmware Verify ...", "Firmware download fail!", "Waiting flag ..." }));
    EXPECT_EQ (device->countEvents ("command device=1 sub=01"), 3);   // the block, three times
}

TEST_F (TransferStop, CancelBetweenBlocksEndsWithoutCounting)
{
    // The cancel lands between two exchanges or while one waits for its
    // reply; the reply to a quick device usually still arrives, and the
    // transfer then stops before its next block. Try a few times to see it.
    startDevice ({ "--name", "CANCEL02" });
    const auto file = writeFile ("cancel.dsb", dsb::makeFile ("CANCEL02", dsb::randomImage (1024 * 1024, 21)));
    bool sawCancel = false;

    for (int run = 0; run < 5 && ! sawCancel; ++run)
    {
        log.clear();
        startTransfer (file);
        ASSERT_TRUE (waitFor ([&] { auto l = log.lines ({ LOG_INFO }); return std::any_of (l.begin(), l.end(), isProgress); }));
        postJob (payload::makeCancel());

        ASSERT_TRUE (waitFor ([&] { return log.hasLine ("Firmware cancel!") || outcomes() > 0; }, 30000)) << log.describe();
        EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 0);

        if (log.hasLine ("Firmware cancel!"))
        {
            sawCancel = true;
            ASSERT_TRUE (waitForLine ("Waiting flag ...", 2));
            EXPECT_EQ (log.lines ({ LOG_DONE }), (std::vector<juce::String> { "Firmware cancel!" }));
            EXPECT_FALSE (log.hasLine ("Firmware Verify ..."));
            EXPECT_EQ (outcomes(), 0);
            const auto after = linesFrom ("Firmware cancel!");
            EXPECT_EQ (std::vector<juce::String> (after.begin(), after.begin() + 2),
                       (std::vector<juce::String> { "Firmware cancel!", "Waiting flag ..." }));
        }

        // The device announces itself again, and a new transfer may have begun.
        stop();
        ASSERT_TRUE (waitForNotice (NOTIFY_PORT_CLOSED, 1, 300000));
    }

    EXPECT_TRUE (sawCancel);
}

TEST_F (TransferStop, StopDuringATransferClosesWhenItHasEnded)
{
    startDevice ({ "--name", "STOPLATE", "--baud", "921600" });
    const auto file = dsb::makeFile ("STOPLATE", dsb::randomImage (8 * 1024, 22));
    startTransfer (writeFile ("stop.dsb", file));

    ASSERT_TRUE (waitFor ([&] { auto l = log.lines ({ LOG_INFO }); return std::any_of (l.begin(), l.end(), isProgress); }));
    stop();

    ASSERT_TRUE (waitForNotice (NOTIFY_PORT_CLOSED, 1, 60000)) << log.describe();
    EXPECT_EQ (linesFrom ("Firmware Verify ..."), (std::vector<juce::String> {
        "Firmware Verify ...", "Firmware download finish!", "COM close" }));
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1);
    EXPECT_EQ (bytesOf (device->image (1)), dsb::imageAsSent (file));

    const auto notices = log.notices();
    EXPECT_EQ (std::vector<int> (notices.end() - 2, notices.end()), (std::vector<int> { NOTIFY_PORT_CLOSED, NOTIFY_DEVICE_CLEAR }));
    runMessagesFor (50);
    EXPECT_EQ (worker->currentState(), ST_CLOSED);
}

TEST_F (TransferStop, StopBeforeTheTransferTookItsPathGivesThePathError)
{
    // The search is answered only on its second attempt: the Stop lands while
    // the device is being searched.
    startDevice ({ "--name", "ABCD1234", "--retry", "1", "--baud", "9600" });
    startTransfer (writeFile ("example.dsb", exampleFile()));

    ASSERT_TRUE (device->waitForEvent ("search device=1"));
    stop();

    ASSERT_TRUE (waitForNotice (NOTIFY_PORT_CLOSED)) << log.describe();
    EXPECT_EQ (linesFrom ("read RPC_SERCH_DEV cmd ok"), (std::vector<juce::String> {
        "read RPC_SERCH_DEV cmd ok", "Firmware file path error!", "COM close" }));
    EXPECT_EQ (device->countEvents ("command"), 0);
}

TEST_F (TransferStop, DeviceThatHangsUpMidTransferFailsAndTheWorkerCarriesOn)
{
    startDevice ({ "--name", "HANGUP01", "--hangup-after-block", "2" });
    startTransfer (writeFile ("hangup.dsb", dsb::makeFile ("HANGUP01", dsb::randomImage (2000, 23))));

    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FAILED), 1);
    EXPECT_EQ (log.lines ({ LOG_FAIL }), (std::vector<juce::String> { "Firmware download fail!" }));
    ASSERT_TRUE (waitForLine ("Waiting flag ...", 2));

    // Polling a line that is gone: quiet, and a Stop still closes it.
    runMessagesFor (200);
    EXPECT_EQ (worker->currentState(), ST_WAIT_FLAG);
    stop();
    EXPECT_TRUE (waitForNotice (NOTIFY_PORT_CLOSED));
}

TEST_F (TransferStop, QuittingDuringATransferEndsTheThreadPromptly)
{
    startDevice ({ "--name", "QUITTING", "--baud", "115200" });
    startTransfer (writeFile ("quit.dsb", dsb::makeFile ("QUITTING", dsb::randomImage (64 * 1024, 24))));
    ASSERT_TRUE (waitFor ([&] { auto l = log.lines ({ LOG_INFO }); return std::any_of (l.begin(), l.end(), isProgress); }));

    EXPECT_TRUE (worker->stopWorker());   // false would mean the thread was killed
    worker.reset();
}

TEST_F (TransferStop, QuittingWhileTheDeviceIsSilentEndsPromptly)
{
    startDevice ({ "--name", "QUIET001", "--silent-from", "2" });
    startTransfer (writeFile ("quiet.dsb", dsb::makeFile ("QUIET001", dsb::randomImage (100, 25))));
    ASSERT_TRUE (waitForLine ("Start firmware download..."));
    runMessagesFor (100);

    EXPECT_TRUE (worker->stopWorker());   // false would mean the thread was killed
    worker.reset();
}
