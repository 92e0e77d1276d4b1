#pragma once

#include "ArvikApplication.h"
#include "DsbFile.h"
#include "MainComponent.h"
#include "PageDFU.h"
#include "SimDeviceProcess.h"
#include "UiFixture.h"

// The main window as the program builds it, in a fresh working directory, and
// the simulated device on a pseudo-terminal linked at /dev/tty<unique name>,
// which the page's port list shows.
class AppFixture : public UiFixture
{
protected:
    void TearDown() override;

    // Builds the main window (and with it the whole system) from dfu.init.
    void openWindow (const std::map<juce::String, juce::String>& settings = {});

    // Starts the device and links it where the port box will list it, as
    // prefix + this process's id + a letter. The port list is sorted, and
    // other tests add and remove "ttyFMT" links meanwhile: a test that picks
    // the port by its place in the list uses a prefix that sorts before those.
    void startDevice (const juce::StringArray& options, const juce::String& prefix = "ttyFMT");

    // Waits until the port box lists the device and selects it.
    bool selectDevicePort (int timeoutMs = 20000);

    // A firmware file for the device's tag in the working directory.
    juce::File writeFirmware (const juce::String& name, size_t imageSize, const std::string& tag = "FLINT001");

    // Types the path, selects the port and presses Start.
    void startTransfer (const juce::File& firmware);

    // Deletes the window as the application's shutdown does; the time it took in ms.
    double closeWindow();

    bool imageArrived (const juce::File& firmware, int deviceNumber = 1);

    static juce::String text (const char* utf8) { return juce::String (juce::CharPointer_UTF8 (utf8)); }

    std::unique_ptr<ArvikApplication::MainWindow> window;
    MainComponent* main = nullptr;
    PageDFU* page = nullptr;
    std::unique_ptr<SimDeviceProcess> device;
    juce::String linkName;      // e.g. "ttyFMT1234a" or "ttyFMP1234a"
};
