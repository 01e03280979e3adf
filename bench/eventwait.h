#pragma once
// The command-line tools' wait for background work: the event loop runs until
// `done` holds or the time runs out.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 600000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}
