#pragma once

#include <juce_core/juce_core.h>

namespace platform
{
    // Reads up to numBytes of a connected stream's body: the count read, 0 at
    // the end of the body, -1 when the read failed (a time-out, a lost
    // connection). The framework's own read returns 0 for both of the last.
    int readWebStream (juce::WebInputStream& stream, void* dest, int numBytes);
}
