// The program's quits under Wine, by the roads an operator and Windows take,
// with what is up at the time: a download the server holds up, a box left by
// an update, the transfer's progress window, the end of the session. Each
// ends the process cleanly (exit code 0: no crash) within a generous bound.
// The program runs as a process of its own, driven from its command line
// (DrivenProgram.cpp); packages come from the run's update server.
#include "Bridge.h"
#include "DsbFile.h"
#include "MessageLoop.h"
#include "ProgramProcess.h"
#include "RunUpdateServer.h"
#include "SimDeviceProcess.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

namespace
{
constexpr int startMs = 60000;   // the program's start and its first window, under load
constexpr int quitMs = 10000;

const wchar_t* const mainTitle = L"Flintmoor V1.0.1";
const wchar_t* const downloadTitle = L"Downloading new version";
const wchar_t* const transferTitle = L"Progress";

using ZipItems = std::vector<std::pair<juce::String, juce::MemoryBlock>>;

juce::MemoryBlock zipOf (const ZipItems& files)
{
    juce::ZipFile::Builder builder;

    for (const auto& [name, body] : files)
        builder.addEntry (new juce::MemoryInputStream (body, true), 9, name, juce::Time::getCurrentTime());

    juce::MemoryOutputStream out;
    builder.writeToStream (out, nullptr);
    return out.getMemoryBlock();
}

juce::MemoryBlock textBlock (const juce::String& text) { return { text.toRawUTF8(), text.getNumBytesAsUTF8() }; }

// Some kilobytes that do not deflate away: minutes at 200 bytes a second.
juce::MemoryBlock noise (int bytes)
{
    juce::MemoryBlock block ((size_t) bytes);
    juce::Random (5).fillBitsRandomly (block.getData(), block.getSize());
    return block;
}

const juce::String batchScript = "@echo off\r\necho ran> \"%~dp0batch-ran.txt\"\r\n";

class QuitRoad : public ::testing::Test
{
protected:
    std::unique_ptr<ProgramProcess> launch (const juce::StringArray& arguments)
    {
        auto program = std::make_unique<ProgramProcess> (FLINT_DRIVEN_PROGRAM_PATH, work.get(), arguments);
        EXPECT_TRUE (program->started());
        return program;
    }

    // Ends within the bound, with exit code 0.
    static void expectCleanEnd (ProgramProcess& program, int timeoutMs = quitMs)
    {
        ASSERT_TRUE (program.hasEnded (timeoutMs)) << "the program still runs";
        EXPECT_EQ (program.exitCode(), 0u);
    }

    static void sendClose (HWND window) { PostMessageW (window, WM_CLOSE, 0, 0); }

    // "taskkill /im Flintmoor.exe", without /f: WM_CLOSE to the program's windows.
    static void runTaskkill()
    {
        std::wstring line (L"taskkill.exe /im Flintmoor.exe");
        STARTUPINFOW startup {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info {};
        ASSERT_TRUE (CreateProcessW (nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
        WaitForSingleObject (info.hProcess, 20000);
        CloseHandle (info.hThread);
        CloseHandle (info.hProcess);
    }

    // Firmware for the simulated device that keeps the transfer's window up
    // for a minute or more at its slow line rate.
    juce::String writeSlowFirmware()
    {
        const auto bytes = dsb::makeFile ("SIMDEV01", dsb::randomImage (32768, 7));
        const auto file = work / "slow.dsb";
        file.replaceWithData (bytes.data(), bytes.size());
        return file.getFullPathName();
    }

    TempFolder work;
    RunUpdateServer server;
};

//==============================================================================
enum class Server { stalled, slow };
enum class Road { cancel, closeMainWindow, taskkill };

struct DownloadCase
{
    const char* name;
    Server server;
    Road road;
};

std::ostream& operator<< (std::ostream& os, const DownloadCase& c) { return os << c.name; }

class QuitDuringDownload : public QuitRoad, public ::testing::WithParamInterface<DownloadCase>
{
};

TEST_P (QuitDuringDownload, EndsInTimeAndUnpacksNothing)
{
    const auto& c = GetParam();
    const auto path = juce::String ("/held-") + c.name + ".zip";
    server.serve ("held.zip", zipOf (ZipItems { { "autoUpdate.bat", textBlock (batchScript) }, { "data.bin", noise (40000) } }));
    server.setRoutes ("{\"" + path + "\": "
                      + (c.server == Server::stalled ? R"({"file": "held.zip", "chunk": 200, "delayMs": 600000})"
                                                     : R"({"file": "held.zip", "chunk": 20, "delayMs": 100})")
                      + "}");

    auto program = launch ({ "--download", server.address (path) });
    const auto download = program->waitForWindow (downloadTitle, startMs);
    ASSERT_NE (download, nullptr) << "no download window";

    // The request is under way and its body held up for a while.
    ASSERT_TRUE (waitUntil ([&] { return server.hasSeen (path); }, 30000));
    Sleep (1500);
    ASSERT_FALSE (program->hasEnded (0));

    if (c.road == Road::cancel)
    {
        // The window's close request does what its Cancel button does.
        const auto cancelledAt = juce::Time::getMillisecondCounterHiRes();
        sendClose (download);
        ASSERT_TRUE (waitUntil ([&] { return program->findWindow (downloadTitle) == nullptr; }, 10000));
        EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - cancelledAt, 2000.0) << "Cancel took too long";

        // Cancelled, not failed: the hand-over's box comes, no failure box.
        EXPECT_NE (program->waitForWindow (L"Tips", 20000), nullptr);
        EXPECT_EQ (program->findWindow (L"Installation Failed"), nullptr);
        ASSERT_FALSE (program->hasEnded (0));
        sendClose (program->findWindow (mainTitle));
    }
    else if (c.road == Road::closeMainWindow)
    {
        sendClose (program->findWindow (mainTitle));
    }
    else
    {
        runTaskkill();
    }

    expectCleanEnd (*program);
    EXPECT_FALSE ((work / "app").exists());
}

INSTANTIATE_TEST_SUITE_P (Roads, QuitDuringDownload, ::testing::Values (
    DownloadCase { "stalledCancel", Server::stalled, Road::cancel },
    DownloadCase { "stalledCloseMainWindow", Server::stalled, Road::closeMainWindow },
    DownloadCase { "stalledTaskkill", Server::stalled, Road::taskkill },
    DownloadCase { "slowCancel", Server::slow, Road::cancel },
    DownloadCase { "slowCloseMainWindow", Server::slow, Road::closeMainWindow },
    DownloadCase { "slowTaskkill", Server::slow, Road::taskkill }),
    [] (const auto& p) { return std::string (p.param.name); });

//==============================================================================
// The update's own quits, with a box still up: the relaunch 1.5 s after
// "Can't  find new Flintmoor.exe!", and the batch file's hand-over after a
// refused package, while "Installation Failed" is up.
TEST_F (QuitRoad, TheRelaunchWithItsBoxUpEndsCleanlyAndTheNewCopyRuns)
{
    juce::MemoryBlock marker;
    ASSERT_TRUE (bridge::linuxFile (FLINT_MARKER_PROGRAM_PATH).loadFileAsData (marker));
    server.serve ("relaunch.zip", zipOf (ZipItems { { "autoUpdate.bat", textBlock (batchScript) }, { "Flintmoor.exe", marker } }));
    (work / "About.txt").replaceWithText ("about");

    auto program = launch ({ "--download", server.address ("/relaunch.zip") });
    EXPECT_NE (program->waitForWindow (L"Tips", startMs), nullptr) << "no box";

    expectCleanEnd (*program, startMs);
    EXPECT_TRUE (waitUntil ([&] { return (work / "program-ran.txt").existsAsFile(); }, 30000)) << "the new copy did not run";
    EXPECT_FALSE ((work / "batch-ran.txt").exists());
}

TEST_F (QuitRoad, TheBatchFileTakesOverWithTheFailureBoxUpAndTheProgramEndsCleanly)
{
    server.serve ("refused.zip", textBlock ("not a zip archive"));
    (work / "About.txt").replaceWithText ("about");
    (work / "Help.txt").replaceWithText ("help");
    (work / "app").createDirectory();
    (work / "app/autoUpdate.bat").replaceWithText (batchScript);

    auto program = launch ({ "--download", server.address ("/refused.zip") });

    expectCleanEnd (*program, startMs);
    EXPECT_TRUE (waitUntil ([&] { return (work / "batch-ran.txt").existsAsFile(); }, 30000)) << "the batch file did not run";
}

//==============================================================================
// The main window's close request, whatever is up.
enum class Up { transferWindow, boxes };
enum class Request { close, systemMenuClose };

struct CloseCase
{
    const char* name;
    Up up;
    Request request;
};

std::ostream& operator<< (std::ostream& os, const CloseCase& c) { return os << c.name; }

class CloseWhileUp : public QuitRoad, public ::testing::WithParamInterface<CloseCase>
{
};

TEST_P (CloseWhileUp, QuitsTheProgram)
{
    const auto& c = GetParam();
    std::unique_ptr<SimDeviceProcess> device;
    std::unique_ptr<ProgramProcess> program;

    if (c.up == Up::transferWindow)
    {
        device = std::make_unique<SimDeviceProcess> (juce::StringArray { "--baud", "9600" });
        ASSERT_TRUE (device->isRunning());
        program = launch ({ "--start", writeSlowFirmware(), bridge::portName() });
        ASSERT_NE (program->waitForWindow (transferTitle, startMs), nullptr) << "no progress window";
    }
    else
    {
        // A failed download leaves two boxes: the failure and the hand-over's.
        program = launch ({ "--download", server.address ("/missing.zip") });
        ASSERT_NE (program->waitForWindow (L"Installation Failed", startMs), nullptr);
        ASSERT_NE (program->waitForWindow (L"Tips", startMs), nullptr);
    }

    const auto main = program->findWindow (mainTitle);
    ASSERT_NE (main, nullptr);

    if (c.request == Request::close)
        sendClose (main);
    else
        PostMessageW (main, WM_SYSCOMMAND, SC_CLOSE, 0);

    expectCleanEnd (*program);
}

INSTANTIATE_TEST_SUITE_P (States, CloseWhileUp, ::testing::Values (
    CloseCase { "transferWindowClose", Up::transferWindow, Request::close },
    CloseCase { "transferWindowSystemMenuClose", Up::transferWindow, Request::systemMenuClose },
    CloseCase { "boxesClose", Up::boxes, Request::close }),
    [] (const auto& p) { return std::string (p.param.name); });

//==============================================================================
// Logoff with the transfer's window up: the query is granted, and the end of
// the session ends the program as a quit does (its windows closed before the
// message returns, then the worker stopped and its port closed).
TEST_F (QuitRoad, TheSessionsEndIsGrantedAndEndsTheProgram)
{
    SimDeviceProcess device ({ "--baud", "9600" });
    ASSERT_TRUE (device.isRunning());
    auto program = launch ({ "--start", writeSlowFirmware(), bridge::portName() });
    ASSERT_NE (program->waitForWindow (transferTitle, startMs), nullptr) << "no progress window";
    const auto main = program->findWindow (mainTitle);
    ASSERT_NE (main, nullptr);

    DWORD_PTR answer = 0;
    ASSERT_NE (SendMessageTimeoutW (main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer), 0);
    EXPECT_EQ (answer, (DWORD_PTR) TRUE);
    EXPECT_FALSE (program->hasEnded (1000)) << "the query alone ended the program";

    const auto sentAt = juce::Time::getMillisecondCounterHiRes();
    SendMessageTimeoutW (main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 20000, &answer);
    const auto returnedAt = juce::Time::getMillisecondCounterHiRes();

    EXPECT_LT (returnedAt - sentAt, 10000.0);
    expectCleanEnd (*program);
    EXPECT_EQ (device.countEvents ("done"), 0) << "the transfer ran to its end";
}
}
