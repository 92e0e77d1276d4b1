#include "MyCom.h"

#include "LabelLoader.h"
#include "MsgPayload.h"
#include "SerialDevice.h"

#include <cstring>

MyCom::MyCom (juce::MessageListener* mainListener, std::unique_ptr<WorkerDialogs> dialogsToUse)
    : juce::Thread ("DFUThread"),
      juce::Time (0),
      reply (std::make_unique<ReplyRecord>()),
      dialogs (dialogsToUse != nullptr ? std::move (dialogsToUse) : createFrameworkDialogs())
{
    *reply = {};
    listeners[LISTENER_MAIN] = mainListener;
    startThread (juce::Thread::Priority::normal);
}

MyCom::~MyCom()
{
    stopWorker();
    reply.reset();
    firmwareSnapshot.reset();
    port.reset();
}

bool MyCom::stopWorker()
{
    if (stopFlag.exchange (true))
        return true;

    // An open question would hold the worker; close it before waiting.
    dialogs->dismissAll();
    signalThreadShouldExit();
    const bool ended = waitForThreadToExit (1000);

    // Every step of the worker watches the stop flag and its serial calls time
    // out, so it ends. Killing it instead aborts the program on Linux and would
    // leave the port and the heap half-used: wait on.
    while (! waitForThreadToExit (100))
        dialogs->dismissAll();

    dialogs->dismissAll();
    return ended;
}

void MyCom::setListener (int index, juce::MessageListener* listener)
{
    if (index >= 0 && index < listenerSlots)
        listeners[index] = listener;
}

int MyCom::postLog (LogKind kind, const juce::String& text)
{
    if (shouldStop())
        return -1;

    auto* target = listeners[LISTENER_MAIN].load();

    if (text.isEmpty() || target == nullptr)
        return 0;

    target->postMessage (payload::makeLog (kind, text));
    return 0;
}

void MyCom::postStatus (ListenerIndex target, int type, const void* payloadBytes)
{
    auto* listener = (target >= 0 && target < listenerSlots) ? listeners[target].load() : nullptr;

    if (listener == nullptr)
        return;

    if (target == LISTENER_MAIN)
    {
        listener->postMessage (new MyMsg (MSG_LANGUAGE, 0));
        return;
    }

    if (type == NOTIFY_DEVICE_INFO)
    {
        DeviceInfo info;
        std::memcpy (&info, payloadBytes, sizeof (info));
        listener->postMessage (payload::makeDeviceInfo (info));
        return;
    }

    listener->postMessage (payload::makeNotice ((NotifyType) type));
}

void MyCom::handleMessage (const juce::Message& message)
{
    auto* msg = dynamic_cast<const MyMsg*> (&message);

    if (msg == nullptr)
        return;

    // A value that claims more than the payload holds is cut to the payload.
    auto payloadBytes = [msg] (std::int64_t claimed)
    {
        return (size_t) juce::jlimit<std::int64_t> (0, (std::int64_t) msg->dataSize, claimed);
    };

    switch (msg->id)
    {
        case MSG_PORT:
            if (msg->type == PORT_OPEN && msg->data != nullptr && ! portExists)
            {
                const auto name = payload::readPortName (msg->data.get(), payloadBytes (msg->value));
                const auto path = juce::String (platform::devicePathPrefix) + name;

                {
                    const juce::ScopedLock sl (jobLock);
                    std::memset (portName, 0, sizeof (portName));
                    path.copyToUTF8 (portName, sizeof (portName) - 2);
                    baud = msg->value2;
                }

                nextState.store (ST_OPEN, std::memory_order_release);
            }
            else if (msg->type == PORT_CLOSE && msg->data == nullptr && msg->value == 0)
            {
                // An open that has been requested but not yet carried out is
                // closed too, so that the page always hears the port closed.
                if (portExists || nextState.load() == ST_OPEN)
                    nextState.store (ST_CLOSE, std::memory_order_release);

                forgetJob();
            }
            break;

        case MSG_FIRMWARE:
            if (msg->type == FIRMWARE_PATH && msg->value != 0 && msg->data != nullptr)
            {
                const juce::ScopedLock sl (jobLock);
                request.pathBytes = msg->value;
                std::memset (request.path, 0, sizeof (request.path));
                std::memcpy (request.path, msg->data.get(),
                             juce::jmin (payloadBytes (msg->value), sizeof (request.path)));
            }
            else if (msg->type == FIRMWARE_DATA && msg->value2 != 0 && msg->data != nullptr)
            {
                const juce::ScopedLock sl (jobLock);
                firmwareSnapshot.replaceAll (msg->data.get(), payloadBytes ((std::uint32_t) msg->value2));
            }
            break;

        case MSG_LANGUAGE:
            loadLabelTexts (msg->value == 936 ? 936 : 37);
            postStatus (LISTENER_MAIN, 0, nullptr);
            postStatus (LISTENER_PAGE, NOTIFY_RELABEL, nullptr);
            break;

        case MSG_CANCEL:
            if (msg->type == 0 && downloading != 0)
                downloading = 0;
            break;

        default:
            break;
    }
}

void MyCom::forgetJob()
{
    const juce::ScopedLock sl (jobLock);
    request.pathBytes = 0;
    std::memset (request.path, 0, sizeof (request.path));
    baud = 0;
    std::memset (portName, 0, sizeof (portName));
    firmwareSnapshot.reset();
}

juce::MemoryBlock MyCom::copySnapshot() const
{
    const juce::ScopedLock sl (jobLock);
    return firmwareSnapshot;
}

int MyCom::baudRate() const
{
    const juce::ScopedLock sl (jobLock);
    return baud;
}

juce::String MyCom::devicePath() const
{
    const juce::ScopedLock sl (jobLock);
    return juce::String::fromUTF8 (portName);
}

int MyCom::heldPathBytes() const
{
    const juce::ScopedLock sl (jobLock);
    return request.pathBytes;
}
