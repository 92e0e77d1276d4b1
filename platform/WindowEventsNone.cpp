#include "WindowEvents.h"

// The system's own message queue holds window events until they are taken.
void platform::handleQueuedWindowEvents()
{
}

int platform::windowEventsInXlibQueue()
{
    return 0;
}
