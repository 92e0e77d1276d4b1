#include "SimDeviceProcess.h"

#include "MessageLoop.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <vector>

extern char** environ;

namespace
{
    // Generous: a sanitizer build on a busy machine starts and stops slowly.
    constexpr int startTimeoutMs = 30000;
    constexpr int stopTimeoutMs = 30000;

    int decodeStatus (int status)
    {
        if (WIFEXITED (status))
            return WEXITSTATUS (status);

        if (WIFSIGNALED (status))
            return -WTERMSIG (status);

        return -1;
    }

    // One line from the pipe, waiting up to the deadline.
    juce::String readLine (int fd, double deadline)
    {
        std::string line;

        for (;;)
        {
            const auto left = deadline - juce::Time::getMillisecondCounterHiRes();

            if (left <= 0)
                return {};

            pollfd p { fd, POLLIN, 0 };

            if (poll (&p, 1, (int) left + 1) <= 0)
                continue;

            char c = 0;
            const auto n = ::read (fd, &c, 1);

            if (n < 0 && errno == EINTR)
                continue;

            if (n <= 0)
                return {};

            if (c == '\n')
                return juce::String (line);

            line += c;
        }
    }
}

SimDeviceProcess::SimDeviceProcess (const juce::StringArray& options)
    : eventFile (folder / "events.log"), errorFile (folder / "stderr.log")
{
    juce::StringArray args { FLINT_SIMDEVICE_PATH, "--events", eventFile.getFullPathName(),
                             "--images", folder.get().getFullPathName() };
    args.addArray (options);

    std::vector<std::string> storage;
    for (const auto& a : args)
        storage.push_back (a.toStdString());

    std::vector<char*> argv;
    for (auto& s : storage)
        argv.push_back (s.data());
    argv.push_back (nullptr);

    int fds[2] = { -1, -1 };

    if (pipe2 (fds, O_CLOEXEC) != 0)
        return;

    // The device keeps none of our descriptors, not even stderr: a device left
    // behind by a test that crashed must not hold the test runner's pipes open,
    // or the runner would wait for them until its time-out.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_adddup2 (&actions, fds[1], STDOUT_FILENO);
    const auto errorPath = errorFile.getFullPathName().toStdString();
    posix_spawn_file_actions_addopen (&actions, STDERR_FILENO, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addclosefrom_np (&actions, STDERR_FILENO + 1);

    const int r = posix_spawn (&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy (&actions);
    ::close (fds[1]);
    outputPipe = fds[0];

    if (r != 0)
    {
        pid = -1;
        reaped = true;
        exitStatus = -1;
        return;
    }

    path = readLine (outputPipe, juce::Time::getMillisecondCounterHiRes() + startTimeoutMs);
}

SimDeviceProcess::~SimDeviceProcess()
{
    const auto status = stop();

    if (status != 0)
        ADD_FAILURE() << "simdevice did not end cleanly: status " << status;

    // What the device saw is the first thing to read when a test fails.
    if (::testing::Test::HasFailure())
        std::cout << "simdevice events:\n" << events().joinIntoString ("\n") << std::endl
                  << "simdevice stderr:\n" << errorFile.loadFileAsString() << std::endl;

    if (outputPipe >= 0)
        ::close (outputPipe);
}

bool SimDeviceProcess::isRunning()
{
    if (reaped || pid <= 0)
        return false;

    int status = 0;

    if (waitpid (pid, &status, WNOHANG) == pid)
    {
        reaped = true;
        exitStatus = decodeStatus (status);
        return false;
    }

    return true;
}

void SimDeviceProcess::release()
{
    if (isRunning())
        ::kill (pid, SIGUSR1);
}

int SimDeviceProcess::stop()
{
    if (! isRunning())
        return exitStatus;

    ::kill (pid, SIGTERM);
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + stopTimeoutMs;

    while (isRunning())
    {
        if (juce::Time::getMillisecondCounterHiRes() > deadline)
        {
            ::kill (pid, SIGKILL);
            int status = 0;
            waitpid (pid, &status, 0);
            reaped = true;
            exitStatus = decodeStatus (status);
            break;
        }

        juce::Thread::sleep (2);
    }

    return exitStatus;
}

void SimDeviceProcess::readEvents()
{
    juce::FileInputStream in (eventFile);

    if (! in.openedOk() || ! in.setPosition (readOffset))
        return;

    juce::MemoryBlock fresh;
    in.readIntoMemoryBlock (fresh);
    readOffset += (juce::int64) fresh.getSize();
    partialLine.append (fresh.getData(), fresh.getSize());

    // Only whole lines count; the rest waits for its newline.
    const auto* bytes = static_cast<const char*> (partialLine.getData());
    size_t lineStart = 0;

    for (size_t i = 0; i < partialLine.getSize(); ++i)
    {
        if (bytes[i] == '\n')
        {
            lines.add (juce::String::fromUTF8 (bytes + lineStart, (int) (i - lineStart)));
            lineStart = i + 1;
        }
    }

    partialLine.removeSection (0, lineStart);
}

juce::StringArray SimDeviceProcess::events()
{
    const juce::ScopedLock sl (lock);
    readEvents();
    return lines;
}

int SimDeviceProcess::countEvents (const juce::String& prefix)
{
    const juce::ScopedLock sl (lock);
    readEvents();
    int n = 0;

    for (const auto& line : lines)
        if (line.startsWith (prefix))
            ++n;

    return n;
}

bool SimDeviceProcess::waitForEvent (const juce::String& prefix, int timeoutMs, int count)
{
    return waitUntil ([&] { return countEvents (prefix) >= count; }, timeoutMs);
}

juce::File SimDeviceProcess::imageFile (int device) const
{
    return folder / ("image-" + juce::String (device) + ".bin");
}

juce::MemoryBlock SimDeviceProcess::image (int device) const
{
    juce::MemoryBlock block;
    imageFile (device).loadFileAsData (block);
    return block;
}
