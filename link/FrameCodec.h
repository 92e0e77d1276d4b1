#pragma once

#include <atomic>
#include <cstdint>

// ASCII-hex frames of the device protocol:
//   START  LL  CC  data...  SS  CR LF
// START is the device address character, LL = (n + 1) mod 256, SS the 8-bit sum
// of the characters before it. All ring and buffer indices wrap by masking.

// Start character of every frame: '&', '*', '#' or '$' for A0..A3; 0 until set.
// Written by the message thread, read by the worker at every build and parse.
extern std::atomic<std::int32_t> DeviceAddressChar;

constexpr int frameBufferSize = 1024;
constexpr int ringSize = 1024;
constexpr int ringMask = ringSize - 1;
constexpr int replyBytesSize = 128;
constexpr int replyBytesMask = replyBytesSize - 1;

// Receive ring of one command attempt; cleared to zeros before each attempt.
struct RxRing
{
    std::int32_t head;          // where the next received byte goes
    std::int32_t tail;          // where the next scan starts
    std::uint8_t buf[ringSize]; // used or skipped start characters carry bit 7
};

// The decoded reply: bytes[0] is the reply code, bytes[1..] the data.
struct ReplyRecord
{
    std::int32_t framesParsed;
    std::int32_t count;         // LL of the last accepted frame
    std::uint8_t spare;
    std::uint8_t bytes[replyBytesSize];
};

// Writes one frame into the caller's 1024-character buffer; returns (2n + 9) mod 1024.
int buildFrame (std::uint8_t* buffer, std::uint8_t command, const std::uint8_t* data, int n);

// 0: a frame was accepted into reply; -4: the last frame is still incomplete;
// -1: nothing unread, no start character, bad checksum or no CR LF.
int parseFrame (RxRing& ring, ReplyRecord& reply);

// Hex digits of either case count as 0..15; any other character as its own code.
std::uint8_t hexPairToByte (std::uint8_t high, std::uint8_t low);

// 0..15 to '0'..'9', 'A'..'F'.
std::uint8_t nibbleToHexChar (int v);

// Appends n bytes at head, wrapping; does not look at tail.
void ringPut (RxRing& ring, const std::uint8_t* bytes, int n);
