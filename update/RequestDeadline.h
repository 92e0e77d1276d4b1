#pragma once

#include "AbortableRequest.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// Aborts a request once a time has passed since construction, unless
// destroyed before. The destructor returns at once; its thread is joined,
// never left running.
class RequestDeadline
{
public:
    RequestDeadline (AbortableRequest& request, int timeoutMs);
    ~RequestDeadline();

private:
    std::mutex lock;
    std::condition_variable wake;
    bool finished = false;
    std::thread watcher;

    JUCE_DECLARE_NON_COPYABLE (RequestDeadline)
};
