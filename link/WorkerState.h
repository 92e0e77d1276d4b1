#pragma once

#include <cstdint>

enum WorkerState : std::int32_t
{
    ST_IDLE      = 0,   // no port object; nothing to do
    ST_CLOSED    = 1,   // after a close or a failed open
    ST_OPEN      = 2,   // open the port named by PORT_OPEN
    ST_WAIT_FLAG = 3,   // poll until the device announces itself
    ST_SEARCH    = 4,   // search the device, then write the firmware
    ST_CLOSE     = 5,   // close the port (PORT_CLOSE)
    ST_RESUME    = 6    // back to polling when a port exists, else idle
};

// The firmware path for the next transfer, as FIRMWARE_PATH gave it.
struct DownloadRequest
{
    std::int32_t pathBytes;     // including the zero unit; 0 when no path is held
    std::uint8_t path[1024];    // UTF-16 units and a zero unit
};

constexpr int maxTransferPathBytes = 512;
