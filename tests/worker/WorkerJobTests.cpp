// The worker's job handling and its poll, driven by hand over a pseudo-terminal.
#include "PtyPeer.h"
#include "WorkerHarness.h"

#include "LabelLoader.h"
#include "LabelTables.h"
#include "TempFolder.h"

using WorkerJobs = WorkerFixture;

namespace
{
    // A new worker passes through ST_RESUME on its way to rest; on a busy
    // machine that may still be ahead of it when a test looks.
    bool endsIdle (const MyCom& worker)
    {
        return runMessagesUntil ([&] { return worker.currentState() == ST_IDLE; }, 20000);
    }
}

TEST_F (WorkerJobs, IdleWorkerPostsNothingAndStaysIdle)
{
    runMessagesFor (100);
    EXPECT_TRUE (log.all().empty()) << log.describe();
    EXPECT_TRUE (endsIdle (*worker)) << worker->currentState();
    EXPECT_EQ (worker->baudRate(), 112500);
}

TEST_F (WorkerJobs, FailedOpenLogsShowsTheBoxAndRestsClosed)
{
    postJob (payload::makePortOpen ("ttyFlintmoorMissing0", 9600));
    ASSERT_TRUE (waitForLine ("Open COM fail!"));
    // The box is raised after the line is posted.
    ASSERT_TRUE (waitFor ([&] { return ! dialogs->warnings().empty(); }));
    ASSERT_TRUE (waitFor ([&] { return worker->currentState() == ST_CLOSED; }));

    EXPECT_EQ (worker->devicePath(), "/dev/ttyFlintmoorMissing0");
    EXPECT_EQ (worker->baudRate(), 9600);
    EXPECT_TRUE (log.notices().empty());

    const auto boxes = dialogs->warnings();
    ASSERT_EQ (boxes.size(), 1u);
    EXPECT_EQ (boxes[0].title, "Tips");
    EXPECT_EQ (boxes[0].message, "Open COM fail!");
    EXPECT_EQ (boxes[0].buttons, juce::StringArray ("OK"));
}

TEST_F (WorkerJobs, PortNameIsKeptToThirtyTwoCharacters)
{
    postJob (payload::makePortOpen (juce::String::repeatedString ("n", 40), 9600));
    ASSERT_TRUE (waitForLine ("Open COM fail!"));
    EXPECT_EQ (worker->devicePath(), "/dev/" + juce::String::repeatedString ("n", 32));
}

TEST_F (WorkerJobs, PortOpenClaimingMoreThanItsPayloadReadsOnlyThePayload)
{
    auto* msg = payload::makePortOpen ("ttyFlintmoorMissing1", 9600);
    msg->value = 1 << 20;
    postJob (msg);
    ASSERT_TRUE (waitForLine ("Open COM fail!"));
    EXPECT_EQ (worker->devicePath(), "/dev/ttyFlintmoorMissing1");
}

TEST_F (WorkerJobs, PortCloseWhileIdleForgetsTheJobAndRequestsNothing)
{
    postJob (payload::makeFirmwarePath ("/tmp/some.dsb"));
    ASSERT_TRUE (waitFor ([&] { return worker->heldPathBytes() == 28; }));

    stop();
    ASSERT_TRUE (waitFor ([&] { return worker->baudRate() == 0; }));
    EXPECT_EQ (worker->heldPathBytes(), 0);
    EXPECT_EQ (worker->devicePath(), "");
    runMessagesFor (30);
    EXPECT_TRUE (endsIdle (*worker)) << worker->currentState();
    EXPECT_TRUE (log.all().empty()) << log.describe();
}

TEST_F (WorkerJobs, IgnoresJobsItDoesNotKnowOrThatLackTheirFields)
{
    auto* unknown = new MyMsg (0x1004, 0, 0, 0);
    unknown->allocateData (64);
    postJob (unknown);
    postJob (new MyMsg (MSG_PORT, PORT_OPEN, 6, 9600));           // no payload
    postJob (new MyMsg (MSG_FIRMWARE, FIRMWARE_PATH, 8, 0));      // no payload
    auto* emptyPath = payload::makeFirmwarePath ("/x/y.dsb");
    emptyPath->value = 0;
    postJob (emptyPath);
    postJob (payload::makeCancel());

    runMessagesFor (50);
    EXPECT_EQ (worker->heldPathBytes(), 0);
    EXPECT_TRUE (endsIdle (*worker)) << worker->currentState();
    EXPECT_TRUE (log.all().empty()) << log.describe();
}

TEST_F (WorkerJobs, LongPathKeepsItsFullByteCount)
{
    postJob (payload::makeFirmwarePath (juce::String::repeatedString ("p", 514)));
    ASSERT_TRUE (waitFor ([&] { return worker->heldPathBytes() == 1030; }));
}

TEST_F (WorkerJobs, LanguageReloadsLabelsThenRelaysBeforeTheRelabel)
{
    TempFolder folder;
    setLanguageFileFolder (folder.get());
    loadLabelTexts (37);   // writes the default file

    struct Case { int value; juce::String file; };
    const Case cases[] = { { 936, juce::String::fromUTF8 ("文件") }, { 1252, "File" }, { 37, "File" } };

    for (const auto& c : cases)
    {
        log.clear();
        postJob (payload::makeLanguage (c.value));
        ASSERT_TRUE (waitFor ([&] { return log.all().size() == 2; }));

        EXPECT_EQ (log.all()[0].source, Event::fromMain);
        EXPECT_EQ (log.all()[0].id, MSG_LANGUAGE);
        EXPECT_FALSE (log.all()[0].hasData);
        EXPECT_EQ (log.all()[1].source, Event::fromPage);
        EXPECT_EQ (log.all()[1].type, NOTIFY_RELABEL);
        EXPECT_FALSE (log.all()[1].hasData);
        EXPECT_EQ (MenuLabels[0], c.file) << c.value;
    }

    setLanguageFileFolder ({});
}

TEST_F (WorkerJobs, LogLinesAreCutAndSilencedWhenStopping)
{
    EXPECT_EQ (worker->postLog (LOG_INFO, juce::String::repeatedString ("x", 150)), 0);
    EXPECT_EQ (worker->postLog (LOG_INFO, {}), 0);
    ASSERT_TRUE (waitFor ([&] { return log.all().size() == 1; }));
    EXPECT_EQ (log.all()[0].text, juce::String::repeatedString ("x", 99));

    EXPECT_TRUE (worker->stopWorker());
    EXPECT_EQ (worker->postLog (LOG_INFO, "late"), -1);
}

//==============================================================================
// The poll, with a peer that answers by hand.
class WorkerPoll : public WorkerFixture
{
protected:
    void openPort()
    {
        postJob (payload::makePortOpen (peer.portName(), 115200));
        ASSERT_TRUE (waitForNotice (NOTIFY_DEVICE_CLEAR));
        ASSERT_TRUE (peer.waitFor ("Q", 20000));
    }

    // Answers the next poll with these bytes.
    void answerPoll (const std::string& bytes)
    {
        ASSERT_TRUE (peer.waitFor ("Q", 20000));
        peer.write (bytes);
    }

    // Returns once the worker has read what was written and posted what it
    // made of it. A turn writes its 'Q' and then reads; the bytes may have come
    // just after one read, or have met a 'Q' already on its way, so the
    // third 'Q' from now is the first that surely follows their reading.
    void letThePollReadIt()
    {
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE (peer.waitFor ("Q", 20000));

        runMessagesFor (20);
    }

    PtyPeer peer;
};

TEST_F (WorkerPoll, OpenReportsOpenedThenClearAndWaits)
{
    openPort();
    EXPECT_TRUE (noticesAre ({ NOTIFY_PORT_OPENED, NOTIFY_DEVICE_CLEAR }));
    EXPECT_TRUE (linesAre ({ "Waiting flag ..." }));
    EXPECT_EQ (worker->currentState(), ST_WAIT_FLAG);   // it polls: the 'Q' came
}

TEST_F (WorkerPoll, SecondOpenWhilePortIsHeldIsIgnored)
{
    openPort();
    postJob (payload::makePortOpen ("ttyOther", 9600));
    runMessagesFor (30);
    EXPECT_EQ (worker->devicePath(), "/dev/" + peer.portName());
    EXPECT_EQ (worker->baudRate(), 115200);
    EXPECT_EQ (worker->currentState(), ST_WAIT_FLAG);
}

TEST_F (WorkerPoll, AnnouncementCountsAcrossReads)
{
    openPort();
    answerPoll ("R");
    letThePollReadIt();
    EXPECT_FALSE (log.hasLine ("revice RR flag!"));
    answerPoll ("R");
    ASSERT_TRUE (waitForLine ("revice RR flag!"));
    EXPECT_TRUE (peer.waitFor ("$0101E6\r\n", 20000));
}

TEST_F (WorkerPoll, AnOtherByteBetweenBreaksTheAnnouncement)
{
    openPort();
    answerPoll ("R");
    answerPoll ("X");
    answerPoll ("R");
    letThePollReadIt();
    EXPECT_FALSE (log.hasLine ("revice RR flag!"));
}

TEST_F (WorkerPoll, ThreeRsLeaveOneCountedForTheNextAnnouncement)
{
    openPort();
    answerPoll ("RRR");
    ASSERT_TRUE (waitForLine ("revice RR flag!"));

    // Nobody answers the search: three attempts, then polling again.
    ASSERT_TRUE (waitForLine ("Try Fail!"));
    ASSERT_TRUE (waitForLine ("Waiting flag ...", 2));
    answerPoll ("R");
    EXPECT_TRUE (waitForLine ("revice RR flag!", 2));
}

TEST_F (WorkerPoll, FourRsInOneReadAnnounceTwice)
{
    openPort();
    answerPoll ("RRRR");
    EXPECT_TRUE (waitForLine ("revice RR flag!", 2));
}

TEST_F (WorkerPoll, SilentSearchTriesThreeTimesThenPollsAgain)
{
    openPort();
    answerPoll ("RR");
    ASSERT_TRUE (waitForLine ("read RPC_SERCH_DEV cmd fail"));
    ASSERT_TRUE (waitForLine ("Waiting flag ...", 2));

    EXPECT_EQ (log.countLines ("Send: 24 30 31 30 31 45 36 0d 0a"), 3);
    EXPECT_TRUE (linesAre ({
        "Waiting flag ...", "revice RR flag!", "Try Fail!", "read RPC_SERCH_DEV cmd fail", "Waiting flag ..." }));
    EXPECT_TRUE (noticesAre ({ NOTIFY_PORT_OPENED, NOTIFY_DEVICE_CLEAR, NOTIFY_DEVICE_CLEAR }));
    EXPECT_TRUE (peer.waitFor ("Q", 20000));
}

TEST_F (WorkerPoll, StopWhilePollingClosesAndRests)
{
    openPort();
    log.clear();
    stop();
    EXPECT_TRUE (linesAre ({ "COM close" }));
    EXPECT_TRUE (noticesAre ({ NOTIFY_PORT_CLOSED, NOTIFY_DEVICE_CLEAR }));
    ASSERT_TRUE (waitFor ([&] { return worker->currentState() == ST_CLOSED; }));

    EXPECT_EQ (worker->devicePath(), "");
    EXPECT_EQ (worker->baudRate(), 0);

    // The port is free again: another Start opens it.
    log.clear();
    postJob (payload::makePortOpen (peer.portName(), 9600));
    EXPECT_TRUE (waitForNotice (NOTIFY_PORT_OPENED));
}

TEST_F (WorkerPoll, StopRightAfterTheAnnouncementOrTheOpenIsNeverLost)
{
    // Stop posted at the moment the poll or the open ends: whichever turn it
    // lands in, the page must hear the port closed.
    for (int round = 0; round < 20; ++round)
    {
        log.clear();
        postJob (payload::makePortOpen (peer.portName(), 115200));

        if (round % 2 == 0)
        {
            stop();
        }
        else
        {
            ASSERT_TRUE (waitForNotice (NOTIFY_PORT_OPENED));
            answerPoll ("RR");
            stop();
        }

        ASSERT_TRUE (waitForNotice (NOTIFY_PORT_CLOSED)) << "round " << round << "\n" << log.describe();
        ASSERT_TRUE (waitFor ([&] { return worker->currentState() == ST_CLOSED; }));
    }
}
