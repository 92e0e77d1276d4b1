// The update's hand-over under Wine: the package, served over HTTP on
// 127.0.0.1, is unpacked into "app"; its batch file is moved beside the
// program and started through the Windows shell, and the program quits.
#include "CheckNewSofyVersion.h"
#include "MessageLoop.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

namespace
{
// Serves one body to every GET until destroyed.
class OneFileServer : private juce::Thread
{
public:
    explicit OneFileServer (juce::MemoryBlock bodyToServe) : juce::Thread ("package server"), body (std::move (bodyToServe))
    {
        if (listener.createListener (0, "127.0.0.1"))
            startThread();
    }

    ~OneFileServer() override
    {
        signalThreadShouldExit();
        listener.close();
        stopThread (10000);
    }

    juce::URL url (const juce::String& path) const
    {
        // getPort() stays 0 for a listener on any free port.
        return juce::URL ("http://127.0.0.1:" + juce::String (listener.getBoundPort()) + path);
    }

private:
    void run() override
    {
        while (! threadShouldExit())
        {
            std::unique_ptr<juce::StreamingSocket> client (listener.waitForNextConnection());

            if (client == nullptr)
                continue;

            // The request ends with an empty line; what it asks for does not matter.
            juce::String request;
            char c = 0;

            while (! request.endsWith ("\r\n\r\n") && client->waitUntilReady (true, 10000) == 1 && client->read (&c, 1, false) == 1)
                request += c;

            const auto head = "HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\nContent-Length: "
                            + juce::String ((juce::int64) body.getSize()) + "\r\nConnection: close\r\n\r\n";
            client->write (head.toRawUTF8(), (int) head.getNumBytesAsUTF8());
            client->write (body.getData(), (int) body.getSize());
        }
    }

    juce::StreamingSocket listener;
    juce::MemoryBlock body;
};

juce::MemoryBlock zipOf (const std::vector<std::pair<juce::String, juce::String>>& files)
{
    juce::ZipFile::Builder builder;

    for (const auto& [name, text] : files)
        builder.addEntry (new juce::MemoryInputStream (text.toRawUTF8(), text.getNumBytesAsUTF8(), true), 9, name, juce::Time::getCurrentTime());

    juce::MemoryOutputStream out;
    builder.writeToStream (out, nullptr);
    return out.getMemoryBlock();
}
}

TEST (WineHandOver, TheBatchFileIsMovedAndStartedAndTheProgramQuits)
{
    TempFolder folder;
    folder.get().setAsCurrentWorkingDirectory();
    (folder / "About.txt").replaceWithText ("about");
    (folder / "Help.txt").replaceWithText ("help");

    // The batch file writes its marker beside itself.
    OneFileServer server (zipOf ({ { "autoUpdate.bat", "@echo off\r\necho ran> \"%~dp0batch-ran.txt\"\r\n" },
                                   { "Flintmoor.exe", "not run" } }));

    EXPECT_EQ (CheckNewSofyVersion().downloadAndInstall (server.url ("/p.zip")), 0);
    EXPECT_TRUE (juce::MessageManager::getInstance()->hasStopMessageBeenSent());
    EXPECT_TRUE ((folder / "autoUpdate.bat").existsAsFile());
    EXPECT_FALSE ((folder / "app/autoUpdate.bat").exists());
    EXPECT_TRUE ((folder / "app/Flintmoor.exe").existsAsFile());

    const auto marker = folder / "batch-ran.txt";
    EXPECT_TRUE (runMessagesUntil ([&] { return marker.loadFileAsString().trim() == "ran"; }, 30000))
        << "the batch file did not run";

    juce::File::getSpecialLocation (juce::File::tempDirectory).setAsCurrentWorkingDirectory();
}
