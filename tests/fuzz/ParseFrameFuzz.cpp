// Feeds arbitrary byte streams through ringPut into parseFrame. The sanitizers
// watch every access; every accepted frame is built again and must parse back
// to the same reply.
#include "FrameCodec.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
void checkRebuild (const ReplyRecord& reply)
{
    const int ll = reply.count;

    // LL 00 cannot be built (a built frame always has a code), and above 128
    // the record has wrapped: neither can be compared byte for byte.
    if (ll < 1 || ll > replyBytesSize)
        return;

    std::uint8_t frame[frameBufferSize];
    const int length = buildFrame (frame, reply.bytes[0], reply.bytes + 1, ll - 1);

    if (length != 2 * (ll - 1) + 9)
        std::abort();

    auto ring = std::make_unique<RxRing>();
    auto again = std::make_unique<ReplyRecord>();
    ringPut (*ring, frame, length);

    if (parseFrame (*ring, *again) != 0 || again->count != ll || again->framesParsed != 1
         || std::memcmp (again->bytes, reply.bytes, (size_t) ll) != 0)
        std::abort();
}
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;

    static const char addresses[] = { '&', '*', '#', '$' };
    DeviceAddressChar = addresses[data[0] & 3];

    // Heap objects of their exact size, so that any stray index is caught.
    auto ring = std::make_unique<RxRing>();
    auto reply = std::make_unique<ReplyRecord>();
    ring->head = ring->tail = (data[1] * 4) & ringMask;   // start anywhere, to exercise the wrap

    data += 2;
    size -= 2;

    // The rest arrives in reads of 1 to 64 bytes, as a serial port would deliver it.
    size_t chunkSeed = size;

    while (size > 0)
    {
        const size_t chunk = std::min (size, (size_t) (chunkSeed % 64 + 1));
        chunkSeed = chunkSeed * 1103515245u + 12345u;
        ringPut (*ring, data, (int) chunk);
        data += chunk;
        size -= chunk;

        while (parseFrame (*ring, *reply) == 0)
        {
            checkRebuild (*reply);
            reply->framesParsed = 0;
        }

        if ((ring->head & ~ringMask) != 0 || (ring->tail & ~ringMask) != 0)
            std::abort();
    }

    return 0;
}
