#include "PtyLink.h"

#include <pty.h>
#include <unistd.h>

DevLink::DevLink (const juce::String& prefix, const juce::String& suffix, const juce::String& target)
    : portName (prefix + juce::String ((int) getpid()) + "_" + suffix)
{
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
