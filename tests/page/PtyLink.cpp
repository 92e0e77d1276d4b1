#include "PtyLink.h"

#include <cerrno>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

namespace
{
    // Links left by a run that was killed would otherwise stay listed.
    void removeLinksOfEndedRuns (const juce::String& prefix)
    {
        for (auto& link : juce::File ("/dev").findChildFiles (juce::File::findFiles, false, prefix + "*"))
        {
            const int pid = link.getFileName().substring (prefix.length()).upToFirstOccurrenceOf ("_", false, false).getIntValue();

            if (pid > 0 && kill (pid, 0) != 0 && errno == ESRCH)
                unlink (link.getFullPathName().toRawUTF8());
        }
    }
}

DevLink::DevLink (const juce::String& prefix, const juce::String& suffix, const juce::String& target)
    : portName (prefix + juce::String ((int) getpid()) + "_" + suffix)
{
    removeLinksOfEndedRuns (prefix);
    const auto path = "/dev/" + portName;
    unlink (path.toRawUTF8());
    created = symlink (target.toRawUTF8(), path.toRawUTF8()) == 0;
}

DevLink::~DevLink()
{
    if (created)
        unlink (("/dev/" + portName).toRawUTF8());
}

Pty::Pty()
{
    char name[128] = {};

    if (openpty (&master, &slave, name, nullptr, nullptr) == 0)
        path = name;
}

Pty::~Pty()
{
    if (master >= 0)
        close (master);

    if (slave >= 0)
        close (slave);
}
