#pragma once

#include <juce_core/juce_core.h>

// The visible label texts, filled by loadLabelTexts for the current language
// and read by index wherever a label is shown. Message thread only.

constexpr int numMenuLabels = 9;
constexpr int numPageLabels = 15;
constexpr int numUpdateLabels = 5;

extern juce::String MenuLabels[numMenuLabels];
extern juce::String PageLabels[numPageLabels];
extern juce::String UpdateLabels[numUpdateLabels];

enum MenuLabelIndex
{
    menuFile = 0,
    menuHelp,
    menuLanguage,
    menuProtocol,
    menuDevAddr,
    menuExit,
    menuAbout,
    menuViewHelp,
    menuCheck
};

enum PageLabelIndex
{
    pageComOpen = 0,
    pageComClose,
    pageCom,
    pagePath,
    pageDevName,
    pageProductDate,
    pageReleaseDate,
    pageUpdate,
    pageSucceedCnt,
    pageFailCnt,
    pageComPort,
    pageBaudRate,
    pageStart,
    pageStop,
    pageAbout
};

enum UpdateLabelIndex
{
    updateDownloadNewVer = 0,
    updateTips,
    updateDownloadUpdates,
    updateAlreadyNewVer,
    updateAskDownloadNewVer
};

// Where a label lives in the language file, and the text it has without one.
struct LabelInfo
{
    const char* key;
    const char* english;
};

extern const LabelInfo menuLabelInfo[numMenuLabels];
extern const LabelInfo pageLabelInfo[numPageLabels];
extern const LabelInfo updateLabelInfo[numUpdateLabels];

// Section names in the language file, one per table.
extern const char* const menuSectionName;
extern const char* const pageSectionName;
extern const char* const updateSectionName;

// Sets all 29 labels to their built-in English texts.
void setBuiltInLabelTexts();
