#pragma once

// Windows only: how the serial backend tells a line that has gone from a
// call that merely failed.
namespace platform
{
    // True for an error code with which calls on an open serial handle fail
    // once the line itself has gone (the adapter unplugged). The backend
    // tells ERROR_OPERATION_ABORTED after a line error, which also aborts
    // calls, from a gone line by clearing the error.
    bool isLostLineError (unsigned long error);
}
