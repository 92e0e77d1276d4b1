#pragma once

#include <functional>

// Runs the JUCE message loop on the calling (message) thread until the
// condition holds or the time runs out; returns the condition's last value.
bool runMessagesUntil (const std::function<bool()>& condition, int timeoutMs);

// Waits until the condition holds or the time runs out, from any thread: on
// the message thread it runs the messages meanwhile, so that what the test
// waits for can arrive; elsewhere it polls.
bool waitUntil (const std::function<bool()>& condition, int timeoutMs);

// Runs the message loop for a while, for things that must not happen.
void runMessagesFor (int ms);
