// The port list from the registry, under Wine: the mapped COM port, and
// values that the test adds to and removes from the key itself.
#include "Bridge.h"
#include "PortList.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

namespace
{
bool listed (const std::string& name)
{
    const auto ports = platform::listSerialPorts();
    return std::find (ports.begin(), ports.end(), name) != ports.end();
}

// Values added to HKLM\HARDWARE\DEVICEMAP\SERIALCOMM for one test, removed with it.
class ExtraPorts
{
public:
    ExtraPorts()
    {
        EXPECT_EQ (RegCreateKeyExW (HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                                    REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    }

    ~ExtraPorts()
    {
        for (const auto& name : names)
            RegDeleteValueW (key, name.c_str());

        RegCloseKey (key);
    }

    void add (const std::wstring& name, const void* data, DWORD bytes, DWORD type = REG_SZ)
    {
        ASSERT_EQ (RegSetValueExW (key, name.c_str(), 0, type, static_cast<const BYTE*> (data), bytes), ERROR_SUCCESS);
        names.push_back (name);
    }

    void add (const std::wstring& name, const std::wstring& port)
    {
        add (name, port.c_str(), (DWORD) ((port.size() + 1) * sizeof (wchar_t)));
    }

    void remove (const std::wstring& name)
    {
        EXPECT_EQ (RegDeleteValueW (key, name.c_str()), ERROR_SUCCESS);
        names.erase (std::remove (names.begin(), names.end(), name), names.end());
    }

private:
    HKEY key = nullptr;
    std::vector<std::wstring> names;
};
}

TEST (WinePortList, ListsTheMappedPort)
{
    EXPECT_TRUE (listed (bridge::portName().toStdString()));
}

TEST (WinePortList, FollowsAPortAddedAndRemoved)
{
    ExtraPorts extra;
    ASSERT_FALSE (listed ("COM42"));

    extra.add (L"\\Device\\FlintTest42", L"COM42");
    EXPECT_TRUE (listed ("COM42"));
    EXPECT_TRUE (listed (bridge::portName().toStdString()));

    extra.remove (L"\\Device\\FlintTest42");
    EXPECT_FALSE (listed ("COM42"));
}

TEST (WinePortList, ValuesTooLargeForTheFirstReadStillGiveTheirName)
{
    ExtraPorts extra;
    const std::wstring longName (60, L'n');
    extra.add (longName, L"COM43");
    extra.add (L"\\Device\\FlintLongData", L"COM4412345678901234567890");
    const wchar_t unterminated[] = { L'C', L'O', L'M', L'4', L'5' };
    extra.add (L"\\Device\\FlintBinary", unterminated, sizeof unterminated, REG_BINARY);

    // Names are cut to 15 characters.
    EXPECT_TRUE (listed ("COM43"));
    EXPECT_TRUE (listed ("COM441234567890"));
    EXPECT_TRUE (listed ("COM45"));
}

TEST (WinePortList, AtMostSixteenPortsInRegistryOrder)
{
    ExtraPorts extra;

    for (int i = 0; i < 20; ++i)
        extra.add (L"\\Device\\FlintMany" + std::to_wstring (i), L"COM" + std::to_wstring (100 + i));

    const auto ports = platform::listSerialPorts();
    EXPECT_EQ (ports.size(), 16u);
    EXPECT_EQ (ports, platform::listSerialPorts());
}
