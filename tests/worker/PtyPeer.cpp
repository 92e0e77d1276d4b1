#include "PtyPeer.h"

bool PtyPeer::waitFor (const std::string& text, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
    seen.clear();

    while (seen.find (text) == std::string::npos)
    {
        if (juce::Time::getMillisecondCounter() >= end)
            return false;
        read (5);
    }

    seen.clear();
    return true;
}

std::string PtyPeer::readFrame (int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    for (;;)
    {
        const auto at = seen.find ("\r\n");

        if (at != std::string::npos)
        {
            auto frame = seen.substr (0, at + 2);
            seen.erase (0, at + 2);
            return frame;
        }

        if (juce::Time::getMillisecondCounter() >= end)
            return {};

        read (5);
    }
}
