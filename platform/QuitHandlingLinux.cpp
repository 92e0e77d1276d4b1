#include "QuitHandling.h"

#include <juce_events/juce_events.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{
    // Written by the signal handler; read on the message thread.
    int signalPipe[2] = { -1, -1 };
    // Written once a quit is posted and never read: the loop finds it ready
    // at every level from then on.
    int wakePipe[2] = { -1, -1 };

    std::function<void()> quitSignalCallback;
    struct sigaction previousInt {}, previousTerm {};
    bool installed = false;

    void onSignal (int)
    {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write (signalPipe[1], &byte, 1);
    }

    void closePipe (int (&fds)[2])
    {
        for (auto& fd : fds)
        {
            if (fd >= 0)
                ::close (fd);

            fd = -1;
        }
    }
}

void platform::installQuitHandling (std::function<void()> onQuitSignal)
{
    if (installed)
        return;

    if (::pipe2 (signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;

    if (::pipe2 (wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
    {
        closePipe (signalPipe);
        return;
    }

    installed = true;
    quitSignalCallback = std::move (onQuitSignal);

    juce::LinuxEventLoop::registerFdCallback (signalPipe[0], [] (int fd)
    {
        char bytes[64];

        while (::read (fd, bytes, sizeof (bytes)) > 0)
        {
        }

        if (quitSignalCallback != nullptr)
            quitSignalCallback();
    });

    juce::LinuxEventLoop::registerFdCallback (wakePipe[0], [] (int) {});

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset (&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction (SIGINT, &action, &previousInt);
    ::sigaction (SIGTERM, &action, &previousTerm);
}

void platform::removeQuitHandling()
{
    if (! installed)
        return;

    installed = false;
    ::sigaction (SIGINT, &previousInt, nullptr);
    ::sigaction (SIGTERM, &previousTerm, nullptr);
    juce::LinuxEventLoop::unregisterFdCallback (signalPipe[0]);
    juce::LinuxEventLoop::unregisterFdCallback (wakePipe[0]);
    closePipe (signalPipe);
    closePipe (wakePipe);
    quitSignalCallback = nullptr;
}

void platform::quitMessageLoop()
{
    juce::JUCEApplicationBase::quit();

    if (installed)
    {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write (wakePipe[1], &byte, 1);
    }
}
