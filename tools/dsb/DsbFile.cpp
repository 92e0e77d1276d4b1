#include "DsbFile.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace dsb
{
    std::uint32_t byteSum (const std::uint8_t* data, std::size_t size)
    {
        std::uint32_t sum = 0;

        for (std::size_t i = 0; i < size; ++i)
            sum += data[i];

        return sum;
    }

    Bytes makeFile (const std::string& tag, const Bytes& image, bool rightChecksum)
    {
        if (tag.size() > tagSize)
            throw std::invalid_argument ("a tag has at most 8 bytes");

        Bytes file (headerSize + image.size(), 0);
        std::copy (tag.begin(), tag.end(), file.begin() + 4);
        std::copy (image.begin(), image.end(), file.begin() + (std::ptrdiff_t) headerSize);

        auto sum = byteSum (file.data() + 4, file.size() - 4);

        if (! rightChecksum)
            sum += 1;

        file[0] = (std::uint8_t) (sum >> 24);
        file[1] = (std::uint8_t) (sum >> 16);
        file[2] = (std::uint8_t) (sum >> 8);
        file[3] = (std::uint8_t) sum;
        return file;
    }

    Bytes randomImage (std::size_t size, std::uint32_t seed)
    {
        // mt19937's output is fixed by the standard; the distributions are not.
        std::mt19937 generator (seed);
        Bytes image (size);

        for (auto& b : image)
            b = (std::uint8_t) (generator() >> 24);

        return image;
    }

    bool checksumHolds (const Bytes& file)
    {
        if (file.size() < 4)
            return false;

        const auto stored = ((std::uint32_t) file[0] << 24) | ((std::uint32_t) file[1] << 16)
                          | ((std::uint32_t) file[2] << 8) | (std::uint32_t) file[3];
        return stored == byteSum (file.data() + 4, file.size() - 4);
    }

    Bytes imageAsSent (const Bytes& file)
    {
        if (file.size() <= headerSize)
            return {};

        Bytes image (file.begin() + (std::ptrdiff_t) headerSize, file.end());
        image.resize ((image.size() + blockSize - 1) / blockSize * blockSize, 0);
        return image;
    }
}
