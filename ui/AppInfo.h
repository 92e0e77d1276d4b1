#pragma once

// The application's name and version: the window title, the single-instance
// key, the status bar's credit and the About box's header.
namespace appinfo
{
    inline constexpr const char* applicationName = "Flintmoor V1.0.1";
    inline constexpr const char* applicationVersion = "1.0.1";
}
