#include "CheckNewSofyVersion.h"

#include "DownloadNewVersionThread.h"
#include "GuardedXml.h"
#include "LabelTables.h"
#include "Log.h"
#include "ProcessLauncher.h"
#include "RequestDeadline.h"
#include "QuitHandling.h"
#include "QuitRequest.h"

namespace
{
    // The version the update list is compared with, as text.
    constexpr const char* ownSoftVersion = "1.0.1";

    constexpr int listTimeoutMs = 10000;

    // "\name" names an entry of the working directory.
    juce::File workingDirectoryEntry (const juce::String& name)
    {
        return juce::File::getCurrentWorkingDirectory().getChildFile (name.trimCharactersAtStart ("\\/"));
    }

    const juce::XmlElement* firstChildIgnoringCase (const juce::XmlElement* parent, const juce::String& tag)
    {
        if (parent != nullptr)
            for (auto* child : parent->getChildIterator())
                if (child->getTagName().equalsIgnoreCase (tag))
                    return child;

        return nullptr;
    }

    void showTip (const juce::String& text)
    {
        juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, "Tips", text,
                                                {}, nullptr, nullptr);
    }
}

int CheckNewSofyVersion::checkForNewVersion (const juce::URL& listUrl, const juce::String& appName)
{
    // The whole fetch, connection and body, ends within the time-out: a list
    // not complete by then counts as no answer.
    AbortableRequest request;
    juce::MemoryBlock body;
    bool answered = false;
    {
        const RequestDeadline deadline (request, listTimeoutMs);
        const platform::AbortOnQuitSignal abortOnQuit ([&request] { request.abort(); });
        answered = request.open (listUrl, {}, listTimeoutMs, 5);

        // Read no more than the guarded reader accepts, and let it refuse
        // whatever else is wrong with the list.
        if (answered && request.getStatusCode() == 200)
        {
            juce::MemoryOutputStream out (body, false);
            char buffer[8192];

            while (out.getDataSize() <= maxGuardedXmlBytes)
            {
                const auto count = request.read (buffer, (int) sizeof (buffer));

                if (count <= 0)
                    break;

                out.write (buffer, (size_t) count);
            }
        }

        answered = answered && ! request.wasAborted();
    }

    if (! answered)
    {
        writeLog ("Can't read appName");
        return 0;
    }

    if (request.getStatusCode() != 200)
        return 0;

    const auto document = parseGuardedXml (body);

    const auto* updateFiles = firstChildIgnoringCase (document.get(), "updateFiles");
    const auto url = getAppAttribute (updateFiles, appName, "url");
    const auto lastVersion = getAppAttribute (updateFiles, appName, "lastver");
    const auto listedName = getAppAttribute (updateFiles, appName, "appName");

    if (listedName != appName + ".exe")
    {
        writeLog ("Can't read appName");
    }
    else if (lastVersion == ownSoftVersion)
    {
        writeLog ("Current Version is New.");
        juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::NoIcon, UpdateLabels[updateTips],
                                                UpdateLabels[updateAlreadyNewVer], {}, nullptr, nullptr);
    }
    else
    {
        writeLog ("Find new Soft Version");

        if (juce::AlertWindow::showOkCancelBox (juce::MessageBoxIconType::NoIcon, UpdateLabels[updateTips],
                                                UpdateLabels[updateAskDownloadNewVer],
                                                UpdateLabels[updateDownloadUpdates], TRANS ("Cancel"),
                                                nullptr, nullptr))
            downloadAndInstall (juce::URL (url));
    }

    return 0;
}

juce::String CheckNewSofyVersion::getAppAttribute (const juce::XmlElement* updateFiles, const juce::String& appName,
                                                   const juce::String& attributeName)
{
    if (const auto* entry = firstChildIgnoringCase (updateFiles, appName))
        return entry->getStringAttribute (attributeName);

    return {};
}

int CheckNewSofyVersion::downloadAndInstall (const juce::URL& url)
{
    const auto targetFolder = workingDirectoryEntry ("\\app");
    DownloadNewVersionThread::performDownload (url, {}, targetFolder);

    // The hand-over follows every attempt, also a failed or cancelled one.
    const auto appBatchFile = targetFolder.getChildFile ("autoUpdate.bat");

    if (! appBatchFile.exists())
    {
        writeLog ("Can't find app autoUpdate.bat");
        showTip ("Can't  find  autoUpdate.bat!");
        return -1;
    }

    writeLog ("Find app->autoUpdate.bat");
    const auto batchFile = workingDirectoryEntry ("\\autoUpdate.bat");
    writeLog (appBatchFile.moveFileTo (batchFile) ? "autoUpdate.bat move file succeed!"
                                                  : "autoUpdate.bat move file fail! ");

    if (batchFile.exists()
        && workingDirectoryEntry ("\\About.txt").exists()
        && workingDirectoryEntry ("\\Help.txt").exists())
    {
        writeLog ("autoUpdate.bat is exists!");

        if (platform::startBatchFile (batchFile))
        {
            writeLog ("autoUpdate.bat open succeed!");
            requestApplicationQuit();
            return 0;
        }

        writeLog ("app startAsProcess Fail!");
        showTip ("autoUpdate.bat startAsProcess fail!");
        return -1;
    }

    writeLog ("Can't find autoUpdate.bat");
    showTip ("Can't  find new Flintmoor.exe!");
    return -1;
}
