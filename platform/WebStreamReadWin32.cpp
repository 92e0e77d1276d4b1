#include "WebStreamRead.h"

#include <windows.h>
#include <wininet.h>

// The framework's read ignores what InternetReadFile returns and makes no
// other call after it: its error is still the thread's last error here. A
// receive time-out or a reset connection must not pass for the end of the
// body, or a cut-off package would be taken as complete.
int platform::readWebStream (juce::WebInputStream& stream, void* dest, int numBytes)
{
    SetLastError (ERROR_SUCCESS);
    const auto count = stream.read (dest, numBytes);

    if (count > 0)
        return count;

    const auto error = GetLastError();
    const bool internetError = error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST;
    return internetError || error == ERROR_INVALID_HANDLE || stream.isError() ? -1 : 0;
}
