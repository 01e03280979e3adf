#pragma once

// Looks at an X server from outside, as a person in front of it would: which
// top-level windows are mapped, what the screen shows where they stand; and
// asks a window to close as a window manager's close button does.

#include <QImage>
#include <QRect>
#include <QString>

#include <memory>

class X11Probe
{
public:
    explicit X11Probe(const QString& display);
    ~X11Probe();
    bool connected() const;

    struct TopLevel
    {
        unsigned long id = 0;
        QRect geometry; // on the screen
    };
    // The mapped (viewable) top-level window with this title, or id 0.
    TopLevel mappedWindow(const QString& title) const;
    // What the screen shows inside `area`.
    QImage screen(const QRect& area) const;
    // WM_DELETE_WINDOW, as a window manager sends it.
    bool askToClose(unsigned long window) const;

private:
    struct Connection;
    std::unique_ptr<Connection> m_x;
};
