// Arbitrary bytes as the language file, through the guarded reader into the
// label tables. The sanitizers watch every access (and the stack: deep
// nesting must be refused before JUCE's recursive parser sees it). A text
// read as UTF-8 must read the same once stored as UTF-16 of either byte order.
#include "GuardedText.h"
#include "GuardedXml.h"
#include "LabelLoader.h"

#include <cstdlib>

namespace
{
juce::MemoryBlock asUtf16 (const std::vector<juce::juce_wchar>& text, bool bigEndian)
{
    juce::MemoryOutputStream out;
    out.write (bigEndian ? "\xfe\xff" : "\xff\xfe", 2);

    auto unit = [&] (juce::uint32 u) { bigEndian ? out.writeShortBigEndian ((short) u) : out.writeShort ((short) u); };

    for (auto c : text)
    {
        if (c >= 0x10000)
        {
            unit (0xD800 + ((c - 0x10000) >> 10));
            unit (0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        else
        {
            unit (c);
        }
    }

    return out.getMemoryBlock();
}

bool sameDocument (const juce::XmlElement* a, const juce::XmlElement* b)
{
    return (a == nullptr) == (b == nullptr) && (a == nullptr || a->isEquivalentTo (b, false));
}
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    const juce::MemoryBlock bytes (data, size);
    const auto root = parseGuardedXml (bytes);

    for (int codePage : { codePageEnglish, codePageChinese })
        readLabelTexts (root.get(), codePage);

    const bool utf16 = size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
    std::vector<juce::juce_wchar> text;

    if (! utf16 && decodeGuardedText (bytes, text))
    {
        for (bool bigEndian : { false, true })
        {
            const auto again = asUtf16 (text, bigEndian);

            if (again.getSize() <= maxGuardedXmlBytes && ! sameDocument (root.get(), parseGuardedXml (again).get()))
                std::abort();
        }
    }

    return 0;
}
