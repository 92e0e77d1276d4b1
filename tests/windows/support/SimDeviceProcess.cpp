#include "SimDeviceProcess.h"

#include "Bridge.h"
#include "MessageLoop.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <iostream>

namespace
{
    constexpr int stopTimeoutMs = 20000;
}

SimDeviceProcess::SimDeviceProcess (const juce::StringArray& options)
{
    // Each option after a tab, so that an empty one is still passed.
    juce::String line ("sim"), answer;

    for (const auto& option : options)
        line << "\t" << option;

    connection = bridge::request (line, answer);

    if (connection == nullptr || ! answer.startsWith ("ready "))
    {
        ADD_FAILURE() << "the line bridge answered \"" << answer << "\" to the device's start";
        connection.reset();
        stopped = true;
        exitStatus = -1;
        return;
    }

    folder = bridge::linuxFile (answer.fromFirstOccurrenceOf ("ready ", false, false));
    path = bridge::devicePath();
}

SimDeviceProcess::~SimDeviceProcess()
{
    const auto status = stop();

    if (status != 0)
        ADD_FAILURE() << "simdevice did not end cleanly: status " << status;

    if (::testing::Test::HasFailure())
        std::cout << "simdevice events:\n" << events().joinIntoString ("\n") << std::endl;
}

bool SimDeviceProcess::isRunning()
{
    return ! stopped && connection != nullptr && connection->isConnected();
}

int SimDeviceProcess::stop()
{
    if (stopped)
        return exitStatus;

    stopped = true;
    connection->write ("stop\n", 5);
    const auto answer = bridge::readLine (*connection, stopTimeoutMs);
    exitStatus = answer.startsWith ("exit ") ? answer.fromFirstOccurrenceOf ("exit ", false, false).getIntValue() : -1;
    return exitStatus;
}

juce::StringArray SimDeviceProcess::events()
{
    juce::StringArray lines;

    // Only whole lines count; the last one may still be being written.
    auto text = folder.getChildFile ("events.log").loadFileAsString();
    text = text.upToLastOccurrenceOf ("\n", false, false);

    if (text.isNotEmpty())
        lines.addLines (text);

    return lines;
}

int SimDeviceProcess::countEvents (const juce::String& prefix)
{
    int n = 0;

    for (const auto& line : events())
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
    return folder.getChildFile ("image-" + juce::String (device) + ".bin");
}

juce::MemoryBlock SimDeviceProcess::image (int device) const
{
    juce::MemoryBlock block;
    imageFile (device).loadFileAsData (block);
    return block;
}
