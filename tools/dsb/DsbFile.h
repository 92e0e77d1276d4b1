#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Firmware files (*.dsb): a big-endian 32-bit sum of every byte from offset 4
// on, the 8-byte tag the device's name must match, then the image, which goes
// to the device in 64-byte blocks, the last one padded with zeros.
namespace dsb
{
    using Bytes = std::vector<std::uint8_t>;

    constexpr std::size_t tagSize = 8;
    constexpr std::size_t headerSize = 4 + tagSize;
    constexpr std::size_t blockSize = 64;

    // Sum modulo 2^32.
    std::uint32_t byteSum (const std::uint8_t* data, std::size_t size);

    // A file for the tag (at most 8 bytes, padded with zeros) and image. With
    // rightChecksum false the header holds a sum that is off by one.
    // Throws std::invalid_argument for a longer tag.
    Bytes makeFile (const std::string& tag, const Bytes& image, bool rightChecksum = true);

    // The same bytes for the same size and seed, on every machine.
    Bytes randomImage (std::size_t size, std::uint32_t seed);

    bool checksumHolds (const Bytes& file);

    // The image as the device receives it: from offset 12, padded with zeros
    // to whole blocks.
    Bytes imageAsSent (const Bytes& file);
}
