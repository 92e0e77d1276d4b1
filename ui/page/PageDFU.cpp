#include "PageDFU.h"

#include "LabelTables.h"
#include "PortList.h"
#include "Settings.h"

namespace
{
    const juce::Colour startColour (0xff808080);

    // Reads the serial ports into the list; the number of names taken.
    int readSerialPorts (ComPortList& list)
    {
        list.count = 0;

        for (const auto& name : platform::listSerialPorts())
        {
            if (list.count >= ComPortList::maxPorts)
                break;

            list.names[list.count++] = juce::String::fromUTF8 (name.c_str());
        }

        return list.count;
    }

    // Selects the last item whose text is the given one; false when none is.
    bool selectItemWithText (juce::ComboBox& box, const juce::String& text)
    {
        for (int i = box.getNumItems(); --i >= 0;)
        {
            if (box.getItemText (i) == text)
            {
                box.setSelectedItemIndex (i, juce::sendNotificationAsync);
                return true;
            }
        }

        return false;
    }
}

PageDFU::PageDFU (juce::MessageListener* workerToUse)
    : worker (workerToUse)
{
    finishCount = 0;
    failCount = 0;

    auto makeLabel = [this] (const juce::String& text)
    {
        auto label = std::make_unique<juce::Label>();
        addAndMakeVisible (*label);
        label->setText (text, juce::dontSendNotification);
        return label;
    };

    pathLabel        = makeLabel (PageLabels[pagePath]);
    finishLabel      = makeLabel (PageLabels[pageSucceedCnt]);
    failLabel        = makeLabel (PageLabels[pageFailCnt]);
    finishCountLabel = makeLabel (juce::String (finishCount));
    failCountLabel   = makeLabel (juce::String (failCount));

    addAndMakeVisible (pathEditor);
    pathEditor.setText ({}, true);
    firmwarePath = {};

    setupButton (browseButton, "...", juce::Colours::red);

    addAndMakeVisible (deviceNameLabel);
    deviceNameLabel.setText (PageLabels[pageDevName], juce::dontSendNotification);
    addAndMakeVisible (releaseDateLabel);
    releaseDateLabel.setText (PageLabels[pageReleaseDate], juce::dontSendNotification);
    running = 0;
    addAndMakeVisible (comPortLabel);
    comPortLabel.setText (PageLabels[pageComPort], juce::dontSendNotification);
    addAndMakeVisible (baudRateLabel);
    baudRateLabel.setText (PageLabels[pageBaudRate], juce::dontSendNotification);

    portBox = std::make_unique<juce::ComboBox> (juce::String());
    fillComPorts();
    addAndMakeVisible (*portBox);
    portBox->setJustificationType (juce::Justification::centred);

    baudBox = std::make_unique<juce::ComboBox> (juce::String());
    fillBaudRates();

    startButton = std::make_unique<juce::TextButton>();
    startButton->setButtonText (PageLabels[pageStart]);
    startButton->addListener (this);
    addAndMakeVisible (*startButton);
    startButton->setColour (juce::TextButton::buttonColourId, startColour);

    startTimer (1000);
}

PageDFU::~PageDFU()
{
    stopTimer();
}

void PageDFU::setupButton (juce::Button& button, const juce::String& text, juce::Colour onColour)
{
    button.setButtonText (text);
    button.addListener (this);
    addAndMakeVisible (button);
    button.setColour (juce::TextButton::textColourOffId, juce::Colours::white);
    button.setColour (juce::TextButton::textColourOnId, juce::Colours::black);
    button.setColour (juce::TextButton::buttonOnColourId, onColour);
}

void PageDFU::fillBaudRates()
{
    const auto& rates = SettingValues[settingComBaud];
    const int count = rates.upToFirstOccurrenceOf (",", false, false).getIntValue();
    auto rest = rates.fromFirstOccurrenceOf (",", false, false);

    for (int i = 1; i <= count; ++i)
    {
        const auto item = rest.upToFirstOccurrenceOf (",", false, false);
        rest = rest.fromFirstOccurrenceOf (",", false, false);

        // An empty rate keeps its id without an item.
        if (item.isNotEmpty())
            baudBox->addItem (item, i);

        // A huge count over a short list would only add nothing for long.
        if (rest.isEmpty())
            break;
    }

    addAndMakeVisible (*baudBox);

    const int selection = SettingValues[settingLastBaud].getIntValue();

    if (selection <= count && count != 0)
        baudBox->setSelectedItemIndex (selection, juce::dontSendNotification);
}

int PageDFU::fillComPorts()
{
    portBox->clear();
    const int taken = readSerialPorts (ports);

    for (int p = 0; p < ports.count; ++p)
        if (ports.names[p].isNotEmpty())
            portBox->addItem (ports.names[p], p + 1);

    if (taken > 0 && ! selectItemWithText (*portBox, SettingValues[settingLastComPort]))
        portBox->setSelectedItemIndex (0, juce::sendNotificationAsync);

    return taken;
}

void PageDFU::timerCallback()
{
    // An open list shows the items it was opened with, and a click on one
    // selects its id: rebuilt meanwhile, the ids would name other ports. The
    // first rescan after the list has closed catches up.
    if (portBox->isPopupActive())
        return;

    if (readSerialPorts (scanPorts) == 0)
        return;

    bool changed = scanPorts.count != ports.count;

    for (int i = 0; i < scanPorts.count && ! changed; ++i)
    {
        bool known = false;

        for (int j = 0; j < ports.count && ! known; ++j)
            known = scanPorts.names[i] == ports.names[j];

        changed = ! known;
    }

    if (changed)
        rebuildPortBox();
}

void PageDFU::rebuildPortBox()
{
    const auto selected = portBox->getSelectedId() != 0 ? portBox->getText() : juce::String();
    portBox->clear();

    for (int p = 0; p < scanPorts.count; ++p)
        if (scanPorts.names[p].isNotEmpty())
            portBox->addItem (scanPorts.names[p], p + 1);

    selectItemWithText (*portBox, selected);

    ports.count = scanPorts.count;

    for (int i = 0; i < scanPorts.count; ++i)
        ports.names[i] = scanPorts.names[i];
}

void PageDFU::resized()
{
    const int w = getWidth();
    const int x0 = (int) ((float) w * 0.02f);
    const int e = (int) ((double) w * 0.7);

    comPortLabel.setBounds (x0, 10, 60, 25);
    portBox->setBounds (comPortLabel.getRight(), 10, 100, 25);
    baudRateLabel.setBounds (portBox->getRight() + 50, 10, 60, 25);
    baudBox->setBounds (baudRateLabel.getRight(), 10, 100, 25);

    pathLabel->setBounds (x0, portBox->getBottom() + 10, 90, 25);
    pathEditor.setBounds (pathLabel->getRight() + 5, pathLabel->getY(), e, 25);
    browseButton.setBounds (pathEditor.getRight() + 10, pathEditor.getY(), 60, 30);

    deviceNameLabel.setBounds (x0, pathLabel->getBottom() + 20, 250, 25);
    releaseDateLabel.setBounds (deviceNameLabel.getRight(), deviceNameLabel.getY(), 250, 25);

    finishLabel->setBounds (x0, releaseDateLabel.getBottom() + 10, 100, 25);
    finishCountLabel->setBounds (finishLabel->getRight(), finishLabel->getY(), 80, 25);
    failLabel->setBounds (releaseDateLabel.getX(), finishLabel->getY(), 100, 25);
    failCountLabel->setBounds (failLabel->getRight(), failLabel->getY(), 80, 25);

    startButton->setBounds (pathEditor.getRight() + 10, finishLabel->getY(), 60, 30);
}

void PageDFU::setControlsEnabled (bool enabled)
{
    pathEditor.setEnabled (enabled);
    browseButton.setEnabled (enabled);
    portBox->setEnabled (enabled);
    baudBox->setEnabled (enabled);
}

void PageDFU::relabel()
{
    deviceNameLabel.setText (PageLabels[pageDevName], juce::dontSendNotification);
    releaseDateLabel.setText (PageLabels[pageReleaseDate], juce::dontSendNotification);
    pathLabel->setText (PageLabels[pagePath], juce::dontSendNotification);
    finishLabel->setText (PageLabels[pageSucceedCnt], juce::dontSendNotification);
    failLabel->setText (PageLabels[pageFailCnt], juce::dontSendNotification);
    comPortLabel.setText (PageLabels[pageComPort], juce::dontSendNotification);
    baudRateLabel.setText (PageLabels[pageBaudRate], juce::dontSendNotification);
    startButton->setButtonText (running != 0 ? PageLabels[pageStop] : PageLabels[pageStart]);
}
