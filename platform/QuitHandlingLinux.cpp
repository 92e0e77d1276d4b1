#include "QuitHandling.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
    sigset_t quitSignals()
    {
        sigset_t set;
        sigemptyset (&set);
        sigaddset (&set, SIGINT);
        sigaddset (&set, SIGTERM);
        return set;
    }

    // The held signals, read by a thread of ours.
    int signalFd = -1;
    std::thread signalTaker;
    // Ends the taking thread.
    int stopPipe[2] = { -1, -1 };
    // Written by the taking thread; read on the message thread.
    int signalPipe[2] = { -1, -1 };
    // Written once a quit is posted and never read: the loop finds it ready
    // at every level from then on.
    int wakePipe[2] = { -1, -1 };

    std::function<void()> quitSignalCallback;
    bool installed = false;

    std::atomic<bool> quitSignalled { false };

    // The aborts run on a thread of their own, under a lock the taking thread
    // never takes: an abort can wait long (curl's clean-up waits for a name
    // lookup under way), and a second signal must still end the program.
    std::thread abortRunner;
    // Written by the taking thread at the first signal.
    int abortPipe[2] = { -1, -1 };
    std::mutex abortLock;
    std::vector<const std::function<void()>*> aborts;

    void closePipe (int (&fds)[2])
    {
        for (auto& fd : fds)
        {
            if (fd >= 0)
                ::close (fd);

            fd = -1;
        }
    }

    [[noreturn]] void endAsTheDefaultActionDoes (int signalNumber)
    {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset (&action.sa_mask);
        ::sigaction (signalNumber, &action, nullptr);

        sigset_t one;
        sigemptyset (&one);
        sigaddset (&one, signalNumber);
        ::pthread_sigmask (SIG_UNBLOCK, &one, nullptr);
        ::raise (signalNumber);
        ::_exit (128 + signalNumber);
    }

    // Waits until fd has something to read; false once the stop pipe has.
    bool waitForInputOrStop (int fd)
    {
        for (;;)
        {
            pollfd fds[2] = { { fd, POLLIN, 0 }, { stopPipe[0], POLLIN, 0 } };

            if (::poll (fds, 2, -1) < 0)
            {
                if (errno == EINTR)
                    continue;

                return false;
            }

            return fds[1].revents == 0;
        }
    }

    void takeSignals()
    {
        while (waitForInputOrStop (signalFd))
        {
            signalfd_siginfo info {};

            if (::read (signalFd, &info, sizeof (info)) != (ssize_t) sizeof (info))
                continue;

            if (quitSignalled.exchange (true))
                endAsTheDefaultActionDoes ((int) info.ssi_signo);

            const char byte = 1;
            [[maybe_unused]] const auto toAborts = ::write (abortPipe[1], &byte, 1);
            [[maybe_unused]] const auto toMessages = ::write (signalPipe[1], &byte, 1);
        }
    }

    void runAborts()
    {
        while (waitForInputOrStop (abortPipe[0]))
        {
            char bytes[16];

            while (::read (abortPipe[0], bytes, sizeof (bytes)) > 0)
            {
            }

            const std::lock_guard<std::mutex> guard (abortLock);

            for (auto* abort : aborts)
                (*abort)();
        }
    }

    void openPipes()
    {
        if (::pipe2 (stopPipe, O_CLOEXEC | O_NONBLOCK) != 0
             || ::pipe2 (signalPipe, O_CLOEXEC | O_NONBLOCK) != 0
             || ::pipe2 (abortPipe, O_CLOEXEC | O_NONBLOCK) != 0
             || ::pipe2 (wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        {
            closePipe (stopPipe);
            closePipe (signalPipe);
            closePipe (abortPipe);
            closePipe (wakePipe);
        }
    }
}

void platform::holdQuitSignals()
{
    const auto set = quitSignals();
    ::pthread_sigmask (SIG_BLOCK, &set, nullptr);
}

void platform::installQuitHandling (std::function<void()> onQuitSignal)
{
    if (installed)
        return;

    // Threads started from here on hold them too; the entry has seen to those before.
    holdQuitSignals();
    const auto set = quitSignals();
    signalFd = ::signalfd (-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);

    if (signalFd >= 0)
        openPipes();

    // Nobody would take them: they keep their default action.
    if (signalFd < 0 || wakePipe[0] < 0)
    {
        if (signalFd >= 0)
            ::close (signalFd);

        signalFd = -1;
        ::pthread_sigmask (SIG_UNBLOCK, &set, nullptr);
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
    abortRunner = std::thread (runAborts);
    signalTaker = std::thread (takeSignals);
}

void platform::removeQuitHandling()
{
    if (! installed)
        return;

    installed = false;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write (stopPipe[1], &byte, 1);
    signalTaker.join();
    abortRunner.join();

    juce::LinuxEventLoop::unregisterFdCallback (signalPipe[0]);
    juce::LinuxEventLoop::unregisterFdCallback (wakePipe[0]);
    ::close (signalFd);
    signalFd = -1;
    closePipe (stopPipe);
    closePipe (signalPipe);
    closePipe (abortPipe);
    closePipe (wakePipe);
    quitSignalCallback = nullptr;

    // What is left of the quit is not held up by another signal.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset (&action.sa_mask);
    ::sigaction (SIGINT, &action, nullptr);
    ::sigaction (SIGTERM, &action, nullptr);
    const auto set = quitSignals();
    ::pthread_sigmask (SIG_UNBLOCK, &set, nullptr);
}

platform::AbortOnQuitSignal::AbortOnQuitSignal (std::function<void()> abortToUse)
    : abort (std::move (abortToUse))
{
    const std::lock_guard<std::mutex> guard (abortLock);

    if (quitSignalled)
        abort();
    else
        aborts.push_back (&abort);
}

platform::AbortOnQuitSignal::~AbortOnQuitSignal()
{
    // Waits for a run of this abort under way.
    const std::lock_guard<std::mutex> guard (abortLock);
    aborts.erase (std::remove (aborts.begin(), aborts.end(), &abort), aborts.end());
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
