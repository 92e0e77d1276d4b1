#include "LabelTables.h"

// Defined together in this order so that they are released Update first.
juce::String MenuLabels[numMenuLabels];
juce::String PageLabels[numPageLabels];
juce::String UpdateLabels[numUpdateLabels];

const char* const menuSectionName = "MENU";
const char* const pageSectionName = "PARA";
const char* const updateSectionName = "TIP";

const LabelInfo menuLabelInfo[numMenuLabels] =
{
    { "file",     "File" },
    { "help",     "Help" },
    { "language", "Language" },
    { "protocol", "Protocol" },
    { "devaddr",  "Device address" },
    { "exit",     "Exit" },
    { "about",    "About" },
    { "viewhelp", "View help" },
    { "check",    "Check for updates..." }
};

const LabelInfo pageLabelInfo[numPageLabels] =
{
    { "comopen",     "Open" },
    { "comclose",    "Close" },
    { "com",         "COM" },
    { "path",        "Firmware path:" },
    { "devname",     "Device name:" },
    { "productdate", "Product date:" },
    { "releasedate", "Release date:" },
    { "update",      "Update" },
    { "succeedcnt",  "Finish counter:" },
    { "failcnt",     "Fail counter:" },
    { "comport",     "COM port:" },
    { "baudrate",    "Baud rate:" },
    { "start",       "Start" },
    { "stop",        "Stop" },
    { "about",       "About" }
};

const LabelInfo updateLabelInfo[numUpdateLabels] =
{
    { "downloadnewver",    "Downloading new version" },
    { "updatetips",        "Updates tips" },
    { "downloadupdates",   "Download updates" },
    { "alreadynewver",     "The current version is already the latest version!" },
    { "askdownloadnewver", "Do you need to download the update for the latest version?" }
};

void setBuiltInLabelTexts()
{
    for (int i = 0; i < numMenuLabels; ++i)
        MenuLabels[i] = menuLabelInfo[i].english;

    for (int i = 0; i < numPageLabels; ++i)
        PageLabels[i] = pageLabelInfo[i].english;

    for (int i = 0; i < numUpdateLabels; ++i)
        UpdateLabels[i] = updateLabelInfo[i].english;
}
