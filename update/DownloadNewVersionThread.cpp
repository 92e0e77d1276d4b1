#include "DownloadNewVersionThread.h"

#include "LabelTables.h"
#include "PackageFetch.h"
#include "PackageInstall.h"
#include "ProgressWindowKeys.h"
#include "RelaunchTimer.h"

namespace
{
    // How often the window's text follows the bytes received, and how long
    // an aborted fetch is given to end before it is left behind.
    constexpr int statusStepMs = 50;
    constexpr int abortWaitMs = 500;

    // The request's time-out, which the framework gives WinINet as its
    // receive time-out too; Wine's WinINet does not apply it there, and a
    // read from a silent server would wait for ever.
    constexpr int silenceLimitMs = 10000;
}

DownloadNewVersionThread::DownloadNewVersionThread (const juce::URL& u, const juce::String& headers,
                                                    const juce::File& target)
    : juce::ThreadWithProgressWindow (UpdateLabels[updateDownloadNewVer], true, true, 10000, {}),
      result (juce::Result::ok()),
      url (u),
      extraHeaders (headers),
      targetFolder (target)
{
    // The bar shows activity without a fraction. Set before the thread runs:
    // the bar reads the value on the message thread without a lock.
    setProgress (-1.0);
    setProgressWindowKeys (*getAlertWindow());
}

// The thread returns within about a second of the request to exit, so it is
// waited for here rather than killed by the framework's destructor.
DownloadNewVersionThread::~DownloadNewVersionThread()
{
    signalThreadShouldExit();
    waitForThreadToExit (-1);
}

void DownloadNewVersionThread::run()
{
    juce::MemoryBlock data;
    result = download (data);

    if (result.wasOk() && ! threadShouldExit())
    {
        setStatusMessage ("Installing...");
        result = install (data, targetFolder, [this] { return threadShouldExit(); });
    }
}

juce::Result DownloadNewVersionThread::download (juce::MemoryBlock& dest)
{
    setStatusMessage ("Downloading...");

    PackageFetch fetch (url, extraHeaders, packageLimit);
    juce::int64 shown = 0;

    const auto showReceived = [this, &fetch, &shown]
    {
        const auto received = fetch.bytesReceived();

        if (received != shown)
            setStatusMessage (TRANS ("Downloading...") + "  (" + juce::File::descriptionOfSizeInBytes (received) + ")");

        shown = received;
    };

    // A read the network holds up is not waited for: the fetch is aborted
    // and left to end by itself, and what it brings is thrown away.
    const auto giveUp = [&fetch] (const juce::Result& outcome)
    {
        fetch.abort();
        fetch.waitForEnd (abortWaitMs);
        return outcome;
    };

    while (! fetch.waitForEnd (statusStepMs))
    {
        if (threadShouldExit())
            return giveUp (juce::Result::fail ("cancel"));

        if (fetch.getSilentMs() > silenceLimitMs)
        {
            url = fetch.getUrl();
            return giveUp (fetch.failedDownload());
        }

        showReceived();
    }

    showReceived();
    url = fetch.getUrl();

    if (fetch.getResult().wasOk())
        dest.append (fetch.getBody().getData(), fetch.getBody().getSize());

    return fetch.getResult();
}

juce::Result DownloadNewVersionThread::install (const juce::MemoryBlock& data, const juce::File& targetFolder)
{
    return install (data, targetFolder, {});
}

juce::Result DownloadNewVersionThread::install (const juce::MemoryBlock& data, const juce::File& targetFolder,
                                                const std::function<bool()>& shouldStop)
{
    return install (data, targetFolder, shouldStop,
                    [] (const juce::File& from, const juce::File& to) { return from.moveFileTo (to); });
}

juce::Result DownloadNewVersionThread::install (const juce::MemoryBlock& data, const juce::File& targetFolder,
                                                const std::function<bool()>& shouldStop, const FolderMove& moveFolder)
{
    return PackageInstall::install (data, targetFolder, shouldStop, moveFolder);
}

void DownloadNewVersionThread::threadComplete (bool userPressedCancel)
{
    cancelled = userPressedCancel;
    finished = true;
}

bool DownloadNewVersionThread::runModally()
{
    launchThread (juce::Thread::Priority::normal);
    auto* messageManager = juce::MessageManager::getInstance();

    // The framework's runThread spins for ever once the message loop has been
    // told to quit, as the window's timer then never fires again. Here a quit
    // ends the run as a Cancel does, and the thread is waited for, never killed.
    while (! finished)
    {
        if (! messageManager->runDispatchLoopUntil (5))
        {
            getAlertWindow()->exitModalState (0);
            getAlertWindow()->setVisible (false);
            signalThreadShouldExit();

            while (! waitForThreadToExit (100))
            {
            }

            return false;
        }
    }

    return ! cancelled;
}

void DownloadNewVersionThread::performDownload (const juce::URL& url, const juce::String& extraHeaders,
                                                const juce::File& targetFolder)
{
    DownloadNewVersionThread thread (url, extraHeaders, targetFolder);

    if (! thread.runModally())
        return;

    if (thread.result.failed())
        juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, "Installation Failed",
                                                thread.result.getErrorMessage(), {}, nullptr, nullptr);
    else
        new RelaunchTimer (targetFolder);
}
