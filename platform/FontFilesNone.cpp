#include "FontFiles.h"

// Systems whose font list names every installed family.
std::vector<std::string> platform::uiFontFiles()
{
    return {};
}
