#pragma once

#include "PackageInstall.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

// Downloads an update package (a zip archive) and unpacks it into a target
// folder on the thread of a modal progress window with a Cancel button.
class DownloadNewVersionThread : public juce::ThreadWithProgressWindow
{
public:
    DownloadNewVersionThread (const juce::URL& url, const juce::String& extraHeaders, const juce::File& targetFolder);
    ~DownloadNewVersionThread() override;

    void run() override;
    void threadComplete (bool userPressedCancel) override;

    // Shows the window and runs the thread behind it until it ends, is
    // cancelled or the program quits; false unless it ended by itself.
    bool runModally();

    // Appends the package to dest, following up to five 302 answers by hand;
    // url ends as the last address reached. A request to the thread to exit
    // ends it within about a second, whatever the server does (the request
    // is then left to end by itself). A body cut off, by the server or by a
    // failed read, and a server silent for 10 s, before its answer or
    // within the body, fail as a download that did not come.
    juce::Result download (juce::MemoryBlock& dest);

    // Unpacks data into targetFolder. An existing target is kept as
    // "<name>_old" (or the next free numbered name) once the new contents are
    // completely unpacked beside it. A package that does not unpack
    // completely leaves nothing behind; one that stops (shouldStop returned
    // true) fails with "cancel". When the new contents cannot take the
    // target's place, the old folder is moved back first; the message says
    // where the previous contents are if that fails too.
    static juce::Result install (const juce::MemoryBlock& data, const juce::File& targetFolder);
    static juce::Result install (const juce::MemoryBlock& data, const juce::File& targetFolder,
                                 const std::function<bool()>& shouldStop);

    // As above, with the folder moves of the swap made by moveFolder (true
    // when moved): a seam for tests.
    using FolderMove = PackageInstall::FolderMove;
    static juce::Result install (const juce::MemoryBlock& data, const juce::File& targetFolder,
                                 const std::function<bool()>& shouldStop, const FolderMove& moveFolder);

    // Downloads and unpacks behind the modal window; shows a failure, or arms
    // the relaunch after a good unpack. Nothing after a Cancel.
    static void performDownload (const juce::URL& url, const juce::String& extraHeaders, const juce::File& targetFolder);

    // A package is a program of some megabytes: a server that sends more than
    // this is refused before it fills the memory.
    static constexpr juce::int64 maxPackageBytes = 256 * 1024 * 1024;

    // What a package may unpack to, all its files together.
    static constexpr juce::int64 maxUnpackedBytes = PackageInstall::maxUnpackedBytes;

    juce::Result result;
    juce::int64 packageLimit = maxPackageBytes;
    juce::URL url;
    juce::String extraHeaders;
    juce::File targetFolder;

private:
    bool finished = false, cancelled = false;

    JUCE_DECLARE_NON_COPYABLE (DownloadNewVersionThread)
};
