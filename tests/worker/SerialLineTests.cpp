// The worker on lines as a freshly plugged adapter gives them: a terminal
// that starts cooked, a device that sends XOFF, a port that cannot be opened,
// and the command-line engine when the line goes.
#include "DeviceFixture.h"
#include "PtyPeer.h"

#include <cerrno>
#include <cstring>

using SerialLine = DeviceFixture;

TEST_F (SerialLine, StrayXoffOnACookedLineDoesNotStopTheTransfer)
{
    // A new terminal has XON/XOFF flow control on; one 0x13 from the device
    // would hold every byte the host sends from then on.
    startDevice ({ "--name", "XOFF0001", "--devices", "1", "--cooked", "--xoff" });
    const auto file = dsb::makeFile ("XOFF0001", dsb::randomImage (300, 30));
    startTransfer (writeFile ("xoff.dsb", file));

    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1) << log.describe();
    EXPECT_EQ (bytesOf (device->image (1)), dsb::imageAsSent (file));
}

TEST_F (SerialLine, OpenFailureLogsTheSystemsReasonWithThePortName)
{
    struct Case { const char* what; juce::String port; int error; };

    // Held by another open of this program: the lock keeps out even the superuser.
    PtyPeer peer;
    cRs232 holder;
    ASSERT_EQ (holder.open (platform::devicePathPrefix + peer.portName(), 115200), 0);

    const Case cases[] = {
        { "missing", "ttyFlintmoorMissing0", ENOENT },
        { "held", peer.portName(), EBUSY },
    };

    for (const auto& c : cases)
    {
        log.clear();
        postFile (writeFile ("example.dsb", exampleFile()));
        postPortOpen (c.port);

        EXPECT_TRUE (linesAre ({ "Open COM fail!", c.port + ": " + juce::String (std::strerror (c.error)) })) << c.what;
        EXPECT_TRUE (waitFor ([&] { return worker->currentState() == ST_CLOSED; })) << c.what;
    }

    // The box keeps its text.
    ASSERT_EQ (dialogs->warnings().size(), 2u);
    EXPECT_EQ (dialogs->warnings()[1].message, "Open COM fail!");
}

TEST_F (SerialLine, SilentDeviceKeepsBeingPolled)
{
    // Nothing answers, but the far end stays: the line is not gone.
    PtyPeer peer;
    start (writeFile ("example.dsb", exampleFile()), peer.portName());
    ASSERT_TRUE (waitForNotice (NOTIFY_PORT_OPENED));
    ASSERT_TRUE (peer.waitFor ("Q", 20000));

    runMessagesFor (500);
    peer.read (0);
    EXPECT_TRUE (peer.waitFor ("QQQ", 20000));
    EXPECT_EQ (worker->currentState(), ST_WAIT_FLAG);
    EXPECT_FALSE (log.hasLine ("COM port lost!")) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_PORT_CLOSED), 0);
}

//==============================================================================
TEST_F (SerialLine, HeadlessEngineEndsWithAFailureWhenTheLineGoes)
{
    startDevice ({ "--name", "HEADLESS", "--hangup-after-block", "1" });
    const auto file = writeFile ("headless.dsb", dsb::makeFile ("HEADLESS", dsb::randomImage (2000, 31)));

    juce::ChildProcess engine;
    ASSERT_TRUE (engine.start (juce::StringArray { FLINT_HEADLESS_PATH, "--port", portName(),
                                                   "--file", file.getFullPathName(), "--transfers", "3" }));

    // Polling a line that is gone would go on for ever. What it prints fits
    // the pipe, so it is read once it has ended.
    const bool ended = engine.waitForProcessToFinish (60000);

    if (! ended)
        engine.kill();

    const auto output = engine.readAllProcessOutput();
    ASSERT_TRUE (ended) << output;
    EXPECT_NE (engine.getExitCode(), 0u) << output;
    EXPECT_TRUE (output.contains ("COM port lost!")) << output;
    EXPECT_TRUE (output.contains ("finished 0, failed 1")) << output;
}
