#include "TreeSnapshot.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    std::string contents (const std::string& path)
    {
        std::string bytes;
        const int fd = ::open (path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);

        if (fd < 0)
            return "unreadable";

        char buffer[65536];

        for (ssize_t n; (n = ::read (fd, buffer, sizeof (buffer))) > 0;)
            bytes.append (buffer, (size_t) n);

        ::close (fd);
        return bytes;
    }

    void walk (const std::string& path, const std::string& relative, Tree& tree)
    {
        struct stat info {};

        if (::lstat (path.c_str(), &info) != 0)
            return;

        char line[160];
        std::snprintf (line, sizeof (line), "mode %o size %lld mtime %lld.%ld ctime %lld.%ld ", (unsigned) info.st_mode,
                       (long long) info.st_size, (long long) info.st_mtim.tv_sec, info.st_mtim.tv_nsec,
                       (long long) info.st_ctim.tv_sec, info.st_ctim.tv_nsec);
        auto& entry = tree[relative];
        entry = line;

        if (S_ISREG (info.st_mode))
            entry += contents (path);

        if (! S_ISDIR (info.st_mode))
            return;

        DIR* folder = ::opendir (path.c_str());

        if (folder == nullptr)
            return;

        while (auto* child = ::readdir (folder))
        {
            const std::string name (child->d_name);

            if (name != "." && name != "..")
                walk (path + "/" + name, relative.empty() ? name : relative + "/" + name, tree);
        }

        ::closedir (folder);
    }

    bool isUnder (const std::string& path, const std::string& top)
    {
        return path == top || path.compare (0, top.size() + 1, top + "/") == 0;
    }
}

Tree snapshot (const std::string& folder)
{
    Tree tree;
    walk (folder, "", tree);
    return tree;
}

Tree subtree (const Tree& tree, const std::string& top)
{
    Tree part;

    for (const auto& [path, line] : tree)
        if (isUnder (path, top))
            part[path.substr (std::min (path.size(), top.size() + 1))] = line;

    return part;
}

Tree without (const Tree& tree, std::initializer_list<const char*> tops)
{
    Tree rest;

    for (const auto& [path, line] : tree)
    {
        bool excluded = false;

        for (auto* top : tops)
            excluded = excluded || isUnder (path, top);

        if (! excluded)
            rest[path] = line;
    }

    return rest;
}

void removeTree (const std::string& path)
{
    ::nftw (path.c_str(), [] (const char* p, const struct stat*, int, struct FTW*) { return ::remove (p) == 0 ? 0 : -1; },
            64, FTW_DEPTH | FTW_PHYS);
}

void writeFile (const std::string& path, const std::string& bytes)
{
    const int fd = ::open (path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);

    if (fd < 0 || ::write (fd, bytes.data(), bytes.size()) != (ssize_t) bytes.size())
        std::abort();

    const timespec past[2] = { { 978404645, 0 }, { 978404645, 0 } };
    ::futimens (fd, past);
    ::close (fd);
}

void makeFolder (const std::string& path)
{
    if (::mkdir (path.c_str(), 0755) != 0)
        std::abort();
}
