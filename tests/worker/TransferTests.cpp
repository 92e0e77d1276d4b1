// The road of one transfer, end to end: the worker driven by the page's jobs,
// the simulated device on a pseudo-terminal.
#include "DeviceFixture.h"

#include <cstring>

using Transfer = DeviceFixture;

TEST_F (Transfer, ExampleFileGoesOutAsOneBlockAndVerifies)
{
    // One device only: another would announce itself and begin the next transfer.
    startDevice ({ "--name", "ABCD1234", "--release-date", "21031500", "--devices", "1" });
    ASSERT_EQ (exampleFile(), dsb::makeFile ("ABCD1234", { 1, 2, 3, 4, 5 }));
    startTransfer (writeFile ("example.dsb", exampleFile()));

    ASSERT_TRUE (linesFromAre ({
        "read RPC_SERCH_DEV cmd ok", "Start firmware download...", "example.dsb  Firmware download :100%.",
        "Firmware Verify ...", "Firmware download finish!", "Waiting flag ..." }));

    // Before the search: the open's line and the announcement, twice when a
    // device slow to answer answered two polls in one go.
    const auto all = log.lines();
    const std::vector<juce::String> before (all.begin(), std::find (all.begin(), all.end(), "read RPC_SERCH_DEV cmd ok"));
    ASSERT_GE (before.size(), 2u);
    EXPECT_EQ (before.front(), "Waiting flag ...");
    EXPECT_EQ (std::count (before.begin() + 1, before.end(), "revice RR flag!"), (std::ptrdiff_t) before.size() - 1) << log.describe();

    EXPECT_EQ (log.lines ({ LOG_BEGIN }), (std::vector<juce::String> { "Start firmware download..." }));
    EXPECT_EQ (log.lines ({ LOG_DONE }), (std::vector<juce::String> { "Firmware download finish!" }));
    ASSERT_TRUE (noticesAre ({ NOTIFY_PORT_OPENED, NOTIFY_DEVICE_CLEAR, NOTIFY_DEVICE_INFO, NOTIFY_FINISHED }));

    const auto& info = log.all()[(size_t) std::distance (log.all().begin(),
        std::find_if (log.all().begin(), log.all().end(), [] (const Event& e) { return e.type == NOTIFY_DEVICE_INFO && e.source == Event::fromPage; }))].info;
    EXPECT_EQ (std::memcmp (info.name, "ABCD1234", 8), 0);
    EXPECT_EQ (info.releaseDate[0], 0x21);
    EXPECT_EQ (info.releaseDate[2], 0x15);

    // What went over the wire.
    EXPECT_EQ (log.lines ({ LOG_SEND }).front(), "Send: 24 30 31 30 31 45 36 0d 0a");
    EXPECT_TRUE (log.hasLine ("Send: " + juce::String::toHexString ("$088000138800000000A8\r\n", 23, 1)));
    EXPECT_TRUE (log.hasLine ("Send: " + juce::String::toHexString ("$0880F2000000000000AC\r\n", 23, 1)));
    EXPECT_TRUE (log.hasLine ("Send: " + juce::String::toHexString ("$0880F7000100000000B2\r\n", 23, 1)));
    EXPECT_TRUE (device->waitForEvent ("verify device=1 blocks=1 sum=0000000f"));

    dsb::Bytes expected { 1, 2, 3, 4, 5 };
    expected.resize (64, 0);
    EXPECT_EQ (bytesOf (device->image (1)), expected);
}

TEST_F (Transfer, ProgressOfA212ByteFileInFourBlocks)
{
    startDevice ({ "--name", "TAG00212", "--devices", "1" });
    const auto file = dsb::makeFile ("TAG00212", dsb::randomImage (200, 212));
    startTransfer (writeFile ("f212.dsb", file));

    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1);

    std::vector<juce::String> progress;
    for (const auto& line : log.lines ({ LOG_INFO }))
        if (line.contains ("Firmware download :"))
            progress.push_back (line);

    EXPECT_EQ (progress, (std::vector<juce::String> {
        "f212.dsb  Firmware download :35%.", "f212.dsb  Firmware download :66%.",
        "f212.dsb  Firmware download :96%.", "f212.dsb  Firmware download :100%." }));
    EXPECT_EQ (bytesOf (device->image (1)), dsb::imageAsSent (file));
}

TEST_F (Transfer, OneMebibyteFileArrivesByteForByte)
{
    startDevice ({ "--name", "BIGIMAGE", "--devices", "1" });
    const auto file = dsb::makeFile ("BIGIMAGE", dsb::randomImage (1024 * 1024 - 12, 7));
    startTransfer (writeFile ("big.dsb", file));

    ASSERT_TRUE (waitForOutcomes (1, 600000)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1);
    EXPECT_EQ (bytesOf (device->image (1)), dsb::imageAsSent (file));
    EXPECT_TRUE (log.hasLine ("big.dsb  Firmware download :100%."));
}

TEST_F (Transfer, TwoDevicesInARowOnOnePort)
{
    startDevice ({ "--name", "LINE0001", "--devices", "2" });
    const auto file = dsb::makeFile ("LINE0001", dsb::randomImage (1000, 2));
    startTransfer (writeFile ("line.dsb", file));

    ASSERT_TRUE (waitForOutcomes (2)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 2);
    EXPECT_EQ (log.countLines ("read RPC_SERCH_DEV cmd ok"), 2);
    EXPECT_EQ (bytesOf (device->image (1)), dsb::imageAsSent (file));
    EXPECT_EQ (bytesOf (device->image (2)), dsb::imageAsSent (file));
    EXPECT_TRUE (waitForLine ("Waiting flag ...", 3));
}

TEST_F (Transfer, EmptyImageSendsTheEndOfDataButNoVerify)
{
    startDevice ({ "--name", "EMPTY012", "--devices", "1" });
    startTransfer (writeFile ("empty.dsb", dsb::makeFile ("EMPTY012", {})));

    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1);
    EXPECT_TRUE (device->waitForEvent ("command device=1 sub=01 param=0 count=0"));
    EXPECT_EQ (device->countEvents ("verify"), 0);
}

TEST_F (Transfer, FileShorterThanItsHeaderFailsWithoutABlock)
{
    // Eight zero bytes: the missing part of the tag reads as zeros, like the
    // name of a device whose name is empty, and the sum of nothing holds.
    startDevice ({ "--name", "" });
    startTransfer (writeFile ("short.dsb", dsb::Bytes (8, 0)));

    // The device was never finished: it announces itself again and again.
    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (firstOutcome(), NOTIFY_FAILED);
    EXPECT_EQ (device->countEvents ("command device=1 sub=01"), 0);
}

//==============================================================================
// Replies the host must read through.
struct LineQuirk { const char* name; juce::StringArray options; };

class TransferOverQuirkyLine : public DeviceFixture, public ::testing::WithParamInterface<LineQuirk> {};

TEST_P (TransferOverQuirkyLine, StillSucceeds)
{
    auto options = GetParam().options;
    options.addArray ({ "--name", "QUIRK001", "--devices", "1" });
    startDevice (options);
    const auto file = dsb::makeFile ("QUIRK001", dsb::randomImage (200, 3));
    startTransfer (writeFile ("quirk.dsb", file));

    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1) << log.describe();
    EXPECT_EQ (bytesOf (device->image (1)), dsb::imageAsSent (file));
}

INSTANTIATE_TEST_SUITE_P (Lines, TransferOverQuirkyLine, ::testing::Values (
    LineQuirk { "SplitIntoSingleCharacters", { "--split" } },
    LineQuirk { "LowerCaseHex", { "--lower-case" } },
    LineQuirk { "FrameOfAnotherAddressFirst", { "--foreign-frame" } },
    LineQuirk { "GarbageBetweenFrames", { "--garbage" } },
    LineQuirk { "SearchAnsweredOnTheSecondAttempt", { "--retry", "1" } },
    LineQuirk { "BlockAnsweredOnTheSecondAttempt", { "--retry", "4" } },
    LineQuirk { "PacedAt115200", { "--baud", "115200" } }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST_F (Transfer, WrongVerifySumFails)
{
    startDevice ({ "--name", "SUMWRONG", "--wrong-sum", "--devices", "1" });
    startTransfer (writeFile ("sum.dsb", dsb::makeFile ("SUMWRONG", dsb::randomImage (300, 4))));

    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FAILED), 1);
    EXPECT_TRUE (linesFromAre ({ "Firmware Verify ...", "Firmware download fail!", "Waiting flag ..." }));
    EXPECT_EQ (log.lines ({ LOG_FAIL }), (std::vector<juce::String> { "Firmware download fail!" }));
}

TEST_F (Transfer, OtherDeviceAddressOnBothSides)
{
    startDevice ({ "--name", "ADDR0001", "--address", "A0", "--devices", "1" });
    DeviceAddressChar = '&';
    startTransfer (writeFile ("addr.dsb", dsb::makeFile ("ADDR0001", dsb::randomImage (100, 5))));

    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1);
    EXPECT_EQ (log.lines ({ LOG_SEND }).front(), "Send: 26 30 31 30 31 45 38 0d 0a");
}

//==============================================================================
// Checks that end a transfer before anything is sent.
struct FileError
{
    const char* name;
    const char* deviceName;
    dsb::Bytes file;
    const char* line;
};

class TransferRefused : public DeviceFixture, public ::testing::WithParamInterface<FileError> {};

TEST_P (TransferRefused, WithAnErrorLineAndNothingSent)
{
    const auto& c = GetParam();
    startDevice ({ "--name", c.deviceName });
    startTransfer (writeFile ("refused.dsb", c.file));

    // The device announces itself again after each refusal, and is refused again.
    ASSERT_TRUE (linesFromAre ({ "read RPC_SERCH_DEV cmd ok", c.line, "Waiting flag ..." }));
    EXPECT_EQ (log.firstLine (LOG_ERROR), c.line);
    EXPECT_EQ (device->countEvents ("command"), 0);
    EXPECT_EQ (outcomes(), 0);
    EXPECT_TRUE (dialogs->asked().empty());
}

INSTANTIATE_TEST_SUITE_P (Files, TransferRefused, ::testing::Values (
    FileError { "TagOfAnotherDevice", "ABCD1235", exampleFile(), "Firmware tag error!  MCU:ABCD1235   File:ABCD1234" },
    FileError { "ShortDeviceName", "AB", exampleFile(), "Firmware tag error!  MCU:AB   File:ABCD1234" },
    FileError { "ChecksumOffByOne", "ABCD1234",
                { 0x00, 0x00, 0x01, 0xE4, 'A', 'B', 'C', 'D', '1', '2', '3', '4', 1, 2, 3, 4, 5 },
                "Firmware file cs error! :1e4,1e3." }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST_F (Transfer, PathOfMoreThan255CharactersIsRefused)
{
    startDevice ({ "--name", "ABCD1234" });
    const auto file = writeFile ("example.dsb", exampleFile());
    start (file, portName());
    postJob (payload::makeFirmwarePath ("/" + juce::String::repeatedString ("p", 255)));   // 256 characters

    ASSERT_TRUE (linesFromAre ({ "read RPC_SERCH_DEV cmd ok", "Firmware file path error!", "Waiting flag ..." }));
    EXPECT_EQ (log.firstLine (LOG_ERROR), "Firmware file path error!");
    EXPECT_EQ (device->countEvents ("command"), 0);
}

//==============================================================================
// The file on disk is gone or changed by the time the device is there.
struct Question
{
    const char* name;
    enum Change { deleted, unreadable, changed } change;
    int answer;
    enum Sent { nothing, original, newFile } sent;
};

class TransferQuestion : public DeviceFixture, public ::testing::WithParamInterface<Question> {};

TEST_P (TransferQuestion, AnswerDecidesWhatIsSent)
{
    const auto& c = GetParam();
    startDevice ({ "--name", "ASKAGAIN", "--devices", "1" });

    const auto original = dsb::makeFile ("ASKAGAIN", dsb::randomImage (150, 10));
    const auto changed = dsb::makeFile ("ASKAGAIN", dsb::randomImage (170, 11));
    const auto file = writeFile ("ask.dsb", original);
    dialogs->answer (c.answer);

    // The page has its copy; the file changes before the port opens, so
    // before the worker can look at it.
    postFile (file);
    if (c.change == Question::deleted)
        ASSERT_TRUE (file.deleteFile());
    else if (c.change == Question::unreadable)
        ASSERT_TRUE (file.deleteFile() && file.createDirectory());
    else
        file.replaceWithData (changed.data(), changed.size());
    postPortOpen (portName());

    ASSERT_TRUE (waitForLine ("Waiting flag ...", 2)) << log.describe();
    if (c.sent != Question::nothing)
    {
        ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    }

    // One question in this transfer; a device left unfinished announces
    // itself again, and the next transfer asks again.
    EXPECT_EQ (log.questionsBefore ("Waiting flag ...", 2), 1) << log.describe();
    const auto asked = dialogs->asked();
    ASSERT_GE (asked.size(), 1u);
    EXPECT_EQ (asked[0].title, "Tips");

    switch (c.change)
    {
        case Question::deleted:
            EXPECT_EQ (asked[0].message, "The file does not exist,Do you want to apply original file?");
            EXPECT_EQ (asked[0].buttons, juce::StringArray ("loading original file", "Cancel"));
            break;
        case Question::unreadable:
            EXPECT_EQ (asked[0].message, "The file read fail,Are you sure to load original file?");
            EXPECT_EQ (log.lines ({ LOG_ERROR }), (std::vector<juce::String> { "Loading firmware file fail!" }));
            break;
        case Question::changed:
            EXPECT_EQ (asked[0].message, "The file has been changed,Do you want to apply new file?");
            EXPECT_EQ (asked[0].buttons, juce::StringArray ("loading new file", "loading original file", "Cancel"));
            break;
    }

    if (c.sent == Question::nothing)
    {
        EXPECT_EQ (device->countEvents ("command"), 0);
        EXPECT_FALSE (log.hasLine ("Start firmware download..."));
        return;
    }

    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1) << log.describe();
    EXPECT_EQ (bytesOf (device->image (1)), dsb::imageAsSent (c.sent == Question::original ? original : changed));

    // Without a readable file there is no file name in front of the progress.
    const auto name = c.change == Question::deleted ? juce::String() : juce::String ("ask.dsb  ");
    EXPECT_TRUE (log.hasLine (name + "Firmware download :100%.")) << log.describe();
}

INSTANTIATE_TEST_SUITE_P (Answers, TransferQuestion, ::testing::Values (
    Question { "DeletedSendOriginal", Question::deleted, 1, Question::original },
    Question { "DeletedCancel", Question::deleted, 0, Question::nothing },
    Question { "UnreadableSendOriginal", Question::unreadable, 1, Question::original },
    Question { "ChangedSendNew", Question::changed, 1, Question::newFile },
    Question { "ChangedSendOriginal", Question::changed, 2, Question::original },
    Question { "ChangedCancel", Question::changed, 0, Question::nothing }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST_F (Transfer, FileOfMoreBlocksThanSixteenBitsCanNumberIsRefused)
{
    startDevice ({ "--name", "HUGEFILE" });
    const auto file = dsb::makeFile ("HUGEFILE", dsb::Bytes (65537 * 64, 0x5A));
    startTransfer (writeFile ("huge.dsb", file));

    ASSERT_TRUE (linesFromAre ({ "read RPC_SERCH_DEV cmd ok", "Firmware file too large! :65537 blocks.", "Waiting flag ..." }));
    EXPECT_EQ (log.firstLine (LOG_ERROR), "Firmware file too large! :65537 blocks.");
    EXPECT_EQ (device->countEvents ("command"), 0);
    EXPECT_EQ (outcomes(), 0);

    // Each refusal reads and sums the 4 MiB file again, which a sanitizer
    // build on a busy machine may not finish within the worker's 1 s stop:
    // end the round of refusals before the worker is stopped.
    stop();
    EXPECT_TRUE (waitForNotice (NOTIFY_PORT_CLOSED)) << log.describe();
}
