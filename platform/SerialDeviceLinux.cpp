// Serial lines on Linux. Any rate goes through termios2 and BOTHER, whose
// header clashes with <termios.h>: this file talks to the tty with ioctl only.
#include "SerialDevice.h"
#include "SerialInfoLinux.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace platform
{
    struct SerialPortState
    {
        int fd = -1;
        SerialTimeouts timeouts;
        bool lost = false;
        bool lowLatencySet = false;   // by us, so closing takes it back
    };
}

namespace
{
    using namespace platform;

    static_assert (sizeof (termios2) <= sizeof (LineSettings::native), "termios2 must fit the native settings");

    timespec now()
    {
        timespec t {};
        clock_gettime (CLOCK_MONOTONIC, &t);
        return t;
    }

    timespec later (timespec t, std::uint64_t ms)
    {
        t.tv_sec += (time_t) (ms / 1000);
        t.tv_nsec += (long) (ms % 1000) * 1000000L;

        if (t.tv_nsec >= 1000000000L)
        {
            ++t.tv_sec;
            t.tv_nsec -= 1000000000L;
        }

        return t;
    }

    // Time left until the deadline, zero when it has passed.
    timespec remaining (const timespec& deadline)
    {
        const auto t = now();
        timespec r { deadline.tv_sec - t.tv_sec, deadline.tv_nsec - t.tv_nsec };

        if (r.tv_nsec < 0)
        {
            --r.tv_sec;
            r.tv_nsec += 1000000000L;
        }

        if (r.tv_sec < 0)
            r = {};

        return r;
    }

    void sleepUntil (const timespec& deadline)
    {
        while (clock_nanosleep (CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR)
        {
        }
    }

    enum class Wait { ready, timedOut, gone, failed };

    // Waits for the events or the deadline. A hang-up or error on the line is
    // reported as such, so that callers can sit out their time instead of spinning.
    Wait waitFor (int fd, short events, const timespec& deadline)
    {
        for (;;)
        {
            pollfd p { fd, events, 0 };
            auto left = remaining (deadline);
            const int r = ppoll (&p, 1, &left, nullptr);

            if (r < 0)
            {
                if (errno == EINTR)
                    continue;

                return Wait::failed;
            }

            if (r == 0)
                return Wait::timedOut;

            if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
                return Wait::gone;

            return Wait::ready;
        }
    }

    // What a tty answers once its device has been unplugged or hung up.
    bool isGoneError (int error)
    {
        return error == EIO || error == ENODEV || error == ENXIO;
    }

    int systemIoctl (int fd, unsigned long request, serial_struct* info)
    {
        return ::ioctl (fd, request, info);
    }

    std::atomic<SerialInfoCall> serialInfoCall { systemIoctl };

    // FTDI adapters hold short replies for their latency timer (16 ms by
    // default); low latency brings it to 1 ms. Drivers without the setting
    // (a pseudo-terminal answers ENOTTY) and a refused change leave the port as it was.
    bool askForLowLatency (int fd)
    {
        const int saved = errno;
        serial_struct info {};
        bool set = false;

        if (serialInfoCall.load() (fd, TIOCGSERIAL, &info) == 0 && (info.flags & ASYNC_LOW_LATENCY) == 0)
        {
            info.flags |= ASYNC_LOW_LATENCY;
            set = serialInfoCall.load() (fd, TIOCSSERIAL, &info) == 0;
        }

        errno = saved;
        return set;
    }

    void restoreLatency (int fd)
    {
        serial_struct info {};

        if (serialInfoCall.load() (fd, TIOCGSERIAL, &info) == 0 && (info.flags & ASYNC_LOW_LATENCY) != 0)
        {
            info.flags &= ~(int) ASYNC_LOW_LATENCY;
            serialInfoCall.load() (fd, TIOCSSERIAL, &info);
        }
    }

    std::uint32_t totalMs (std::uint32_t multiplier, std::uint32_t constant, std::uint32_t length)
    {
        return (std::uint32_t) std::min<std::uint64_t> ((std::uint64_t) multiplier * length + constant, 0xffffffffu);
    }

    bool getTermios (int fd, termios2& t)
    {
        return ioctl (fd, TCGETS2, &t) == 0;
    }

    bool setTermios (int fd, const termios2& t)
    {
        return ioctl (fd, TCSETS2, &t) == 0;
    }

    bool isValid (SerialHandle h)
    {
        return h != invalidSerialHandle && h->fd >= 0;
    }
}

namespace platform
{
    SerialHandle openSerial (const char* utf8Path, int& errorCode)
    {
        errorCode = 0;

        auto fail = [&errorCode] (int fd)
        {
            // A port locked by another open is busy, not "try again".
            errorCode = errno == EWOULDBLOCK ? EBUSY : (errno > 0 ? errno : EIO);

            if (fd >= 0)
                ::close (fd);

            return invalidSerialHandle;
        };

        // Non-blocking, so that neither the open nor a write waits for a carrier or a held line.
        const int fd = ::open (utf8Path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);

        if (fd < 0)
            return fail (fd);

        // TIOCEXCL keeps other users out but not the superuser; the lock does.
        // Take the lock first, so that a refused open never touches the holder's flag.
        if (flock (fd, LOCK_EX | LOCK_NB) != 0)
            return fail (fd);

        // Not a terminal: the time-outs step refuses it.
        if (ioctl (fd, TIOCEXCL) != 0 && errno != ENOTTY)
            return fail (fd);

        auto* state = new SerialPortState();
        state->fd = fd;
        state->lowLatencySet = askForLowLatency (fd);
        return state;
    }

    void setSerialInfoCall (SerialInfoCall call)
    {
        serialInfoCall = call != nullptr ? call : systemIoctl;
    }

    bool setQueueSizes (SerialHandle h, std::uint32_t, std::uint32_t)
    {
        // The tty layer sizes its own queues.
        return isValid (h);
    }

    bool setTimeouts (SerialHandle h, const SerialTimeouts& timeouts)
    {
        termios2 t {};

        if (! isValid (h) || ! getTermios (h->fd, t))
            return false;

        // The waiting is done with poll; the tty itself never holds a read.
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;

        if (! setTermios (h->fd, t))
            return false;

        h->timeouts = timeouts;
        return true;
    }

    bool getLineSettings (SerialHandle h, LineSettings& settings)
    {
        termios2 t {};

        if (! isValid (h) || ! getTermios (h->fd, t))
            return false;

        settings.baudRate = t.c_ospeed;

        switch (t.c_cflag & CSIZE)
        {
            case CS5:  settings.byteSize = 5; break;
            case CS6:  settings.byteSize = 6; break;
            case CS7:  settings.byteSize = 7; break;
            default:   settings.byteSize = 8; break;
        }

        if ((t.c_cflag & PARENB) == 0)
            settings.parity = parityNone;
        else if ((t.c_cflag & CMSPAR) != 0)
            settings.parity = (t.c_cflag & PARODD) != 0 ? parityMark : paritySpace;
        else
            settings.parity = (t.c_cflag & PARODD) != 0 ? parityOdd : parityEven;

        settings.stopBits = (t.c_cflag & CSTOPB) != 0 ? (settings.byteSize == 5 ? stopBitsOneAndHalf : stopBitsTwo)
                                                      : stopBitsOne;

        std::memcpy (settings.native, &t, sizeof t);
        return true;
    }

    bool setLineSettings (SerialHandle h, const LineSettings& settings)
    {
        if (! isValid (h) || settings.baudRate == 0 || settings.byteSize < 5 || settings.byteSize > 8)
            return false;

        termios2 t {};
        std::memcpy (&t, settings.native, sizeof t);

        t.c_cflag &= ~(tcflag_t) (CBAUD | (CBAUD << IBSHIFT));
        t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
        t.c_ospeed = settings.baudRate;
        t.c_ispeed = settings.baudRate;

        static constexpr tcflag_t sizes[] = { CS5, CS6, CS7, CS8 };
        t.c_cflag &= ~(tcflag_t) CSIZE;
        t.c_cflag |= sizes[settings.byteSize - 5];

        t.c_cflag &= ~(tcflag_t) (PARENB | PARODD | CMSPAR);

        switch (settings.parity)
        {
            case parityNone:  break;
            case parityOdd:   t.c_cflag |= PARENB | PARODD; break;
            case parityEven:  t.c_cflag |= PARENB; break;
            case parityMark:  t.c_cflag |= PARENB | CMSPAR | PARODD; break;
            case paritySpace: t.c_cflag |= PARENB | CMSPAR; break;
            default:          return false;
        }

        if (settings.stopBits == stopBitsOne)
            t.c_cflag &= ~(tcflag_t) CSTOPB;
        else
            t.c_cflag |= CSTOPB;

        // Bytes pass unchanged, as on a Win32 port: no line editing, echo,
        // signals or CR/LF translation, and no carrier that could hang the line up.
        // XON/XOFF is the terminal layer's, not the driver's, and every new tty
        // starts with it on: one stray 0x13 from the device would stop all
        // output. Hardware flow control (CRTSCTS) stays as configured.
        t.c_iflag &= ~(tcflag_t) (IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL
                                  | IXON | IXOFF | IXANY);
        t.c_oflag &= ~(tcflag_t) OPOST;
        t.c_lflag &= ~(tcflag_t) (ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        t.c_cflag |= CREAD | CLOCAL;

        if (! setTermios (h->fd, t))
            return false;

        // Most drivers take any rate and set the nearest they can make; one
        // further off than a UART tolerates counts as refused.
        termios2 check {};

        if (! getTermios (h->fd, check))
            return false;

        const auto wanted = (double) settings.baudRate;
        const auto got = (double) check.c_ospeed;

        if (got > wanted * 0.97 && got < wanted * 1.03)
            return true;

        errno = EINVAL;
        return false;
    }

    bool purge (SerialHandle h, std::uint32_t flags)
    {
        if (! isValid (h))
            return false;

        // Nothing is ever pending in this synchronous backend, so the abort flags need no work.
        const bool rx = (flags & purgeRxClear) != 0;
        const bool tx = (flags & purgeTxClear) != 0;

        if (! rx && ! tx)
            return true;

        return ioctl (h->fd, TCFLSH, rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH)) == 0;
    }

    bool writeSerial (SerialHandle h, const void* data, std::uint32_t length, std::uint32_t& written)
    {
        written = 0;

        if (! isValid (h))
            return false;

        const auto deadline = later (now(), totalMs (h->timeouts.writeTotalMultiplier, h->timeouts.writeTotalConstant, length));
        const auto* bytes = static_cast<const std::uint8_t*> (data);

        while (written < length)
        {
            const auto n = ::write (h->fd, bytes + written, length - written);

            if (n > 0)
            {
                written += (std::uint32_t) n;
                continue;
            }

            if (n < 0 && errno == EINTR)
                continue;

            // With VMIN and VTIME at 0 a terminal reads 0 bytes for "nothing
            // yet"; whether the line has gone is for poll to tell.
            if (n == 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)))
            {
                const auto w = waitFor (h->fd, POLLOUT, deadline);

                if (w == Wait::timedOut)
                    return true;

                if (w == Wait::ready)
                    continue;

                if (w == Wait::gone)
                    h->lost = true;
            }
            else if (isGoneError (errno))
            {
                h->lost = true;
            }

            // The line has gone or failed. Sit out the time-out, so that a caller
            // who keeps writing to a dead line does not spin.
            const int error = errno;
            sleepUntil (deadline);
            errno = error;
            return written > 0;
        }

        return true;
    }

    bool readSerial (SerialHandle h, void* destination, std::uint32_t length, std::uint32_t& got)
    {
        got = 0;

        if (! isValid (h))
            return false;

        const auto deadline = later (now(), totalMs (h->timeouts.readTotalMultiplier, h->timeouts.readTotalConstant, length));
        auto* bytes = static_cast<std::uint8_t*> (destination);

        while (got < length)
        {
            const auto n = ::read (h->fd, bytes + got, length - got);

            if (n > 0)
            {
                got += (std::uint32_t) n;
                continue;
            }

            if (n < 0 && errno == EINTR)
                continue;

            bool failed = false;

            // With VMIN and VTIME at 0 a terminal reads 0 bytes for "nothing
            // yet"; whether the line has gone is for poll to tell, even when
            // the time is up (poll then only looks).
            if (n == 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)))
            {
                const auto w = waitFor (h->fd, POLLIN, deadline);

                if (w == Wait::timedOut)
                    return true;

                if (w == Wait::ready)
                    continue;

                // A hang-up may still leave bytes to read; the next read tells.
                std::uint32_t waiting = 0;

                if (w == Wait::gone && queuedInput (h, waiting) && waiting > 0)
                    continue;

                if (w == Wait::gone)
                    h->lost = true;
                else
                    failed = true;
            }
            else if (isGoneError (errno))
            {
                h->lost = true;
            }
            else
            {
                failed = true;
            }

            // The peer has gone, or the read failed. What was read stands;
            // otherwise this is silence, after the usual wait.
            if (got > 0)
                return true;

            const int error = errno;
            sleepUntil (deadline);
            errno = error;
            return ! failed;
        }

        return true;
    }

    bool queuedInput (SerialHandle h, std::uint32_t& count)
    {
        count = 0;
        int n = 0;

        if (! isValid (h))
            return false;

        if (ioctl (h->fd, FIONREAD, &n) != 0 || n < 0)
        {
            if (isGoneError (errno))
                h->lost = true;

            return false;
        }

        count = (std::uint32_t) n;
        return true;
    }

    bool waitForInput (SerialHandle h, int ms)
    {
        if (! isValid (h))
            return false;

        const auto deadline = later (now(), (std::uint64_t) (ms > 0 ? ms : 0));
        const auto w = waitFor (h->fd, POLLIN, deadline);

        if (w == Wait::ready)
            return true;

        if (w == Wait::timedOut)
            return false;

        std::uint32_t waiting = 0;

        if (w == Wait::gone && queuedInput (h, waiting) && waiting > 0)
            return true;

        if (w == Wait::gone)
            h->lost = true;

        sleepUntil (deadline);
        return false;
    }

    bool lineLost (SerialHandle h)
    {
        return isValid (h) && h->lost;
    }

    void closeSerial (SerialHandle h)
    {
        if (h == invalidSerialHandle)
            return;

        if (h->fd >= 0)
        {
            // The exclusive flag outlives the descriptor: clear it, or the next
            // open by an ordinary user is refused. Unsent output is dropped so
            // that a line held by flow control cannot hold up the close.
            ioctl (h->fd, TIOCNXCL);
            ioctl (h->fd, TCFLSH, TCOFLUSH);

            if (h->lowLatencySet && ! h->lost)
                restoreLatency (h->fd);

            ::close (h->fd);
        }

        delete h;
    }

    void sleepMs (int ms)
    {
        if (ms > 0)
            sleepUntil (later (now(), (std::uint64_t) ms));
    }

    int lastSystemError()
    {
        return errno;
    }

    std::string describeSystemError (int code)
    {
        char buffer[256] = {};
        // The GNU strerror_r, which may return a static text instead of filling the buffer.
        return strerror_r (code, buffer, sizeof buffer);
    }
}
