#include "UpdateServer.h"

#include <unistd.h>

UpdateServer::UpdateServer()
{
    const auto portFile = folder / "port";

    const juce::StringArray command { FLINT_PYTHON3, FLINT_UPDATE_SERVER_SCRIPT,
                                      "--root", folder.get().getFullPathName(),
                                      "--port-file", portFile.getFullPathName(),
                                      "--parent", juce::String ((int) getpid()) };

    if (! process.start (command, 0))
        return;

    // The script writes the file once it listens.
    const auto end = juce::Time::getMillisecondCounter() + 20000;

    while (! portFile.existsAsFile() && process.isRunning() && juce::Time::getMillisecondCounter() < end)
        juce::Thread::sleep (10);

    port = portFile.loadFileAsString().trim().getIntValue();
}

UpdateServer::~UpdateServer()
{
    if (process.isRunning())
    {
        process.kill();
        process.waitForProcessToFinish (10000);
    }
}

juce::String UpdateServer::address (const juce::String& path) const
{
    return "http://127.0.0.1:" + juce::String (port) + path;
}

void UpdateServer::serve (const juce::String& name, const juce::MemoryBlock& content) const
{
    auto f = file (name);
    f.getParentDirectory().createDirectory();
    f.deleteFile();
    f.create();   // replaceWithData leaves no file for no data
    f.appendData (content.getData(), content.getSize());
}

void UpdateServer::serve (const juce::String& name, const juce::String& content) const
{
    serve (name, juce::MemoryBlock (content.toRawUTF8(), content.getNumBytesAsUTF8()));
}

void UpdateServer::setRoutes (const juce::String& json) const
{
    (folder / "routes.json").replaceWithText (json.replace ("@", address ({})), false, false, "\n");
}

juce::StringArray UpdateServer::requests() const
{
    juce::StringArray lines;
    lines.addLines ((folder / "requests.log").loadFileAsString());
    lines.removeEmptyStrings();
    return lines;
}

bool UpdateServer::waitForRequest (const juce::String& path, int timeoutMs) const
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! requests().contains ("GET " + path))
    {
        if (juce::Time::getMillisecondCounter() >= end)
            return false;

        juce::Thread::sleep (10);
    }

    return true;
}
