#pragma once

#include "UnpackFixture.h"
#include "UpdateServer.h"

// A shell script that writes "ran" into marker and exits.
juce::String markerScript (const juce::File& marker);

// Waits, without running messages, until the file exists.
bool waitForFile (const juce::File& file, int timeoutMs = 20000);

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
