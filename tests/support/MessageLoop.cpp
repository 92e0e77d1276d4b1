#include "MessageLoop.h"

#include <juce_events/juce_events.h>

bool runMessagesUntil (const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounterHiRes() >= end)
            return condition();

        juce::MessageManager::getInstance()->runDispatchLoopUntil (2);
    }

    return true;
}

bool waitUntil (const std::function<bool()>& condition, int timeoutMs)
{
    auto* mm = juce::MessageManager::getInstanceWithoutCreating();

    if (mm != nullptr && mm->isThisTheMessageThread())
        return runMessagesUntil (condition, timeoutMs);

    const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounterHiRes() >= end)
            return condition();

        juce::Thread::sleep (2);
    }

    return true;
}

void runMessagesFor (int ms)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + ms;

    while (juce::Time::getMillisecondCounterHiRes() < end)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (2);
}
