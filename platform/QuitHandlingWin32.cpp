#include "QuitHandling.h"

#include <windows.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include <map>

// A window program without a console gets no console signals: what asks it
// to end comes as window messages, to each of its top-level windows. The
// framework's answers to them are replaced here, on every such window of the
// message thread:
// - WM_CLOSE, and the system menu's Close (Alt+F4, the taskbar's Close, a
//   window manager's close under Wine): the framework ignores them while a
//   modal window is up, and a window of its own that belongs to no
//   component (the hidden message window) would be destroyed, leaving the
//   program deaf. A component's window is now closed as by its close button
//   whatever is up, as on Linux (the main window quits, a box or progress
//   window is cancelled); any other window starts the quit.
// - WM_QUERYENDSESSION: answered TRUE. The framework started its quit there
//   and answered FALSE while a window was up, which held the logoff.
// - WM_ENDSESSION: the session may end soon after every program has
//   returned, so the quit is run before returning, up to the end of the
//   message loop: windows closed as cancelled. The application's shutdown,
//   which closes the port, follows at once. (Run from within this message,
//   the shutdown left the process hanging on its way out under Wine.)
namespace
{
    constexpr juce::uint32 sessionEndMs = 5000;

    std::function<void()> quitCallback;
    std::map<HWND, WNDPROC> previousProcs;
    HHOOK creationHook = nullptr;
    bool sessionEnded = false;

    juce::ComponentPeer* peerOf (HWND window)
    {
        for (int i = juce::ComponentPeer::getNumPeers(); --i >= 0;)
            if (auto* peer = juce::ComponentPeer::getPeer (i))
                if (peer->getNativeHandle() == window)
                    return peer;

        return nullptr;
    }

    void closeRequested (HWND window)
    {
        if (auto* peer = peerOf (window))
            peer->handleUserClosingWindow();
        else
            quitCallback();
    }

    void endSession()
    {
        if (sessionEnded)
            return;

        sessionEnded = true;
        quitCallback();

        auto* messages = juce::MessageManager::getInstance();
        const auto end = juce::Time::getMillisecondCounter() + sessionEndMs;

        while (! messages->hasStopMessageBeenSent() && juce::Time::getMillisecondCounter() < end)
            messages->runDispatchLoopUntil (10);

        juce::JUCEApplicationBase::quit();
    }

    LRESULT CALLBACK quitMessageProc (HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        const auto found = previousProcs.find (window);

        if (found == previousProcs.end())
            return DefWindowProcW (window, message, wParam, lParam);

        const auto previous = found->second;

        if (quitCallback != nullptr)
        {
            switch (message)
            {
                case WM_CLOSE:
                    closeRequested (window);
                    return 0;

                case WM_SYSCOMMAND:
                    if ((wParam & 0xfff0) != SC_CLOSE)
                        break;

                    closeRequested (window);
                    return 0;

                case WM_QUERYENDSESSION:
                    return TRUE;

                case WM_ENDSESSION:
                    if (wParam != FALSE)
                        endSession();

                    return 0;

                default:
                    break;
            }
        }

        if (message == WM_NCDESTROY)
            previousProcs.erase (window);

        return CallWindowProcW (previous, window, message, wParam, lParam);
    }

    void watch (HWND window)
    {
        if (previousProcs.count (window) != 0)
            return;

        if (const auto previous = SetWindowLongPtrW (window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR> (&quitMessageProc)))
            previousProcs[window] = reinterpret_cast<WNDPROC> (previous);
    }

    bool isTopLevel (LONG_PTR style)
    {
        return (style & WS_CHILD) == 0;
    }

    // Every top-level window made on this thread from now on.
    LRESULT CALLBACK creationHookProc (int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND)
            if (isTopLevel (reinterpret_cast<CBT_CREATEWNDW*> (lParam)->lpcs->style))
                watch (reinterpret_cast<HWND> (wParam));

        return CallNextHookEx (creationHook, code, wParam, lParam);
    }
}

// No signals to hold: see above.
void platform::holdQuitSignals()
{
}

void platform::installQuitHandling (std::function<void()> onQuitSignal)
{
    if (creationHook != nullptr)
        return;

    quitCallback = std::move (onQuitSignal);
    sessionEnded = false;
    creationHook = SetWindowsHookExW (WH_CBT, &creationHookProc, nullptr, GetCurrentThreadId());

    // And those made before, the framework's hidden message window among them.
    EnumThreadWindows (GetCurrentThreadId(),
                       [] (HWND window, LPARAM) -> BOOL
                       {
                           if (isTopLevel (GetWindowLongPtrW (window, GWL_STYLE)))
                               watch (window);

                           return TRUE;
                       },
                       0);
}

// The windows keep their handler, which passes everything on from now on.
void platform::removeQuitHandling()
{
    if (creationHook != nullptr)
        UnhookWindowsHookEx (creationHook);

    creationHook = nullptr;
    quitCallback = nullptr;
}

platform::AbortOnQuitSignal::AbortOnQuitSignal (std::function<void()> abortToUse)
    : abort (std::move (abortToUse))
{
}

platform::AbortOnQuitSignal::~AbortOnQuitSignal() = default;

void platform::quitMessageLoop()
{
    juce::JUCEApplicationBase::quit();
}
