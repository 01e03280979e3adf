#include "x11_probe.h"

// Xlib's macros (None, Bool, Status ...) clash with Qt's names: after Qt.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

struct X11Probe::Connection
{
    Display* display = nullptr;
};

namespace {

QByteArray property(Display* d, Window w, const char* name)
{
    const Atom atom = XInternAtom(d, name, False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    QByteArray out;
    if (XGetWindowProperty(d, w, atom, 0, 1024, False, AnyPropertyType, &type, &format, &count, &after, &data)
            == Success
        && data && format == 8)
        out = QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(count));
    if (data)
        XFree(data);
    return out;
}

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0; // a window that went away between two requests
}

} // namespace

X11Probe::X11Probe(const QString& display)
    : m_x(new Connection)
{
    XSetErrorHandler(ignoreErrors);
    m_x->display = XOpenDisplay(display.toLocal8Bit().constData());
}

X11Probe::~X11Probe()
{
    if (m_x->display)
        XCloseDisplay(m_x->display);
}

bool X11Probe::connected() const
{
    return m_x->display != nullptr;
}

X11Probe::TopLevel X11Probe::mappedWindow(const QString& title) const
{
    TopLevel found;
    Display* d = m_x->display;
    if (!d)
        return found;
    Window root = DefaultRootWindow(d), parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &count))
        return found;
    const QByteArray wanted = title.toUtf8();
    for (unsigned int i = 0; i < count && !found.id; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable)
            continue;
        if (property(d, children[i], "_NET_WM_NAME") != wanted && property(d, children[i], "WM_NAME") != wanted)
            continue;
        found.id = children[i];
        found.geometry = QRect(a.x, a.y, a.width, a.height);
    }
    if (children)
        XFree(children);
    return found;
}

QImage X11Probe::screen(const QRect& area) const
{
    Display* d = m_x->display;
    if (!d || area.isEmpty())
        return QImage();
    XImage* shot = XGetImage(d, DefaultRootWindow(d), area.x(), area.y(), static_cast<unsigned>(area.width()),
                             static_cast<unsigned>(area.height()), AllPlanes, ZPixmap);
    if (!shot)
        return QImage();
    QImage out(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            const unsigned long p = XGetPixel(shot, x, y);
            line[x] = qRgb(static_cast<int>((p & shot->red_mask) >> 16), static_cast<int>((p & shot->green_mask) >> 8),
                           static_cast<int>(p & shot->blue_mask));
        }
    }
    XDestroyImage(shot);
    return out;
}

bool X11Probe::askToClose(unsigned long window) const
{
    Display* d = m_x->display;
    if (!d || !window)
        return false;
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(d, window, False, NoEventMask, &e) != 0;
    XFlush(d);
    return sent;
}
