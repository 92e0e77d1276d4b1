#pragma once

#include <string>
#include <vector>

namespace platform
{
    inline constexpr int maxListedPorts = 16;

    // The serial ports present, named as the serial layer opens them after
    // devicePathPrefix ("ttyUSB0", "COM5"): at most maxListedPorts, in an
    // order that stays the same while the set of ports does; empty when the
    // list cannot be read. Read anew at every call.
    std::vector<std::string> listSerialPorts();
}
