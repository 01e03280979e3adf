#include "logoutput.h"

#include "configdir.h"
#include "ownedfile.h"
#include "vslfunction/savecommit.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSet>

#include <cerrno>
#include <cstdio>

namespace {

std::function<QDateTime()>& logClock()
{
    static std::function<QDateTime()> clock;
    return clock;
}

QMutex& logMutex()
{
    static QMutex mutex;
    return mutex;
}

// A message raised while this thread is inside the handler (Qt warning about
// the file, say) would lock the mutex twice; such messages are dropped.
thread_local bool tInsideHandler = false;

QString levelText(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return QStringLiteral("Debug::");
    case QtWarningMsg: return QStringLiteral("Warning::");
    case QtCriticalMsg: return QStringLiteral("Critical::");
    case QtFatalMsg: return QStringLiteral("Fatal::");
    case QtInfoMsg: break;
    }
    return QString();
}

// A log that stops working says so on standard error, once per file: the
// log itself cannot carry the news.
void sayLogFails(const QString& fileName, const QString& problem)
{
    static QSet<QString> said;
    if (said.contains(fileName))
        return;
    said.insert(fileName);
    std::fprintf(stderr, "The daily log %s %s; nothing is logged there.\n", qPrintable(fileName),
                 qPrintable(problem));
}

} // namespace

QString vexmorLogDir()
{
    const QString dir = qEnvironmentVariable("VEXMOR_LOG_DIR");
    return dir.isEmpty() ? vexmorConfigDir() : QDir::cleanPath(dir);
}

QString vexmorLogLine(const QDateTime& when, QtMsgType type, const QMessageLogContext& context,
                      const QString& msg)
{
    return QStringLiteral("%1  %2 %3 File: %4    Line: %5    Function: %6")
        .arg(when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), levelText(type), msg,
             QString::fromUtf8(context.file ? context.file : ""), QString::number(context.line),
             QString::fromUtf8(context.function ? context.function : ""));
}

void setVexmorLogClock(std::function<QDateTime()> clock)
{
    QMutexLocker lock(&logMutex());
    logClock() = std::move(clock);
}

void VexmorMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    if (tInsideHandler)
        return;
    tInsideHandler = true;
    {
        QMutexLocker lock(&logMutex());
        const QDateTime now = logClock() ? logClock()() : QDateTime::currentDateTime();
        const QString dir = vexmorLogDir();
        QDir().mkpath(dir);
        QFile file(QDir(dir).filePath(now.toString(QStringLiteral("yyyy_MM_dd")) + QStringLiteral("log.txt")));
        // A link in the folder must not make the log grow a file elsewhere,
        // nor a FIFO block every thread that logs.
        const QString problem = OwnedFile::accessProblem(file.fileName(), dir);
        if (!problem.isEmpty()) {
            sayLogFails(file.fileName(), problem);
        } else if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
            // The log folder a regular file, say, or not ours to write.
            sayLogFails(file.fileName(), QStringLiteral("cannot be opened (%1)").arg(file.errorString()));
        } else {
            const QByteArray line = (vexmorLogLine(now, type, context, msg) + QStringLiteral("\r\n")).toUtf8();
            errno = 0;
            if (file.write(line) != line.size() || !file.flush()) {
                const int systemError = errno;
                sayLogFails(file.fileName(),
                            QStringLiteral("cannot be written (%1)").arg(FileErrorDetail(file, systemError)));
            }
            file.close();
        }
    }
    tInsideHandler = false;
}
