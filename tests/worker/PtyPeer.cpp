#include "PtyPeer.h"

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
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
    ::close (master);
    ::close (slave);
}

std::string PtyPeer::read (int timeoutMs)
{
    std::string result;
    pollfd p { master, POLLIN, 0 };

    if (poll (&p, 1, timeoutMs) > 0 && (p.revents & POLLIN) != 0)
    {
        char buffer[4096];

        for (;;)
        {
            const auto n = ::read (master, buffer, sizeof (buffer));
            if (n <= 0)
                break;
            result.append (buffer, (size_t) n);
        }
    }

    seen += result;
    return result;
}

bool PtyPeer::waitFor (const std::string& text, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
    seen.clear();

    while (seen.find (text) == std::string::npos)
    {
        if (juce::Time::getMillisecondCounter() >= end)
            return false;
        read (5);
    }

    seen.clear();
    return true;
}

std::string PtyPeer::readFrame (int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    for (;;)
    {
        const auto at = seen.find ("\r\n");

        if (at != std::string::npos)
        {
            auto frame = seen.substr (0, at + 2);
            seen.erase (0, at + 2);
            return frame;
        }

        if (juce::Time::getMillisecondCounter() >= end)
            return {};

        read (5);
    }
}

void PtyPeer::write (const std::string& bytes)
{
    size_t done = 0;

    while (done < bytes.size())
    {
        const auto n = ::write (master, bytes.data() + done, bytes.size() - done);

        if (n > 0)
            done += (size_t) n;
        else
            juce::Thread::sleep (1);
    }
}
