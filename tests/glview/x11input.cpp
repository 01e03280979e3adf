#include "x11input.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <initializer_list>

X11KeySender::X11KeySender() : m_display(XOpenDisplay(nullptr)) {}

X11KeySender::~X11KeySender()
{
    if (m_display)
        XCloseDisplay(static_cast<Display*>(m_display));
}

bool X11KeySender::SendShift(unsigned long windowId)
{
    Display* display = static_cast<Display*>(m_display);
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
    return sent;
}
