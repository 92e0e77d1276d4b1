// Serial lines on Windows: each function is the communications call it is named after.
#include "SerialDevice.h"
#include "SerialLostLineWin32.h"

#ifndef NOMINMAX
 #define NOMINMAX
#endif
#include <windows.h>

#include <cstring>
#include <string>

namespace platform
{
    struct SerialPortState
    {
        HANDLE handle = INVALID_HANDLE_VALUE;
        bool lost = false;
    };
}

namespace
{
    using namespace platform;

    static_assert (sizeof (DCB) <= sizeof (LineSettings::native), "DCB must fit the native settings");

    bool isValid (SerialHandle h)
    {
        return h != invalidSerialHandle && h->handle != INVALID_HANDLE_VALUE;
    }

    // Notes a failed call on an open handle; the error stays for the caller.
    void noteFailure (SerialHandle h, bool probe = true)
    {
        const auto error = GetLastError();
        bool gone = isLostLineError (error);

        // A driver with fAbortOnError set aborts every call after a line error
        // (noise, a framing error) until the error is cleared: a line that
        // takes the clearing is still there.
        if (gone && error == ERROR_OPERATION_ABORTED && probe)
        {
            DWORD errors = 0;
            COMSTAT status {};
            gone = ClearCommError (h->handle, &errors, &status) == 0;
        }

        if (gone)
            h->lost = true;

        SetLastError (error);
    }

    std::wstring widen (const char* utf8)
    {
        const int n = MultiByteToWideChar (CP_UTF8, 0, utf8, -1, nullptr, 0);

        if (n <= 0)
            return {};

        std::wstring wide ((size_t) n, L'\0');
        MultiByteToWideChar (CP_UTF8, 0, utf8, -1, wide.data(), n);
        wide.resize ((size_t) n - 1);
        return wide;
    }
}

namespace platform
{
    // What a handle answers once its adapter has been unplugged.
    bool isLostLineError (unsigned long error)
    {
        constexpr unsigned long noSuchDevice = 433;   // ERROR_NO_SUCH_DEVICE, which mingw's headers lack

        switch (error)
        {
            case ERROR_BAD_COMMAND:
            case ERROR_DEVICE_NOT_CONNECTED:
            case ERROR_OPERATION_ABORTED:
            case ERROR_ACCESS_DENIED:
            case ERROR_NOT_READY:            // Wine, for a line whose far end has closed
            case ERROR_GEN_FAILURE:          // USB serial drivers other than FTDI's
            case noSuchDevice:
            case ERROR_DEVICE_REMOVED:
                return true;

            default:
                return false;
        }
    }

    SerialHandle openSerial (const char* utf8Path, int& errorCode)
    {
        errorCode = 0;
        const auto path = widen (utf8Path);

        // Share mode 0: nobody else may hold the port meanwhile. No overlapped
        // flag: every read and write is synchronous, bounded by the time-outs.
        const HANDLE handle = CreateFileW (path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

        if (handle == INVALID_HANDLE_VALUE)
        {
            const auto error = GetLastError();
            errorCode = error != 0 && error <= 0x7fffffffu ? (int) error : (int) ERROR_GEN_FAILURE;
            return invalidSerialHandle;
        }

        auto* state = new SerialPortState();
        state->handle = handle;
        return state;
    }

    bool setQueueSizes (SerialHandle h, std::uint32_t inputBytes, std::uint32_t outputBytes)
    {
        return isValid (h) && SetupComm (h->handle, inputBytes, outputBytes) != 0;
    }

    bool setTimeouts (SerialHandle h, const SerialTimeouts& timeouts)
    {
        if (! isValid (h))
            return false;

        COMMTIMEOUTS t {};
        t.ReadIntervalTimeout = timeouts.readInterval;
        t.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
        t.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
        t.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
        t.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
        return SetCommTimeouts (h->handle, &t) != 0;
    }

    bool getLineSettings (SerialHandle h, LineSettings& settings)
    {
        if (! isValid (h))
            return false;

        DCB dcb {};
        dcb.DCBlength = sizeof (dcb);

        if (GetCommState (h->handle, &dcb) == 0)
            return false;

        // DCB numbers parity and stop bits as SerialParity and SerialStopBits do.
        settings.baudRate = dcb.BaudRate;
        settings.byteSize = dcb.ByteSize;
        settings.parity = (SerialParity) dcb.Parity;
        settings.stopBits = (SerialStopBits) dcb.StopBits;
        std::memcpy (settings.native, &dcb, sizeof dcb);
        return true;
    }

    bool setLineSettings (SerialHandle h, const LineSettings& settings)
    {
        if (! isValid (h) || settings.baudRate == 0)
            return false;

        DCB dcb {};
        std::memcpy (&dcb, settings.native, sizeof dcb);
        dcb.DCBlength = sizeof (dcb);
        dcb.BaudRate = settings.baudRate;
        dcb.ByteSize = settings.byteSize;
        dcb.Parity = (BYTE) settings.parity;
        dcb.StopBits = (BYTE) settings.stopBits;

        if (SetCommState (h->handle, &dcb) == 0)
            return false;

        // Some drivers take a rate they cannot make and quietly run at another
        // one (Wine falls back to 38400): a line at the wrong rate is as
        // useless as a refused one, so read the rate back.
        DCB check {};
        check.DCBlength = sizeof (check);

        if (GetCommState (h->handle, &check) == 0)
            return false;

        if (check.BaudRate == settings.baudRate)
            return true;

        SetLastError (ERROR_INVALID_PARAMETER);
        return false;
    }

    bool purge (SerialHandle h, std::uint32_t flags)
    {
        return isValid (h) && PurgeComm (h->handle, flags) != 0;
    }

    bool writeSerial (SerialHandle h, const void* data, std::uint32_t length, std::uint32_t& written)
    {
        written = 0;

        if (! isValid (h))
            return false;

        DWORD n = 0;
        const bool ok = WriteFile (h->handle, data, length, &n, nullptr) != 0;
        written = n;

        if (! ok)
            noteFailure (h);

        return ok;
    }

    bool readSerial (SerialHandle h, void* destination, std::uint32_t length, std::uint32_t& got)
    {
        got = 0;

        if (! isValid (h))
            return false;

        DWORD n = 0;
        const bool ok = ReadFile (h->handle, destination, length, &n, nullptr) != 0;
        got = n;

        if (! ok)
            noteFailure (h);

        return ok;
    }

    bool queuedInput (SerialHandle h, std::uint32_t& count)
    {
        count = 0;

        if (! isValid (h))
            return false;

        DWORD errors = 0;
        COMSTAT status {};

        // Also clears a pending line error, which nobody here looks at.
        if (ClearCommError (h->handle, &errors, &status) == 0)
        {
            noteFailure (h, false);
            return false;
        }

        count = status.cbInQue;
        return true;
    }

    bool waitForInput (SerialHandle h, int ms)
    {
        const auto deadline = GetTickCount64() + (ULONGLONG) (ms > 0 ? ms : 0);

        for (;;)
        {
            std::uint32_t waiting = 0;

            if (queuedInput (h, waiting) && waiting > 0)
                return true;

            if (GetTickCount64() >= deadline)
                return false;

            Sleep (1);
        }
    }

    bool lineLost (SerialHandle h)
    {
        return isValid (h) && h->lost;
    }

    void closeSerial (SerialHandle h)
    {
        if (h == invalidSerialHandle)
            return;

        if (h->handle != INVALID_HANDLE_VALUE)
            CloseHandle (h->handle);

        delete h;
    }

    void sleepMs (int ms)
    {
        if (ms > 0)
            Sleep ((DWORD) ms);
    }

    int lastSystemError()
    {
        return (int) GetLastError();
    }

    std::string describeSystemError (int code)
    {
        wchar_t* text = nullptr;
        const auto n = FormatMessageW (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                       nullptr, (DWORD) code, 0, (LPWSTR) &text, 0, nullptr);
        std::wstring wide (text != nullptr ? text : L"", n);
        LocalFree (text);

        // The system's texts end with a full stop and CR LF.
        while (! wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' '))
            wide.pop_back();

        if (wide.empty())
            return "error " + std::to_string (code);

        const int bytes = WideCharToMultiByte (CP_UTF8, 0, wide.c_str(), (int) wide.size(), nullptr, 0, nullptr, nullptr);
        std::string utf8 ((size_t) (bytes > 0 ? bytes : 0), '\0');

        if (bytes > 0)
            WideCharToMultiByte (CP_UTF8, 0, wide.c_str(), (int) wide.size(), utf8.data(), bytes, nullptr, nullptr);

        return utf8;
    }
}
