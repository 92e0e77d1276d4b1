#pragma once

#include <juce_core/juce_core.h>

#include <memory>

// The HTTP part of a package download, on a thread of its own: the GET,
// following up to five 302 answers by hand, and the body into memory.
// A read that the network holds up cannot always be ended from outside
// (see AbortableRequest), so an aborted fetch that has not ended is left
// behind: its thread owns all it touches, writes only into its own memory
// and ends by itself, its result thrown away, or with the process, which
// then ends before its static objects go (platform::endProgram).
class PackageFetch
{
public:
    PackageFetch (const juce::URL& url, const juce::String& extraHeaders, juce::int64 sizeLimit);
    ~PackageFetch();   // aborts a fetch still running, and does not wait for it

    // True once the fetch has ended; waits at most timeoutMs.
    bool waitForEnd (int timeoutMs);

    void abort();

    // While it runs: the bytes of the body received so far, and how long
    // the server has been silent (since the request, its answer or its
    // last bytes).
    juce::int64 bytesReceived() const noexcept;
    int getSilentMs() const noexcept;

    // The address reached so far, and the failure that names it.
    juce::URL getUrl() const;
    juce::Result failedDownload() const;

    // Once it has ended: the outcome ("cancel" after an abort) and the body
    // (complete only when the outcome is ok).
    juce::Result getResult() const;
    const juce::MemoryBlock& getBody() const;

private:
    struct Job;
    std::shared_ptr<Job> job;

    JUCE_DECLARE_NON_COPYABLE (PackageFetch)
};
