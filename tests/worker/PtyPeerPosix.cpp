#include "PtyPeer.h"

#include <stdexcept>

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

struct PtyPeer::Line
{
    int master = -1, slave = -1;
};

PtyPeer::PtyPeer() : line (std::make_unique<Line>())
{
    auto& master = line->master;
    auto& slave = line->slave;
    char path[128] = {};
    termios raw {};
    cfmakeraw (&raw);

    if (openpty (&master, &slave, path, &raw, nullptr) != 0)
        throw std::runtime_error ("openpty failed");

    // Our own slave descriptor stays open so that the master never sees a
    // hang-up while the worker closes and reopens its end.
    fcntl (master, F_SETFL, fcntl (master, F_GETFL) | O_NONBLOCK);
    name = juce::String (path).fromFirstOccurrenceOf ("/dev/", false, false);
}

PtyPeer::~PtyPeer()
{
    ::close (line->master);
    ::close (line->slave);
}

std::string PtyPeer::read (int timeoutMs)
{
    std::string result;
    pollfd p { line->master, POLLIN, 0 };

    if (poll (&p, 1, timeoutMs) > 0 && (p.revents & POLLIN) != 0)
    {
        char buffer[4096];

        for (;;)
        {
            const auto n = ::read (line->master, buffer, sizeof (buffer));
            if (n <= 0)
                break;
            result.append (buffer, (size_t) n);
        }
    }

    seen += result;
    return result;
}

void PtyPeer::write (const std::string& bytes)
{
    size_t done = 0;

    while (done < bytes.size())
    {
        const auto n = ::write (line->master, bytes.data() + done, bytes.size() - done);

        if (n > 0)
            done += (size_t) n;
        else
            juce::Thread::sleep (1);
    }
}
