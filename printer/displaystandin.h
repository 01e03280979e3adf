#pragma once

#include <QList>
#include <QPair>
#include <QPoint>
#include <QRect>

#include <functional>

// The desktop as a direct print sees it: the screen list (the projector is a
// second screen) and the operating system's display-mode switch. Both are
// replaceable so that machines without a projector can run and test the path.
namespace DisplayStandIn {

struct Screens
{
    QList<QRect> geometries; // in the desktop's order
    int primary = 0;         // index into geometries
};

using ScreenSource = std::function<Screens()>;
// Empty restores the real desktop.
void setScreenSource(ScreenSource source);
Screens screens();
int screenCount();

// (index, geometry) of at most `limit` screens: the primary first, then the
// others in index order.
QList<QPair<int, QRect>> listScreens(const Screens& s, int limit = 10);
// Where the projector window goes: just right of the first listed screen.
QPoint projectorPoint(const Screens& s);

// Extends the desktop onto the projector. Only Windows has a switch; elsewhere
// the default does nothing. Empty restores the default.
using ModeSwitch = std::function<void()>;
void setModeSwitch(ModeSwitch modeSwitch);
void extendDesktop();

} // namespace DisplayStandIn
