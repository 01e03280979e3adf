#include "x11input.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <initializer_list>

bool SendShiftKeyToX11Window(unsigned long windowId)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    bool sent = true;
    for (int type : {KeyPress, KeyRelease}) {
        XEvent e{};
        e.xkey.type = type;
        e.xkey.display = display;
        e.xkey.window = windowId;
        e.xkey.root = DefaultRootWindow(display);
        e.xkey.keycode = XKeysymToKeycode(display, XK_Shift_L);
        e.xkey.same_screen = True;
        sent = XSendEvent(display, windowId, False, NoEventMask, &e) != 0 && sent;
    }
    XSync(display, False);
    XCloseDisplay(display);
    return sent;
}
