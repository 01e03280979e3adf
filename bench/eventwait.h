#pragma once
// The command-line tools' wait for background work: the event loop runs until
// `done` holds or the time runs out.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 600000)
{
    QElapsedTimer t;
    t.start();
    // Sleeps between events instead of spinning (a spinning wait takes a
    // core from the work it waits for); the tick bounds each sleep.
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}
