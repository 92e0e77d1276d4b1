// silent_name_server <folder> <program> [arguments...]
//
// Run inside fresh mount and network namespaces (unshare -rmn): brings the
// loopback up, makes 127.0.0.1 the only name server, with one attempt of 30 s
// (a private resolv.conf and nsswitch.conf bound over the system's), and
// takes the queries there without ever answering, as a dead DNS entry does.
// Each query's name is appended as a line to <folder>/name-queries. Then it
// becomes the program: the same process, so its id and signals are the
// program's. The listener is a child that ends with the program.
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
    [[noreturn]] void fail (const char* what)
    {
        std::fprintf (stderr, "silent_name_server: %s: %s\n", what, std::strerror (errno));
        ::_exit (111);
    }

    void writeFile (const std::string& path, const char* text)
    {
        FILE* file = std::fopen (path.c_str(), "w");

        if (file == nullptr || std::fputs (text, file) < 0 || std::fclose (file) != 0)
            fail (path.c_str());
    }

    // Without the file (or with a dangling link) glibc's default holds: the
    // name server on 127.0.0.1, names looked up in DNS.
    void bindOver (const std::string& source, const char* target)
    {
        if (::mount (source.c_str(), target, nullptr, MS_BIND, nullptr) != 0 && errno != ENOENT)
            fail (target);
    }

    void loopbackUp()
    {
        const int fd = ::socket (AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq request {};
        std::strncpy (request.ifr_name, "lo", IFNAMSIZ - 1);

        if (fd < 0 || ::ioctl (fd, SIOCGIFFLAGS, &request) != 0)
            fail ("lo");

        request.ifr_flags = (short) (request.ifr_flags | IFF_UP);

        if (::ioctl (fd, SIOCSIFFLAGS, &request) != 0)
            fail ("lo up");

        ::close (fd);
    }

    // The query's name, from its question section.
    std::string queriedName (const unsigned char* data, ssize_t size)
    {
        std::string name;

        for (ssize_t at = 12; at < size && data[at] != 0 && at + data[at] < size; at += data[at] + 1)
        {
            if (! name.empty())
                name += '.';

            name.append (reinterpret_cast<const char*> (data + at + 1), data[at]);
        }

        return name;
    }

    [[noreturn]] void listen (int fd, const std::string& queriesPath, pid_t program)
    {
        // The program's end ends this too.
        ::prctl (PR_SET_PDEATHSIG, SIGKILL);

        if (::getppid() != program)
            ::_exit (0);

        for (;;)
        {
            unsigned char query[1500];
            const auto size = ::recv (fd, query, sizeof (query), 0);

            if (size < 0)
            {
                if (errno == EINTR)
                    continue;

                ::_exit (1);
            }

            const auto line = queriedName (query, size) + "\n";
            const int out = ::open (queriesPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);

            if (out >= 0)
            {
                [[maybe_unused]] const auto written = ::write (out, line.data(), line.size());
                ::close (out);
            }
        }
    }
}

int main (int argc, char* argv[])
{
    if (argc < 3)
    {
        std::fprintf (stderr, "usage: silent_name_server <folder> <program> [arguments...]\n");
        return 2;
    }

    const std::string folder = argv[1];
    writeFile (folder + "/resolv.conf", "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n");
    // Names go to the files and then to DNS only, whatever this machine adds.
    writeFile (folder + "/nsswitch.conf", "passwd: files\ngroup: files\nshadow: files\nhosts: files dns\n");
    bindOver (folder + "/resolv.conf", "/etc/resolv.conf");
    ::setenv ("RES_OPTIONS", "timeout:30 attempts:1", 1);
    bindOver (folder + "/nsswitch.conf", "/etc/nsswitch.conf");
    loopbackUp();

    // Bound before the program starts: its first query finds the listener.
    const int fd = ::socket (AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons (53);
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);

    if (fd < 0 || ::bind (fd, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) != 0)
        fail ("bind 127.0.0.1:53");

    const auto program = ::getpid();
    const auto child = ::fork();

    if (child < 0)
        fail ("fork");

    if (child == 0)
        listen (fd, folder + "/name-queries", program);

    ::close (fd);
    ::execvp (argv[2], argv + 2);
    fail (argv[2]);
}
