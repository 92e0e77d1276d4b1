#include "Utf8.h"

bool platform::isValidUtf8 (const char* bytes, size_t count) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*> (bytes);
    const auto* const end = p + count;

    while (p < end)
    {
        const unsigned lead = *p++;

        if (lead < 0x80)
            continue;

        // The lead byte sets the length and the value's lowest bound, which
        // an overlong form stays under.
        int extra;
        unsigned value, lowest;

        if (lead >= 0xC2 && lead <= 0xDF)      { extra = 1; value = lead & 0x1F; lowest = 0x80; }
        else if (lead >= 0xE0 && lead <= 0xEF) { extra = 2; value = lead & 0x0F; lowest = 0x800; }
        else if (lead >= 0xF0 && lead <= 0xF4) { extra = 3; value = lead & 0x07; lowest = 0x10000; }
        else                                   return false;

        if (end - p < extra)
            return false;

        for (int i = 0; i < extra; ++i, ++p)
        {
            if ((*p & 0xC0) != 0x80)
                return false;

            value = (value << 6) | (*p & 0x3Fu);
        }

        if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
    }

    return true;
}
