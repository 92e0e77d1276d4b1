#pragma once

#include "DeviceInfo.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <memory>

// The serial ports of one reading: the first count names mean something.
struct ComPortList
{
    static constexpr int maxPorts = 16;

    std::int32_t count = 0;
    juce::String names[maxPorts];
};

// The firmware page: port and baud boxes, the firmware path with its browse
// button, the device line, the two counters and Start/Stop. It hands jobs to
// the worker only as posted messages and follows the worker's notices.
class PageDFU : public juce::Component,
                public juce::MessageListener,
                public juce::Button::Listener,
                private juce::Timer
{
public:
    explicit PageDFU (juce::MessageListener* worker);
    ~PageDFU() override;

    void resized() override;
    void handleMessage (const juce::Message& message) override;
    void buttonClicked (juce::Button* button) override;

    // Empties the port box and reads the ports into it; the number taken.
    int fillComPorts();

    // Enables or disables the path editor, browse button and both boxes.
    void setControlsEnabled (bool enabled);

    // Posts FIRMWARE_PATH with firmwarePath when it has at least 3 characters.
    void postFirmwarePath();

    // 0 the file passed and was posted; -1 it cannot be loaded; -3 its sum
    // does not match; -4 the path is empty or longer than 512 characters.
    std::int32_t checkFirmwareFile (const juce::String& path);

    // Posts PORT_OPEN when the name is not empty.
    void postOpenPort (const juce::String& portName, int baudRate);

    void showDeviceInfo();

    // For tests and diagnostics.
    juce::TextButton& getStartButton() noexcept       { return *startButton; }
    juce::TextButton& getBrowseButton() noexcept      { return browseButton; }
    juce::TextEditor& getPathEditor() noexcept        { return pathEditor; }
    juce::ComboBox& getPortBox() noexcept             { return *portBox; }
    juce::ComboBox& getBaudBox() noexcept             { return *baudBox; }
    const juce::Label& getDeviceNameLabel() const noexcept  { return deviceNameLabel; }
    const juce::Label& getReleaseDateLabel() const noexcept { return releaseDateLabel; }
    const juce::Label& getFinishCountLabel() const noexcept { return *finishCountLabel; }
    const juce::Label& getFailCountLabel() const noexcept   { return *failCountLabel; }
    bool isRunning() const noexcept                   { return running != 0; }
    const juce::String& getCurrentPort() const noexcept { return currentPort; }
    const juce::String& getFirmwarePath() const noexcept { return firmwarePath; }

private:
    void timerCallback() override;

    void setupButton (juce::Button& button, const juce::String& text, juce::Colour onColour);
    void fillBaudRates();
    void relabel();
    void browse();
    void start();
    void stop();
    void rebuildPortBox();

    juce::MessageListener* worker = nullptr;
    juce::TextButton browseButton;
    juce::TextEditor pathEditor;
    std::unique_ptr<juce::Label> pathLabel, finishLabel, failLabel, finishCountLabel, failCountLabel;
    juce::String firmwarePath;
    juce::Label deviceNameLabel, releaseDateLabel, comPortLabel, baudRateLabel;
    juce::String releaseDate;
    std::uint8_t deviceName[9] {};
    DeviceInfo deviceInfo {};
    std::int32_t finishCount = 0;
    std::int32_t failCount = 0;
    juce::String currentPort;
    std::int32_t running = 0;
    ComPortList scanPorts, ports;
    std::unique_ptr<juce::ComboBox> portBox;
    std::unique_ptr<juce::ComboBox> baudBox;
    std::unique_ptr<juce::TextButton> startButton;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PageDFU)
};
