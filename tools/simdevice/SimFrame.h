#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The simulated device's side of the frame format, written apart from the
// host's codec so that a fault in one is not copied into the other:
//   START LL CC data SS CR LF
// LL = number of bytes in CC and data, SS = 8-bit sum of the characters before it.
namespace sim
{
    // Start character of device address 0..3 (A0..A3), 0 for any other.
    char startCharacterFor (int address);

    // One frame; lowerCase writes the digits of LL, CC and data, and so sums them,
    // in lower case.
    std::string encodeFrame (char start, std::uint8_t code, const std::vector<std::uint8_t>& data, bool lowerCase = false);

    struct HostInput
    {
        enum class Kind { poll, frame, badFrame };

        Kind kind = Kind::poll;
        std::uint8_t code = 0;
        std::vector<std::uint8_t> data;
        std::size_t characters = 0;    // as they stood on the line
    };

    // Splits the host's byte stream into polls ('Q') and frames at one start
    // character. It is strict: a character that cannot stand where it stands
    // ends the frame as bad, and is then read again on its own.
    class FrameReader
    {
    public:
        explicit FrameReader (char startCharacter);

        // Appends to out what this byte completes.
        void feed (std::uint8_t byte, std::vector<HostInput>& out);

        // Forgets a frame in progress.
        void reset();

    private:
        void take (std::uint8_t byte, std::vector<HostInput>& out);
        void finish (std::vector<HostInput>& out);
        void reject (std::vector<HostInput>& out);

        char start;
        std::string pending;     // the frame so far, start character first
        std::size_t expected = 0;
    };
}
