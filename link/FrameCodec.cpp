#include "FrameCodec.h"

std::atomic<std::int32_t> DeviceAddressChar { 0 };

namespace
{
    std::uint8_t startCharacter()
    {
        return (std::uint8_t) (DeviceAddressChar.load (std::memory_order_relaxed) & 0xff);
    }

    int hexValue (std::uint8_t c)
    {
        if (c >= '0' && c <= '9')  return c - '0';
        if (c >= 'a' && c <= 'f')  return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')  return c - 'A' + 10;
        return c;
    }
}

std::uint8_t nibbleToHexChar (int v)
{
    v &= 0x0f;
    return (std::uint8_t) (v < 10 ? '0' + v : 'A' + (v - 10));
}

std::uint8_t hexPairToByte (std::uint8_t high, std::uint8_t low)
{
    return (std::uint8_t) ((hexValue (high) * 16 + hexValue (low)) & 0xff);
}

int buildFrame (std::uint8_t* buffer, std::uint8_t command, const std::uint8_t* data, int n)
{
    int pos = 0;
    std::uint8_t sum = 0;

    auto put = [&] (std::uint8_t c)
    {
        buffer[pos & (frameBufferSize - 1)] = c;
        ++pos;
    };

    auto putHex = [&] (std::uint8_t value)
    {
        const auto hi = nibbleToHexChar (value >> 4);
        const auto lo = nibbleToHexChar (value & 0x0f);
        put (hi);
        put (lo);
        sum = (std::uint8_t) (sum + hi + lo);
    };

    const auto start = startCharacter();
    put (start);
    sum = start;

    putHex ((std::uint8_t) ((n + 1) & 0xff));
    putHex (command);

    for (int i = 0; i < n; ++i)
        putHex (data[i]);

    const std::uint8_t checksum = sum;
    put (nibbleToHexChar (checksum >> 4));
    put (nibbleToHexChar (checksum & 0x0f));
    put (0x0d);
    put (0x0a);

    return pos & (frameBufferSize - 1);
}

int parseFrame (RxRing& ring, ReplyRecord& reply)
{
    const int head = ring.head & ringMask;
    int tail = ring.tail & ringMask;

    if (tail == head)
        return -1;

    const auto start = startCharacter();
    int latest = -1;

    // Only the last start character of the unread stretch is decoded; every
    // earlier one is disabled, and tail stops at the last one disabled.
    for (int pos = tail; pos != head; pos = (pos + 1) & ringMask)
    {
        if (ring.buf[pos] != start)
            continue;

        if (latest >= 0)
        {
            ring.buf[latest] |= 0x80;
            tail = latest;
        }

        latest = pos;
    }

    ring.tail = tail;

    if (latest < 0)
    {
        ring.tail = head;
        return -1;
    }

    const int s = latest;
    auto at = [&] (int offset) { return ring.buf[(s + offset) & ringMask]; };

    const int ll = hexPairToByte (at (1), at (2));

    // Incomplete: the start character stays live so the next call finds it again.
    if (((head - s) & ringMask) < 2 * ll + 7)
        return -4;

    ring.buf[s] |= 0x80;

    std::uint8_t check = (std::uint8_t) (start + at (1) + at (2));

    for (int k = 0; k < ll; ++k)
    {
        const auto hi = at (3 + 2 * k);
        const auto lo = at (4 + 2 * k);
        reply.bytes[k & replyBytesMask] = hexPairToByte (hi, lo);
        check = (std::uint8_t) (check + hi + lo);
    }

    const int ssPos = 3 + 2 * ll;
    const auto ss = hexPairToByte (at (ssPos), at (ssPos + 1));

    if (ss != check || at (ssPos + 2) != 0x0d || at (ssPos + 3) != 0x0a)
        return -1;

    ++reply.framesParsed;
    reply.count = ll;
    return 0;
}

void ringPut (RxRing& ring, const std::uint8_t* bytes, int n)
{
    for (int i = 0; i < n; ++i)
    {
        ring.buf[ring.head & ringMask] = bytes[i];
        ring.head = (ring.head + 1) & ringMask;
    }
}
