// Linux only: a working directory reached through a link to a folder whose
// name is not UTF-8, a name Windows cannot have.
#include "UnpackFixture.h"

#include "DownloadNewVersionThread.h"

#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::vector<std::string> namesIn (const std::string& folder)
{
    std::vector<std::string> names;

    if (auto* dir = opendir (folder.c_str()))
    {
        while (auto* entry = readdir (dir))
            if (std::string (entry->d_name) != "." && std::string (entry->d_name) != "..")
                names.push_back (entry->d_name);

        closedir (dir);
    }

    return names;
}

// A folder made and removed by the system's own calls: the framework's
// listing, which deletes the working directory, must never meet its name.
struct RawFolder
{
    explicit RawFolder (std::string p) : path (std::move (p)) { made = mkdir (path.c_str(), 0755) == 0; }
    ~RawFolder()
    {
        for (const auto& name : namesIn (path))
            rmdir ((path + "/" + name).c_str());

        rmdir (path.c_str());
    }

    std::string path;
    bool made = false;
};

using InstallThroughALink = UnpackFixture;

// The unzip folder's path, links resolved, is not UTF-8: the unpack fails
// before any string is made of it, and the new folder goes.
TEST_F (InstallThroughALink, IntoAFolderWhoseRealNameIsNotUtf8Fails)
{
    std::string name = "d";

    for (int i = 0; i < 16; ++i)
        name += "\xf0\x80\x80\xae";

    const RawFolder real (workFolder.get().getFullPathName().toStdString() + "/" + name);
    ASSERT_TRUE (real.made);
    ASSERT_EQ (symlink (name.c_str(), work ("work").getFullPathName().toRawUTF8()), 0);

    const auto result = DownloadNewVersionThread::install (makeZip ({ { "autoUpdate.bat", "batch" } }), work ("work/app"));

    EXPECT_TRUE (result.getErrorMessage().startsWith ("Failed to create target folder: ")) << result.getErrorMessage();
    EXPECT_TRUE (namesIn (real.path).empty());
}
}
