#include "MsgPayload.h"

#include <cstring>
#include <vector>

namespace payload
{
namespace
{
    using Utf16Unit = juce::CharPointer_UTF16::CharType;

    // Copies at most maxUnits UTF-16 units of the text to dest; returns the count copied.
    size_t copyUtf16 (const juce::String& text, std::uint8_t* dest, size_t maxUnits)
    {
        auto utf16 = text.toUTF16();
        const size_t units = utf16.sizeInBytes() / sizeof (Utf16Unit) - 1;
        const size_t n = juce::jmin (units, maxUnits);

        if (n > 0)
            std::memcpy (dest, utf16.getAddress(), n * sizeof (Utf16Unit));

        return n;
    }
}

void writeLogBuffer (std::uint8_t* buffer200, const juce::String& text)
{
    std::memset (buffer200, 0, logBufferBytes);
    copyUtf16 (text, buffer200, logMaxUnits);
}

MyMsg* makeLog (LogKind kind, const juce::String& text)
{
    auto* msg = new MyMsg (MSG_NOTIFY, NOTIFY_LOG, kind, 0);
    writeLogBuffer (msg->allocateData (logBufferBytes), text);
    return msg;
}

juce::String readUtf16 (const std::uint8_t* bytes, size_t byteCount)
{
    if (bytes == nullptr)
        return {};

    const size_t maxUnits = byteCount / sizeof (Utf16Unit);
    std::vector<Utf16Unit> units (maxUnits + 1, 0);

    if (maxUnits > 0)
        std::memcpy (units.data(), bytes, maxUnits * sizeof (Utf16Unit));

    return juce::String (juce::CharPointer_UTF16 (units.data()));
}

juce::String readLogText (const MyMsg& msg)
{
    return readUtf16 (msg.data.get(), juce::jmin (msg.dataSize, (size_t) logBufferBytes));
}

MyMsg* makeNotice (NotifyType type)
{
    return new MyMsg (MSG_NOTIFY, type, 0, 0);
}

MyMsg* makeDeviceInfo (const DeviceInfo& info)
{
    auto* msg = new MyMsg (MSG_NOTIFY, NOTIFY_DEVICE_INFO, 0, 0);
    msg->copyData (&info, sizeof (info));
    return msg;
}

bool readDeviceInfo (const MyMsg& msg, DeviceInfo& info)
{
    if (msg.data == nullptr || msg.dataSize < sizeof (DeviceInfo))
        return false;

    std::memcpy (&info, msg.data.get(), sizeof (DeviceInfo));
    return true;
}

MyMsg* makeFirmwarePath (const juce::String& path)
{
    auto utf16 = path.toUTF16();
    const size_t bytes = utf16.sizeInBytes();   // n units and the zero unit
    auto* msg = new MyMsg (MSG_FIRMWARE, FIRMWARE_PATH, (std::int32_t) bytes, 0);
    msg->copyData (utf16.getAddress(), bytes);
    return msg;
}

MyMsg* makeFirmwareData (const void* bytes, size_t numBytes)
{
    auto* msg = new MyMsg (MSG_FIRMWARE, FIRMWARE_DATA, 0, (std::int32_t) numBytes);
    msg->copyData (bytes, numBytes);
    return msg;
}

MyMsg* makePortOpen (const juce::String& portName, int baud)
{
    const auto name = portName.toRawUTF8();
    const size_t n = std::strlen (name);
    auto* msg = new MyMsg (MSG_PORT, PORT_OPEN, (std::int32_t) (n + 2), baud);
    std::memcpy (msg->allocateData (n + 2), name, n);
    return msg;
}

juce::String readPortName (const std::uint8_t* bytes, size_t byteCount)
{
    if (bytes == nullptr)
        return {};

    char name[portNameMaxChars + 1] = {};
    const size_t n = juce::jmin (byteCount, (size_t) portNameMaxChars);
    std::memcpy (name, bytes, n);
    return juce::String::fromUTF8 (name);
}

MyMsg* makePortClose()           { return new MyMsg (MSG_PORT, PORT_CLOSE, 0, 0); }
MyMsg* makeLanguage (int codePage) { return new MyMsg (MSG_LANGUAGE, 0, codePage, 0); }
MyMsg* makeCancel()              { return new MyMsg (MSG_CANCEL, 0, 0, 0); }
}
