#include "startupreport.h"

#include "logoutput.h"

#include <QFile>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QtMessageHandler gLogHandler = nullptr;
std::atomic<bool> gBeforeWindow{false};
std::terminate_handler gPreviousTerminate = nullptr;

// What the exit hook reads lives in plain arrays: it runs after the static
// objects made since it was registered (Qt's among them) are destroyed.
std::mutex gLastWarningMutex;
char gLastWarning[512];
char gLogDir[4096];

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
        const QByteArray text = msg.toUtf8();
        std::lock_guard<std::mutex> lock(gLastWarningMutex);
        std::snprintf(gLastWarning, sizeof gLastWarning, "%s", text.constData());
    }
    toStandardError(msg);
}

void writeAll(int fd, const char* text, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, text, size);
        if (n <= 0)
            return;
        text += n;
        size -= static_cast<size_t>(n);
    }
}

// The day's log line, written without Qt; a link in the file's place is
// not followed, and a FIFO neither blocks the exit nor takes the line.
void appendToDayLog(const char* text)
{
    if (!gLogDir[0])
        return;
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    char day[16], stamp[32], path[sizeof gLogDir + 64];
    std::strftime(day, sizeof day, "%Y_%m_%d", &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(path, sizeof path, "%s/%slog.txt", gLogDir, day);
    char line[2048];
    const int size =
        std::snprintf(line, sizeof line, "%s  Critical:: %s File:     Line: 0    Function: \r\n", stamp, text);
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return;
    struct stat info;
    if (size <= 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return;
    }
    writeAll(fd, line, std::min(static_cast<size_t>(size), sizeof line - 1));
    ::close(fd);
}

// Something called exit() before the window showed (the web engine does
// when it cannot start).
void onExit()
{
    if (!gBeforeWindow.exchange(false))
        return;
    char text[1024];
    {
        std::unique_lock<std::mutex> lock(gLastWarningMutex, std::try_to_lock);
        std::snprintf(text, sizeof text, "Vexmor3D ended before its window was shown%s%s",
                      gLastWarning[0] ? "; last warning: " : "", gLastWarning);
    }
    writeAll(STDERR_FILENO, "vexmor3d: ", 10);
    writeAll(STDERR_FILENO, text, std::strlen(text));
    writeAll(STDERR_FILENO, "\n", 1);
    appendToDayLog(text);
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
    std::snprintf(gLogDir, sizeof gLogDir, "%s", QFile::encodeName(vexmorLogDir()).constData());
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

bool turnOffWebSandboxForRoot(uid_t effectiveUser)
{
    if (effectiveUser != 0)
        return false;
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qInfo("Running as root: the web engine's sandbox is turned off");
    return true;
}
