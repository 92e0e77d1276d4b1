#include "ExecutableFolder.h"

#include <windows.h>

#include <vector>

namespace
{
    std::string utf8Of (const std::wstring& wide)
    {
        if (wide.empty())
            return {};

        const int bytes = ::WideCharToMultiByte (CP_UTF8, 0, wide.data(), (int) wide.size(), nullptr, 0, nullptr, nullptr);

        if (bytes <= 0)
            return {};

        std::string text ((size_t) bytes, '\0');
        ::WideCharToMultiByte (CP_UTF8, 0, wide.data(), (int) wide.size(), &text[0], bytes, nullptr, nullptr);
        return text;
    }

    std::string findExecutableFolder()
    {
        // GetModuleFileNameW cuts a long path short and says so only by filling the buffer.
        for (DWORD size = MAX_PATH; size <= 32768; size *= 2)
        {
            std::vector<wchar_t> buffer (size);
            const auto length = ::GetModuleFileNameW (nullptr, buffer.data(), size);

            if (length == 0)
                return {};

            if (length < size)
            {
                const std::wstring path (buffer.data(), length);
                const auto separator = path.find_last_of (L"\\/");

                if (separator == std::wstring::npos)
                    return {};

                // A drive root keeps its separator: "C:" alone names the drive's current folder.
                const bool driveRoot = separator == 2 && path[1] == L':';
                return utf8Of (path.substr (0, driveRoot ? 3 : separator));
            }
        }

        return {};
    }
}

const std::string& platform::executableFolder()
{
    static const std::string folder = findExecutableFolder();
    return folder;
}
