#include "DetachedThreads.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace
{
    // Never destroyed: a thread that ends during the process's exit must
    // still find them.
    struct Registry
    {
        std::mutex lock;
        std::condition_variable ended;
        int running = 0;
    };

    Registry& registry()
    {
        static auto* r = new Registry();
        return *r;
    }
}

void platform::detachedThreadStarted()
{
    auto& r = registry();
    const std::lock_guard<std::mutex> guard (r.lock);
    ++r.running;
}

void platform::detachedThreadEnded()
{
    auto& r = registry();
    const std::lock_guard<std::mutex> guard (r.lock);
    --r.running;
    r.ended.notify_all();
}

int platform::endProgram (int status, int waitMs)
{
    auto& r = registry();
    std::unique_lock<std::mutex> guard (r.lock);

    if (r.ended.wait_for (guard, std::chrono::milliseconds (waitMs), [&r] { return r.running == 0; }))
        return status;

    // What the program wrote is flushed; nothing else is left to do.
    std::fflush (nullptr);
    std::_Exit (status);
}

int platform::detachedThreadsRunning()
{
    auto& r = registry();
    const std::lock_guard<std::mutex> guard (r.lock);
    return r.running;
}
