#pragma once

#include <string>
#include <vector>

namespace platform
{
    // Font files with both Latin and Chinese glyphs that the framework cannot
    // find by family name (JUCE 7 on Linux skips font collections, *.ttc),
    // most wanted first; only files that exist.
    std::vector<std::string> uiFontFiles();
}
