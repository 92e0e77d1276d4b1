// simdevice: stands in for the device on the far end of a serial line, on a
// pseudo-terminal it creates or on a serial port it is given. See usage below.
#include "SimDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

namespace
{
    const char* const usage =
        "usage: simdevice [options]\n"
        "Creates a pseudo-terminal and prints the path the host should open (first line on\n"
        "stdout), then answers the host until SIGTERM or SIGINT. One event per line follows\n"
        "on stdout, or in the --events file.\n"
        "  --port PATH             use this serial device instead of a pseudo-terminal\n"
        "  --address A0|A1|A2|A3   device address, the start character of frames (default A3, '$')\n"
        "  --name NAME             device name, up to 8 characters (default SIMDEV01); given\n"
        "                          again, it names the next devices, the last one repeating\n"
        "  --product-date HEX      4 bytes as 8 hex digits (default 20010100)\n"
        "  --release-date HEX      4 bytes as 8 hex digits (default 21031500)\n"
        "  --devices N             play N devices one after the other, then stay silent\n"
        "  --images DIR            keep each received image as DIR/image-<device>.bin\n"
        "  --events FILE           append the events to FILE instead of stdout\n"
        "  --timestamps            end each event with t=<ms>, a steady clock in milliseconds\n"
        "  --baud N                line rate: replies wait for the wire time of the host's frame\n"
        "                          and their own (10 bits a character); sets the rate of --port\n"
        "Faults:\n"
        "  --silent                never answer a frame (polls still get \"RR\")\n"
        "  --silent-from N         from the Nth command of a device on (1 = the search), answer\n"
        "                          nothing at all, polls included: a device that hangs\n"
        "  --retry N               answer the Nth command of each device (1 = the search) only\n"
        "                          on its second attempt\n"
        "  --wrong-sum             answer the verify with a wrong sum\n"
        "  --split                 write replies one character at a time, 0.5 ms apart\n"
        "  --lower-case            replies in lower-case hex, with the sum of those characters\n"
        "  --foreign-frame         send a frame at another device address before each reply\n"
        "  --garbage               send stray bytes before each reply frame\n"
        "  --hangup-after-block N  once the commit of block N is answered, close the line and exit\n"
        "                          as the host sends again\n"
        "  --xoff                  send one XOFF byte (0x13) just before the first announcement\n"
        "  --hold                  answer no poll until SIGUSR1 comes (logs \"held\" at the first\n"
        "                          poll, \"released\" then): the host waits while a test acts\n"
        "  --cooked                leave the host's end of the pseudo-terminal as a new terminal\n"
        "                          starts (echo, line editing, XON/XOFF flow control)\n"
        "Events, one a line, a word and key=value fields: announce, search, command, verify,\n"
        "done, abandoned, bad-frame, bad-command, unknown, host-opened, host-closed, finished,\n"
        "hangup, stopped. Every frame from the host is logged (search, command, and verify for\n"
        "the verify command) as it arrives, with \" unanswered\" at the end when a fault keeps\n"
        "the device from answering it.\n";

    // Below the host's 1 ms read time-out, as on a line at 19200 baud: the host
    // reads the reply in pieces but does not see silence between them.
    constexpr double splitGapMs = 0.5;
    constexpr int hungUpRetryMs = 10;

    volatile sig_atomic_t stopRequested = 0, releaseRequested = 0;

    void onStopSignal (int)
    {
        stopRequested = 1;
    }

    void onReleaseSignal (int)
    {
        releaseRequested = 1;
    }

    double nowMs()
    {
        using namespace std::chrono;
        return duration<double, std::milli> (steady_clock::now().time_since_epoch()).count();
    }

    timespec toTimespec (double ms)
    {
        if (ms < 0)
            ms = 0;

        timespec t {};
        t.tv_sec = (time_t) (ms / 1000.0);
        t.tv_nsec = (long) ((ms - (double) t.tv_sec * 1000.0) * 1.0e6);
        return t;
    }

    [[noreturn]] void fail (const std::string& message)
    {
        std::fprintf (stderr, "simdevice: %s\n", message.c_str());
        std::exit (2);
    }

    bool parseInt (const char* text, long long low, long long high, long long& value)
    {
        char* end = nullptr;
        errno = 0;
        value = std::strtoll (text, &end, 10);
        return errno == 0 && end != text && *end == 0 && value >= low && value <= high;
    }

    void parseDate (const char* text, std::uint8_t (&date)[4])
    {
        if (std::strlen (text) != 8)
            fail ("a date is 8 hex digits");

        for (int i = 0; i < 4; ++i)
        {
            char pair[3] = { text[2 * i], text[2 * i + 1], 0 };
            char* end = nullptr;
            const auto v = std::strtoul (pair, &end, 16);

            if (*end != 0)
                fail ("a date is 8 hex digits");

            date[i] = (std::uint8_t) v;
        }
    }

    struct Settings
    {
        sim::DeviceOptions device;
        std::string port, eventsPath;
        long long baud = 0;
        bool split = false;
        bool timestamps = false;
        bool cooked = false;
    };

    Settings parseArguments (int argc, char** argv)
    {
        Settings s;
        bool namesGiven = false;

        for (int i = 1; i < argc; ++i)
        {
            const std::string arg = argv[i];
            auto value = [&] { if (i + 1 >= argc) fail (arg + " needs a value"); return argv[++i]; };
            auto number = [&] (long long low, long long high)
            {
                long long v = 0;
                if (! parseInt (value(), low, high, v)) fail (arg + " needs a number from " + std::to_string (low));
                return v;
            };

            if (arg == "--port")                    s.port = value();
            else if (arg == "--events")             s.eventsPath = value();
            else if (arg == "--images")             s.device.imageFolder = value();
            else if (arg == "--baud")               s.baud = number (0, 100000000);
            else if (arg == "--devices")            s.device.devices = (int) number (1, 1000000);
            else if (arg == "--product-date")       parseDate (value(), s.device.productDate);
            else if (arg == "--release-date")       parseDate (value(), s.device.releaseDate);
            else if (arg == "--silent")             s.device.silent = true;
            else if (arg == "--silent-from")        s.device.silentFrom = (int) number (1, 1000000000);
            else if (arg == "--retry")              s.device.retryCommand = (int) number (1, 1000000000);
            else if (arg == "--wrong-sum")          s.device.wrongSum = true;
            else if (arg == "--split")              s.split = true;
            else if (arg == "--timestamps")         s.timestamps = true;
            else if (arg == "--lower-case")         s.device.lowerCase = true;
            else if (arg == "--foreign-frame")      s.device.foreignFrame = true;
            else if (arg == "--garbage")            s.device.garbage = true;
            else if (arg == "--hangup-after-block") s.device.hangupAfterBlock = (int) number (0, 65535);
            else if (arg == "--xoff")               s.device.xoff = true;
            else if (arg == "--hold")               s.device.hold = true;
            else if (arg == "--cooked")             s.cooked = true;
            else if (arg == "--help" || arg == "-h") { std::fputs (usage, stdout); std::exit (0); }
            else if (arg == "--name")
            {
                const std::string name = value();

                if (name.size() > 8)
                    fail ("a name has at most 8 characters");

                if (! namesGiven)
                    s.device.names.clear();

                namesGiven = true;
                s.device.names.push_back (name);
            }
            else if (arg == "--address")
            {
                const std::string a = value();

                if (a.size() != 2 || (a[0] != 'A' && a[0] != 'a') || a[1] < '0' || a[1] > '3')
                    fail ("--address takes A0, A1, A2 or A3");

                s.device.start = sim::startCharacterFor (a[1] - '0');
            }
            else
            {
                std::fprintf (stderr, "simdevice: unknown option %s\n%s", arg.c_str(), usage);
                std::exit (2);
            }
        }

        return s;
    }

    void makeRaw (int fd, long long baud)
    {
        termios t {};

        if (tcgetattr (fd, &t) != 0)
            fail ("not a terminal");

        cfmakeraw (&t);
        t.c_cflag |= CLOCAL | CREAD;

        if (baud > 0)
        {
            static const struct { long long rate; speed_t code; } rates[] = {
                { 1200, B1200 }, { 2400, B2400 }, { 4800, B4800 }, { 9600, B9600 }, { 19200, B19200 },
                { 38400, B38400 }, { 57600, B57600 }, { 115200, B115200 }, { 230400, B230400 },
                { 460800, B460800 }, { 921600, B921600 } };

            bool found = false;

            for (const auto& r : rates)
            {
                if (r.rate == baud)
                {
                    cfsetspeed (&t, r.code);
                    found = true;
                }
            }

            if (! found)
                fail ("a real port takes a standard rate only");
        }

        if (tcsetattr (fd, TCSANOW, &t) != 0)
            fail ("cannot set the line");
    }

    // The host's end is raw from the start, so that nothing the host sends
    // before it sets up the line is echoed back; cooked leaves it as a freshly
    // plugged serial port starts, for the host to set up.
    int createPseudoTerminal (std::string& hostPath, bool cooked)
    {
        const int master = posix_openpt (O_RDWR | O_NOCTTY | O_CLOEXEC);

        if (master < 0 || grantpt (master) != 0 || unlockpt (master) != 0)
            fail ("cannot create a pseudo-terminal");

        const char* name = ptsname (master);

        if (name == nullptr)
            fail ("pseudo-terminal has no name");

        hostPath = name;
        const int slave = ::open (name, O_RDWR | O_NOCTTY | O_CLOEXEC);

        if (slave < 0)
            fail ("cannot open the pseudo-terminal's far end");

        if (! cooked)
            makeRaw (slave, 0);

        ::close (slave);
        return master;
    }

    // Bytes waiting to go out, each with the time before which it must not.
    class OutputQueue
    {
    public:
        OutputQueue (double msPerCharacter, bool splitReplies) : charMs (msPerCharacter), split (splitReplies) {}

        // Places the reply on the wire after the host's input and any earlier reply.
        void add (const sim::Reply& reply, std::size_t inputCharacters, double receivedAt)
        {
            if (reply.announcement && announcementWaiting())
                return;     // one "RR" on its way is enough for any number of polls

            const double start = std::max (receivedAt + (double) inputCharacters * charMs, wireFreeAt);
            const auto n = reply.bytes.size();
            double previous = -1.0e300;

            for (std::size_t i = 0; i < n; ++i)
            {
                double due = split ? std::max (start + (double) (i + 1) * charMs, previous + splitGapMs)
                                   : start + (double) n * charMs;
                previous = due;
                bytes.push_back ({ reply.bytes[i], due, reply.announcement });
            }

            wireFreeAt = previous;
        }

        bool empty() const { return bytes.empty(); }
        double nextDue() const { return bytes.front().due; }

        void clear()
        {
            bytes.clear();
            wireFreeAt = 0;
        }

        // Writes what is due without blocking. False when the line has gone.
        bool flush (int fd, bool& blocked)
        {
            blocked = false;

            while (! bytes.empty() && bytes.front().due <= nowMs())
            {
                char buffer[4096];
                std::size_t n = 0;
                const auto now = nowMs();

                while (n < bytes.size() && n < sizeof buffer && bytes[n].due <= now && (n == 0 || ! split))
                {
                    buffer[n] = bytes[n].byte;
                    ++n;
                }

                const auto written = ::write (fd, buffer, n);

                if (written < 0)
                {
                    if (errno == EINTR)
                        continue;

                    if (errno == EAGAIN || errno == EWOULDBLOCK)
                    {
                        blocked = true;
                        return true;
                    }

                    return false;
                }

                bytes.erase (bytes.begin(), bytes.begin() + written);

                if (split && ! bytes.empty())
                    bytes.front().due = std::max (bytes.front().due, nowMs() + splitGapMs);
            }

            return true;
        }

    private:
        struct Byte
        {
            char byte;
            double due;
            bool announcement;
        };

        bool announcementWaiting() const
        {
            for (const auto& b : bytes)
                if (b.announcement)
                    return true;

            return false;
        }

        double charMs;
        bool split;
        std::deque<Byte> bytes;
        double wireFreeAt = 0;
    };
}

int main (int argc, char** argv)
{
    auto settings = parseArguments (argc, argv);

    signal (SIGPIPE, SIG_IGN);

    // The stop signals are held back except while waiting, so none is missed.
    sigset_t stopSignals, waitMask;
    sigemptyset (&stopSignals);
    sigaddset (&stopSignals, SIGTERM);
    sigaddset (&stopSignals, SIGINT);
    sigaddset (&stopSignals, SIGHUP);
    sigaddset (&stopSignals, SIGUSR1);
    sigprocmask (SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset (&waitMask, SIGTERM);
    sigdelset (&waitMask, SIGINT);
    sigdelset (&waitMask, SIGHUP);
    sigdelset (&waitMask, SIGUSR1);

    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset (&action.sa_mask);
    sigaction (SIGTERM, &action, nullptr);
    sigaction (SIGINT, &action, nullptr);
    sigaction (SIGHUP, &action, nullptr);
    action.sa_handler = onReleaseSignal;
    sigaction (SIGUSR1, &action, nullptr);

    const bool pseudoTerminal = settings.port.empty();
    std::string hostPath;
    int fd = -1;

    if (pseudoTerminal)
    {
        fd = createPseudoTerminal (hostPath, settings.cooked);
        std::printf ("%s\n", hostPath.c_str());
        std::fflush (stdout);
    }
    else
    {
        fd = ::open (settings.port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);

        if (fd < 0)
            fail ("cannot open " + settings.port + ": " + std::strerror (errno));

        makeRaw (fd, settings.baud);
    }

    fcntl (fd, F_SETFL, fcntl (fd, F_GETFL) | O_NONBLOCK);

    FILE* events = stdout;

    if (! settings.eventsPath.empty() && (events = std::fopen (settings.eventsPath.c_str(), "a")) == nullptr)
        fail ("cannot write " + settings.eventsPath);

    const bool timestamps = settings.timestamps;

    auto log = [events, timestamps] (const std::string& line)
    {
        if (timestamps)
            std::fprintf (events, "%s t=%.3f\n", line.c_str(), nowMs());
        else
            std::fprintf (events, "%s\n", line.c_str());
        std::fflush (events);
    };

    sim::SimDevice device (settings.device, log);
    sim::FrameReader reader (settings.device.start);

    // On a real line the wire takes its own time.
    const double charMs = pseudoTerminal && settings.baud > 0 ? 10000.0 / (double) settings.baud : 0.0;
    OutputQueue output (charMs, settings.split);

    // A pseudo-terminal's far end counts as closed until the host opens it.
    bool hostOpen = ! pseudoTerminal;
    std::vector<sim::HostInput> inputs;

    auto lineGone = [&]
    {
        if (hostOpen)
            log ("host-closed");

        hostOpen = false;
        device.lineClosed();
        reader.reset();
        output.clear();
    };

    while (! stopRequested)
    {
        if (releaseRequested)
        {
            releaseRequested = 0;
            device.release();
        }

        if (! hostOpen)
        {
            pollfd p { fd, 0, 0 };

            if (poll (&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR)) != 0)
            {
                // Nobody on the line: look again a little later.
                const auto pause = toTimespec (hungUpRetryMs);
                ppoll (nullptr, 0, &pause, &waitMask);
                continue;
            }

            hostOpen = true;
            log ("host-opened");
        }

        bool blocked = false;

        if (! output.flush (fd, blocked))
        {
            lineGone();
            continue;
        }

        if (device.hangupDue())
        {
            log ("hangup device=" + std::to_string (device.deviceNumber()));
            ::close (fd);
            return 0;
        }

        pollfd p { fd, (short) (POLLIN | (blocked ? POLLOUT : 0)), 0 };
        timespec timeout {};
        const timespec* wait = nullptr;

        if (! output.empty() && ! blocked)
        {
            timeout = toTimespec (output.nextDue() - nowMs());
            wait = &timeout;
        }

        const int r = ppoll (&p, 1, wait, &waitMask);

        if (r <= 0)
            continue;

        if ((p.revents & POLLIN) != 0)
        {
            std::uint8_t buffer[4096];

            for (;;)
            {
                const auto n = ::read (fd, buffer, sizeof buffer);

                if (n > 0)
                {
                    const auto receivedAt = nowMs();

                    for (ssize_t i = 0; i < n; ++i)
                    {
                        inputs.clear();
                        reader.feed (buffer[i], inputs);

                        for (const auto& input : inputs)
                        {
                            const auto reply = device.respond (input);

                            if (! reply.bytes.empty())
                                output.add (reply, input.characters, receivedAt);
                        }
                    }

                    continue;
                }

                if (n < 0 && errno == EINTR)
                    continue;

                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                    break;

                lineGone();     // EIO: the host closed its end
                break;
            }
        }
        else if ((p.revents & (POLLHUP | POLLERR)) != 0)
        {
            lineGone();
        }
    }

    log ("stopped");
    ::close (fd);

    if (events != stdout)
        std::fclose (events);

    return 0;
}
