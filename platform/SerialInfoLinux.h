#pragma once

// Linux only: the serial driver's own settings (struct serial_struct), where
// the serial layer asks for low latency when it opens a port.
struct serial_struct;

namespace platform
{
    // TIOCGSERIAL and TIOCSSERIAL go through this call, with ioctl's result
    // and errno, so that a test can play a driver. Null puts ioctl back.
    using SerialInfoCall = int (*) (int fd, unsigned long request, serial_struct* info);
    void setSerialInfoCall (SerialInfoCall);
}
