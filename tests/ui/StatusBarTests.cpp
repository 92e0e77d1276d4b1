#include "MessagePanel.h"
#include "UiFixture.h"

namespace
{
struct LineCase { const char* name; juce::String in, shown; };

class StatusBarLine : public ::testing::TestWithParam<LineCase> {};

// A line that holds CR or LF anywhere loses its last two characters.
TEST_P (StatusBarLine, ShowsTheLineWithoutItsEnd)
{
    MessagePanel panel;
    panel.addLine ("previous");
    panel.addLine (GetParam().in);
    EXPECT_EQ (panel.lineEditorForTest().getText(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P (Lines, StatusBarLine, ::testing::Values (
    LineCase { "crlf",          "abc\r\n", "abc" },
    LineCase { "plain",         "Waiting flag ...", "Waiting flag ..." },
    LineCase { "crInMiddle",    "a\rb", "a" },
    LineCase { "loneLf",        "\n", "" },
    LineCase { "empty",         "", "" },
    LineCase { "chinese",       juce::String (juce::CharPointer_UTF8 ("\xe5\xbc\x80\xe5\xa7\x8b\r\n")),
                                juce::String (juce::CharPointer_UTF8 ("\xe5\xbc\x80\xe5\xa7\x8b")) }),
    [] (const auto& p) { return std::string (p.param.name); });

class StatusBar : public UiFixture {};

TEST_F (StatusBar, LaysOutTheLineAndTheCreditAtEveryWidth)
{
    MessagePanel panel;
    EXPECT_EQ (panel.creditEditorForTest().getText(), "Flintmoor V1.0.1");
    EXPECT_EQ (panel.lineEditorForTest().getText(), "");
    EXPECT_FLOAT_EQ (panel.lineEditorForTest().getFont().getHeight(), 16.0f);

    for (int width : { 700, 1024 })
    {
        SCOPED_TRACE (width);
        panel.setBounds (0, 330, width, 20);
        EXPECT_EQ (panel.lineEditorForTest().getBounds(), juce::Rectangle<int> (0, 0, width - 150, 18));
        EXPECT_EQ (panel.creditEditorForTest().getBounds(), juce::Rectangle<int> (width - 150, 0, 150, 18));
    }
}
}
