// Cancel, Stop, a vanishing device and quitting, in the middle of a transfer.
#include "DeviceFixture.h"
#include "DeviceProtocol.h"
#include "PtyPeer.h"

using TransferStop = DeviceFixture;

namespace
{
    bool isProgress (const juce::String& line) { return line.contains ("Firmware download :"); }

    std::string frameOf (std::uint8_t code, const std::vector<std::uint8_t>& data)
    {
        std::uint8_t frame[frameBufferSize];
        const int n = buildFrame (frame, code, data.data(), (int) data.size());
        return { reinterpret_cast<const char*> (frame), (size_t) n };
    }

    // The device's answer to the search: its name, product and release dates.
    std::string searchReply (const char* name)
    {
        std::vector<std::uint8_t> info { 0x20, 0x01, 0x01, 0x00, 0x21, 0x03, 0x15, 0x00, 0x00 };
        info.insert (info.begin(), name, name + 8);
        return frameOf (RPC_SERCH_DEV, info);
    }

    std::string subCommandReply (std::uint8_t sub) { return frameOf (RPC_DOWNLOAD, { sub }); }
}

TEST_F (TransferStop, CancelWhileAReplyIsAwaitedFailsAtOnce)
{
    // A device answered by hand that stops answering at the first block:
    // without the cancel the host would wait three times 5 s for it.
    PtyPeer peer;
    start (writeFile ("cancel.dsb", dsb::makeFile ("CANCEL01", dsb::randomImage (500, 20))), peer.portName());
    ASSERT_TRUE (waitForNotice (NOTIFY_PORT_OPENED));
    ASSERT_TRUE (peer.waitFor ("Q", 20000));
    peer.write ("RR");

    ASSERT_NE (peer.readFrame (20000).find ("$0101E6\r\n"), std::string::npos);
    peer.write (searchReply ("CANCEL01"));

    for (const std::uint8_t sub : { DL_BEGIN, DL_PREPARE })
    {
        ASSERT_FALSE (peer.readFrame (20000).empty());
        peer.write (subCommandReply (sub));
    }

    const auto block = peer.readFrame (20000);
    ASSERT_EQ (block.size(), 151u);   // the first block, never answered

    // A stray byte, and the line that reports it, show the worker reading,
    // that is, waiting for the reply: the cancel must find it there.
    peer.write ("x");
    ASSERT_TRUE (waitForLine ("Rec  : 78")) << log.describe();
    postJob (payload::makeCancel());

    // Well before the first attempt's own 5 s time-out.
    ASSERT_TRUE (waitForOutcomes (1, 4000)) << "the cancel did not cut the wait short\n" << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FAILED), 1);
    EXPECT_TRUE (linesFromAre ({ "Try Fail!", "Firmware Verify ...", "Firmware download fail!", "Waiting flag ..." }));

    // The block twice more: the cancel ends each attempt's wait, not the attempts.
    EXPECT_EQ (peer.readFrame (20000), block);
    EXPECT_EQ (peer.readFrame (20000), block);
}

TEST_F (TransferStop, CancelBetweenBlocksEndsWithoutCounting)
{
    // The cancel lands between two exchanges or while one waits for its
    // reply; the reply to a quick device usually still arrives, and the
    // transfer then stops before its next block. Where the reply came within
    // a millisecond of the cancel is the machine's doing, not the test's: on a
    // loaded one it often comes too late, so it is tried until it comes in time.
    startDevice ({ "--name", "CANCEL02" });
    const auto file = writeFile ("cancel.dsb", dsb::makeFile ("CANCEL02", dsb::randomImage (1024 * 1024, 21)));
    bool sawCancel = false;

    for (int run = 0; run < 40 && ! sawCancel; ++run)
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

TEST_F (TransferStop, DeviceThatHangsUpMidTransferFailsAndThePortIsReleased)
{
    startDevice ({ "--name", "HANGUP01", "--hangup-after-block", "2" });
    startTransfer (writeFile ("hangup.dsb", dsb::makeFile ("HANGUP01", dsb::randomImage (2000, 23))));

    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FAILED), 1);
    EXPECT_EQ (log.lines ({ LOG_FAIL }), (std::vector<juce::String> { "Firmware download fail!" }));

    // The line is gone: closed as a Stop closes it, and the page told so.
    EXPECT_TRUE (linesFromAre ({ "Firmware download fail!", "COM port lost!", "COM close" }));
    EXPECT_TRUE (noticesFromAre ({ NOTIFY_FAILED, NOTIFY_PORT_CLOSED, NOTIFY_DEVICE_CLEAR }));
    ASSERT_TRUE (waitFor ([&] { return worker->currentState() == ST_CLOSED; })) << worker->currentState();
    EXPECT_EQ (worker->devicePath(), "");
    EXPECT_EQ (worker->baudRate(), 0);
    EXPECT_EQ (worker->heldPathBytes(), 0);

    // Then quiet, and the next Start is taken.
    const auto before = log.all().size();
    runMessagesFor (200);
    EXPECT_EQ (log.all().size(), before) << log.describe();

    // Plugged in again; one device at a time, as the Wine line bridge serves them.
    device.reset();
    startDevice ({ "--name", "HANGUP01", "--devices", "1" });
    log.clear();
    startTransfer (writeFile ("next.dsb", dsb::makeFile ("HANGUP01", dsb::randomImage (200, 24))));
    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1);
}

TEST_F (TransferStop, LineThatGoesWhileADeviceIsAwaitedIsLost)
{
    // After its one device the far end stays silent: polled on and on...
    startDevice ({ "--name", "GONE0001", "--devices", "1" });
    startTransfer (writeFile ("gone.dsb", dsb::makeFile ("GONE0001", dsb::randomImage (100, 27))));
    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    ASSERT_TRUE (waitForLine ("Waiting flag ...", 2));
    runMessagesFor (300);
    EXPECT_FALSE (log.hasLine ("COM port lost!")) << log.describe();
    EXPECT_EQ (worker->currentState(), ST_WAIT_FLAG);

    // ...until it goes.
    EXPECT_EQ (device->stop(), 0);
    EXPECT_TRUE (linesFromAre ({ "COM port lost!", "COM close" }));
    EXPECT_TRUE (noticesFromAre ({ NOTIFY_PORT_CLOSED, NOTIFY_DEVICE_CLEAR }));
    EXPECT_TRUE (waitFor ([&] { return worker->currentState() == ST_CLOSED; })) << worker->currentState();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_PORT_CLOSED), 1);
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

namespace
{
    // A question that goes on for a good while after the worker was told to
    // stop, as a slow step under load would.
    class LingeringDialogs : public WorkerDialogs
    {
    public:
        std::atomic<bool> asking { false }, returned { false };

        bool askOkCancel (const juce::String&, const juce::String&, const juce::String&, const juce::String&) override
        {
            asking = true;
            while (! juce::Thread::currentThreadShouldExit())
                juce::Thread::sleep (5);
            juce::Thread::sleep (1500);
            returned = true;
            return false;
        }
        int askYesNoCancel (const juce::String&, const juce::String&, const juce::String&,
                            const juce::String&, const juce::String&) override { return 0; }
        void showWarning (const juce::String&, const juce::String&, const juce::String&) override {}
        void dismissAll() override {}
    };
}

TEST_F (TransferStop, QuittingWaitsForAWorkerSlowerThanASecondInsteadOfKillingIt)
{
    auto d = std::make_unique<LingeringDialogs>();
    auto* slow = d.get();
    worker = std::make_unique<MyCom> (&mainListener, std::move (d));
    worker->setListener (LISTENER_PAGE, &pageListener);

    startDevice ({ "--name", "SLOWSTOP" });
    const auto file = writeFile ("slow.dsb", dsb::makeFile ("SLOWSTOP", dsb::randomImage (640, 26)));
    postFile (file);
    ASSERT_TRUE (file.deleteFile());   // the worker offers the copy taken at Start
    postPortOpen (portName());
    ASSERT_TRUE (waitFor ([&] { return slow->asking.load(); })) << log.describe();

    // A killed thread would abort the test binary here.
    EXPECT_FALSE (worker->stopWorker());   // it took longer than a second...
    EXPECT_TRUE (slow->returned);          // ...and ran to its own end
    worker.reset();
}
