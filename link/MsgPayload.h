#pragma once

#include "DeviceInfo.h"
#include "MyMsg.h"

#include <juce_core/juce_core.h>

// Builders and readers for each payload layout, so that no sender or receiver
// does the byte arithmetic by hand. Builders return a record ready to post.
namespace payload
{
    constexpr int logBufferBytes = 200;
    constexpr int logMaxUnits = 99;     // the buffer always ends in a zero unit
    constexpr int portNameMaxChars = 32;

    // NOTIFY_LOG: the text as UTF-16, cut to 99 units, zero-filled to 200 bytes.
    MyMsg* makeLog (LogKind kind, const juce::String& text);
    void writeLogBuffer (std::uint8_t* buffer200, const juce::String& text);
    juce::String readLogText (const MyMsg& msg);

    // MSG_NOTIFY to the page, without payload; for NOTIFY_DEVICE_INFO use makeDeviceInfo.
    MyMsg* makeNotice (NotifyType type);
    MyMsg* makeDeviceInfo (const DeviceInfo& info);
    bool readDeviceInfo (const MyMsg& msg, DeviceInfo& info);

    // FIRMWARE_PATH: n UTF-16 units and a zero unit; value = 2n + 2.
    MyMsg* makeFirmwarePath (const juce::String& path);
    // The UTF-16 text in the first byteCount bytes, up to its first zero unit.
    juce::String readUtf16 (const std::uint8_t* bytes, size_t byteCount);

    // FIRMWARE_DATA: the file's bytes; value2 = their count.
    MyMsg* makeFirmwareData (const void* bytes, size_t numBytes);

    // PORT_OPEN: n 8-bit characters and two zero bytes; value = n + 2, value2 = baud.
    MyMsg* makePortOpen (const juce::String& portName, int baud);
    // The name in the first byteCount bytes, up to the first zero byte, at most 32 characters.
    juce::String readPortName (const std::uint8_t* bytes, size_t byteCount);

    MyMsg* makePortClose();
    MyMsg* makeLanguage (int codePage);
    MyMsg* makeCancel();
}
