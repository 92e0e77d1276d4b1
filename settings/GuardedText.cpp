#include "GuardedText.h"

#include "Utf8.h"

#include <cstring>
#include <limits>

namespace
{
    using Chars = std::vector<juce::juce_wchar>;

    bool decodeUtf8 (const juce::uint8* p, size_t n, Chars& out)
    {
        for (size_t k = 0; k < n;)
        {
            const juce::uint32 lead = p[k];
            int extra;
            juce::uint32 c, min;

            if (lead < 0x80)                        { c = lead;        extra = 0; min = 0; }
            else if (lead >= 0xC2 && lead <= 0xDF)  { c = lead & 0x1F; extra = 1; min = 0x80; }
            else if (lead >= 0xE0 && lead <= 0xEF)  { c = lead & 0x0F; extra = 2; min = 0x800; }
            else if (lead >= 0xF0 && lead <= 0xF4)  { c = lead & 0x07; extra = 3; min = 0x10000; }
            else                                    return false;

            if ((size_t) extra > n - k - 1)
                return false;

            for (int e = 1; e <= extra; ++e)
            {
                const juce::uint32 next = p[k + (size_t) e];

                if ((next & 0xC0) != 0x80)
                    return false;

                c = (c << 6) | (next & 0x3F);
            }

            // Overlong forms and values beyond U+10FFFF; surrogates fail the character check.
            if (c < min || c > 0x10FFFF || ! isXmlCharacter (c))
                return false;

            out.push_back ((juce::juce_wchar) c);
            k += (size_t) extra + 1;
        }

        return true;
    }

    bool decodeUtf16 (const juce::uint8* p, size_t n, bool bigEndian, Chars& out)
    {
        if (n % 2 != 0)
            return false;

        auto unit = [&] (size_t k) -> juce::uint32
        {
            return bigEndian ? (juce::uint32) ((p[k] << 8) | p[k + 1])
                             : (juce::uint32) ((p[k + 1] << 8) | p[k]);
        };

        for (size_t k = 0; k < n; k += 2)
        {
            juce::uint32 c = unit (k);

            if (c >= 0xD800 && c <= 0xDBFF)
            {
                if (k + 2 >= n)
                    return false;

                const auto low = unit (k + 2);

                if (low < 0xDC00 || low > 0xDFFF)
                    return false;

                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                k += 2;
            }

            if (! isXmlCharacter (c))
                return false;

            out.push_back ((juce::juce_wchar) c);
        }

        return true;
    }

    // As the framework's createStringFromData, but with the strict test of
    // UTF-8: the framework's lets overlong forms and surrogates through, whose
    // bytes its strings then copy and count apart.
    juce::String decodeUtf8OrWindows1252 (const juce::uint8* p, size_t n)
    {
        if (n == 0)
            return {};

        if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        {
            p += 3;
            n -= 3;
        }

        const auto* text = reinterpret_cast<const char*> (p);
        const auto* nul = static_cast<const char*> (std::memchr (text, 0, n));
        const auto length = nul != nullptr ? (size_t) (nul - text) : n;

        if (platform::isValidUtf8 (text, length))
            return juce::String::fromUTF8 (text, (int) juce::jmin (length, (size_t) std::numeric_limits<int>::max()));

        Chars out;
        out.reserve (length + 1);

        for (size_t k = 0; k < length; ++k)
            out.push_back (juce::CharacterFunctions::getUnicodeCharFromWindows1252Codepage (p[k]));

        out.push_back (0);
        return juce::String (juce::CharPointer_UTF32 (out.data()));
    }
}

bool isXmlCharacter (juce::int64 c)
{
    return c == 0x9 || c == 0xA || c == 0xD
            || (c >= 0x20 && c <= 0xD7FF)
            || (c >= 0xE000 && c <= 0xFFFD)
            || (c >= 0x10000 && c <= 0x10FFFF);
}

bool decodeGuardedText (const juce::MemoryBlock& bytes, std::vector<juce::juce_wchar>& text)
{
    const auto* p = static_cast<const juce::uint8*> (bytes.getData());
    const auto n = bytes.getSize();
    Chars out;
    out.reserve (n);
    bool ok;

    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE)
        ok = decodeUtf16 (p + 2, n - 2, false, out);
    else if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF)
        ok = decodeUtf16 (p + 2, n - 2, true, out);
    else if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        ok = decodeUtf8 (p + 3, n - 3, out);
    else
        ok = decodeUtf8 (p, n, out);

    if (ok)
        text = std::move (out);

    return ok;
}

juce::String decodeLenientText (const juce::MemoryBlock& bytes)
{
    const auto* p = static_cast<const juce::uint8*> (bytes.getData());
    const auto n = bytes.getSize();
    const bool little = n >= 2 && p[0] == 0xFF && p[1] == 0xFE;
    const bool big = n >= 2 && p[0] == 0xFE && p[1] == 0xFF;

    if (! little && ! big)
        return decodeUtf8OrWindows1252 (p, n);

    auto unit = [&] (size_t k) -> juce::uint32
    {
        return big ? (juce::uint32) ((p[k] << 8) | p[k + 1]) : (juce::uint32) ((p[k + 1] << 8) | p[k]);
    };

    Chars out;
    out.reserve (n / 2);

    for (size_t k = 2; k + 1 < n; k += 2)
    {
        auto c = unit (k);

        if (c >= 0xD800 && c <= 0xDFFF)
        {
            const auto low = k + 3 < n ? unit (k + 2) : 0;

            if (c <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF)
            {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                k += 2;
            }
            else
            {
                c = 0xFFFD;
            }
        }

        out.push_back ((juce::juce_wchar) c);
    }

    out.push_back (0);
    return juce::String (juce::CharPointer_UTF32 (out.data()));
}

bool readBoundedFile (const juce::File& file, size_t maxBytes, juce::MemoryBlock& bytes)
{
    if (! file.existsAsFile() || file.getSize() > (juce::int64) maxBytes)
        return false;

    juce::FileInputStream in (file);

    if (! in.openedOk())
        return false;

    juce::MemoryBlock read;
    in.readIntoMemoryBlock (read, (ssize_t) maxBytes + 1);

    if (read.getSize() > maxBytes || in.getStatus().failed())
        return false;

    bytes = std::move (read);
    return true;
}
