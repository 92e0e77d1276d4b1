#include "DownloadNewVersionThread.h"

#include "LabelTables.h"
#include "ProgressWindowKeys.h"
#include "RelaunchTimer.h"

namespace
{
    constexpr int connectionTimeoutMs = 10000;
    constexpr int maxRequests = 5;
    constexpr int readStep = 8192;
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

DownloadNewVersionThread::~DownloadNewVersionThread() = default;

void DownloadNewVersionThread::run()
{
    juce::MemoryBlock data;
    result = download (data);

    if (result.wasOk() && ! threadShouldExit())
    {
        setStatusMessage ("Installing...");
        result = install (data, targetFolder);
    }
}

juce::Result DownloadNewVersionThread::download (juce::MemoryBlock& dest)
{
    setStatusMessage ("Downloading...");

    int statusCode = 302;
    std::unique_ptr<juce::InputStream> stream;

    // Redirects are followed here rather than by the framework, each answer
    // seen with its own headers.
    for (int request = 0; request < maxRequests; ++request)
    {
        juce::StringPairArray responseHeaders (true);

        stream = url.createInputStream (
            juce::URL::InputStreamOptions (juce::URL::ParameterHandling::inAddress)
                .withExtraHeaders (extraHeaders)
                .withConnectionTimeoutMs (connectionTimeoutMs)
                .withResponseHeaders (&responseHeaders)
                .withStatusCode (&statusCode)
                .withNumRedirectsToFollow (0));

        if (stream == nullptr || statusCode != 302)
            break;

        const auto location = responseHeaders["Location"];

        if (location.isEmpty())
            break;

        url = juce::URL (location);
    }

    if (stream != nullptr && statusCode == 200)
    {
        const auto tooLarge = juce::Result::fail ("The package is larger than "
                                                  + juce::File::descriptionOfSizeInBytes (packageLimit)
                                                  + ": " + url.toString (false));

        if (stream->getTotalLength() > packageLimit)
            return tooLarge;

        juce::MemoryOutputStream out (dest, true);
        juce::int64 total = 0;

        for (;;)
        {
            if (threadShouldExit())
                return juce::Result::fail ("cancel");

            const auto count = out.writeFromInputStream (*stream, readStep);

            if (count <= 0)
                return juce::Result::ok();

            total += count;

            // A body without a length, or longer than its length said.
            if (total > packageLimit)
                return tooLarge;

            setStatusMessage (TRANS ("Downloading...") + "  (" + juce::File::descriptionOfSizeInBytes (total) + ")");
        }
    }

    return juce::Result::fail ("Failed to download from: " + url.toString (false));
}

juce::Result DownloadNewVersionThread::install (const juce::MemoryBlock& data, const juce::File& targetFolder)
{
    juce::MemoryInputStream input (data, false);
    juce::ZipFile zip (input);

    if (zip.getNumEntries() == 0)
        return juce::Result::fail ("The downloaded file wasn't a valid JUCE file!");

    // The package is always unpacked beside the target first, so that one that
    // does not unpack completely never takes the target's place.
    const bool targetExists = targetFolder.exists();
    const auto unzipTarget = targetExists
        ? targetFolder.getNonexistentSibling()
        : targetFolder.getSiblingFile (targetFolder.getFileName() + "_new").getNonexistentSibling();

    if (! unzipTarget.createDirectory())
        return juce::Result::fail ("Couldn't create a folder to unzip the new version!");

    const auto unzipped = zip.uncompressTo (unzipTarget, true);

    if (unzipped.failed())
    {
        unzipTarget.deleteRecursively();
        return unzipped;
    }

    if (targetExists)
    {
        auto oldFolder = targetFolder.getSiblingFile (targetFolder.getFileNameWithoutExtension() + "_old");

        if (oldFolder.exists())
            oldFolder = oldFolder.getNonexistentSibling();

        if (! targetFolder.moveFileTo (oldFolder))
        {
            unzipTarget.deleteRecursively();
            return juce::Result::fail ("Could not remove the existing folder!");
        }
    }

    if (! unzipTarget.moveFileTo (targetFolder))
    {
        unzipTarget.deleteRecursively();
        return juce::Result::fail ("Could not overwrite the existing folder!");
    }

    return juce::Result::ok();
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
