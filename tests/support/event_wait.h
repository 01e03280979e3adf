#pragma once
// Waits for the event itself: the event loop runs and `done` is asked again
// after each event it delivered. QTest::qWaitFor hands the loop its whole
// remaining time instead, and while events keep coming (a timer, an
// animation) it asks again only when that time is over: with a ceiling that
// only a hang reaches, such a wait lasts until the ceiling.
#include "hang_ceiling.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <type_traits>

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kHangMs)
{
    QElapsedTimer t;
    t.start();
    // The tick bounds each sleep, for what no event announces (a flag
    // another thread sets).
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // Objects deleted later (a QML item's destroy()) go here too.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// A window, or a widget's window, is on the screen (QTest's wait for it
// stops at 5 s).
template <class W>
bool WaitUntilExposed(W* w, int timeoutMs = kHangMs)
{
    return WaitUntil([w] {
        if constexpr (std::is_base_of_v<QWindow, W>) {
            return w->isExposed();
        } else {
            const QWindow* handle = w->window()->windowHandle();
            return handle && handle->isExposed();
        }
    }, timeoutMs);
}
