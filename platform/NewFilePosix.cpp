#include "NewFile.h"

#include "Utf8.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    juce::Result systemFailure (int error)
    {
        return juce::Result::fail (juce::String (std::strerror (error)));
    }
}

platform::NewFile::~NewFile()
{
    if (handle >= 0)
        ::close ((int) handle);
}

juce::Result platform::NewFile::create (const juce::File& file)
{
    if (handle >= 0)
        return juce::Result::fail ("already open");

    const int fd = ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);

    if (fd < 0)
        return systemFailure (errno);

    handle = fd;
    return juce::Result::ok();
}

juce::Result platform::NewFile::write (const void* data, size_t numBytes)
{
    auto* bytes = static_cast<const char*> (data);

    while (numBytes > 0)
    {
        const auto written = ::write ((int) handle, bytes, numBytes);

        if (written < 0)
        {
            if (errno == EINTR)
                continue;

            return systemFailure (errno);
        }

        if (written == 0)
            return systemFailure (EIO);

        bytes += written;
        numBytes -= (size_t) written;
    }

    return juce::Result::ok();
}

juce::Result platform::NewFile::setModificationTime (juce::Time time)
{
    const auto ms = time.toMilliseconds();
    timespec times[2];
    times[0].tv_sec = (time_t) (ms / 1000);
    times[0].tv_nsec = (long) (ms % 1000) * 1000000;

    if (times[0].tv_nsec < 0)
    {
        times[0].tv_sec -= 1;
        times[0].tv_nsec += 1000000000;
    }

    times[1] = times[0];
    return ::futimens ((int) handle, times) == 0 ? juce::Result::ok() : systemFailure (errno);
}

juce::Result platform::NewFile::close()
{
    const int fd = (int) handle;
    handle = -1;

    // Some file systems report a failed write only here.
    return ::close (fd) == 0 ? juce::Result::ok() : systemFailure (errno);
}

juce::Result platform::makeRealFolder (const juce::File& folder)
{
    const auto path = folder.getFullPathName();

    if (::mkdir (path.toRawUTF8(), 0755) == 0)
        return juce::Result::ok();

    const int error = errno;
    struct stat info;

    if (error == EEXIST && ::lstat (path.toRawUTF8(), &info) == 0)
        return S_ISDIR (info.st_mode) ? juce::Result::ok() : juce::Result::fail ("not a folder");

    return systemFailure (error);
}

platform::NewFolder platform::makeNewFolder (const juce::File& folder)
{
    if (::mkdir (folder.getFullPathName().toRawUTF8(), 0755) == 0)
        return NewFolder::made;

    return errno == EEXIST ? NewFolder::nameTaken : NewFolder::failed;
}

juce::String platform::resolvedPath (const juce::File& file)
{
    char buffer[PATH_MAX];

    if (::realpath (file.getFullPathName().toRawUTF8(), buffer) == nullptr)
        return {};

    // A link may lead to a name that is not UTF-8, which no string may hold.
    const auto length = std::strlen (buffer);

    if (! isValidUtf8 (buffer, length))
        return {};

    return juce::String::fromUTF8 (buffer, (int) length);
}

bool platform::isPlainFile (const juce::File& file)
{
    struct stat info;
    return ::lstat (file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISREG (info.st_mode);
}
