#include "displaystandin.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>

namespace DisplayStandIn {

namespace {

ScreenSource& screenSource()
{
    static ScreenSource source;
    return source;
}

ModeSwitch& modeSwitch()
{
    static ModeSwitch sw;
    return sw;
}

Screens desktop()
{
    Screens s;
    const QList<QScreen*> list = QGuiApplication::screens();
    for (QScreen* screen : list)
        s.geometries << screen->geometry();
    s.primary = std::max(0, int(list.indexOf(QGuiApplication::primaryScreen())));
    return s;
}

} // namespace

void setScreenSource(ScreenSource source)
{
    screenSource() = std::move(source);
}

Screens screens()
{
    return screenSource() ? screenSource()() : desktop();
}

int screenCount()
{
    return screens().geometries.size();
}

QList<QPair<int, QRect>> listScreens(const Screens& s, int limit)
{
    QList<QPair<int, QRect>> out;
    const int n = s.geometries.size();
    if (n == 0 || limit <= 0)
        return out;
    const int primary = (s.primary >= 0 && s.primary < n) ? s.primary : 0;
    out << qMakePair(primary, s.geometries[primary]);
    for (int i = 0; i < n && out.size() < limit; ++i)
        if (i != primary)
            out << qMakePair(i, s.geometries[i]);
    return out;
}

QPoint projectorPoint(const Screens& s)
{
    const auto listed = listScreens(s);
    return QPoint(listed.isEmpty() ? 0 : listed.first().second.width(), 0);
}

void setModeSwitch(ModeSwitch sw)
{
    modeSwitch() = std::move(sw);
}

void extendDesktop()
{
    if (modeSwitch()) {
        modeSwitch()();
        return;
    }
#ifdef Q_OS_WIN
    // Fire and forget: the screen count check that follows tells the result.
    QProcess::startDetached(QStringLiteral("C://Windows//System32//DisplaySwitch.exe"), {QStringLiteral("/extend")});
#endif
}

} // namespace DisplayStandIn
