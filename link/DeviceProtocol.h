#pragma once

#include <cstdint>

// Command codes the host sends (the CC of a host frame).
enum CommandCode : std::uint8_t
{
    RPC_SERCH_DEV = 0x01,   // search: answered with the device information
    RPC_DOWNLOAD  = 0x80    // carries a download sub-command record
};

// Download sub-commands: the first byte of an RPC_DOWNLOAD record.
enum SubCommand : std::uint8_t
{
    DL_BEGIN   = 0x00,
    DL_WRITE   = 0x01,
    DL_COMMIT  = 0x03,
    DL_PREPARE = 0xF2,
    DL_VERIFY  = 0xF7
};

constexpr int searchDelayMs = 20;
constexpr int searchTimeoutMs = 100;
constexpr int subCommandTimeoutMs = 5000;
constexpr int beginParameter = 5000;

constexpr int subCommandHeaderBytes = 7;   // sub, param (2), zero (2), count (2)
constexpr int firmwareBlockBytes = 64;
constexpr int firmwareHeaderBytes = 12;    // checksum (4, big-endian) and tag (8)
constexpr int firmwareTagBytes = 8;

// The reply codes that answer a waiting command; 0x01 also carries the device information.
constexpr bool isKnownReplyCode (int code) noexcept
{
    switch (code)
    {
        case 0x01: case 0x03: case 0x04: case 0x05:
        case 0x70: case 0x71: case 0x72: case 0x80:
            return true;
        default:
            return false;
    }
}
