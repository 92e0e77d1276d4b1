#pragma once

namespace platform
{
    // Threads that nobody joins: work left to end by itself, such as a
    // download that the network holds up. Such a thread may still be in the
    // framework's or a library's code when the program's shutdown begins, and
    // the static objects that code uses are destroyed once the entry returns.

    // Call on the starting thread before the thread is made, and as the very
    // last thing the thread does, once everything it held is released.
    void detachedThreadStarted();
    void detachedThreadEnded();

    // Program entry, once the framework's main has returned: gives the
    // threads above up to waitMs to end, and when one still runs, ends the
    // process here with status, before any static object is destroyed.
    // Otherwise returns status, for the entry to return.
    int endProgram (int status, int waitMs = 500);

    // How many of them run now; for tests.
    int detachedThreadsRunning();
}
