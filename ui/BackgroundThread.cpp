#include "BackgroundThread.h"

#include "MyMsg.h"
#include "ProgressWindowKeys.h"

BackgroundThread::BackgroundThread (juce::MessageListener* ownerToUse)
    : juce::ThreadWithProgressWindow (TRANS ("Progress"), true, true, 10000, TRANS ("Cancel"), nullptr)
{
    setStatusMessage (TRANS ("Wait..."));
    setProgressWindowKeys (*getAlertWindow());
    owner = ownerToUse;
}

BackgroundThread::~BackgroundThread() = default;

void BackgroundThread::run()
{
    setStatusMessage (TRANS ("Prepare to do..."));
    double x = 0.0;

    while (! threadShouldExit())
    {
        setProgress (x);
        wait (100);
        x += 0.1;
    }
}

void BackgroundThread::threadComplete (bool userPressedCancel)
{
    if (userPressedCancel)
        postCancel();
}

void BackgroundThread::postCancel()
{
    if (owner != nullptr)
        owner->postMessage (new MyMsg (MSG_CANCEL, 0));
}
