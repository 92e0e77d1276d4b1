#pragma once

#include <juce_events/juce_events.h>

#include <cstdint>
#include <memory>

// Every job and report between the user interface and the worker.
enum MessageId : std::int32_t
{
    MSG_NOTIFY   = 0x1001,  // worker to user interface
    MSG_LANGUAGE = 0x1002,  // menu bar to worker, and the worker's relay to the main component
    MSG_FIRMWARE = 0x1003,  // page to worker
    MSG_CANCEL   = 0x1005,  // progress window to worker
    MSG_PORT     = 0x1006   // page to worker
};

// MSG_NOTIFY types; type 2 means a log line at the main component and a relabel at the page.
enum NotifyType : std::int32_t
{
    NOTIFY_DEVICE_INFO  = 0,
    NOTIFY_DEVICE_CLEAR = 1,
    NOTIFY_LOG          = 2,
    NOTIFY_RELABEL      = 2,
    NOTIFY_FINISHED     = 3,
    NOTIFY_FAILED       = 4,
    NOTIFY_PORT_CLOSED  = 10,
    NOTIFY_PORT_OPENED  = 11
};

enum FirmwareType : std::int32_t
{
    FIRMWARE_PATH = 0,
    FIRMWARE_DATA = 5
};

enum PortType : std::int32_t
{
    PORT_CLOSE = 0,
    PORT_OPEN  = 1
};

// The value of a NOTIFY_LOG line: what the main component does with its text.
enum LogKind : std::int32_t
{
    LOG_INFO  = 1,
    LOG_BEGIN = 2,
    LOG_FAIL  = 4,
    LOG_DONE  = 5,
    LOG_SEND  = 6,
    LOG_RECV  = 7,
    LOG_ERROR = 8
};

enum ListenerIndex : std::int32_t
{
    LISTENER_MAIN = 0,
    LISTENER_PAGE = 1,
    listenerSlots = 5
};

// The record owns its payload: it is freed with the record, after delivery or
// when the framework drops a record whose receiver has gone.
class MyMsg : public juce::Message
{
public:
    MyMsg (std::int32_t idToUse, std::int32_t typeToUse, std::int32_t valueToUse = 0, std::int32_t value2ToUse = 0)
        : id (idToUse), type (typeToUse), value (valueToUse), value2 (value2ToUse) {}

    // Gives the record a zero-filled payload of the given size and returns it.
    std::uint8_t* allocateData (size_t numBytes);

    // Gives the record a copy of the given bytes as its payload.
    void copyData (const void* bytes, size_t numBytes);

    std::int32_t id, type, value, value2;
    std::unique_ptr<std::uint8_t[]> data;
    size_t dataSize = 0;

private:
    JUCE_DECLARE_NON_COPYABLE (MyMsg)
};
