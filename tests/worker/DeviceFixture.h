#pragma once

#include "WorkerHarness.h"

#include "DsbFile.h"
#include "SerialDevice.h"
#include "SimDeviceProcess.h"
#include "TempFolder.h"

// A worker with the simulated device on a pseudo-terminal, and firmware
// files in a temporary folder.
class DeviceFixture : public WorkerFixture
{
protected:
    void startDevice (const juce::StringArray& options)
    {
        device = std::make_unique<SimDeviceProcess> (options);
        ASSERT_TRUE (device->isRunning());
        ASSERT_TRUE (device->hostPath().startsWith (platform::devicePathPrefix));
    }

    juce::String portName() const { return device->hostPath().fromFirstOccurrenceOf (platform::devicePathPrefix, false, false); }

    juce::File writeFile (const juce::String& name, const dsb::Bytes& bytes)
    {
        auto file = files / name;
        file.replaceWithData (bytes.data(), bytes.size());
        return file;
    }

    void startTransfer (const juce::File& firmware, int baud = 115200) { start (firmware, portName(), baud); }

    int outcomes() const
    {
        return log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED) + log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FAILED);
    }

    bool waitForOutcomes (int n, int timeoutMs = 60000)
    {
        return waitFor ([&] { return outcomes() >= n; }, timeoutMs);
    }

    static dsb::Bytes bytesOf (const juce::MemoryBlock& block)
    {
        auto* b = static_cast<const std::uint8_t*> (block.getData());
        return { b, b + block.getSize() };
    }

    // The page's first outcome notice, or 0 before there is one: devices that
    // announce themselves again may already be in their next transfer.
    int firstOutcome() const
    {
        for (const auto n : log.notices())
            if (n == NOTIFY_FINISHED || n == NOTIFY_FAILED)
                return n;

        return 0;
    }

    TempFolder files;
    std::unique_ptr<SimDeviceProcess> device;
};

// The 17-byte example: tag ABCD1234, image 01 02 03 04 05, sum 0x1E3.
inline dsb::Bytes exampleFile()
{
    return { 0x00, 0x00, 0x01, 0xE3, 'A', 'B', 'C', 'D', '1', '2', '3', '4', 1, 2, 3, 4, 5 };
}
