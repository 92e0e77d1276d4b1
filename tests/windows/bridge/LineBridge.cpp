// The Linux end of the serial line for the tests that run under Wine.
//
// Wine maps a COM port to a Unix path (HKLM\Software\Wine\Ports); this bridge
// owns that path, a symbolic link, and points it at the far end that a test
// asks for over TCP on 127.0.0.1, one test at a time:
//
//   "raw\n"          a fresh pseudo-terminal whose other end is the connection
//                    itself: bytes pass both ways until the test hangs up.
//   "sim\tOPT\t...\n" the simulated device started with the options (each after
//                    a tab, so that an empty one stays one); the answer is
//                    "ready FOLDER\n", FOLDER holding its events.log and images.
//                    "stop\n" stops it and is answered "exit STATUS\n"; the
//                    folder goes when the test hangs up.
//
// Between tests the link points at an idle pseudo-terminal, so that the port
// always exists. Prints "port N" once it listens.
//
//   linebridge --simdevice PATH --link PATH
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <string>
#include <vector>

extern char** environ;

namespace
{
std::string simdevicePath, linkPath;
volatile sig_atomic_t childPid = 0;

void onTerminate (int)
{
    if (childPid > 0)
        kill ((pid_t) childPid, SIGKILL);

    _exit (1);
}

// The link is replaced in one step, so Wine never finds it missing.
void pointLinkAt (const std::string& target)
{
    const auto temporary = linkPath + ".new";
    unlink (temporary.c_str());

    if (symlink (target.c_str(), temporary.c_str()) != 0 || rename (temporary.c_str(), linkPath.c_str()) != 0)
        std::fprintf (stderr, "linebridge: cannot point %s at %s: %s\n", linkPath.c_str(), target.c_str(), std::strerror (errno));
}

struct Pty
{
    int master = -1, slave = -1;
    std::string path;

    bool open()
    {
        char name[128] = {};
        termios raw {};
        cfmakeraw (&raw);

        if (openpty (&master, &slave, name, &raw, nullptr) != 0)
            return false;

        // Our own slave descriptor keeps the master from seeing a hang-up
        // each time the port under test is closed.
        path = name;
        return true;
    }

    ~Pty()
    {
        if (master >= 0) ::close (master);
        if (slave >= 0) ::close (slave);
    }
};

bool sendAll (int fd, const char* data, size_t length)
{
    while (length > 0)
    {
        const auto n = ::send (fd, data, length, MSG_NOSIGNAL);

        if (n < 0 && errno == EINTR)
            continue;

        if (n <= 0)
            return false;

        data += n;
        length -= (size_t) n;
    }

    return true;
}

bool sendLine (int fd, const std::string& line)
{
    const auto text = line + "\n";
    return sendAll (fd, text.data(), text.size());
}

// One line from the connection; false when it closes first.
bool readLine (int fd, std::string& line)
{
    line.clear();

    for (;;)
    {
        char c = 0;
        const auto n = ::recv (fd, &c, 1, 0);

        if (n < 0 && errno == EINTR)
            continue;

        if (n <= 0)
            return false;

        if (c == '\n')
            return true;

        line += c;
    }
}

void relay (int connection)
{
    Pty pty;

    if (! pty.open())
    {
        sendLine (connection, "error openpty");
        return;
    }

    pointLinkAt (pty.path);

    if (! sendLine (connection, "ready"))
        return;

    char buffer[4096];

    for (;;)
    {
        pollfd p[2] = { { connection, POLLIN, 0 }, { pty.master, POLLIN, 0 } };

        if (poll (p, 2, -1) < 0)
        {
            if (errno == EINTR)
                continue;
            return;
        }

        if ((p[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
        {
            const auto n = ::recv (connection, buffer, sizeof buffer, 0);

            if (n <= 0)
                return;

            for (ssize_t done = 0; done < n;)
            {
                const auto w = ::write (pty.master, buffer + done, (size_t) (n - done));

                if (w < 0 && errno != EINTR)
                    return;

                if (w > 0)
                    done += w;
            }
        }

        if ((p[1].revents & POLLIN) != 0)
        {
            const auto n = ::read (pty.master, buffer, sizeof buffer);

            if (n > 0 && ! sendAll (connection, buffer, (size_t) n))
                return;
        }
    }
}

int waitForChild (pid_t pid)
{
    int status = 0;

    for (int i = 0; i < 1000; ++i)
    {
        if (waitpid (pid, &status, WNOHANG) == pid)
            return WIFEXITED (status) ? WEXITSTATUS (status) : -(WIFSIGNALED (status) ? WTERMSIG (status) : 1);

        usleep (10000);
    }

    kill (pid, SIGKILL);
    waitpid (pid, &status, 0);
    return -SIGKILL;
}

void simulate (int connection, const std::string& options)
{
    char folderTemplate[] = "/tmp/flint-wine-sim-XXXXXX";

    if (mkdtemp (folderTemplate) == nullptr)
    {
        sendLine (connection, "error mkdtemp");
        return;
    }

    const std::string folder = folderTemplate;
    std::vector<std::string> args { simdevicePath, "--events", folder + "/events.log", "--images", folder };
    // Each option follows a tab.
    for (size_t start = 0; start < options.size();)
    {
        const auto end = std::min (options.find ('\t', start + 1), options.size());
        args.push_back (options.substr (start + 1, end - start - 1));
        start = end;
    }

    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back (a.data());
    argv.push_back (nullptr);

    int fds[2] = { -1, -1 };
    pid_t pid = -1;
    bool started = false;

    if (pipe2 (fds, O_CLOEXEC) == 0)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init (&actions);
        posix_spawn_file_actions_adddup2 (&actions, fds[1], STDOUT_FILENO);
        started = posix_spawn (&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy (&actions);
        ::close (fds[1]);
    }

    std::string path;

    if (started)
    {
        childPid = pid;

        // Its first line names the end the host opens.
        for (char c = 0; ::read (fds[0], &c, 1) == 1 && c != '\n';)
            path += c;
    }

    if (path.empty())
    {
        sendLine (connection, "error simdevice did not start");
    }
    else
    {
        pointLinkAt (path);
        sendLine (connection, "ready " + folder);

        // Anything more it prints is drained, so that it never blocks on us.
        std::string line;
        bool stopAsked = false;

        for (;;)
        {
            pollfd p[2] = { { connection, POLLIN, 0 }, { fds[0], POLLIN, 0 } };

            if (poll (p, 2, -1) < 0 && errno != EINTR)
                break;

            if ((p[1].revents & (POLLIN | POLLHUP)) != 0)
            {
                char buffer[4096];
                if (::read (fds[0], buffer, sizeof buffer) <= 0)
                    p[1].fd = -1;
            }

            if ((p[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
            {
                stopAsked = readLine (connection, line) && line == "stop";
                break;
            }
        }

        kill (pid, SIGTERM);
        const int status = waitForChild (pid);
        childPid = 0;
        started = false;

        if (stopAsked && sendLine (connection, "exit " + std::to_string (status)))
        {
            // The test reads the events and images before it hangs up.
            char c;
            while (::recv (connection, &c, 1, 0) > 0)
            {
            }
        }
    }

    if (started)
    {
        kill (pid, SIGKILL);
        waitpid (pid, nullptr, 0);
        childPid = 0;
    }

    if (fds[0] >= 0)
        ::close (fds[0]);

    std::error_code ignored;
    std::filesystem::remove_all (folder, ignored);
}
}

int main (int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::string option = argv[i];

        if (option == "--simdevice")
            simdevicePath = argv[i + 1];
        else if (option == "--link")
            linkPath = argv[i + 1];
    }

    if (simdevicePath.empty() || linkPath.empty())
    {
        std::fprintf (stderr, "usage: linebridge --simdevice PATH --link PATH\n");
        return 2;
    }

    signal (SIGPIPE, SIG_IGN);
    signal (SIGTERM, onTerminate);
    signal (SIGINT, onTerminate);

    Pty idle;

    if (! idle.open())
    {
        std::perror ("linebridge: openpty");
        return 1;
    }

    pointLinkAt (idle.path);

    const int listener = socket (AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    socklen_t length = sizeof address;

    if (listener < 0 || bind (listener, (sockaddr*) &address, sizeof address) != 0 || listen (listener, 4) != 0
        || getsockname (listener, (sockaddr*) &address, &length) != 0)
    {
        std::perror ("linebridge: listen");
        return 1;
    }

    std::printf ("port %d\n", ntohs (address.sin_port));
    std::fflush (stdout);

    for (;;)
    {
        const int connection = accept4 (listener, nullptr, nullptr, SOCK_CLOEXEC);

        if (connection < 0)
        {
            if (errno == EINTR)
                continue;
            std::perror ("linebridge: accept");
            return 1;
        }

        const int one = 1;
        setsockopt (connection, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

        std::string request;

        if (readLine (connection, request))
        {
            if (request == "raw")
                relay (connection);
            else if (request == "sim" || request.rfind ("sim\t", 0) == 0)
                simulate (connection, request.substr (3));
            else
                sendLine (connection, "error unknown request");
        }

        ::close (connection);
        pointLinkAt (idle.path);
    }
}
