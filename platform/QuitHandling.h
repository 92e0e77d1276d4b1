#pragma once

#include <functional>

namespace platform
{
    // Message thread, once the message manager exists: SIGINT and SIGTERM
    // call onQuitSignal on the message thread instead of ending the program
    // where it stands (or, for SIGINT, of the framework's own quit), so that
    // a signal takes the same road as the close button.
    void installQuitHandling (std::function<void()> onQuitSignal);

    // Message thread, before the message manager goes.
    void removeQuitHandling();

    // The framework's quit. On Linux the message loop sleeps until a
    // descriptor it watches is readable, and a quit posted from inside a
    // nested loop can leave an outer level asleep after the quit has been
    // received (no message is accepted after a quit to wake it): this keeps
    // every level awake until the loop has ended.
    void quitMessageLoop();
}
