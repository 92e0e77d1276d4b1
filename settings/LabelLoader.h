#pragma once

#include "CodePage.h"
#include "LabelTables.h"

// Fills all 29 labels for a code page from the language file. 0 when they came
// from the file; -1 when the file was missing, unreadable, of another version
// or without one of its sections: the default file has then been written (if
// it could be) and the labels hold their built-in English texts.
int loadLabelTexts (int codePage);

// Fills the 29 labels from a parsed language file when it is valid (its
// version and its three sections present); false, and the labels untouched,
// otherwise (root null among that).
bool readLabelTexts (const juce::XmlElement* root, int codePage);

// The name attribute of the first child whose CPID (read as atoi reads it)
// equals the code page, under the first element of the section named by the
// key (ignoring case). Empty when any of these is missing.
juce::String lookupLabelText (const juce::XmlElement* section, const juce::String& key, int codePage);

// Builds the language file with the built-in English and Chinese texts and stores it.
void writeDefaultLanguageFile();

// Appends <key> with its two LOCAL children (0037 English, 0936 Chinese) to the section.
void addLanguageEntry (juce::XmlElement& section, const juce::String& key,
                       const juce::String& english, const juce::String& chinese);

// Replaces the language file with the text, stored as UTF-16LE with FF FE and CR LF.
void saveLanguageFile (const juce::String& text);

// "language.xml" in the executable's folder, or in the folder a test has set.
juce::File languageFile();

// Moves the language file to another folder; an empty File restores the executable's folder.
void setLanguageFileFolder (const juce::File& folder);

// The value the Version element must carry for a file to be used.
extern const char* const languageFileVersion;
