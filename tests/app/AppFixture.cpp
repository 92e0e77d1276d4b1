#include "AppFixture.h"

#include "UiTypeface.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace
{
    // Links left by a test process that died before its tear-down would fill
    // the port list (16 names at most): remove those whose process is gone.
    void removeStaleLinks()
    {
        for (const auto& entry : juce::RangedDirectoryIterator (juce::File ("/dev"), false, "ttyFM*",
                                                                 juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles))
        {
            const auto name = entry.getFile().getFileName();
            const auto pid = name.substring (6).getIntValue();

            if ((name[5] == 'T' || name[5] == 'P') && pid > 0 && ::kill (pid, 0) != 0 && errno == ESRCH)
                ::unlink (entry.getFile().getFullPathName().toRawUTF8());
        }
    }
}

void AppFixture::TearDown()
{
    if (IsSkipped())
        return;

    closeAllAlerts();
    closeWindow();

    if (linkName.isNotEmpty())
        ::unlink (("/dev/" + linkName).toRawUTF8());

    device.reset();
    UiFixture::TearDown();
}

void AppFixture::openWindow (const std::map<juce::String, juce::String>& settings)
{
    writeSettings (settings);

    // As the application's initialise does before it opens the window.
    static const bool typefaceSet = [] { applyUiTypeface(); return true; }();
    juce::ignoreUnused (typefaceSet);

    window = std::make_unique<ArvikApplication::MainWindow> ("Flintmoor V1.0.1");
    main = dynamic_cast<MainComponent*> (window->getContentComponent());
    ASSERT_NE (main, nullptr);
    page = main->getPage();
}

double AppFixture::closeWindow()
{
    const auto start = juce::Time::getMillisecondCounterHiRes();
    window.reset();
    main = nullptr;
    page = nullptr;
    const auto took = juce::Time::getMillisecondCounterHiRes() - start;
    runMessagesFor (20);   // records for the gone components are dropped
    return took;
}

void AppFixture::startDevice (const juce::StringArray& options, const juce::String& prefix)
{
    device = std::make_unique<SimDeviceProcess> (options);
    ASSERT_TRUE (device->isRunning());

    removeStaleLinks();
    static int counter = 0;
    const auto name = prefix + juce::String (::getpid()) + juce::String::charToString ((juce::juce_wchar) ('a' + counter++ % 26));

    if (::symlink (device->hostPath().toRawUTF8(), ("/dev/" + name).toRawUTF8()) != 0)
        GTEST_SKIP() << "cannot link the device in /dev (needs root)";

    linkName = name;
}

bool AppFixture::selectDevicePort (int timeoutMs)
{
    auto& box = page->getPortBox();

    return runMessagesUntil ([&]
    {
        for (int i = 0; i < box.getNumItems(); ++i)
        {
            if (box.getItemText (i) == linkName)
            {
                box.setSelectedItemIndex (i, juce::sendNotificationSync);
                return true;
            }
        }

        return false;
    }, timeoutMs);
}

juce::File AppFixture::writeFirmware (const juce::String& name, size_t imageSize, const std::string& tag)
{
    const auto bytes = dsb::makeFile (tag, dsb::randomImage (imageSize, 7));
    auto file = work (name);
    file.replaceWithData (bytes.data(), bytes.size());
    return file;
}

void AppFixture::startTransfer (const juce::File& firmware)
{
    ASSERT_TRUE (selectDevicePort()) << "the port box never listed " << linkName;
    page->getPathEditor().setText (firmware.getFullPathName(), true);
    ASSERT_TRUE (page->getStartButton().isShowing());
    page->getStartButton().triggerClick();
}

bool AppFixture::imageArrived (const juce::File& firmware, int deviceNumber)
{
    juce::MemoryBlock bytes;
    firmware.loadFileAsData (bytes);
    const auto* b = static_cast<const std::uint8_t*> (bytes.getData());
    const auto expected = dsb::imageAsSent (dsb::Bytes (b, b + bytes.getSize()));
    const auto received = device->image (deviceNumber);
    return received.getSize() == expected.size()
        && std::memcmp (received.getData(), expected.data(), expected.size()) == 0;
}
