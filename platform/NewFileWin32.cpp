// GetFinalPathNameByHandleW came with Vista.
#if ! defined (_WIN32_WINNT) || _WIN32_WINNT < 0x0600
 #undef _WIN32_WINNT
 #define _WIN32_WINNT 0x0600
#endif

#include "NewFile.h"

#include <iterator>
#include <windows.h>

namespace
{
    juce::Result systemFailure (DWORD error)
    {
        wchar_t* text = nullptr;
        FormatMessageW (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                        nullptr, error, 0, reinterpret_cast<wchar_t*> (&text), 0, nullptr);
        auto reason = text != nullptr ? juce::String (text).trim() : juce::String();
        LocalFree (text);

        if (reason.isEmpty())
            reason = "system error " + juce::String ((juce::int64) error);

        return juce::Result::fail (reason);
    }

    HANDLE toHandle (juce::pointer_sized_int h) { return reinterpret_cast<HANDLE> (h); }

    // The path a handle leads to, links resolved.
    juce::String finalPath (HANDLE h)
    {
        wchar_t buffer[32768];
        const auto length = GetFinalPathNameByHandleW (h, buffer, (DWORD) std::size (buffer), FILE_NAME_NORMALIZED);

        if (length == 0 || length >= std::size (buffer))
            return {};

        auto path = juce::String (buffer, (size_t) length);
        return path.startsWith ("\\\\?\\UNC\\") ? "\\\\" + path.substring (8)
             : path.startsWith ("\\\\?\\")      ? path.substring (4)
                                                 : path;
    }
}

platform::NewFile::~NewFile()
{
    if (toHandle (handle) != INVALID_HANDLE_VALUE)
        CloseHandle (toHandle (handle));
}

// CREATE_NEW fails on any existing name, a link's too; the reparse-point
// flag keeps the open from following one.
juce::Result platform::NewFile::create (const juce::File& file)
{
    if (toHandle (handle) != INVALID_HANDLE_VALUE)
        return juce::Result::fail ("already open");

    const auto h = CreateFileW (file.getFullPathName().toWideCharPointer(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);

    if (h == INVALID_HANDLE_VALUE)
        return systemFailure (GetLastError());

    handle = reinterpret_cast<juce::pointer_sized_int> (h);
    return juce::Result::ok();
}

juce::Result platform::NewFile::write (const void* data, size_t numBytes)
{
    auto* bytes = static_cast<const char*> (data);

    while (numBytes > 0)
    {
        const auto step = (DWORD) juce::jmin (numBytes, (size_t) 1 << 30);
        DWORD written = 0;

        if (! WriteFile (toHandle (handle), bytes, step, &written, nullptr))
            return systemFailure (GetLastError());

        if (written == 0)
            return systemFailure (ERROR_WRITE_FAULT);

        bytes += written;
        numBytes -= written;
    }

    return juce::Result::ok();
}

juce::Result platform::NewFile::setModificationTime (juce::Time time)
{
    // 100 ns steps since 1601.
    const auto ticks = (ULONGLONG) (time.toMilliseconds() + 11644473600000LL) * 10000ULL;
    FILETIME ft;
    ft.dwLowDateTime = (DWORD) ticks;
    ft.dwHighDateTime = (DWORD) (ticks >> 32);

    return SetFileTime (toHandle (handle), nullptr, &ft, &ft) ? juce::Result::ok() : systemFailure (GetLastError());
}

juce::Result platform::NewFile::close()
{
    const auto h = toHandle (handle);
    handle = reinterpret_cast<juce::pointer_sized_int> (INVALID_HANDLE_VALUE);

    if (! FlushFileBuffers (h))
    {
        const auto error = GetLastError();
        CloseHandle (h);
        return systemFailure (error);
    }

    return CloseHandle (h) ? juce::Result::ok() : systemFailure (GetLastError());
}

juce::Result platform::makeRealFolder (const juce::File& folder)
{
    const auto path = folder.getFullPathName();

    if (CreateDirectoryW (path.toWideCharPointer(), nullptr))
        return juce::Result::ok();

    const auto error = GetLastError();

    if (error == ERROR_ALREADY_EXISTS)
    {
        const auto attributes = GetFileAttributesW (path.toWideCharPointer());

        if (attributes != INVALID_FILE_ATTRIBUTES
            && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
            && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            return juce::Result::ok();

        return juce::Result::fail ("not a folder");
    }

    return systemFailure (error);
}

platform::NewFolder platform::makeNewFolder (const juce::File& folder)
{
    if (CreateDirectoryW (folder.getFullPathName().toWideCharPointer(), nullptr))
        return NewFolder::made;

    const auto error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? NewFolder::nameTaken : NewFolder::failed;
}

juce::String platform::resolvedPath (const juce::File& file)
{
    const auto h = CreateFileW (file.getFullPathName().toWideCharPointer(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);

    if (h == INVALID_HANDLE_VALUE)
        return {};

    const auto path = finalPath (h);
    CloseHandle (h);
    return path;
}

bool platform::isPlainFile (const juce::File& file)
{
    const auto attributes = GetFileAttributesW (file.getFullPathName().toWideCharPointer());

    return attributes != INVALID_FILE_ATTRIBUTES
        && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}
