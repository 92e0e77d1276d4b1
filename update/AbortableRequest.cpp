#include "AbortableRequest.h"

#include "WebStreamRead.h"

AbortableRequest::~AbortableRequest() = default;

bool AbortableRequest::open (const juce::URL& url, const juce::String& extraHeaders, int connectionTimeoutMs,
                             int redirectsToFollow)
{
    juce::WebInputStream* request = nullptr;
    connected = false;
    statusCode = 0;
    responseHeaders.clear();

    {
        const std::lock_guard<std::mutex> guard (lock);

        if (aborted)
            return false;

        stream = std::make_unique<juce::WebInputStream> (url, false);
        request = stream.get();
    }

    if (extraHeaders.isNotEmpty())
        request->withExtraHeaders (extraHeaders);

    request->withConnectionTimeout (connectionTimeoutMs);
    request->withNumRedirectsToFollow (redirectsToFollow);

    // An abort meanwhile cancels the stream, which ends the connect.
    const bool answered = request->connect (nullptr);
    statusCode = request->getStatusCode();
    responseHeaders = request->getResponseHeaders();
    connected = answered && ! request->isError() && ! aborted;
    return connected;
}

juce::int64 AbortableRequest::getTotalLength()
{
    return connected ? stream->getTotalLength() : -1;
}

int AbortableRequest::read (void* dest, int numBytes)
{
    if (! connected || aborted)
        return 0;

    const auto count = platform::readWebStream (*stream, dest, numBytes);
    return aborted ? juce::jmax (0, count) : count;
}

void AbortableRequest::abort()
{
    const std::lock_guard<std::mutex> guard (lock);
    aborted = true;

    if (stream != nullptr)
        stream->cancel();
}
