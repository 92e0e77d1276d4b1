#include "PackageFetch.h"

#include "AbortableRequest.h"
#include "DetachedThreads.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace
{
    constexpr int connectionTimeoutMs = 10000;
    constexpr int maxRequests = 5;
    // WinINet's read returns once its buffer is full: small steps let a slow
    // server be seen to send (see getSilentMs).
    constexpr int readStep = 1024;
}

struct PackageFetch::Job
{
    Job (const juce::URL& u, const juce::String& headers, juce::int64 limit)
        : url (u), extraHeaders (headers), sizeLimit (limit)
    {
    }

    void run()
    {
        result = fetch();
        ended.signal();
    }

    juce::Result fetch()
    {
        int statusCode = 302;
        bool answered = false;

        for (int attempt = 0; attempt < maxRequests; ++attempt)
        {
            answered = request.open (getUrl(), extraHeaders, connectionTimeoutMs, 0);
            statusCode = request.getStatusCode();
            heardFrom();

            if (request.wasAborted())
                return juce::Result::fail ("cancel");

            if (! answered || statusCode != 302)
                break;

            const auto location = request.getResponseHeaders()["Location"];

            if (location.isEmpty())
                break;

            const std::lock_guard<std::mutex> guard (urlLock);
            url = juce::URL (location);
        }

        if (answered && statusCode == 200)
            return readBody();

        return failedDownload();
    }

    juce::Result readBody()
    {
        const auto tooLarge = juce::Result::fail ("The package is larger than "
                                                  + juce::File::descriptionOfSizeInBytes (sizeLimit)
                                                  + ": " + getUrl().toString (false));
        const auto length = request.getTotalLength();

        if (length > sizeLimit)
            return tooLarge;

        juce::MemoryOutputStream out (body, false);
        juce::HeapBlock<char> buffer (readStep);
        juce::int64 total = 0;

        for (;;)
        {
            const auto count = request.read (buffer.get(), readStep);

            if (request.wasAborted())
                return juce::Result::fail ("cancel");

            // A failed read, or a body that ends before the length it named,
            // is cut off.
            if (count < 0 || (count == 0 && length >= 0 && total < length))
                return failedDownload();

            if (count == 0)
                return juce::Result::ok();

            out.write (buffer.get(), (size_t) count);
            total += count;
            received = total;
            heardFrom();

            // A body without a length, or longer than its length said.
            if (total > sizeLimit)
                return tooLarge;
        }
    }

    juce::Result failedDownload() const
    {
        return juce::Result::fail ("Failed to download from: " + getUrl().toString (false));
    }

    juce::URL getUrl() const
    {
        const std::lock_guard<std::mutex> guard (urlLock);
        return url;
    }

    void heardFrom() { lastHeardMs = juce::Time::getMillisecondCounter(); }

    AbortableRequest request;
    mutable std::mutex urlLock;   // the address changes with each redirect
    juce::URL url;
    const juce::String extraHeaders;
    const juce::int64 sizeLimit;

    // Written by the fetch's thread until it signals its end; read after it.
    juce::MemoryBlock body;
    juce::Result result { juce::Result::ok() };

    std::atomic<bool> abortRequested { false };
    std::atomic<juce::int64> received { 0 };
    std::atomic<juce::uint32> lastHeardMs { juce::Time::getMillisecondCounter() };
    juce::WaitableEvent ended { true };
};

PackageFetch::PackageFetch (const juce::URL& url, const juce::String& extraHeaders, juce::int64 sizeLimit)
    : job (std::make_shared<Job> (url, extraHeaders, sizeLimit))
{
    // The thread holds the job as long as it runs, whoever else lets it go,
    // and counts as running until the job, and the request in it, are gone.
    platform::detachedThreadStarted();
    std::thread ([running = job]() mutable
    {
        running->run();
        running.reset();
        platform::detachedThreadEnded();
    }).detach();
}

PackageFetch::~PackageFetch()
{
    if (! job->ended.wait (0))
        abort();
}

bool PackageFetch::waitForEnd (int timeoutMs)
{
    return job->ended.wait (timeoutMs);
}

// Closing a request whose read is blocked can itself block (Wine's WinINet
// waits for the read): the abort runs on a thread of its own, which holds
// the job as long as it needs it.
void PackageFetch::abort()
{
    if (job->abortRequested.exchange (true))
        return;

    platform::detachedThreadStarted();
    std::thread ([aborting = job]() mutable
    {
        aborting->request.abort();
        aborting.reset();
        platform::detachedThreadEnded();
    }).detach();
}

juce::int64 PackageFetch::bytesReceived() const noexcept
{
    return job->received;
}

int PackageFetch::getSilentMs() const noexcept
{
    return (int) (juce::Time::getMillisecondCounter() - job->lastHeardMs);
}

juce::Result PackageFetch::failedDownload() const
{
    return job->failedDownload();
}

juce::Result PackageFetch::getResult() const
{
    jassert (job->ended.wait (0));
    return job->result;
}

const juce::MemoryBlock& PackageFetch::getBody() const
{
    jassert (job->ended.wait (0));
    return job->body;
}

juce::URL PackageFetch::getUrl() const
{
    return job->getUrl();
}
