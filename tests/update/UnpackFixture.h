#pragma once

#include "TempFolder.h"
#include "ZipWriter.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include <ostream>
#include <string>

namespace juce
{
    // Readable string lists in failure messages.
    inline void PrintTo (const StringArray& lines, std::ostream* os)
    {
        *os << "{ \"" << lines.joinIntoString ("\", \"") << "\" }";
    }
}

// Names of the entries of a folder, sorted.
juce::StringArray entryNames (const juce::File& folder);

// Every file and folder under folder, as paths relative to it with '/'
// between parts, sorted; links not followed.
juce::StringArray treeOf (const juce::File& folder);

// What a folder holds, to the byte and the timestamp, links not followed:
// any change made in it changes the lines.
juce::StringArray snapshot (const juce::File& folder);

// Test names for parameterised cases that carry a `name`.
struct CaseName
{
    template <typename Param>
    std::string operator() (const ::testing::TestParamInfo<Param>& p) const { return p.param.name; }
};

// Each test runs in a fresh working directory and leaves the working
// directory and the home folder variable as it found them.
class UnpackFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // An entry of the working directory.
    juce::File work (const juce::String& name) const { return workFolder / name; }

    // Points HOME, which the framework's path parsing takes "~" for, at folder.
    void pointHomeAt (const juce::File& folder);

    TempFolder workFolder;

private:
    juce::File savedWorkingDirectory;
    bool homeChanged = false;
    bool hadHome = false;
    juce::String savedHome;
};

// The system's side of the fixture.
juce::String homeVariable (bool& isSet);
void setHomeVariable (const juce::String& value, bool set);
