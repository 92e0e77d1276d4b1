#pragma once

#include <string>

namespace platform
{
    // Full path, in UTF-8, of the folder that holds the running program's
    // executable, found once from the executable itself, so that it does not
    // depend on how the program was started or on the working directory.
    // Empty when the system cannot tell.
    const std::string& executableFolder();
}
