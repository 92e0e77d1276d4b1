#pragma once

#include <cstdint>
#include <string>

// The serial calls the port class needs, one function for each call of the
// Windows communications API, so that each backend is a thin translation:
//
//   openSerial       CreateFileW (exclusive, synchronous) + GetLastError
//   setQueueSizes    SetupComm
//   setTimeouts      SetCommTimeouts
//   getLineSettings  GetCommState
//   setLineSettings  SetCommState
//   purge            PurgeComm
//   writeSerial      WriteFile
//   readSerial       ReadFile
//   queuedInput      ClearCommError (the count of received bytes waiting)
//   closeSerial      CloseHandle
//   sleepMs          Sleep
//
// waitForInput has no single Win32 counterpart; a Win32 backend builds it from
// ClearCommError and Sleep. lineLost, lastSystemError and describeSystemError
// tell why a call failed.
//
// Handles are used by one thread at a time.
namespace platform
{
    // Prefix that turns a port name ("ttyUSB0", "COM5") into a device path.
   #if defined (_WIN32)
    inline constexpr const char* devicePathPrefix = "\\\\.\\";
   #else
    inline constexpr const char* devicePathPrefix = "/dev/";
   #endif

    // The system's code for a name too long to open (ENAMETOOLONG,
    // ERROR_FILENAME_EXCED_RANGE).
   #if defined (_WIN32)
    inline constexpr int nameTooLongError = 206;
   #else
    inline constexpr int nameTooLongError = 36;
   #endif

    struct SerialPortState;                  // defined by the backend
    using SerialHandle = SerialPortState*;
    inline constexpr SerialHandle invalidSerialHandle = nullptr;

    // The fields of COMMTIMEOUTS, in milliseconds. A read waits at most
    // readTotalMultiplier * length + readTotalConstant for its bytes, a write
    // as long for the driver to take them; with both at 0 a call takes only
    // what is possible at once. The POSIX backend does not use readInterval.
    struct SerialTimeouts
    {
        std::uint32_t readInterval = 0;
        std::uint32_t readTotalMultiplier = 0;
        std::uint32_t readTotalConstant = 0;
        std::uint32_t writeTotalMultiplier = 0;
        std::uint32_t writeTotalConstant = 0;
    };

    enum SerialParity : std::uint8_t   { parityNone = 0, parityOdd = 1, parityEven = 2, parityMark = 3, paritySpace = 4 };
    enum SerialStopBits : std::uint8_t { stopBitsOne = 0, stopBitsOneAndHalf = 1, stopBitsTwo = 2 };

    // Line settings as the driver reports them. setLineSettings applies the four
    // public fields and writes everything else back as getLineSettings read it
    // (flow control, modem lines, ...), which the backend keeps in native. On
    // Linux the terminal layer's own processing, XON/XOFF included, is no part
    // of the driver's settings: the line is made binary-clean, as Win32 has it.
    struct LineSettings
    {
        std::uint32_t baudRate = 0;
        std::uint8_t byteSize = 8;
        SerialParity parity = parityNone;
        SerialStopBits stopBits = stopBitsOne;

        alignas (8) unsigned char native[96] = {};
    };

    // PurgeComm's flags.
    enum PurgeFlags : std::uint32_t
    {
        purgeTxAbort = 0x01,
        purgeRxAbort = 0x02,
        purgeTxClear = 0x04,
        purgeRxClear = 0x08,
        purgeAll     = 0x0F
    };

    // Opens the device for reading and writing, refusing it while anyone else
    // holds it (the superuser included). On failure returns invalidSerialHandle
    // and sets errorCode to the system's error code, always a positive number.
    // Where the driver offers it, replies are asked to come without delay
    // (Linux: ASYNC_LOW_LATENCY); a driver that refuses is used as it is, and
    // closeSerial puts the setting back.
    SerialHandle openSerial (const char* utf8Path, int& errorCode);

    // Recommended driver queue sizes; a hint that may be ignored.
    bool setQueueSizes (SerialHandle, std::uint32_t inputBytes, std::uint32_t outputBytes);

    // Fails when the device is not a serial line.
    bool setTimeouts (SerialHandle, const SerialTimeouts&);

    bool getLineSettings (SerialHandle, LineSettings&);

    // Fails when the driver refuses the settings, a rate of 0 included.
    bool setLineSettings (SerialHandle, const LineSettings&);

    bool purge (SerialHandle, std::uint32_t flags);

    // Writes what the driver takes within the write time-out; written may be
    // short. False when the device fails (for example when it has gone).
    bool writeSerial (SerialHandle, const void* data, std::uint32_t length, std::uint32_t& written);

    // Reads what arrives within the read time-out, up to length bytes; got may
    // be 0. A line whose peer has hung up reads as silence, after the same wait.
    bool readSerial (SerialHandle, void* destination, std::uint32_t length, std::uint32_t& got);

    // The number of received bytes waiting to be read.
    bool queuedInput (SerialHandle, std::uint32_t& count);

    // Waits up to ms for received bytes; true when some are waiting. A line
    // whose peer has hung up waits the whole time and returns false.
    bool waitForInput (SerialHandle, int ms);

    // True once a call has seen the line itself go (an adapter unplugged, the
    // far end of a pseudo-terminal closed), as opposed to a device that is only
    // silent. It stays true until the handle is closed.
    bool lineLost (SerialHandle);

    void closeSerial (SerialHandle);

    void sleepMs (int ms);

    // The calling thread's error code right after a call above failed.
    int lastSystemError();

    // The system's own text for an error code, in UTF-8 (strerror, FormatMessageW).
    std::string describeSystemError (int code);
}
