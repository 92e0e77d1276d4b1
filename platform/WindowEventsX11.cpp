#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_events/native/juce_linux_EventLoopInternal.h>

#include "WindowEvents.h"

#include <X11/Xproto.h>

#include <array>
#include <atomic>

// Xlib turns every event it reads from the connection into an XEvent through
// a converter per event type, whichever call did the reading. Each converter
// is wrapped: once an event is queued, a message is posted, which wakes the
// loop and hands the queue to the framework's own X callback. A message, not
// a descriptor of our own: the framework's loop walks the callbacks of one
// pass in a list that a nested modal loop rebuilds, and each more descriptor
// ready in a pass makes that walk more likely to meet a rebuilt list.
namespace
{
    using WireToEvent = Bool (*) (Display*, XEvent*, xEvent*);
    using SetWireToEvent = WireToEvent (*) (Display*, int, WireToEvent);

    constexpr int firstEventType = 2, eventTypes = 128;   // 0 and 1 are errors and replies

    struct Hook
    {
        juce::DynamicLibrary xlib;
        Display* display = nullptr;
        std::array<WireToEvent, eventTypes> converters {};
        std::atomic<bool> wakePosted { false };
    };

    // Never destroyed: Xlib may call a converter until its display is closed.
    Hook& hook()
    {
        static auto* h = new Hook();
        return *h;
    }

    Display* display()
    {
        auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
        return windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;
    }

    void handleQueue()
    {
        hook().wakePosted = false;
        auto* d = display();

        // The display is the one hooked, and not closed meanwhile.
        if (d == nullptr || d != hook().display)
            return;

        auto* x = juce::X11Symbols::getInstance();

        if (x->xEventsQueued (d, QueuedAlready) > 0)
            juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (x->xConnectionNumber (d));
    }

    // Called by Xlib, with its display locked, on the thread that reads.
    Bool convertAndWake (Display* d, XEvent* event, xEvent* wire)
    {
        auto& h = hook();
        const auto converter = h.converters[(size_t) (wire->u.u.type & 0x7f)];

        if (converter == nullptr || ! converter (d, event, wire))
            return False;

        // One message for all that is read before it is handled.
        if (! h.wakePosted.exchange (true) && ! juce::MessageManager::callAsync (handleQueue))
            h.wakePosted = false;

        return True;
    }
}

void platform::handleQueuedWindowEvents()
{
    auto& h = hook();
    auto* d = juce::XWindowSystem::getInstance()->getDisplay();

    if (d == nullptr || h.display == d)
        return;

    if (h.xlib.getNativeHandle() == nullptr && ! h.xlib.open ("libX11.so.6"))
        return;

    const auto setWireToEvent = reinterpret_cast<SetWireToEvent> (h.xlib.getFunction ("XESetWireToEvent"));

    if (setWireToEvent == nullptr)
        return;

    const juce::XWindowSystemUtilities::ScopedXLock xLock;
    h.display = d;

    for (int type = firstEventType; type < eventTypes; ++type)
        h.converters[(size_t) type] = setWireToEvent (d, type, convertAndWake);
}

int platform::windowEventsInXlibQueue()
{
    auto* d = display();
    return d != nullptr ? juce::X11Symbols::getInstance()->xEventsQueued (d, QueuedAlready) : 0;
}
