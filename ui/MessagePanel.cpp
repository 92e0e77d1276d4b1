#include "MessagePanel.h"

#include "AppInfo.h"

MessagePanel::MessagePanel()
{
    lineEditor = std::make_unique<juce::TextEditor> (juce::String(), (juce::juce_wchar) 0);
    lineEditor->setText ({}, true);
    lineEditor->setFont (juce::Font (16.0f));
    addAndMakeVisible (lineEditor.get());

    // The credit keeps the editor's default font.
    creditEditor = std::make_unique<juce::TextEditor> (juce::String(), (juce::juce_wchar) 0);
    creditEditor->setText (appinfo::applicationName, true);
    addAndMakeVisible (creditEditor.get());
}

MessagePanel::~MessagePanel()
{
    creditEditor.reset();
    lineEditor.reset();
}

void MessagePanel::addLine (const juce::String& text)
{
    auto line = text;

    if (line.containsAnyOf ("\r\n"))
        line = line.substring (0, line.length() - 2);

    lineEditor->setText (line, false);
}

void MessagePanel::resized()
{
    const int w = getWidth();
    const int h = (int) ((float) getHeight() * 0.9f);

    lineEditor->setBounds (0, 0, w - creditWidth, h);
    creditEditor->setBounds (lineEditor->getRight(), 0, creditWidth, h);
}
