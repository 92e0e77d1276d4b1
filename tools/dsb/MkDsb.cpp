// mkdsb: writes a firmware file for tests and trial runs.
#include "DsbFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace
{
    const char* const usage =
        "usage: mkdsb --tag NAME (--random SIZE [--seed N] | --image FILE) [--wrong-checksum] --out FILE.dsb\n"
        "  --tag NAME        the device name the file is meant for, at most 8 characters\n"
        "  --random SIZE     an image of SIZE random bytes (the same bytes for the same seed)\n"
        "  --seed N          seed of the random image, default 1\n"
        "  --image FILE      take the image from FILE\n"
        "  --wrong-checksum  store a checksum that is off by one\n"
        "  --out FILE        the file to write\n";

    int fail (const std::string& message)
    {
        std::fprintf (stderr, "mkdsb: %s\n%s", message.c_str(), usage);
        return 2;
    }

    bool parseNumber (const char* text, unsigned long long& value)
    {
        char* end = nullptr;
        errno = 0;
        value = std::strtoull (text, &end, 0);
        return errno == 0 && end != text && *end == 0 && text[0] != '-';
    }
}

int main (int argc, char** argv)
{
    std::string tag, imagePath, outPath;
    unsigned long long randomSize = 0, seed = 1;
    bool haveTag = false, haveRandom = false, rightChecksum = true;

    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        auto value = [&] () -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };

        if (arg == "--tag")                 { auto v = value(); if (! v) return fail ("--tag needs a name"); tag = v; haveTag = true; }
        else if (arg == "--random")         { auto v = value(); if (! v || ! parseNumber (v, randomSize)) return fail ("--random needs a size"); haveRandom = true; }
        else if (arg == "--seed")           { auto v = value(); if (! v || ! parseNumber (v, seed) || seed > 0xffffffffull) return fail ("--seed needs a 32-bit number"); }
        else if (arg == "--image")          { auto v = value(); if (! v) return fail ("--image needs a file"); imagePath = v; }
        else if (arg == "--wrong-checksum") { rightChecksum = false; }
        else if (arg == "--out")            { auto v = value(); if (! v) return fail ("--out needs a file"); outPath = v; }
        else if (arg == "--help" || arg == "-h") { std::fputs (usage, stdout); return 0; }
        else return fail ("unknown option " + arg);
    }

    if (! haveTag || tag.size() > dsb::tagSize)
        return fail ("give a tag of at most 8 characters");

    if (haveRandom == ! imagePath.empty())
        return fail ("give either --random or --image");

    if (outPath.empty())
        return fail ("give the output file with --out");

    dsb::Bytes image;

    if (haveRandom)
    {
        image = dsb::randomImage ((std::size_t) randomSize, (std::uint32_t) seed);
    }
    else
    {
        std::ifstream in (imagePath, std::ios::binary);

        if (! in)
            return fail ("cannot read " + imagePath);

        image.assign (std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>());
    }

    const auto file = dsb::makeFile (tag, image, rightChecksum);
    std::ofstream out (outPath, std::ios::binary | std::ios::trunc);
    out.write (reinterpret_cast<const char*> (file.data()), (std::streamsize) file.size());
    out.close();

    if (! out)
    {
        std::fprintf (stderr, "mkdsb: cannot write %s\n", outPath.c_str());
        return 1;
    }

    std::printf ("%s: tag %s, image %zu bytes (%zu blocks), checksum %08x%s\n",
                 outPath.c_str(), tag.c_str(), image.size(),
                 (image.size() + dsb::blockSize - 1) / dsb::blockSize,
                 (unsigned) (((std::uint32_t) file[0] << 24) | ((std::uint32_t) file[1] << 16) | ((std::uint32_t) file[2] << 8) | file[3]),
                 rightChecksum ? "" : " (wrong on purpose)");
    return 0;
}
