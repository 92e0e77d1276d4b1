// Cancel, Stop, a vanishing device and quitting, in the middle of a transfer.
#include "DeviceFixture.h"
#include "PtyPeer.h"

#include <cstring>

using TransferStop = DeviceFixture;

namespace
{
    bool isProgress (const juce::String& line) { return line.contains ("Firmware download :"); }

    // The device's answer to the search, as a frame on the line.
    std::string searchReply (const char* name)
    {
        std::uint8_t info[17] = { 0x20, 0x01, 0x01, 0x00, 0x21, 0x03, 0x15, 0x00 };
        std::uint8_t data[17] = {};
        std::memcpy (data, name, 8);
        std::memcpy (data + 8, info, 8);

        std::uint8_t frame[frameBufferSize];
        const int n = buildFrame (frame, 0x01, data, 17);
        return { reinterpret_cast<const char*> (frame), (size_t) n };
    }
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
    EXPECT_TRUE (linesFromAre ({ "Try Fail!", "Firmware Verify ...", "Firmware download fail!", "Waiting flag ..." }));

    // The block, three times: the cancel ends each attempt's wait, not the attempts.
    EXPECT_TRUE (device->waitForEvent ("command device=1 sub=01", 20000, 3));
    EXPECT_EQ (device->countEvents ("command device=1 sub=01"), 3);
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
            EXPECT_TRUE (linesFromAre ({ "Firmware cancel!", "Waiting flag ..." }));
            // The device announces itself again and a new transfer begins,
            // but the large file keeps it from ending before these are read.
            EXPECT_EQ (log.lines ({ LOG_DONE }), (std::vector<juce::String> { "Firmware cancel!" }));
            EXPECT_FALSE (log.hasLine ("Firmware Verify ..."));
            EXPECT_EQ (outcomes(), 0);
        }

        // A new transfer may have begun: the second cancel cuts it short, so
        // that the Stop does not wait for all of it.
        postJob (payload::makeCancel());
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
    EXPECT_TRUE (linesFromAre ({ "Firmware Verify ...", "Firmware download finish!", "COM close" }));
    EXPECT_TRUE (noticesFromAre ({ NOTIFY_FINISHED, NOTIFY_PORT_CLOSED, NOTIFY_DEVICE_CLEAR }));
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1);
    EXPECT_EQ (bytesOf (device->image (1)), dsb::imageAsSent (file));
    EXPECT_TRUE (waitFor ([&] { return worker->currentState() == ST_CLOSED; })) << worker->currentState();
}

TEST_F (TransferStop, StopBeforeTheTransferTookItsPathGivesThePathError)
{
    // A device answered by hand, so that the Stop is taken while the search
    // waits for its reply, whatever the machine's speed.
    PtyPeer peer;
    start (writeFile ("example.dsb", exampleFile()), peer.portName());
    ASSERT_TRUE (waitForNotice (NOTIFY_PORT_OPENED));
    ASSERT_TRUE (peer.waitFor ("Q", 20000));
    peer.write ("RR");
    ASSERT_TRUE (peer.waitFor ("$0101E6\r\n", 20000));

    stop();
    ASSERT_TRUE (waitFor ([&] { return worker->heldPathBytes() == 0; }));
    peer.write (searchReply ("ABCD1234"));

    EXPECT_TRUE (linesFromAre ({ "read RPC_SERCH_DEV cmd ok", "Firmware file path error!", "COM close" }));
    ASSERT_TRUE (waitForNotice (NOTIFY_PORT_CLOSED)) << log.describe();
    EXPECT_EQ (peer.read (0).find ('$'), std::string::npos);   // no download command went out
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
    ASSERT_TRUE (waitFor ([&] { return worker->currentState() == ST_WAIT_FLAG; })) << worker->currentState();
    const auto before = log.all().size();
    runMessagesFor (200);
    EXPECT_EQ (log.all().size(), before) << log.describe();
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
    ASSERT_TRUE (device->waitForEvent ("command device=1 sub=00"));   // unanswered: the worker waits for its reply

    EXPECT_TRUE (worker->stopWorker());   // false would mean the thread was killed
    worker.reset();
}
