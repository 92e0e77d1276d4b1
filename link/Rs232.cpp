#include "Rs232.h"

#include <algorithm>
#include <climits>

namespace
{
    constexpr int maxPathLength = 128;
    constexpr std::uint32_t queueBytes = 1024;
    constexpr std::uint32_t chunkBytes = 32;
    constexpr std::uint32_t readBytes = 512;

    // A driver that takes nothing for this long (a line held by flow control,
    // say) ends the write with what it took so far.
    constexpr double writeStallLimitMs = 300.0;

    platform::SerialTimeouts portTimeouts()
    {
        platform::SerialTimeouts t;
        t.readInterval = 0;
        t.readTotalMultiplier = 0;
        t.readTotalConstant = 1;
        t.writeTotalMultiplier = 0;
        t.writeTotalConstant = 1;
        return t;
    }
}

cRs232::cRs232() = default;

cRs232::~cRs232()
{
    close();
}

int cRs232::open (const juce::String& path, int baud)
{
    openError = 0;

    if (path.length() >= maxPathLength)
    {
        openError = platform::nameTooLongError;
        return -1;
    }

    // A second open would otherwise lose the first device, still held.
    close();

    int error = 0;
    auto h = platform::openSerial (path.toRawUTF8(), error);

    if (h == platform::invalidSerialHandle)
    {
        openError = error;
        return error;
    }

    auto fail = [this, h] (int result)
    {
        openError = platform::lastSystemError();
        platform::closeSerial (h);
        return result;
    };

    platform::setQueueSizes (h, queueBytes, queueBytes);

    if (! platform::setTimeouts (h, portTimeouts()))
        return fail (-3);

    platform::LineSettings line;

    if (! platform::getLineSettings (h, line))
        return fail (-4);

    // Zero or negative rates are refused like any rate the driver cannot make.
    line.baudRate = baud > 0 ? (std::uint32_t) baud : 0u;
    line.byteSize = 8;
    line.parity = platform::parityNone;
    line.stopBits = platform::stopBitsOne;

    if (! platform::setLineSettings (h, line))
        return fail (-5);

    platform::purge (h, platform::purgeAll);
    handle = h;
    return 0;
}

int cRs232::write (const void* buffer, std::uint32_t length)
{
    if (! isOpen())
        return -1;

    // The count must stay a positive int.
    length = std::min (length, (std::uint32_t) INT_MAX);

    if (length == 0)
        return 0;

    const auto* bytes = static_cast<const std::uint8_t*> (buffer);
    std::uint32_t done = 0;
    auto lastProgress = juce::Time::getMillisecondCounterHiRes();

    while (done < length)
    {
        const auto chunk = std::min (length - done, chunkBytes);
        std::uint32_t taken = 0;

        if (! platform::writeSerial (handle, bytes + done, chunk, taken))
            return (int) done;

        done += taken;

        if (taken == chunk)
        {
            lastProgress = juce::Time::getMillisecondCounterHiRes();
            continue;
        }

        if (taken > 0)
            lastProgress = juce::Time::getMillisecondCounterHiRes();
        else if (juce::Time::getMillisecondCounterHiRes() - lastProgress >= writeStallLimitMs)
            return (int) done;

        for (int i = 0; i < 6; ++i)
            platform::sleepMs (2);
    }

    return (int) done;
}

int cRs232::read (std::uint8_t* destination)
{
    if (! isOpen())
        return 0;

    std::uint32_t first = 0;

    if (! platform::readSerial (handle, destination, 1, first) || first == 0)
        return 0;

    std::uint32_t queued = 0;

    if (! platform::queuedInput (handle, queued))
        queued = 0;

    std::uint32_t more = 0;

    if (queued > 0 && ! platform::readSerial (handle, destination + 1, std::min (queued, readBytes - 1), more))
        more = 0;

    return (int) (1 + more);
}

int cRs232::close()
{
    if (isOpen())
    {
        platform::closeSerial (handle);
        handle = platform::invalidSerialHandle;
    }

    return 0;
}

bool cRs232::isOpen() const noexcept
{
    return handle != platform::invalidSerialHandle;
}

bool cRs232::isLost() const
{
    return isOpen() && platform::lineLost (handle);
}

bool cRs232::waitForInput (int ms)
{
    if (! isOpen())
    {
        platform::sleepMs (ms);
        return false;
    }

    return platform::waitForInput (handle, ms);
}
