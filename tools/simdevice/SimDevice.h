#pragma once

#include "SimFrame.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace sim
{
    struct DeviceOptions
    {
        char start = '$';
        std::vector<std::string> names { "SIMDEV01" };   // device k takes name k, the last one repeats
        std::uint8_t productDate[4] = { 0x20, 0x01, 0x01, 0x00 };
        std::uint8_t releaseDate[4] = { 0x21, 0x03, 0x15, 0x00 };
        int devices = 0;                  // devices to play, 0 for no limit
        std::string imageFolder;          // where received images go; empty keeps none

        // Faults.
        bool silent = false;              // never answer a frame (still announces)
        int silentFrom = 0;               // from this command of a device on (1 = the search), answer nothing, polls included
        int retryCommand = 0;             // answer this command of each device (1 = the search) only when sent again
        bool wrongSum = false;
        bool lowerCase = false;
        bool foreignFrame = false;        // a frame at another address before each reply
        bool garbage = false;             // stray bytes before each reply
        int hangupAfterBlock = -1;        // close the line at the host's next word after the commit of this block
        bool xoff = false;                // one XOFF byte (0x13) in front of the first announcement
        bool hold = false;                // no announcement until release() (SIGUSR1)
    };

    // What to send for one input; announcement marks "RR".
    struct Reply
    {
        std::string bytes;
        bool announcement = false;
    };

    // The device's side of the conversation, without any input or output.
    class SimDevice
    {
    public:
        using EventLog = std::function<void (const std::string&)>;

        SimDevice (const DeviceOptions&, EventLog);

        Reply respond (const HostInput&);

        // The host closed its end: whatever was going on is over.
        void lineClosed();

        // Lets a device held back by the hold option announce itself.
        void release();

        bool hangupDue() const noexcept { return hangup; }
        int deviceNumber() const noexcept { return device; }

    private:
        enum class Phase { idle, searched, transferring, dataComplete, gone };

        Reply poll();
        Reply search();
        Reply download (const std::vector<std::uint8_t>& data);
        bool answers();
        std::uint32_t imageSum() const;
        std::string frame (std::uint8_t code, const std::vector<std::uint8_t>& data);
        void finishTransfer();
        std::string saveImage();
        std::string name() const;
        void log (const std::string& text);

        DeviceOptions options;
        EventLog eventLog;
        std::mt19937 random { 12345 };

        Phase phase = Phase::idle;
        bool hung = false;
        int device = 1;
        bool announced = false;
        int commands = 0;                 // command frames of this device, retried ones once
        bool retryHeld = false;
        std::vector<std::uint8_t> image;
        int lastBlock = -1;
        bool endOfData = false;
        bool hangupArmed = false;
        bool hangup = false;
        bool xoffSent = false;
        bool holdLogged = false;
    };
}
