#pragma once

namespace platform
{
    // Message thread, once the framework's windowing is up (the program's
    // start, a test's main). The framework's loop handles window events when
    // the X connection becomes readable; an Xlib call that reads from it
    // elsewhere (a round trip from a timer or a paint) moves waiting events
    // into Xlib's own queue, where they would wait for the next X traffic, a
    // click for the next pointer move. From here on such events are handled
    // without further input. Nothing to do on Windows.
    void handleQueuedWindowEvents();

    // The events read from the X connection and not yet handled; for tests.
    int windowEventsInXlibQueue();
}
