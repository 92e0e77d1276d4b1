#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <memory>
#include <mutex>

// HTTP GET requests, one at a time, that another thread can abort at any
// moment; no later request is made. With curl a connection being made or a
// read that waits for the server then returns within about a second,
// whatever the server does. WinINet (Wine's at least) ends a blocked read
// only at its receive time-out: who must not wait that long leaves the
// request behind on a thread of its own (PackageFetch).
class AbortableRequest
{
public:
    AbortableRequest() = default;
    ~AbortableRequest();   // abort() must not run meanwhile

    // Opens url, replacing the previous request. False when there is no
    // answer, or after an abort; the status code and headers tell what came.
    bool open (const juce::URL& url, const juce::String& extraHeaders, int connectionTimeoutMs, int redirectsToFollow);

    int getStatusCode() const noexcept { return statusCode; }
    const juce::StringPairArray& getResponseHeaders() const noexcept { return responseHeaders; }
    juce::int64 getTotalLength();   // -1 when the server named none

    // Up to numBytes of the body; 0 at its end and after an abort, -1 when
    // the read failed (the body is then incomplete).
    int read (void* dest, int numBytes);

    // From any thread.
    void abort();
    bool wasAborted() const noexcept { return aborted; }

private:
    std::mutex lock;   // held while the stream is replaced or cancelled
    std::unique_ptr<juce::WebInputStream> stream;
    std::atomic<bool> aborted { false };
    bool connected = false;
    int statusCode = 0;
    juce::StringPairArray responseHeaders;

    JUCE_DECLARE_NON_COPYABLE (AbortableRequest)
};
