#pragma once

#include "myserialport.h"
#include "printertimings.h"

#include <QMutex>
#include <QStringList>
#include <QThread>

// Collects the debug lines while it lives (an inner capture takes them from
// an outer one for its lifetime).
class LogCapture
{
public:
    LogCapture()
    {
        QMutexLocker locker(&lock());
        m_outer = current();
        current() = this;
        if (!m_outer)
            m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        QMutexLocker locker(&lock());
        if (!m_outer)
            qInstallMessageHandler(m_previous);
        current() = m_outer;
    }
    QStringList lines() const
    {
        QMutexLocker locker(&lock());
        return m_lines;
    }
    bool has(const QString& text) const { return !lines().filter(text).isEmpty(); }
    int count(const QString& line) const { return int(lines().count(line)); }

private:
    static QMutex& lock()
    {
        static QMutex mutex;
        return mutex;
    }
    static LogCapture*& current()
    {
        static LogCapture* capture = nullptr;
        return capture;
    }
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        QMutexLocker locker(&lock());
        if (current())
            current()->m_lines << message;
    }
    QtMessageHandler m_previous = nullptr;
    LogCapture* m_outer = nullptr;
    QStringList m_lines;
};

// Puts timings in force for one scope.
class TimingsScope
{
public:
    explicit TimingsScope(const PrinterTimings& timings) : m_saved(printerTimings()) { setPrinterTimings(timings); }
    ~TimingsScope() { setPrinterTimings(m_saved); }

private:
    PrinterTimings m_saved;
};

// Waits that only end early on success are long; waits for silence are short.
inline PrinterTimings testTimings()
{
    PrinterTimings t = PrinterTimings().scaled(0.1);
    t.requestWaitMs = 5000;
    return t;
}
