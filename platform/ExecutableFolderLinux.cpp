#include "ExecutableFolder.h"

#include <unistd.h>

#include <vector>

namespace
{
    std::string findExecutableFolder()
    {
        // readlink does not say whether it cut the path short: grow until it fits.
        for (size_t size = 256; size <= 65536; size *= 2)
        {
            std::vector<char> buffer (size);
            const auto length = ::readlink ("/proc/self/exe", buffer.data(), buffer.size());

            if (length < 0)
                return {};

            if ((size_t) length < buffer.size())
            {
                const std::string path (buffer.data(), (size_t) length);
                const auto slash = path.rfind ('/');

                if (slash == std::string::npos)
                    return {};

                return slash == 0 ? std::string ("/") : path.substr (0, slash);
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
