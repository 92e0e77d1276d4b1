#pragma once

#include <functional>

namespace platform
{
    // Program entry, before any thread starts (threads inherit it): SIGINT
    // and SIGTERM are held back in every thread, so that they interrupt no
    // wait of ours or the framework's (a wait that returns early and is tried
    // again at once spins), and only the quit handling below takes them.
    void holdQuitSignals();

    // Message thread, once the message manager exists. The first SIGINT or
    // SIGTERM calls onQuitSignal on the message thread instead of ending the
    // program where it stands, so that a signal takes the same road as the
    // close button; one more while that quit is under way ends the program at
    // once, as the signal's default action does. Signals that came before
    // count too. On Windows, which has no such signals, the close and
    // end-of-session messages to the program's windows call it instead.
    void installQuitHandling (std::function<void()> onQuitSignal);

    // Message thread, before the message manager goes. From then on a quit
    // signal has its default action.
    void removeQuitHandling();

    // While one exists, a quit signal also calls abort at once, on a thread
    // kept for the aborts: for work that holds the message thread (the update
    // list's fetch), which would hear of the quit only once it ends. An abort
    // that takes long holds up no second signal. A signal that came before
    // calls it in the constructor. abort must be safe to call from another
    // thread; it is not called once the destructor has returned, which waits
    // for a call under way.
    class AbortOnQuitSignal
    {
    public:
        explicit AbortOnQuitSignal (std::function<void()> abort);
        ~AbortOnQuitSignal();

        AbortOnQuitSignal (const AbortOnQuitSignal&) = delete;
        AbortOnQuitSignal& operator= (const AbortOnQuitSignal&) = delete;

    private:
        std::function<void()> abort;
    };

    // The framework's quit. On Linux the message loop sleeps until a
    // descriptor it watches is readable, and a quit posted from inside a
    // nested loop can leave an outer level asleep after the quit has been
    // received (no message is accepted after a quit to wake it): this keeps
    // every level awake until the loop has ended.
    void quitMessageLoop();
}
