#include "ProgramProcess.h"

#include <climits>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
    juce::String run (const juce::StringArray& args, int timeoutMs = 20000)
    {
        juce::ChildProcess child;

        if (! child.start (args, juce::ChildProcess::wantStdOut))
            return {};

        auto out = child.readAllProcessOutput();
        child.waitForProcessToFinish (timeoutMs);
        return out;
    }
}

bool ProgramProcess::privateLockDirsWork()
{
    static const bool works = [] { return std::system ("unshare -m true > /dev/null 2>&1") == 0; }();
    return works;
}

ProgramProcess::ProgramProcess (const juce::File& workDir, const juce::File& lockDir, const juce::StringArray& command)
    : log (workDir.getChildFile ("program.log"))
{
    const auto program = command.isEmpty() ? juce::StringArray { FLINT_PROGRAM_PATH } : command;
    juce::StringArray args;

    if (privateLockDirsWork())
    {
        args = { "unshare", "-m", "sh", "-c", "mount --bind \"$0\" /var/tmp && exec \"$@\"",
                 lockDir.getFullPathName() };
        args.addArray (program);
    }
    else
    {
        args = program;
    }

    std::vector<const char*> argv;

    for (auto& a : args)
        argv.push_back (a.toRawUTF8());

    argv.push_back (nullptr);
    const auto dir = workDir.getFullPathName();
    const auto logPath = log.getFullPathName();

    pid = ::fork();

    if (pid == 0)
    {
        const int fd = ::open (logPath.toRawUTF8(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ::dup2 (fd, 1);
        ::dup2 (fd, 2);

        if (::chdir (dir.toRawUTF8()) == 0)
            ::execvp (argv[0], const_cast<char* const*> (argv.data()));

        ::_exit (127);
    }
}

ProgramProcess::~ProgramProcess()
{
    if (isRunning())
    {
        ::kill (pid, SIGKILL);
        waitForExit (10000);
    }
}

bool ProgramProcess::isRunning()
{
    if (pid <= 0 || reaped)
        return false;

    int s = 0;
    rusage usage {};

    if (::wait4 (pid, &s, WNOHANG, &usage) == pid)
    {
        reaped = true;
        endedCpuMs = (double) (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
                   + (double) (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
        status = WIFEXITED (s) ? WEXITSTATUS (s) : -WTERMSIG (s);
        return false;
    }

    return true;
}

int ProgramProcess::waitForExit (int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

    while (isRunning())
    {
        if (juce::Time::getMillisecondCounterHiRes() > end)
            return INT_MIN;

        juce::Thread::sleep (10);
    }

    return status;
}

void ProgramProcess::interrupt()
{
    if (isRunning())
        ::kill (pid, SIGINT);
}

void ProgramProcess::terminate()
{
    if (isRunning())
        ::kill (pid, SIGTERM);
}

void ProgramProcess::sendSignal (int signalNumber)
{
    if (isRunning())
        ::kill (pid, signalNumber);
}

double ProgramProcess::cpuMs()
{
    if (! isRunning())
        return endedCpuMs;

    // Fields 14 and 15 after the name, which is in parentheses and may hold blanks.
    const auto stat = juce::File ("/proc/" + juce::String (pid) + "/stat").loadFileAsString();
    juce::StringArray fields;
    fields.addTokens (stat.fromLastOccurrenceOf (")", false, false), " ", {});
    fields.removeEmptyStrings();

    if (fields.size() < 13)
        return isRunning() ? 0.0 : endedCpuMs;

    const auto ticks = fields[11].getLargeIntValue() + fields[12].getLargeIntValue();
    return (double) ticks * 1000.0 / (double) ::sysconf (_SC_CLK_TCK);
}

std::uint64_t ProgramProcess::signalsBlockedInEveryThread() const
{
    std::uint64_t common = ~std::uint64_t { 0 };
    int seen = 0;

    for (const auto& task : juce::File ("/proc/" + juce::String (pid) + "/task").findChildFiles (juce::File::findDirectories, false))
    {
        juce::StringArray lines;
        lines.addLines (task.getChildFile ("status").loadFileAsString());

        for (const auto& line : lines)
        {
            if (line.startsWith ("SigBlk:"))
            {
                common &= (std::uint64_t) line.fromFirstOccurrenceOf (":", false, false).trim().getHexValue64();
                ++seen;
            }
        }
    }

    return seen > 0 ? common : 0;
}

bool ProgramProcess::signalPending (int signalNumber) const
{
    juce::StringArray lines;
    lines.addLines (juce::File ("/proc/" + juce::String (pid) + "/status").loadFileAsString());

    for (const auto& line : lines)
        if (line.startsWith ("ShdPnd:"))
            return (((std::uint64_t) line.fromFirstOccurrenceOf (":", false, false).trim().getHexValue64()
                       >> (signalNumber - 1)) & 1) != 0;

    return false;
}

int ProgramProcess::threadCount() const
{
    return juce::File ("/proc/" + juce::String (pid) + "/task").getNumberOfChildFiles (juce::File::findDirectories);
}

juce::String ProgramProcess::output() const
{
    return log.loadFileAsString();
}

juce::StringArray x11::findWindows (const juce::String& titlePattern)
{
    juce::StringArray ids;
    ids.addTokens (run ({ "xdotool", "search", "--onlyvisible", "--name", titlePattern }), "\n", {});
    ids.removeEmptyStrings();
    return ids;
}

juce::Rectangle<int> x11::geometry (const juce::String& windowId)
{
    juce::StringArray lines;
    lines.addLines (run ({ "xdotool", "getwindowgeometry", "--shell", windowId }));
    juce::Rectangle<int> r;

    for (auto& line : lines)
    {
        const auto value = line.fromFirstOccurrenceOf ("=", false, false).getIntValue();

        if (line.startsWith ("X="))           r.setX (value);
        else if (line.startsWith ("Y="))      r.setY (value);
        else if (line.startsWith ("WIDTH="))  r.setWidth (value);
        else if (line.startsWith ("HEIGHT=")) r.setHeight (value);
    }

    return r;
}

juce::String x11::focusedWindow()
{
    return run ({ "xdotool", "getwindowfocus" }).trim();
}

void x11::click (juce::Point<int> p)
{
    run ({ "xdotool", "mousemove", "--sync", juce::String (p.x), juce::String (p.y), "click", "1" });
}

void x11::type (const juce::String& text)
{
    run ({ "xdotool", "type", "--delay", "20", text });
}

void x11::key (const juce::String& keys, int repeat)
{
    run ({ "xdotool", "key", "--delay", "30", "--repeat", juce::String (repeat), keys });
}

void x11::screenshot (juce::Rectangle<int> area, const juce::File& png)
{
    png.deleteFile();
    run ({ "import", "-window", "root", "-crop",
           juce::String (area.getWidth()) + "x" + juce::String (area.getHeight()) + "+"
               + juce::String (area.getX()) + "+" + juce::String (area.getY()),
           png.getFullPathName() });
}
