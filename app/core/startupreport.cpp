#include "startupreport.h"

#include <QMutex>
#include <QtGlobal>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

QtMessageHandler gLogHandler = nullptr;
std::atomic<bool> gBeforeWindow{false};
std::terminate_handler gPreviousTerminate = nullptr;

QMutex& lastWarningMutex()
{
    static QMutex mutex;
    return mutex;
}

QString& lastWarning()
{
    static QString text;
    return text;
}

void toStandardError(const QString& text)
{
    const QByteArray line = QByteArrayLiteral("vexmor3d: ") + text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

// To standard error and to the log, as a critical message.
void report(const QString& text)
{
    toStandardError(text);
    if (gLogHandler)
        gLogHandler(QtCriticalMsg, QMessageLogContext(), text);
}

void reportingHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    if (gLogHandler)
        gLogHandler(type, context, msg);
    const bool failure = type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg;
    if (!failure || !gBeforeWindow)
        return;
    {
        QMutexLocker lock(&lastWarningMutex());
        lastWarning() = msg;
    }
    toStandardError(msg);
}

QString takeLastWarning()
{
    QMutexLocker lock(&lastWarningMutex());
    return lastWarning();
}

// Something called exit() before the window showed (the web engine does
// when it cannot start).
void onExit()
{
    if (gBeforeWindow.exchange(false))
        report(StartupReport::endedEarlyText(takeLastWarning()));
}

void onTerminate()
{
    if (gBeforeWindow.exchange(false)) {
        QString what = QStringLiteral("unknown exception");
        if (std::exception_ptr current = std::current_exception()) {
            try {
                std::rethrow_exception(current);
            } catch (const std::exception& e) {
                what = QString::fromLocal8Bit(e.what());
            } catch (...) {
            }
        }
        report(QStringLiteral("Vexmor3D stopped before its window was shown: unhandled exception: ") + what);
    }
    if (gPreviousTerminate)
        gPreviousTerminate();
    std::abort();
}

} // namespace

StartupReport::StartupReport()
{
    gLogHandler = qInstallMessageHandler(reportingHandler);
    gBeforeWindow = true;
    static const bool hooked = [] {
        std::atexit(onExit);
        return true;
    }();
    Q_UNUSED(hooked);
    gPreviousTerminate = std::set_terminate(onTerminate);
}

StartupReport::~StartupReport()
{
    qInstallMessageHandler(gLogHandler);
    std::set_terminate(gPreviousTerminate);
}

void StartupReport::windowShown()
{
    gBeforeWindow = false;
    qInstallMessageHandler(gLogHandler);
}

QString StartupReport::endedEarlyText(const QString& lastWarning)
{
    QString text = QStringLiteral("Vexmor3D ended before its window was shown");
    if (!lastWarning.isEmpty())
        text += QStringLiteral("; last warning: ") + lastWarning;
    return text;
}

bool turnOffWebSandboxForRoot(uid_t effectiveUser)
{
    if (effectiveUser != 0)
        return false;
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qInfo("Running as root: the web engine's sandbox is turned off");
    return true;
}
