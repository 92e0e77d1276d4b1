#include "ProcessLauncher.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
    // Starts argv[0] in a session of its own, so that it does not go with this
    // program's terminal or process group. Exec failures (missing file, no
    // execute permission) come back from posix_spawn.
    bool spawnDetached (const juce::StringArray& args)
    {
        std::vector<std::string> storage;
        for (auto& a : args)
            storage.push_back (a.toStdString());

        std::vector<char*> argv;
        for (auto& s : storage)
            argv.push_back (s.data());
        argv.push_back (nullptr);

        // This program's environment, with its process id for the one started.
        const std::string prefix = std::string (platform::relaunchVariable) + "=";
        std::string ownId = prefix + std::to_string ((long) getpid());
        std::vector<char*> environment;
        for (char** e = environ; *e != nullptr; ++e)
            if (std::strncmp (*e, prefix.c_str(), prefix.size()) != 0)
                environment.push_back (*e);
        environment.push_back (ownId.data());
        environment.push_back (nullptr);

        posix_spawnattr_t attributes;
        if (posix_spawnattr_init (&attributes) != 0)
            return false;

        // The signals this program holds back for its quit would stay
        // blocked across the exec: the program started gets none blocked.
        sigset_t none;
        sigemptyset (&none);
        posix_spawnattr_setsigmask (&attributes, &none);
        posix_spawnattr_setflags (&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);

        pid_t pid = 0;
        const auto error = posix_spawn (&pid, argv[0], nullptr, &attributes, argv.data(), environment.data());
        posix_spawnattr_destroy (&attributes);
        return error == 0;
    }
}

// The package's batch file holds shell commands here.
bool platform::startBatchFile (const juce::File& file)
{
    if (! file.existsAsFile())
        return false;

    return spawnDetached ({ "/bin/sh", file.getFullPathName() });
}

// Zip archives carry no permissions for JUCE to restore, so an unpacked
// executable may lack its execute bit.
bool platform::startExecutable (const juce::File& file)
{
    // A link would have the bit set on, and start, whatever it points to.
    struct stat info;
    if (lstat (file.getFullPathName().toRawUTF8(), &info) != 0 || ! S_ISREG (info.st_mode))
        return false;

    const auto path = file.getFullPathName();

    if (access (path.toRawUTF8(), X_OK) != 0 && ! file.setExecutePermission (true))
        return false;

    return spawnDetached ({ path });
}

void platform::waitForRelaunchingProgram()
{
    const char* value = std::getenv (relaunchVariable);

    if (value == nullptr)
        return;

    const auto starter = (pid_t) std::atol (value);
    unsetenv (relaunchVariable);

    if (starter <= 1 || starter == getpid())
        return;

    // A parent that ends hands this process on to another: that is seen at
    // once, where a parent that nobody reaps would still answer kill().
    const bool startedDirectly = getppid() == starter;

    for (int waited = 0; waited < relaunchWaitMs; waited += 20)
    {
        const bool ended = startedDirectly ? getppid() != starter
                                           : (kill (starter, 0) != 0 && errno == ESRCH);
        if (ended)
            return;

        usleep (20 * 1000);
    }
}
