// Unpacks update packages of growing size and depth and prints how long the
// install takes, per package and per entry. Not a test: it prints figures,
// and judges nothing. The unpack should grow about linearly with the
// package's size and number of entries, however deep its folders.
#include "DownloadNewVersionThread.h"
#include "TempFolder.h"
#include "ZipWriter.h"

#include <chrono>
#include <cstdio>

namespace
{
// entries files, each depth folders deep; with shared, all in one chain of
// folders, else each in a chain of its own.
std::vector<ZipItem> package (int entries, int depth, bool shared)
{
    std::vector<ZipItem> items { { "autoUpdate.bat", "batch" } };

    for (int i = 0; i < entries; ++i)
    {
        juce::String path (shared ? "d" : "d" + juce::String (i));

        for (int level = 1; level < depth; ++level)
            path << "/d";

        items.push_back ({ path + "/f" + juce::String (i), "x" });
    }

    return items;
}

void run (const char* kind, int entries, int depth, bool shared)
{
    const auto zip = makeZip (package (entries, depth, shared));
    TempFolder folder;

    const auto start = std::chrono::steady_clock::now();
    const auto result = DownloadNewVersionThread::install (zip, folder / "app");
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;

    std::printf ("%-8s %8d %6d %9zuK %10.1f %10.1f %10.3f  %s\n", kind, entries, depth, zip.getSize() / 1024, took.count(),
                 took.count() * 1000.0 / (double) (entries + 1), took.count() / ((double) zip.getSize() / 1024.0),
                 result.wasOk() ? "ok" : result.getErrorMessage().toRawUTF8());
}
}

int main()
{
    std::printf ("%-8s %8s %6s %10s %10s %10s %10s  %s\n", "folders", "entries", "depth", "package", "ms", "us/entry",
                 "ms/KiB", "result");

    for (const int depth : { 16, 64, 125 })
        for (const int entries : { 500, 2000, 8000 })
            run ("shared", entries, depth, true);

    for (const int entries : { 100, 400, 1600 })
        run ("own", entries, 125, false);

    // What a hostile server might send: refused by the bound on a name.
    run ("shared", 1, 2000, true);
    run ("shared", 60, 1000, true);
    return 0;
}
