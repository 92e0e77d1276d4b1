#pragma once

#include <cstddef>

namespace platform
{
    // True when the bytes are well-formed UTF-8: no stray continuation byte,
    // no sequence cut off, no overlong form, no surrogate, nothing past
    // U+10FFFF. A juce::String keeps the bytes it is made from, but its
    // readers decode them, and on any other bytes the two disagree: outside
    // bytes that become a string are checked with this first.
    bool isValidUtf8 (const char* bytes, size_t count) noexcept;
}
