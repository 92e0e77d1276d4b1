#pragma once

#include "TempFolder.h"
#include "UpdateServer.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include <ostream>
#include <string>
#include <vector>

namespace juce
{
    // Readable string lists in failure messages.
    inline void PrintTo (const StringArray& lines, std::ostream* os)
    {
        *os << "{ \"" << lines.joinIntoString ("\", \"") << "\" }";
    }
}

// One entry of a test package: a file with its text, or a symbolic link to
// linkTarget (which need not exist). mode, when given, is the Unix mode the
// entry carries (type bits included); claimedSize, when given, the size its
// directory entry claims instead of the true one.
struct ZipItem
{
    juce::String name;
    juce::String content;
    juce::File linkTarget {};
    juce::uint32 mode = 0;
    juce::int64 claimedSize = -1;
};

// A zip archive of the items, in order, written byte by byte: deflated files,
// stored links, the Unix mode in the external attributes as zip tools write it.
juce::MemoryBlock makeZip (const std::vector<ZipItem>& items);

// A shell script that writes "ran" into marker and exits.
juce::String markerScript (const juce::File& marker);

// Waits, without running messages, until the file exists.
bool waitForFile (const juce::File& file, int timeoutMs = 20000);

// Names of the entries of a folder, sorted.
juce::StringArray entryNames (const juce::File& folder);

// Test names for parameterised cases that carry a `name`.
struct CaseName
{
    template <typename Param>
    std::string operator() (const ::testing::TestParamInfo<Param>& p) const { return p.param.name; }
};

// Each test runs with a fresh working directory, English labels, the log
// switched on and a server of its own; it leaves the working directory and
// the globals as it found them.
class UpdateFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // An entry of the working directory.
    juce::File work (const juce::String& name) const { return workFolder / name; }

    // The texts of today's log lines, without their stamps.
    juce::StringArray logLines() const;

    TempFolder workFolder;
    UpdateServer server;

private:
    juce::File savedWorkingDirectory;
};
