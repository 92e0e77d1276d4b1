#include "PortList.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{
namespace
{
    std::vector<std::string> entriesOf (const char* folder)
    {
        std::vector<std::string> names;

        if (auto* dir = opendir (folder))
        {
            while (auto* entry = readdir (dir))
                if (entry->d_name[0] != '.')
                    names.emplace_back (entry->d_name);

            closedir (dir);
        }

        return names;
    }

    bool exists (const std::string& path)
    {
        struct stat st;
        return stat (path.c_str(), &st) == 0;
    }

    // The serial core reports a port type; 0 is PORT_UNKNOWN, the 8250 driver's
    // placeholders for UARTs that are not there. Without the attribute the
    // driver is asked directly.
    bool isPhantomUart (const std::string& name)
    {
        std::ifstream typeFile ("/sys/class/tty/" + name + "/type");
        int type = -1;

        if (typeFile >> type)
            return type == PORT_UNKNOWN;

        char driver[PATH_MAX] = {};
        const auto link = "/sys/class/tty/" + name + "/device/driver";

        if (readlink (link.c_str(), driver, sizeof (driver) - 1) <= 0 || std::strstr (driver, "8250") == nullptr)
            return false;

        const int fd = open (("/dev/" + name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);

        if (fd < 0)
            return errno != EBUSY;   // a port in use is there

        serial_struct info {};
        const bool phantom = ioctl (fd, TIOCGSERIAL, &info) != 0 || info.type == PORT_UNKNOWN;
        close (fd);
        return phantom;
    }

    // A tty entry with a device behind it: not a virtual console or pty.
    bool isHardwarePort (const std::string& name)
    {
        return exists ("/sys/class/tty/" + name + "/device")
            && exists ("/dev/" + name)
            && ! isPhantomUart (name);
    }

    // A /dev/tty* symbolic link to a pseudo-terminal, as socat makes for a
    // virtual null-modem cable.
    bool isPseudoTerminalLink (const std::string& name)
    {
        const auto path = "/dev/" + name;
        struct stat st;

        if (name.compare (0, 3, "tty") != 0 || lstat (path.c_str(), &st) != 0 || ! S_ISLNK (st.st_mode))
            return false;

        char target[PATH_MAX] = {};

        // /dev/pts/<number>: a pseudo-terminal, not the multiplexer /dev/pts/ptmx.
        if (realpath (path.c_str(), target) == nullptr || std::strncmp (target, "/dev/pts/", 9) != 0
             || target[9] == 0 || std::strspn (target + 9, "0123456789") != std::strlen (target + 9))
            return false;

        return stat (target, &st) == 0 && S_ISCHR (st.st_mode);
    }
}

std::vector<std::string> listSerialPorts()
{
    std::vector<std::string> ports;

    for (const auto& name : entriesOf ("/sys/class/tty"))
        if (isHardwarePort (name))
            ports.push_back (name);

    for (const auto& name : entriesOf ("/dev"))
        if (isPseudoTerminalLink (name))
            ports.push_back (name);

    // ttyS2 before ttyS10.
    std::sort (ports.begin(), ports.end(), [] (const std::string& a, const std::string& b)
    {
        return strverscmp (a.c_str(), b.c_str()) < 0;
    });
    ports.erase (std::unique (ports.begin(), ports.end()), ports.end());

    if (ports.size() > (size_t) maxListedPorts)
        ports.resize ((size_t) maxListedPorts);

    return ports;
}
}
