#pragma once

#include "DeviceInfo.h"
#include "FrameCodec.h"
#include "MyMsg.h"
#include "Rs232.h"
#include "WorkerDialogs.h"
#include "WorkerState.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <memory>

// The worker: owns the serial port and runs the download on its thread
// "DFUThread". Jobs arrive as posted MyMsg records, handled on the message
// thread; reports go back as posted records to two listeners.
class MyCom : public juce::Component,
              public juce::MessageListener,
              private juce::Thread,
              private juce::Time
{
public:
    // mainListener receives the log lines and the language relay. dialogs
    // raises the worker's boxes; null means the framework's alert windows.
    explicit MyCom (juce::MessageListener* mainListener, std::unique_ptr<WorkerDialogs> dialogs = nullptr);
    ~MyCom() override;

    // Stops the thread; true when it ended within 1000 ms. It is never killed:
    // a slower end (a large file summed under load) is waited for.
    bool stopWorker();

    void setListener (int index, juce::MessageListener* listener);

    // Worker thread: one log line to LISTENER_MAIN. -1 while stopping.
    int postLog (LogKind kind, const juce::String& text);

    // One notice to LISTENER_PAGE (payload read only for NOTIFY_DEVICE_INFO),
    // or the language relay to LISTENER_MAIN.
    void postStatus (ListenerIndex target, int type, const void* payload);

    void handleMessage (const juce::Message& message) override;

    // The command exchange: three attempts; true when a known reply came.
    bool sendCommand (std::uint8_t command, const std::uint8_t* data, int n, int delayMs, int timeoutMs);
    int handleReply (const ReplyRecord& replyRecord);
    bool sendSubCommand (std::uint8_t sub, int param, int count);

    // Checks and writes the firmware into the device just searched.
    // 0 a transfer ran; -2 tag, -3 checksum, -4 path, -5 cancelled, -6 too large.
    int downloadFirmware (const DownloadRequest& job);

    // For tests and diagnostics.
    WorkerState currentState() const noexcept   { return (WorkerState) state.load(); }
    int baudRate() const;
    juce::String devicePath() const;
    int heldPathBytes() const;

private:
    void run() override;

    void stepOpen();
    void stepPoll();
    void stepSearch();
    void stepClose();
    void stepResume();

    // The system said the line itself is gone: closed as a Stop closes it.
    void portLost();

    // What a Stop forgets: the port, the rate, the path and the file's copy.
    void forgetJob();

    // Moves nextState from the state this turn carries out to another one,
    // unless something else was requested meanwhile.
    bool requestFromCurrent (WorkerState next);

    // The worker's snapshot of the firmware file, copied under the job lock.
    juce::MemoryBlock copySnapshot() const;

    bool shouldStop() const noexcept { return stopFlag.load(); }

    std::unique_ptr<cRs232> port;
    DeviceInfo deviceInfo {};
    juce::MemoryBlock firmwareSnapshot;
    DownloadRequest request {};
    char portName[64] {};
    std::atomic<std::int32_t> downloading { 0 };
    int baud = 112500;
    std::unique_ptr<ReplyRecord> reply;
    std::uint8_t block[4096] {};
    std::atomic<std::int32_t> state { ST_IDLE };
    std::atomic<std::int32_t> nextState { ST_RESUME };
    std::atomic<bool> stopFlag { false };
    std::atomic<juce::MessageListener*> listeners[listenerSlots] {};

    // Guards the job fields (port name, baud, path, snapshot), which the
    // message thread writes while a transfer may be reading them.
    juce::CriticalSection jobLock;
    std::atomic<bool> portExists { false };
    std::unique_ptr<WorkerDialogs> dialogs;
    int rrCount = 0;

    JUCE_DECLARE_NON_COPYABLE (MyCom)
};
