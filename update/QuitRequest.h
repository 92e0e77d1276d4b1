#pragma once

// Asks the running application to quit by the road of its close button:
// open boxes and windows are closed as cancelled first, so that none is left
// for the framework's shutdown to delete. Without an application (a test
// binary), ends the message loop.
void requestApplicationQuit();
