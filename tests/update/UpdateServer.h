#pragma once

#include "TempFolder.h"

#include <juce_core/juce_core.h>

// tools/updateserver.py as a child process on 127.0.0.1 at a free port,
// serving a fresh folder. Paths listed in its routes answer as described there
// (see the script): 302 with or without Location, 404, a slow or cut-off body.
class UpdateServer
{
public:
    UpdateServer();
    ~UpdateServer();

    bool isRunning() const noexcept { return port > 0; }

    // "http://127.0.0.1:<port>" followed by path.
    juce::String address (const juce::String& path) const;

    // A file in the served folder, served at "/" + name.
    juce::File file (const juce::String& name) const { return folder / name; }
    void serve (const juce::String& name, const juce::MemoryBlock& content) const;
    void serve (const juce::String& name, const juce::String& content) const;

    // The routes as JSON, e.g. R"({"/a.zip": {"status": 302, "location": "@/b.zip"}})";
    // every "@" stands for "http://127.0.0.1:<port>".
    void setRoutes (const juce::String& json) const;

    // Every request so far, "GET <path and query>", in order.
    juce::StringArray requests() const;

    // Waits until a request for path has come; false when none came in time.
    bool waitForRequest (const juce::String& path, int timeoutMs = 20000) const;

private:
    TempFolder folder;
    juce::ChildProcess process;
    int port = 0;

    JUCE_DECLARE_NON_COPYABLE (UpdateServer)
};
