// Sends a window the window manager's close request, WM_DELETE_WINDOW, as a
// ClientMessage, as Alt+F4 or a taskbar's "Close" do. With --intern it only
// creates the atoms that a window manager would have created, which a
// program looks up when it opens its windows (a bare Xvfb lacks them; start
// it with -noreset so that they outlive this client).
//
//     x11_close_request --intern
//     x11_close_request <window id>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main (int argc, char* argv[])
{
    if (argc != 2)
    {
        std::fprintf (stderr, "usage: %s --intern | <window id>\n", argv[0]);
        return 2;
    }

    Display* display = XOpenDisplay (nullptr);

    if (display == nullptr)
    {
        std::fprintf (stderr, "cannot open the display\n");
        return 1;
    }

    const Atom protocols = XInternAtom (display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom (display, "WM_DELETE_WINDOW", False);

    if (std::strcmp (argv[1], "--intern") != 0)
    {
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = (Window) std::strtoul (argv[1], nullptr, 0);
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long) deleteWindow;
        event.xclient.data.l[1] = CurrentTime;

        if (XSendEvent (display, event.xclient.window, False, NoEventMask, &event) == 0)
        {
            std::fprintf (stderr, "XSendEvent failed\n");
            XCloseDisplay (display);
            return 1;
        }
    }

    XSync (display, False);
    XCloseDisplay (display);
    return 0;
}
