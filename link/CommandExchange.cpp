#include "MyCom.h"

#include "DeviceProtocol.h"

#include <cmath>
#include <cstring>

namespace
{
    constexpr int attempts = 3;
    constexpr int pauseMs = 10;

    // A peer that keeps sending bytes that never make a known frame would keep
    // an attempt alive for ever: its whole wait is bounded to this many time-outs.
    constexpr int attemptWaitLimitFactor = 4;
    constexpr int attemptWaitLimitMinimumMs = 1000;

    juce::String writeFailLine (int written)
    {
        return "Write Fail" + juce::String::formatted (" ::%d.", written);
    }
}

bool MyCom::sendCommand (std::uint8_t command, const std::uint8_t* data, int n, int delayMs, int timeoutMs)
{
    std::uint8_t frame[frameBufferSize];
    std::uint8_t readBuffer[1024];
    RxRing ring;

    // Taken before the first write: a cancel that lands between a write and
    // the wait for its reply must still cut that wait short.
    const bool cancellable = downloading != 0;

    const double waitLimitMs = juce::jmax (attemptWaitLimitMinimumMs, attemptWaitLimitFactor * timeoutMs);

    for (int attempt = 0; attempt < attempts && ! shouldStop(); ++attempt)
    {
        *reply = {};
        std::memset (&ring, 0, sizeof (ring));

        const int length = buildFrame (frame, command, data, n);

        if (port == nullptr)
        {
            postLog (LOG_INFO, writeFailLine (0));
            return false;
        }

        // Nobody is there to answer; the state machine closes the port.
        if (port->isLost())
            return false;

        const int written = port->write (frame, (std::uint32_t) length);
        postLog (LOG_SEND, "Send: " + (written > 0 ? juce::String::toHexString (frame, written, 1) : juce::String()));

        if (written <= 0)
        {
            postLog (LOG_INFO, writeFailLine (written));
            return false;
        }

        if (delayMs > 0)
            juce::Thread::sleep (delayMs);

        int remaining = timeoutMs;
        const double attemptStart = juce::Time::getMillisecondCounterHiRes();

        for (;;)
        {
            if (shouldStop())
                break;

            std::memset (readBuffer, 0, sizeof (readBuffer));
            const int k = port->isOpen() ? port->read (readBuffer) : 0;

            if (k > 0)
            {
                ringPut (ring, readBuffer, k);
                postLog (LOG_RECV, "Rec  : " + juce::String::toHexString (readBuffer, k, 1));

                while (parseFrame (ring, *reply) == 0)
                    if (handleReply (*reply) == reply->bytes[0])
                        return true;

                if (juce::Time::getMillisecondCounterHiRes() - attemptStart > waitLimitMs)
                    break;

                continue;
            }

            if (port->isLost())
                return false;

            if (remaining <= 0)
                break;

            remaining -= pauseMs;

            if (cancellable && downloading == 0)
                break;

            // The pause ends as soon as bytes arrive, and then counts only the
            // silence it waited: a reply trickling in character by character
            // must not run the time-out down faster than a blind pause would.
            const double pauseStart = juce::Time::getMillisecondCounterHiRes();

            if (port->waitForInput (pauseMs))
            {
                const auto waited = (int) std::ceil (juce::Time::getMillisecondCounterHiRes() - pauseStart);
                remaining += pauseMs - juce::jlimit (0, pauseMs, waited);
            }
        }
    }

    postStatus (LISTENER_PAGE, NOTIFY_DEVICE_CLEAR, nullptr);

    const auto current = state.load();
    auto expected = current;

    if (current != ST_RESUME && nextState.compare_exchange_strong (expected, ST_RESUME))
        postLog (LOG_INFO, "Try Fail!");

    return false;
}

int MyCom::handleReply (const ReplyRecord& replyRecord)
{
    const int code = replyRecord.bytes[0];

    if (code == 0x01)
    {
        std::memcpy (&deviceInfo, replyRecord.bytes + 1, sizeof (deviceInfo));
        postStatus (LISTENER_PAGE, NOTIFY_DEVICE_INFO, &deviceInfo);
        return 1;
    }

    return isKnownReplyCode (code) ? code : -1;
}

bool MyCom::sendSubCommand (std::uint8_t sub, int param, int count)
{
    std::uint8_t record[subCommandHeaderBytes + 1021] = {};
    const int payloadBytes = juce::jlimit (0, 1021, count);

    record[0] = sub;
    record[1] = (std::uint8_t) ((param >> 8) & 0xff);
    record[2] = (std::uint8_t) (param & 0xff);
    record[5] = (std::uint8_t) ((count >> 8) & 0xff);
    record[6] = (std::uint8_t) (count & 0xff);

    if (payloadBytes > 0)
        std::memcpy (record + subCommandHeaderBytes, block, (size_t) payloadBytes);

    return sendCommand (RPC_DOWNLOAD, record, payloadBytes + subCommandHeaderBytes, 0, subCommandTimeoutMs);
}
