#pragma once

#include "TempFolder.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include <string>

// Each test runs in a fresh temporary working directory, with the language
// file in a fresh "exe" folder inside it, and leaves the process-wide state
// (working directory, settings, labels, translation table, log clock) as it found it.
class SettingsFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    juce::File exeFolder() const { return temp / "exe"; }

    TempFolder temp;

private:
    juce::File savedWorkingDirectory;
};

// Raw file contents ("" when missing), and writing raw bytes.
std::string readBytes (const juce::File& file);
void writeBytes (const juce::File& file, const std::string& bytes);

// FF FE and the text as UTF-16LE units; the expected form of the UTF-16 files.
std::string utf16leWithMark (const std::u16string& text);

// The same in big-endian order, with FE FF.
std::string utf16beWithMark (const std::u16string& text);

// Names of the files in a folder, sorted, to see that no temporary file was left behind.
juce::StringArray fileNamesIn (const juce::File& folder);

// While alive, writes to regular files fail (RLIMIT_FSIZE 0, SIGXFSZ ignored),
// as on a full disk. Keep assertions outside its scope: gtest may write to a file.
class WritesFail
{
public:
    WritesFail();
    ~WritesFail();

private:
    juce::int64 savedSoftLimit;
    void (*savedHandler) (int);
    JUCE_DECLARE_NON_COPYABLE (WritesFail)
};

// Test names for parameterised cases that carry a `name`.
struct CaseName
{
    template <typename Param>
    std::string operator() (const ::testing::TestParamInfo<Param>& p) const { return p.param.name; }
};
