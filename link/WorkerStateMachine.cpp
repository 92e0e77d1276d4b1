#include "MyCom.h"

#include "DeviceProtocol.h"
#include "SerialDevice.h"

#include <cstring>

namespace
{
    constexpr std::uint8_t pollByte = 'Q';
    constexpr std::uint8_t announceByte = 'R';

    // "ttyUSB0: Permission denied": the port as the operator chose it, and why
    // the system would not open it.
    juce::String openFailureReason (const juce::String& path, int systemError, int result)
    {
        const auto name = path.startsWith (platform::devicePathPrefix)
                            ? path.substring ((int) std::strlen (platform::devicePathPrefix)) : path;
        const auto reason = systemError != 0 ? juce::String::fromUTF8 (platform::describeSystemError (systemError).c_str())
                                             : "error " + juce::String (result);
        return name + ": " + reason;
    }
}

void MyCom::run()
{
    rrCount = 0;
    state = ST_IDLE;

    while (! shouldStop())
    {
        switch (state.load())
        {
            case ST_OPEN:       stepOpen();   break;
            case ST_WAIT_FLAG:  stepPoll();   break;
            case ST_SEARCH:     stepSearch(); break;
            case ST_CLOSE:      stepClose();  break;
            case ST_RESUME:     stepResume(); break;
            case ST_IDLE:
            case ST_CLOSED:
            default:            break;
        }

        if (port != nullptr && port->isLost())
            portLost();

        juce::Thread::sleep (2);

        const auto next = nextState.load (std::memory_order_acquire);

        if (next != state.load())
            state = next;
    }
}

bool MyCom::requestFromCurrent (WorkerState next)
{
    auto expected = state.load();
    return nextState.compare_exchange_strong (expected, next, std::memory_order_acq_rel);
}

void MyCom::stepOpen()
{
    if (port == nullptr)
    {
        port = std::make_unique<cRs232>();
        portExists = true;
    }

    juce::String path;
    int rate;
    {
        const juce::ScopedLock sl (jobLock);
        path = juce::String::fromUTF8 (portName);
        rate = baud;
    }

    const int result = port->open (path, rate);

    if (result == 0)
    {
        requestFromCurrent (ST_WAIT_FLAG);
        postLog (LOG_INFO, juce::translate ("Waiting flag ..."));
        postStatus (LISTENER_PAGE, NOTIFY_PORT_OPENED, nullptr);
        postStatus (LISTENER_PAGE, NOTIFY_DEVICE_CLEAR, nullptr);
        return;
    }

    const auto reason = openFailureReason (path, port->systemError(), result);
    requestFromCurrent (ST_CLOSED);
    port.reset();
    portExists = false;
    postLog (LOG_INFO, juce::translate ("Open COM fail!"));
    postLog (LOG_INFO, reason);
    dialogs->showWarning (juce::translate ("Tips"), juce::translate ("Open COM fail!"), juce::translate ("OK"));
}

void MyCom::stepPoll()
{
    if (port == nullptr)
    {
        requestFromCurrent (ST_IDLE);
        return;
    }

    if (port->write (&pollByte, 1) == 0 || ! port->isOpen())
        return;

    std::uint8_t buffer[1024];
    const int k = port->read (buffer);

    for (int i = 0; i < k; ++i)
    {
        if (buffer[i] != announceByte)
        {
            rrCount = 0;
            continue;
        }

        if (++rrCount == 2)
        {
            // A close requested in this very turn stands.
            requestFromCurrent (ST_SEARCH);
            rrCount = 0;
            postLog (LOG_INFO, juce::translate ("revice RR flag!"));
        }
    }
}

void MyCom::stepSearch()
{
    if (port == nullptr)
        return;

    if (! sendCommand (RPC_SERCH_DEV, nullptr, 0, searchDelayMs, searchTimeoutMs))
    {
        postLog (LOG_INFO, juce::translate ("read RPC_SERCH_DEV cmd fail"));
        return;
    }

    postLog (LOG_INFO, juce::translate ("read RPC_SERCH_DEV cmd ok"));
    downloadFirmware (request);

    // A line that went during the transfer is not polled again.
    if (port->isLost())
        return;

    // Back to polling, unless a close was requested while we ran.
    auto current = nextState.load();

    while (current != ST_CLOSE)
    {
        if (nextState.compare_exchange_weak (current, ST_WAIT_FLAG, std::memory_order_acq_rel))
        {
            postLog (LOG_INFO, juce::translate ("Waiting flag ..."));
            break;
        }
    }
}

void MyCom::stepClose()
{
    if (port != nullptr)
    {
        port->close();
        port.reset();
        portExists = false;
    }

    postLog (LOG_INFO, juce::translate ("COM close"));
    postStatus (LISTENER_PAGE, NOTIFY_PORT_CLOSED, nullptr);
    postStatus (LISTENER_PAGE, NOTIFY_DEVICE_CLEAR, nullptr);
    requestFromCurrent (ST_CLOSED);
}

void MyCom::portLost()
{
    postLog (LOG_INFO, juce::translate ("COM port lost!"));
    forgetJob();

    // Whatever was requested, the port closes next; no open can be requested
    // while the port object exists.
    nextState.store (ST_CLOSE, std::memory_order_release);
}

void MyCom::stepResume()
{
    if (port == nullptr)
    {
        requestFromCurrent (ST_IDLE);
        return;
    }

    if (requestFromCurrent (ST_WAIT_FLAG))
        postLog (LOG_INFO, juce::translate ("Waiting flag ..."));
}
