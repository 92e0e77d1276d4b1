#pragma once

#include <cstdint>

// The device's identity as its search reply carries it, 17 bytes; the same
// layout in the worker and in the NOTIFY_DEVICE_INFO payload.
struct DeviceInfo
{
    std::uint8_t name[8];        // must equal the firmware file's tag
    std::uint8_t productDate[4];
    std::uint8_t releaseDate[4];
    std::uint8_t spare;
};

static_assert (sizeof (DeviceInfo) == 17, "DeviceInfo travels as exactly 17 bytes");
