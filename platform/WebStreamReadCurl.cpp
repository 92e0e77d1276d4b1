#include "WebStreamRead.h"

// curl's result for the transfer stays with the stream.
int platform::readWebStream (juce::WebInputStream& stream, void* dest, int numBytes)
{
    const auto count = stream.read (dest, numBytes);

    if (count > 0)
        return count;

    return stream.isError() ? -1 : 0;
}
