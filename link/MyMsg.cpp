#include "MyMsg.h"

#include <cstring>

std::uint8_t* MyMsg::allocateData (size_t numBytes)
{
    data.reset (new std::uint8_t[numBytes]());
    dataSize = numBytes;
    return data.get();
}

void MyMsg::copyData (const void* bytes, size_t numBytes)
{
    auto* dest = allocateData (numBytes);

    if (numBytes > 0)
        std::memcpy (dest, bytes, numBytes);
}
