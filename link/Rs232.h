#pragma once

#include "SerialDevice.h"

#include <juce_core/juce_core.h>

#include <cstdint>

// The worker's serial port: exclusive open with 1 ms time-outs at 8N1 and the
// requested rate, writes in chunks of 32 bytes, reads what has arrived.
// Used by the worker thread only, one call at a time. Not a window component:
// the worker thread makes and deletes it, and a component may be touched on
// the message thread only.
class cRs232
{
public:
    cRs232();
    virtual ~cRs232();

    // 0 opened; -1 path of 128 characters or more; the system's error code when
    // the device cannot be opened; -3 time-outs, -4 reading, -5 writing the line
    // settings failed. Every result but 0 leaves the port closed.
    int open (const juce::String& path, int baud);

    // Bytes written, or -1 while closed.
    int write (const void* buffer, std::uint32_t length);

    // 0 when nothing arrived within about 1 ms, else 1..512 bytes copied to
    // destination, which must hold at least 512 bytes.
    int read (std::uint8_t* destination);

    // Closes the device when it is open; always 0.
    int close();

    bool isOpen() const noexcept;

    // True once the system has said that the line itself is gone (the adapter
    // unplugged, the far end closed); a device that is only silent is not.
    bool isLost() const;

    // The system's error code behind the last failed open, for its reason.
    int systemError() const noexcept { return openError; }

    // Waits up to ms for received bytes; true when some are waiting. Lets a
    // caller's pause end as soon as the reply starts to arrive.
    bool waitForInput (int ms);

    platform::SerialHandle handle = platform::invalidSerialHandle;

private:
    int openError = 0;

    JUCE_DECLARE_NON_COPYABLE (cRs232)
};
