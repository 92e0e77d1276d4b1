// The serial ports as Windows lists them: the values of
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, whose data are the port names.
#include "PortList.h"

#ifndef NOMINMAX
 #define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <vector>

namespace
{
    constexpr DWORD nameUnits = 30;
    constexpr DWORD dataBytes = 30;
    constexpr size_t maxNameUnits = 15;

    std::string narrow (const wchar_t* wide, size_t units)
    {
        if (units == 0)
            return {};

        const int n = WideCharToMultiByte (CP_UTF8, 0, wide, (int) units, nullptr, 0, nullptr, nullptr);

        if (n <= 0)
            return {};

        std::string text ((size_t) n, '\0');
        WideCharToMultiByte (CP_UTF8, 0, wide, (int) units, text.data(), n, nullptr, nullptr);
        return text;
    }

    // The data as a UTF-16 string: up to its first zero unit, at most 15 units.
    std::string portName (const BYTE* data, DWORD size)
    {
        wchar_t units[maxNameUnits] = {};
        const auto available = std::min<size_t> (size / sizeof (wchar_t), maxNameUnits);
        std::copy (data, data + available * sizeof (wchar_t), reinterpret_cast<BYTE*> (units));

        size_t length = 0;
        while (length < available && units[length] != 0)
            ++length;

        return narrow (units, length);
    }

    // A value whose name or data did not fit the small buffers: what the
    // buffers hold then is undefined, so the value is read again with room
    // for the largest name and data of the key. False when that fails too.
    bool readWhole (HKEY key, DWORD index, DWORD maxName, DWORD maxData, std::vector<BYTE>& data, DWORD& size)
    {
        std::vector<wchar_t> name ((size_t) maxName + 1);
        DWORD nameSize = maxName + 1;
        data.assign ((size_t) std::max<DWORD> (maxData, dataBytes), 0);
        size = (DWORD) data.size();
        return RegEnumValueW (key, index, name.data(), &nameSize, nullptr, nullptr, data.data(), &size) == ERROR_SUCCESS;
    }
}

namespace platform
{
    std::vector<std::string> listSerialPorts()
    {
        std::vector<std::string> ports;
        HKEY key = nullptr;

        if (RegOpenKeyExW (HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
            return ports;

        DWORD values = 0, maxName = 0, maxData = 0;

        if (RegQueryInfoKeyW (key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              &values, &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        {
            RegCloseKey (key);
            return ports;
        }

        for (DWORD i = 0; i < values && (int) ports.size() < maxListedPorts; ++i)
        {
            wchar_t name[nameUnits] = {};
            BYTE data[dataBytes] = {};
            DWORD nameSize = nameUnits;
            DWORD dataSize = dataBytes;

            // The value's name and type do not matter; only its data names the port.
            const auto result = RegEnumValueW (key, i, name, &nameSize, nullptr, nullptr, data, &dataSize);

            if (result == ERROR_SUCCESS)
            {
                ports.push_back (portName (data, dataSize));
            }
            else if (result == ERROR_MORE_DATA)
            {
                std::vector<BYTE> whole;
                DWORD wholeSize = 0;

                if (readWhole (key, i, maxName, maxData, whole, wholeSize))
                    ports.push_back (portName (whole.data(), wholeSize));
            }
        }

        RegCloseKey (key);
        return ports;
    }
}
