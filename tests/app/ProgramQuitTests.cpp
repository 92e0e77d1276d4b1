// Quitting the built program by the roads an operator or the system takes,
// while its modal windows are up, and the update's hand-over to its batch
// file: each ends the process cleanly (status 0, so no abort and, under the
// sanitizers, no leak) within a generous bound, with what was running stopped.
#include "ProgramFixture.h"
#include "UpdateFixture.h"

#include <climits>
#include <csignal>
#include <cstdint>
#include <iostream>

namespace
{
enum class Road { closeRequest, terminate };
enum class Situation { transferWindow, downloadWindow, question, resultBox };

struct QuitCase
{
    const char* name;
    Situation situation;
    Road road;
};

class ProgramQuit : public Program
{
protected:
    void SetUp() override
    {
        Program::SetUp();

        if (IsSkipped())
            return;

        // In place of a window manager: the atoms the program's windows name
        // for the close request.
        ASSERT_EQ (runTool ({ FLINT_CLOSE_REQUEST_PATH, "--intern" }), 0);
    }

    static int runTool (const juce::StringArray& args)
    {
        juce::ChildProcess child;

        if (! child.start (args, 0))
            return -1;

        child.waitForProcessToFinish (20000);
        return (int) child.getExitCode();
    }

    void quitBy (Road road, ProgramProcess& program)
    {
        if (road == Road::closeRequest)
        {
            ASSERT_EQ (runTool ({ FLINT_CLOSE_REQUEST_PATH, windowId }), 0);
        }
        else
        {
            program.terminate();
        }
    }

    // The program with the update list on the test's server, checking at once.
    std::unique_ptr<ProgramProcess> launchChecking()
    {
        return launch ({ FLINT_PROGRAM_WITH_LIST_PATH, server.address ("/Uploadfiles/file/apx/urlapp.xml"), "--check" });
    }

    void listPackageAt (const juce::String& path)
    {
        server.serve ("Uploadfiles/file/apx/urlapp.xml",
                      "<updateList><updateFiles><Flintmoor url=\"" + server.address (path)
                      + "\" lastver=\"1.0.2\" appName=\"Flintmoor.exe\"/></updateFiles></updateList>");
    }

    // Answers the check's question with its first button, "Download updates".
    // The key goes to the window with the input focus: wait until the box has it.
    bool acceptDownload()
    {
        if (! windowShown ("^Updates tips$", true))
            return false;

        // A key that comes while the box is still taking the focus is lost: try again.
        return waitFor ([&]
        {
            const auto boxes = x11::findWindows ("^Updates tips$");

            if (boxes.isEmpty())
                return true;

            if (boxes.contains (x11::focusedWindow()))
            {
                x11::key ("Return");
                return windowShown ("^Updates tips$", false, 3000);
            }

            return false;
        }, 60000);
    }

    // Random letters: a zip keeps about five eighths of them.
    static juce::String randomLetters (int size)
    {
        juce::Random random (7);
        std::string text ((size_t) size, 'a');

        for (auto& c : text)
            c = (char) ('a' + random.nextInt (26));

        return juce::String (text);
    }

    UpdateServer server;
};

class QuitWhileOpen : public ProgramQuit, public ::testing::WithParamInterface<QuitCase>
{
};

TEST_P (QuitWhileOpen, EndsTheProgramAndWhatRuns)
{
    const auto& c = GetParam();
    writeSettings ({ { "LogFlag", "1" } });
    std::unique_ptr<ProgramProcess> program;

    switch (c.situation)
    {
        case Situation::transferWindow:
        case Situation::question:
        {
            // A slow line makes the transfer last; a device held back lets
            // the file go before the transfer loads it.
            if (c.situation == Situation::question)
                startDevice ({ "--name", "FLINT001", "--hold", "--devices", "1" }, portFirst);
            else
                startDevice ({ "--name", "FLINT001", "--baud", "9600", "--devices", "1" }, portFirst);

            const auto firmware = writeFirmware ("demo.dsb", 64 * 400);
            program = launch();
            ASSERT_TRUE (findMainWindow (*program)) << program->output();
            operatorStarts (firmware);

            if (c.situation == Situation::question)
            {
                ASSERT_TRUE (device->waitForEvent ("held device=1", 30000)) << program->output();
                ASSERT_TRUE (firmware.deleteFile());
                device->release();
                ASSERT_TRUE (windowShown ("^Tips$", true)) << program->output();
            }
            else
            {
                ASSERT_TRUE (device->waitForEvent ("command device=1 sub=01", 30000)) << program->output();
                ASSERT_TRUE (windowShown ("^Progress$", true)) << program->output();
            }
            break;
        }

        case Situation::downloadWindow:
        case Situation::resultBox:
        {
            // About 5 kB a second: the download would last for more than half a minute.
            server.serve ("p.zip", makeZip ({ { "Flintmoor.exe", randomLetters (300000) } }));
            server.setRoutes (R"({"/slow.zip": {"file": "p.zip", "chunk": 512, "delayMs": 100}})");
            listPackageAt (c.situation == Situation::downloadWindow ? "/slow.zip" : "/missing.zip");

            program = launchChecking();
            ASSERT_TRUE (findMainWindow (*program)) << program->output();
            ASSERT_TRUE (acceptDownload()) << program->output();

            if (c.situation == Situation::downloadWindow)
            {
                ASSERT_TRUE (server.waitForRequest ("/slow.zip"));
                ASSERT_TRUE (windowShown ("^Downloading new version$", true)) << program->output();
            }
            else
            {
                ASSERT_TRUE (windowShown ("^Installation Failed$", true)) << program->output() << "\nlog:\n" << logText() << server.requests().joinIntoString (",");
            }
            break;
        }
    }

    ASSERT_TRUE (program->isRunning());
    quitBy (c.road, *program);

    const auto quitAt = juce::Time::getMillisecondCounterHiRes();
    EXPECT_EQ (program->waitForExit (20000), 0) << program->output() << "\nlog:\n" << logText();
    std::cout << "ended " << (int) (juce::Time::getMillisecondCounterHiRes() - quitAt) << " ms after the quit" << std::endl;
    EXPECT_FALSE (program->output().contains ("killing thread"));

    if (device != nullptr)
    {
        EXPECT_TRUE (device->waitForEvent ("host-closed", 10000));
    }

    // A cancelled download unpacks nothing.
    EXPECT_FALSE (work ("app").exists());
}

INSTANTIATE_TEST_SUITE_P (Roads, QuitWhileOpen, ::testing::Values (
    QuitCase { "transferWindowCloseRequest", Situation::transferWindow, Road::closeRequest },
    QuitCase { "transferWindowTerminate", Situation::transferWindow, Road::terminate },
    QuitCase { "downloadWindowCloseRequest", Situation::downloadWindow, Road::closeRequest },
    QuitCase { "downloadWindowTerminate", Situation::downloadWindow, Road::terminate },
    QuitCase { "questionCloseRequest", Situation::question, Road::closeRequest },
    QuitCase { "resultBoxTerminate", Situation::resultBox, Road::terminate }),
    [] (const auto& p) { return std::string (p.param.name); });

// A quit signal while the update list is slow to come: every thread of the
// program holds the signal back, so that it interrupts no wait (one that is
// retried at once would spin), and the fetch is given up for the quit rather
// than waited out to its 10 s.
struct SlowListCase
{
    const char* name;
    const char* route;
};

class SignalDuringListFetch : public ProgramQuit, public ::testing::WithParamInterface<SlowListCase>
{
};

TEST_P (SignalDuringListFetch, EndsTheProgramSoonWithoutSpinning)
{
    const auto listPath = juce::String ("/Uploadfiles/file/apx/urlapp.xml");
    server.setRoutes (juce::String ("{\"") + listPath + "\": " + GetParam().route + "}");

    auto program = launchChecking();
    ASSERT_TRUE (server.waitForRequest (listPath, 30000)) << program->output();
    juce::Thread::sleep (1000);
    ASSERT_TRUE (program->isRunning()) << program->output();

    const std::uint64_t quitSignals = (1u << (SIGINT - 1)) | (1u << (SIGTERM - 1));
    EXPECT_EQ (program->signalsBlockedInEveryThread() & quitSignals, quitSignals)
        << program->threadCount() << " threads";

    const auto cpuBefore = program->cpuMs();
    const auto signalledAt = juce::Time::getMillisecondCounterHiRes();
    program->terminate();

    EXPECT_EQ (program->waitForExit (30000), 0) << program->output();
    const auto took = juce::Time::getMillisecondCounterHiRes() - signalledAt;
    const auto cpu = program->cpuMs() - cpuBefore;
    std::cout << "ended " << (int) took << " ms after SIGTERM, " << (int) cpu << " ms of CPU meanwhile" << std::endl;

    // The fetch alone would have held on for 9 s more.
    EXPECT_LT (took, 6000.0);
    EXPECT_LT (cpu, 3000.0);
}

INSTANTIATE_TEST_SUITE_P (Lists, SignalDuringListFetch, ::testing::Values (
    SlowListCase { "headersLate", R"({"body": "<updateList/>", "headerDelayMs": 60000})" },
    SlowListCase { "bodySlow", R"({"body": "<updateList><updateFiles/></updateList>", "chunk": 1, "delayMs": 2000})" }),
    [] (const auto& p) { return std::string (p.param.name); });

// A second quit signal while the first one's quit is held up by a modal
// window that does not close ends the program at once, as the signal's
// default action does.
struct SecondSignalCase
{
    const char* name;
    int first, second;
};

class SecondSignal : public Program, public ::testing::WithParamInterface<SecondSignalCase>
{
};

TEST_P (SecondSignal, EndsAHeldUpQuitAtOnce)
{
    const auto& c = GetParam();
    auto program = launch ({ FLINT_PROGRAM_WITH_STUCK_WINDOW_PATH });
    ASSERT_TRUE (findMainWindow (*program)) << program->output();
    ASSERT_TRUE (windowShown ("^Stuck$", true)) << program->output();

    program->sendSignal (c.first);
    ASSERT_TRUE (waitFor ([&] { return program->output().contains ("stuck window ended"); }, 30000)) << program->output();
    ASSERT_TRUE (program->isRunning()) << "the quit was not held up: " << program->output();

    program->sendSignal (c.second);
    const auto signalledAt = juce::Time::getMillisecondCounterHiRes();
    EXPECT_EQ (program->waitForExit (15000), -c.second) << program->output();
    std::cout << "ended " << (int) (juce::Time::getMillisecondCounterHiRes() - signalledAt) << " ms after the second signal" << std::endl;
}

INSTANTIATE_TEST_SUITE_P (Signals, SecondSignal, ::testing::Values (
    SecondSignalCase { "terminateTwice", SIGTERM, SIGTERM },
    SecondSignalCase { "interruptTwice", SIGINT, SIGINT },
    SecondSignalCase { "interruptThenTerminate", SIGINT, SIGTERM }),
    [] (const auto& p) { return std::string (p.param.name); });

// The batch file takes over and the program ends by itself: nothing moves
// the pointer or presses a key once the download has been accepted.
TEST_F (ProgramQuit, TheBatchFileTakesOverAndTheProgramEndsWithoutInput)
{
    const auto batchRan = work ("batch-ran");
    work ("About.txt").replaceWithText ("about");
    work ("Help.txt").replaceWithText ("help");
    writeSettings ({ { "LogFlag", "1" } });
    server.serve ("p.zip", makeZip ({ { "autoUpdate.bat", markerScript (batchRan) },
                                      { "Flintmoor.exe", markerScript (work ("program-ran")) } }));
    listPackageAt ("/p.zip");

    auto program = launchChecking();
    ASSERT_TRUE (findMainWindow (*program)) << program->output();
    ASSERT_TRUE (acceptDownload()) << program->output();

    ASSERT_TRUE (waitForFile (batchRan, 60000)) << program->output();
    EXPECT_EQ (program->waitForExit (10000), 0) << program->output() << "\nlog:\n" << logText();
    EXPECT_TRUE (logText().contains ("autoUpdate.bat open succeed!"));
}

// Without the batch file's helpers the program quits and starts the
// package's Flintmoor.exe: with no signal blocked, whatever this program
// held back. Its first line hands it straight to the probe, no shell between.
TEST_F (ProgramQuit, TheRelaunchedProgramStartsWithNoSignalBlocked)
{
    const auto mask = work ("signal-mask");
    server.serve ("p.zip", makeZip ({ { "Flintmoor.exe", juce::String ("#!") + FLINT_SIGNAL_MASK_PROBE_PATH + "\n" } }));
    listPackageAt ("/p.zip");

    auto program = launchChecking();
    ASSERT_TRUE (findMainWindow (*program)) << program->output();
    ASSERT_TRUE (acceptDownload()) << program->output();

    ASSERT_TRUE (waitForFile (mask, 60000)) << program->output();
    EXPECT_EQ (program->waitForExit (10000), 0) << program->output();
    EXPECT_EQ (mask.loadFileAsString().fromFirstOccurrenceOf (":", false, false).trim().getHexValue64(), 0)
        << mask.loadFileAsString();
}
}
