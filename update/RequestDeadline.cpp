#include "RequestDeadline.h"

#include <chrono>

RequestDeadline::RequestDeadline (AbortableRequest& request, int timeoutMs)
{
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);

    watcher = std::thread ([this, &request, due]
    {
        std::unique_lock<std::mutex> guard (lock);

        if (! wake.wait_until (guard, due, [this] { return finished; }))
            request.abort();
    });
}

RequestDeadline::~RequestDeadline()
{
    {
        const std::lock_guard<std::mutex> guard (lock);
        finished = true;
    }

    wake.notify_all();
    watcher.join();
}
