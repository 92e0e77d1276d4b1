#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// The one-line status bar: the latest line the worker reported on the left,
// the application's name on the right. Message thread only.
class MessagePanel : public juce::Component
{
public:
    MessagePanel();
    ~MessagePanel() override;

    // Shows the line in place of the previous one. A line that holds a CR or
    // LF anywhere loses its last two characters (its line end).
    void addLine (const juce::String& text);

    void resized() override;

    static constexpr int creditWidth = 150;

    // For tests.
    juce::TextEditor& lineEditorForTest() noexcept    { return *lineEditor; }
    juce::TextEditor& creditEditorForTest() noexcept  { return *creditEditor; }

private:
    std::unique_ptr<juce::TextEditor> lineEditor;
    std::unique_ptr<juce::TextEditor> creditEditor;

    JUCE_DECLARE_NON_COPYABLE (MessagePanel)
};
