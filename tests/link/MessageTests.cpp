#include "MessageLoop.h"
#include "MsgPayload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
std::vector<std::uint16_t> unitsOf (const MyMsg& msg)
{
    std::vector<std::uint16_t> units (msg.dataSize / 2);
    std::memcpy (units.data(), msg.data.get(), units.size() * 2);
    return units;
}

// Keeps what it receives, in order.
struct RecordingListener : public juce::MessageListener
{
    void handleMessage (const juce::Message& m) override
    {
        if (auto* msg = dynamic_cast<const MyMsg*> (&m))
            received.push_back ({ msg->id, msg->type });
    }

    std::vector<std::pair<int, int>> received;
};
}

TEST (LogPayload, IsCutToNinetyNineUnitsAndEndsInZero)
{
    struct Case { int length; int expectedUnits; };
    const Case cases[] = { { 1, 1 }, { 98, 98 }, { 99, 99 }, { 100, 99 }, { 150, 99 } };

    for (const auto& c : cases)
    {
        const auto text = juce::String::repeatedString ("x", c.length);
        std::unique_ptr<MyMsg> msg (payload::makeLog (LOG_INFO, text));

        ASSERT_EQ (msg->dataSize, 200u);
        EXPECT_EQ (msg->id, MSG_NOTIFY);
        EXPECT_EQ (msg->type, NOTIFY_LOG);
        EXPECT_EQ (msg->value, LOG_INFO);
        EXPECT_EQ (msg->value2, 0);

        const auto units = unitsOf (*msg);
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ (units[(size_t) i], i < c.expectedUnits ? (std::uint16_t) 'x' : 0) << c.length << " at " << i;

        EXPECT_EQ (payload::readLogText (*msg), text.substring (0, c.expectedUnits));
    }
}

TEST (LogPayload, CarriesChineseAsUtf16)
{
    const auto text = juce::String::fromUTF8 ("固件下载成功!");
    std::unique_ptr<MyMsg> msg (payload::makeLog (LOG_DONE, text));
    const auto units = unitsOf (*msg);

    EXPECT_EQ (units[0], 0x56FA);
    EXPECT_EQ (units[6], (std::uint16_t) '!');
    EXPECT_EQ (units[7], 0);
    EXPECT_EQ (payload::readLogText (*msg), text);
}

TEST (FirmwarePathPayload, IsUtf16WithTerminatorAndItsByteCount)
{
    const auto path = juce::String::fromUTF8 ("/tmp/固件.dsb");
    std::unique_ptr<MyMsg> msg (payload::makeFirmwarePath (path));

    EXPECT_EQ (msg->id, MSG_FIRMWARE);
    EXPECT_EQ (msg->type, FIRMWARE_PATH);
    EXPECT_EQ (msg->value, 2 * path.length() + 2);
    EXPECT_EQ (msg->dataSize, (size_t) msg->value);
    EXPECT_EQ (unitsOf (*msg).back(), 0);
    EXPECT_EQ (payload::readUtf16 (msg->data.get(), msg->dataSize), path);
}

TEST (FirmwarePathPayload, ReaderStopsAtTheByteCountOrTheFirstZeroUnit)
{
    const std::uint16_t units[] = { 'a', 'b', 0, 'c', 'd', 'e' };
    const auto* bytes = reinterpret_cast<const std::uint8_t*> (units);

    EXPECT_EQ (payload::readUtf16 (bytes, sizeof units), "ab");
    EXPECT_EQ (payload::readUtf16 (bytes + 6, 6), "cde");
    EXPECT_EQ (payload::readUtf16 (bytes + 6, 5), "cd");  // half a unit is not read
    EXPECT_EQ (payload::readUtf16 (nullptr, 8), "");
}

TEST (PortOpenPayload, IsTheNameWithTwoZeroBytes)
{
    std::unique_ptr<MyMsg> msg (payload::makePortOpen ("COM3", 115200));

    EXPECT_EQ (msg->id, MSG_PORT);
    EXPECT_EQ (msg->type, PORT_OPEN);
    EXPECT_EQ (msg->value, 6);
    EXPECT_EQ (msg->value2, 115200);
    ASSERT_EQ (msg->dataSize, 6u);
    EXPECT_EQ (std::memcmp (msg->data.get(), "COM3\0\0", 6), 0);
    EXPECT_EQ (payload::readPortName (msg->data.get(), msg->dataSize), "COM3");
}

TEST (PortOpenPayload, ReaderKeepsAtMostThirtyTwoCharacters)
{
    const auto name = juce::String::repeatedString ("N", 40);
    std::unique_ptr<MyMsg> msg (payload::makePortOpen (name, 9600));

    EXPECT_EQ (payload::readPortName (msg->data.get(), msg->dataSize), name.substring (0, 32));
}

TEST (DeviceInfoPayload, IsASeventeenByteCopy)
{
    DeviceInfo info {};
    std::memcpy (info.name, "ABCD1234", 8);
    info.releaseDate[0] = 0x21;
    info.spare = 0x7F;

    std::unique_ptr<MyMsg> msg (payload::makeDeviceInfo (info));
    EXPECT_EQ (msg->type, NOTIFY_DEVICE_INFO);
    ASSERT_EQ (msg->dataSize, 17u);

    DeviceInfo back {};
    ASSERT_TRUE (payload::readDeviceInfo (*msg, back));
    EXPECT_EQ (std::memcmp (&back, &info, sizeof info), 0);

    MyMsg empty (MSG_NOTIFY, NOTIFY_DEVICE_INFO);
    EXPECT_FALSE (payload::readDeviceInfo (empty, back));
}

TEST (FirmwareDataPayload, CopiesTheBytesAndCountsThem)
{
    const std::uint8_t file[] = { 0, 0, 1, 0xE3, 'A', 'B' };
    std::unique_ptr<MyMsg> msg (payload::makeFirmwareData (file, sizeof file));

    EXPECT_EQ (msg->type, FIRMWARE_DATA);
    EXPECT_EQ (msg->value2, 6);
    EXPECT_EQ (std::memcmp (msg->data.get(), file, sizeof file), 0);
}

TEST (MessageDelivery, RecordsArriveInTheOrderPosted)
{
    RecordingListener listener;
    listener.postMessage (payload::makeNotice (NOTIFY_PORT_OPENED));
    listener.postMessage (payload::makeNotice (NOTIFY_DEVICE_CLEAR));
    listener.postMessage (payload::makeLanguage (936));

    ASSERT_TRUE (runMessagesUntil ([&] { return listener.received.size() == 3; }, 20000));
    EXPECT_EQ (listener.received[0], std::make_pair ((int) MSG_NOTIFY, (int) NOTIFY_PORT_OPENED));
    EXPECT_EQ (listener.received[1], std::make_pair ((int) MSG_NOTIFY, (int) NOTIFY_DEVICE_CLEAR));
    EXPECT_EQ (listener.received[2], std::make_pair ((int) MSG_LANGUAGE, 0));
}

TEST (MessageDelivery, RecordForAGoneReceiverIsReleasedWithItsPayload)
{
    juce::Message::Ptr kept;

    {
        RecordingListener listener;
        auto* msg = payload::makeLog (LOG_INFO, "dropped");
        kept = msg;
        listener.postMessage (msg);
    }

    // Only our reference is left once the framework has let go of the record,
    // and the payload goes with it when we do (the leak checker watches that).
    EXPECT_TRUE (runMessagesUntil ([&] { return kept->getReferenceCount() == 1; }, 20000))
        << kept->getReferenceCount() << " references";
}
