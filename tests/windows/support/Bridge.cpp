#include "Bridge.h"

#include <gtest/gtest.h>

namespace
{
    constexpr int connectTimeoutMs = 10000;
    constexpr int answerTimeoutMs = 20000;

    juce::String environment (const char* name)
    {
        const auto value = juce::SystemStats::getEnvironmentVariable (name, {});

        if (value.isEmpty())
            ADD_FAILURE() << name << " is not set: run the Windows tests through tools/test";

        return value;
    }
}

namespace bridge
{
    juce::String portName()
    {
        return environment ("FLINT_WINE_COM");
    }

    juce::String devicePath()
    {
        return "\\\\.\\" + portName();
    }

    juce::File linuxFile (const juce::String& linuxPath)
    {
        return juce::File ("Z:" + linuxPath.replaceCharacter ('/', '\\'));
    }

    std::unique_ptr<juce::StreamingSocket> request (const juce::String& line, juce::String& answer)
    {
        answer.clear();
        const auto port = environment ("FLINT_BRIDGE_PORT").getIntValue();
        auto socket = std::make_unique<juce::StreamingSocket>();

        if (port <= 0 || ! socket->connect ("127.0.0.1", port, connectTimeoutMs))
        {
            ADD_FAILURE() << "the line bridge does not answer on port " << port;
            return nullptr;
        }

        const auto text = line + "\n";
        socket->write (text.toRawUTF8(), (int) text.getNumBytesAsUTF8());
        answer = readLine (*socket, answerTimeoutMs);
        return socket;
    }

    juce::String readLine (juce::StreamingSocket& socket, int timeoutMs)
    {
        const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;
        juce::MemoryOutputStream line;

        for (;;)
        {
            const auto left = (int) (deadline - juce::Time::getMillisecondCounterHiRes());

            if (left <= 0 || socket.waitUntilReady (true, left) != 1)
                return {};

            char c = 0;

            if (socket.read (&c, 1, false) != 1)
                return {};

            if (c == '\n')
                return line.toString();

            line.writeByte (c);
        }
    }
}

RemoteLine::RemoteLine()
{
    juce::String answer;
    socket = bridge::request ("raw", answer);

    if (socket != nullptr && answer != "ready")
    {
        ADD_FAILURE() << "the line bridge answered \"" << answer << "\" to raw";
        socket.reset();
    }
}

void RemoteLine::write (const std::vector<unsigned char>& bytes)
{
    if (socket != nullptr && ! bytes.empty())
        socket->write (bytes.data(), (int) bytes.size());
}

std::vector<unsigned char> RemoteLine::read (size_t count, int timeoutMs)
{
    std::vector<unsigned char> bytes;
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (socket != nullptr && bytes.size() < count)
    {
        const auto left = (int) (deadline - juce::Time::getMillisecondCounterHiRes());

        if (left <= 0 || socket->waitUntilReady (true, left) != 1)
            break;

        unsigned char buffer[4096];
        const auto n = socket->read (buffer, (int) std::min (sizeof buffer, count - bytes.size()), false);

        if (n <= 0)
            break;

        bytes.insert (bytes.end(), buffer, buffer + n);
    }

    return bytes;
}
