#include "FontFiles.h"

#include <sys/stat.h>

std::vector<std::string> platform::uiFontFiles()
{
    static const char* const candidates[] =
    {
        "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
        "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
        "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"
    };

    std::vector<std::string> found;

    for (auto* path : candidates)
    {
        struct stat st;

        if (::stat (path, &st) == 0 && S_ISREG (st.st_mode))
            found.emplace_back (path);
    }

    return found;
}
