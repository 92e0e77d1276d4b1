#include "PageDFU.h"

#include "LabelTables.h"
#include "MsgPayload.h"
#include "Settings.h"

#include <cstring>
#include <limits>

namespace
{
    const juce::Colour idleColour (0xff808080);
    const juce::Colour runningColour (0xff42a2c8);
    constexpr int maxPathChars = 512;

    void showTip (const juce::String& text)
    {
        juce::AlertWindow::showMessageBoxAsync (juce::AlertWindow::WarningIcon, TRANS ("Tips"), text, TRANS ("OK"));
    }

    // The path as typed: relative paths name a file in the working directory.
    juce::File fileAt (const juce::String& path)
    {
        return juce::File::getCurrentWorkingDirectory().getChildFile (path);
    }

    juce::String selectedText (const juce::ComboBox& box)
    {
        return box.getSelectedId() != 0 ? box.getText() : juce::String();
    }
}

void PageDFU::buttonClicked (juce::Button* button)
{
    if (button == &browseButton)
        browse();
    else if (button == startButton.get())
        running == 0 ? start() : stop();
}

void PageDFU::browse()
{
    const auto& lastPath = SettingValues[settingFirmPath];
    auto location = juce::File::getCurrentWorkingDirectory();

    if (lastPath.isNotEmpty() && fileAt (lastPath).exists())
        location = fileAt (lastPath);

    juce::FileChooser chooser (TRANS ("Select update file:"), location, "*.dsb", false);
    firmwarePath = {};

    // The chooser runs a modal loop in which the page may be deleted.
    juce::Component::SafePointer<PageDFU> self (this);
    const bool chosen = chooser.browseForMultipleFilesToOpen();

    if (self == nullptr || ! chosen || chooser.getResults().isEmpty())
        return;

    // Of several files the first is taken: their paths joined would name none.
    firmwarePath = chooser.getResults().getFirst().getFullPathName();
    pathEditor.setText (firmwarePath, true);
}

void PageDFU::start()
{
    firmwarePath = pathEditor.getText();

    if (firmwarePath.isEmpty())
        return showTip (TRANS ("The file path is null!"));

    if (! fileAt (firmwarePath).exists())
        return showTip (TRANS ("The file does not exist!"));

    const auto port = selectedText (*portBox);

    if (port.isEmpty())
        return showTip (TRANS ("Com port is null!"));

    postFirmwarePath();

    if (checkFirmwareFile (firmwarePath) != 0)
        return;

    currentPort = port;
    const auto baudText = selectedText (*baudBox);

    if (baudText.isEmpty())
        return showTip (TRANS ("Baudrate is null!"));

    postOpenPort (currentPort, baudText.getIntValue());
    SettingValues[settingLastComPort] = port;
}

void PageDFU::stop()
{
    worker->postMessage (payload::makePortClose());
    setControlsEnabled (true);
}

void PageDFU::postFirmwarePath()
{
    if (firmwarePath.length() >= 3)
        worker->postMessage (payload::makeFirmwarePath (firmwarePath));
}

std::int32_t PageDFU::checkFirmwareFile (const juce::String& path)
{
    if (path.isEmpty() || path.length() > maxPathChars)
    {
        showTip (TRANS ("Firmware file path error!"));
        return -4;
    }

    const auto file = fileAt (path);
    juce::MemoryBlock bytes;

    // Its size travels as a 32-bit count, so a larger file cannot be handed on.
    if (file.getSize() > std::numeric_limits<std::int32_t>::max() || ! file.loadFileAsData (bytes))
    {
        showTip (TRANS ("Load firmware file fail!"));
        return -1;
    }

    const auto* b = static_cast<const std::uint8_t*> (bytes.getData());
    const size_t size = bytes.getSize();
    std::uint32_t stored = 0;

    for (size_t i = 0; i < 4; ++i)
        stored = (stored << 8) | (i < size ? b[i] : 0u);

    std::uint32_t computed = 0;

    for (size_t pos = 4; pos < size; pos += 4096)
        for (size_t i = pos, end = juce::jmin (size, pos + 4096); i < end; ++i)
            computed += b[i];

    if (stored != computed)
    {
        showTip (TRANS ("Firmware file cs error!")
                 + juce::String::formatted (" :%x,%x.", (unsigned int) stored, (unsigned int) computed));
        return -3;
    }

    worker->postMessage (payload::makeFirmwareData (bytes.getData(), size));
    return 0;
}

void PageDFU::postOpenPort (const juce::String& portName, int baudRate)
{
    if (portName.isNotEmpty())
        worker->postMessage (payload::makePortOpen (portName, baudRate));
}

void PageDFU::handleMessage (const juce::Message& message)
{
    auto* msg = dynamic_cast<const MyMsg*> (&message);

    if (msg == nullptr || msg->id != MSG_NOTIFY)
        return;

    const bool hasPayload = msg->data != nullptr;

    if (msg->type == NOTIFY_DEVICE_INFO)
    {
        // A payload shorter than a device's information is not one.
        if (hasPayload && payload::readDeviceInfo (*msg, deviceInfo))
            showDeviceInfo();

        return;
    }

    if (hasPayload)
        return;

    switch (msg->type)
    {
        case NOTIFY_DEVICE_CLEAR:
            std::memset (deviceName, 0, sizeof (deviceName));
            releaseDate = {};
            deviceNameLabel.setText (PageLabels[pageDevName], juce::dontSendNotification);
            releaseDateLabel.setText (PageLabels[pageReleaseDate], juce::dontSendNotification);
            break;

        case NOTIFY_RELABEL:
            relabel();
            break;

        case NOTIFY_FINISHED:
            finishCountLabel->setText (juce::String (++finishCount), juce::dontSendNotification);
            break;

        case NOTIFY_FAILED:
            failCountLabel->setText (juce::String (++failCount), juce::dontSendNotification);
            break;

        case NOTIFY_PORT_CLOSED:
            startButton->setColour (juce::TextButton::buttonColourId, idleColour);
            running = 0;
            startButton->setButtonText (PageLabels[pageStart]);
            // A Stop freed the inputs already; a port the worker lost did not.
            setControlsEnabled (true);
            break;

        case NOTIFY_PORT_OPENED:
            startButton->setColour (juce::TextButton::buttonColourId, runningColour);
            running = 1;
            startButton->setButtonText (PageLabels[pageStop]);
            setControlsEnabled (false);
            SettingValues[settingFirmPath] = firmwarePath;
            saveSettings();
            break;

        default:
            break;
    }
}

void PageDFU::showDeviceInfo()
{
    std::memcpy (deviceName, deviceInfo.name, 8);
    deviceName[8] = 0;

    releaseDate = juce::String::formatted ("%X.%X.%X.%X",
                                           0x2000 + deviceInfo.releaseDate[0], (int) deviceInfo.releaseDate[1],
                                           (int) deviceInfo.releaseDate[2], (int) deviceInfo.releaseDate[3]);

    juce::String name;

    for (int i = 0; i < 8 && deviceName[i] != 0; ++i)
        name += juce::String::charToString ((juce::juce_wchar) deviceName[i]);

    deviceNameLabel.setText (PageLabels[pageDevName] + name, juce::dontSendNotification);
    releaseDateLabel.setText (PageLabels[pageReleaseDate] + releaseDate, juce::dontSendNotification);
}
