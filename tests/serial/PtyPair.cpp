#include "PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

PtyPair::PtyPair()
{
    master = posix_openpt (O_RDWR | O_NOCTTY | O_CLOEXEC);

    if (master < 0 || grantpt (master) != 0 || unlockpt (master) != 0 || ptsname (master) == nullptr)
        throw std::runtime_error ("no pseudo-terminal");

    slave = ptsname (master);
    fcntl (master, F_SETFL, fcntl (master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

void PtyPair::writeMaster (const std::vector<unsigned char>& bytes)
{
    size_t done = 0;

    while (done < bytes.size())
    {
        const auto n = ::write (master, bytes.data() + done, bytes.size() - done);

        if (n > 0)
            done += (size_t) n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error ("master write failed");
        else
            poll (nullptr, 0, 1);
    }
}

std::vector<unsigned char> PtyPair::readMaster (size_t count, int timeoutMs)
{
    std::vector<unsigned char> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);

    while (got.size() < count && std::chrono::steady_clock::now() < deadline)
    {
        pollfd p { master, POLLIN, 0 };

        const int r = poll (&p, 1, 10);

        if (r <= 0)
            continue;

        if ((p.revents & POLLIN) == 0)
        {
            poll (nullptr, 0, 1);   // nobody on the other end yet
            continue;
        }

        unsigned char buffer[4096];
        const auto n = ::read (master, buffer, std::min (sizeof buffer, count - got.size()));

        if (n > 0)
            got.insert (got.end(), buffer, buffer + n);
    }

    return got;
}

void PtyPair::closeMaster()
{
    if (master >= 0)
        ::close (master);

    master = -1;
}
