#include "GuardedXml.h"

#include "GuardedText.h"

#include <cstring>
#include <vector>

namespace
{
    using Chars = std::vector<juce::juce_wchar>;

    bool isSpace (juce::juce_wchar c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r';
    }

    // The characters JUCE's parser takes into a name, so that a name ends
    // where it ends for JUCE too.
    bool isNameChar (juce::juce_wchar c)
    {
        if (c < 128)
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                    || c == '_' || c == '-' || c == ':' || c == '.';

        return c >= 160 && juce::CharacterFunctions::isLetterOrDigit (c);
    }

    bool isNameStart (juce::juce_wchar c)
    {
        return isNameChar (c) && ! (c >= '0' && c <= '9') && c != '-' && c != '.';
    }

    // Checks that the text is plain well-formed XML that JUCE's recursive
    // parser can take safely: no document type declaration (so no entity
    // but the five predefined ones and character references), no element
    // deeper than the bound, and no processing instruction inside the root
    // (JUCE's parser loops for ever on one followed by text). It walks the
    // text once, without recursion.
    class Scan
    {
    public:
        explicit Scan (const Chars& textWithZero) : s (textWithZero) {}

        bool document()
        {
            if (! misc() || ! isStartTag())
                return false;

            std::vector<Chars> open;

            if (! startTag (open))
                return false;

            while (! open.empty())
            {
                const auto c = at (0);

                if (c == 0)
                    return false;

                if (c == '<')
                {
                    bool ok;

                    if (at (1) == '/')         ok = endTag (open);
                    else if (isStartTag())     ok = startTag (open);
                    else if (lookingAt ("<!--"))      ok = skipPast (4, "-->");
                    else if (lookingAt ("<![CDATA[")) ok = skipPast (9, "]]>");
                    else                       ok = false;   // a processing instruction among them

                    if (! ok)
                        return false;
                }
                else if (c == '&')
                {
                    if (! reference())
                        return false;
                }
                else
                {
                    ++i;
                }
            }

            return misc() && at (0) == 0;
        }

    private:
        juce::juce_wchar at (size_t ahead) const
        {
            return i + ahead < s.size() ? s[i + ahead] : 0;
        }

        bool lookingAt (const char* ascii) const
        {
            for (size_t k = 0; ascii[k] != 0; ++k)
                if (at (k) != (juce::juce_wchar) (unsigned char) ascii[k])
                    return false;

            return true;
        }

        bool skipSpace()
        {
            const auto start = i;

            while (isSpace (at (0)))
                ++i;

            return i != start;
        }

        // Skips `from` characters, then everything up to and including the terminator.
        bool skipPast (size_t from, const char* terminator)
        {
            i += from;

            while (at (0) != 0)
            {
                if (lookingAt (terminator))
                {
                    i += std::strlen (terminator);
                    return true;
                }

                ++i;
            }

            return false;
        }

        // White space, comments and processing instructions (the XML declaration among them).
        bool misc()
        {
            for (;;)
            {
                skipSpace();

                if (lookingAt ("<!--"))
                {
                    if (! skipPast (4, "-->"))
                        return false;
                }
                else if (lookingAt ("<?"))
                {
                    if (! skipPast (2, "?>"))
                        return false;
                }
                else
                {
                    return true;
                }
            }
        }

        bool isStartTag() const
        {
            return at (0) == '<' && isNameStart (at (1));
        }

        bool name (Chars& out)
        {
            if (! isNameStart (at (0)))
                return false;

            const auto start = i;

            while (isNameChar (at (0)))
                ++i;

            out.assign (s.begin() + (std::ptrdiff_t) start, s.begin() + (std::ptrdiff_t) i);
            return true;
        }

        bool startTag (std::vector<Chars>& open)
        {
            if ((int) open.size() + 1 > maxGuardedXmlDepth)
                return false;

            ++i;
            Chars tag;

            if (! name (tag))
                return false;

            for (;;)
            {
                const bool spaced = skipSpace();

                if (at (0) == '/' && at (1) == '>')
                {
                    i += 2;
                    return true;
                }

                if (at (0) == '>')
                {
                    ++i;
                    open.push_back (std::move (tag));
                    return true;
                }

                Chars attribute;

                if (! spaced || ! name (attribute))
                    return false;

                skipSpace();

                if (at (0) != '=')
                    return false;

                ++i;
                skipSpace();

                if (! quoted())
                    return false;
            }
        }

        bool quoted()
        {
            const auto quote = at (0);

            if (quote != '"' && quote != '\'')
                return false;

            for (++i;;)
            {
                const auto c = at (0);

                if (c == quote)
                {
                    ++i;
                    return true;
                }

                if (c == 0 || c == '<')
                    return false;

                if (c == '&')
                {
                    if (! reference())
                        return false;
                }
                else
                {
                    ++i;
                }
            }
        }

        bool endTag (std::vector<Chars>& open)
        {
            i += 2;
            Chars tag;

            if (! name (tag) || tag != open.back())
                return false;

            skipSpace();

            if (at (0) != '>')
                return false;

            ++i;
            open.pop_back();
            return true;
        }

        // One of the five predefined entities or a character reference to a
        // character XML allows; anything else would send JUCE's parser looking
        // for a declaration.
        bool reference()
        {
            for (auto* entity : { "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" })
            {
                if (lookingAt (entity))
                {
                    i += std::strlen (entity);
                    return true;
                }
            }

            if (at (1) != '#')
                return false;

            i += 2;
            const bool hex = at (0) == 'x';

            if (hex)
                ++i;

            juce::int64 value = 0;
            int digits = 0;

            for (;; ++i)
            {
                const auto c = at (0);
                const int digit = (c >= '0' && c <= '9') ? (int) (c - '0')
                                : (hex && c >= 'a' && c <= 'f') ? (int) (c - 'a' + 10)
                                : (hex && c >= 'A' && c <= 'F') ? (int) (c - 'A' + 10)
                                : -1;
                if (digit < 0)
                    break;

                // JUCE reads at most 8 hex or 12 decimal digits.
                if (++digits > (hex ? 8 : 12))
                    return false;

                value = value * (hex ? 16 : 10) + digit;
            }

            if (digits == 0 || at (0) != ';')
                return false;

            ++i;
            return isXmlCharacter (value);
        }

        const Chars& s;
        size_t i = 0;
    };
}

std::unique_ptr<juce::XmlElement> parseGuardedXml (const juce::MemoryBlock& bytes)
{
    if (bytes.getSize() > maxGuardedXmlBytes)
        return {};

    Chars text;

    if (! decodeGuardedText (bytes, text))
        return {};

    if (! Scan (text).document())
        return {};

    text.push_back (0);
    juce::XmlDocument document (juce::String (juce::CharPointer_UTF32 (text.data())));
    return document.getDocumentElement();
}

std::unique_ptr<juce::XmlElement> parseGuardedXml (const juce::String& text)
{
    return parseGuardedXml (juce::MemoryBlock (text.toRawUTF8(), text.getNumBytesAsUTF8()));
}

std::unique_ptr<juce::XmlElement> readGuardedXmlFile (const juce::File& file)
{
    juce::MemoryBlock bytes;

    if (! readBoundedFile (file, maxGuardedXmlBytes, bytes))
        return {};

    return parseGuardedXml (bytes);
}
