#include "ownedfile.h"

#include "configdir.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QDeadlineTimer>
#include <QMutex>
#include <QSettings>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace OwnedFile {

namespace {

struct UserChannel
{
    QMutex mutex;
    std::function<void(const QString&)> notifier;
    QList<QPair<QString, QString>> untold; // (file, message)
    QStringList told; // each said once, however many readers meet the file
};

UserChannel& channel()
{
    static UserChannel c;
    return c;
}

void tell(const QString& path, const QString& message, bool once = true)
{
    std::function<void(const QString&)> notifier;
    {
        QMutexLocker lock(&channel().mutex);
        const bool toldBefore = channel().told.contains(message);
        if (once && toldBefore)
            return;
        if (!toldBefore)
            channel().told << message;
        notifier = channel().notifier;
        // A failure that repeats (a disk that stays full) waits to be shown once.
        if (!notifier && !toldBefore)
            channel().untold.append({path, message});
    }
    qWarning().noquote() << message;
    if (notifier)
        notifier(message);
}

QString asideName(const QString& path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString name = path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = path + QStringLiteral(".unreadable-") + stamp + QLatin1Char('-') + QString::number(n);
    return name;
}

// Text holds no NUL byte; random bytes over a file (or UTF-16 text, which
// the settings reader cannot read either) do, though the reader takes them
// without a complaint and finds none of its keys. A NUL in a comment line
// hides no key: the reader skips the line whole.
bool nulOutsideComments(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool lineStart = true;
    bool comment = false;
    if (file.peek(3) == QByteArray("\xEF\xBB\xBF"))
        file.read(3);
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 16);
        if (chunk.isEmpty())
            break;
        for (const char c : chunk) {
            if (c == '\n' || c == '\r') {
                lineStart = true;
                comment = false;
                continue;
            }
            if (lineStart) {
                if (c == ' ' || c == '\t')
                    continue;
                lineStart = false;
                comment = c == ';';
            }
            if (c == '\0' && !comment)
                return true;
        }
    }
    return false;
}

} // namespace

namespace {

bool inside(const QString& real, const QString& root)
{
    return real == root || real.startsWith(root + QLatin1Char('/'));
}

// A file that is no link itself may still lie outside: a folder on its
// way ("QtProject", "Unknown Organization") may be a link leading out. The
// nearest part of the path that exists is where it really lies.
QString wayProblem(const QFileInfo& info, const QString& folder)
{
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty())
        return QString();
    QString part = info.absoluteFilePath();
    for (;;) {
        const QFileInfo at(part);
        const QString real = at.canonicalFilePath();
        if (!real.isEmpty()) {
            if (inside(real, root))
                return QString();
            return QCoreApplication::translate("OwnedFile", "lies in %1 (a folder on its way is a link), outside the "
                                                            "folder %2")
                .arg(real, folder);
        }
        if (at.isSymLink())
            return QCoreApplication::translate("OwnedFile", "lies in %1, a link to %2, which does not exist")
                .arg(part, at.symLinkTarget());
        const QString up = at.absolutePath();
        if (up == part)
            return QString();
        part = up;
    }
}

} // namespace

QString accessProblem(const QString& path, const QString& folder)
{
    const QFileInfo info(path);
    if (!info.isSymLink()) {
        const QString way = wayProblem(info, folder);
        if (!way.isEmpty())
            return way;
        if (!info.exists() || info.isFile())
            return QString();
        return QCoreApplication::translate("OwnedFile", "is not a regular file");
    }
    // Links are followed to their end: a chain that leaves the folder at any
    // point ends outside it.
    const QString target = info.canonicalFilePath();
    if (target.isEmpty())
        return QCoreApplication::translate("OwnedFile", "is a link to %1, which does not exist")
            .arg(info.symLinkTarget());
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty() || !target.startsWith(root + QLatin1Char('/')))
        return QCoreApplication::translate("OwnedFile", "is a link to %1, outside the folder %2").arg(target, folder);
    if (QFileInfo(target).isFile())
        return QString();
    return QCoreApplication::translate("OwnedFile", "is a link to %1, which is not a regular file").arg(target);
}

QString readProblem(const QString& path, const QString& folder)
{
    const QString problem = accessProblem(path, folder);
    if (!problem.isEmpty())
        return problem;
    const QFileInfo info(path);
    if (info.exists() && info.size() > kLargestSettingsFile)
        return QCoreApplication::translate("OwnedFile", "is too large to be a settings file (%1 bytes)")
            .arg(info.size());
    return QString();
}

namespace {

enum class LockState { Free, Held, Unopenable, Unremovable };

// Whether a running program holds `lock`: one holding a QLockFile keeps an
// flock on its file for as long as it lives; none is left on a file of a
// program that crashed. A file no one holds is removed while this holds
// it, as QLockFile removes a stale one, and is never read: QLockFile reads
// the whole file to judge it, and waits out half a minute on one without a
// process number. A held one is tried again until `patienceMs` ran out.
// The caller checked where the name leads (a link stays in the folder).
LockState takeOverUnheld(const QString& lock, int patienceMs, QString* why)
{
    const QByteArray name = QFile::encodeName(lock);
    QDeadlineTimer patience(qMax(patienceMs, 0));
    for (;;) {
        const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT)
                return LockState::Free;
            *why = QString::fromLocal8Bit(std::strerror(errno));
            return LockState::Unopenable;
        }
        struct stat opened = {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            *why = QCoreApplication::translate("OwnedFile", "is not a regular file");
            return LockState::Unopenable;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Only the file this holds: another may have taken its name meanwhile.
            struct stat named = {};
            const bool same =
                ::stat(name.constData(), &named) == 0 && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
            const bool removed = same && ::unlink(name.constData()) == 0;
            const int error = errno;
            ::close(fd);
            if (removed || (!same && error == ENOENT))
                return LockState::Free;
            if (same) {
                *why = QString::fromLocal8Bit(std::strerror(error));
                return LockState::Unremovable;
            }
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK) {
            *why = QString::fromLocal8Bit(std::strerror(error));
            return LockState::Unopenable;
        }
        if (patience.hasExpired())
            return LockState::Held;
        QThread::msleep(static_cast<unsigned long>(qBound<qint64>(1, patience.remainingTime(), 20)));
    }
}

} // namespace

QString settingsLockProblem(const QString& settingsFile, int patienceMs)
{
    const QString lock = settingsFile + QStringLiteral(".lock");
    // A lock that looks stale is taken over under a second one beside it.
    for (const QString& path : {lock, lock + QStringLiteral(".rmlock")}) {
        const QString problem = accessProblem(path, vexmorConfigDir());
        if (!problem.isEmpty())
            return QStringLiteral("%1 %2").arg(path, problem);
        const QFileInfo info(path);
        if (info.exists() && info.size() > kLargestLockFile)
            return QCoreApplication::translate("OwnedFile", "%1 is too large to be a lock file (%2 bytes)")
                .arg(path)
                .arg(info.size());
    }
    if (!QFileInfo::exists(lock))
        return QString();
    // QSettings would wait for this lock without end.
    QString why;
    switch (takeOverUnheld(lock, patienceMs, &why)) {
    case LockState::Free: return QString();
    case LockState::Held: break;
    case LockState::Unopenable:
        return QCoreApplication::translate("OwnedFile", "%1 cannot be opened (%2)").arg(lock, why);
    case LockState::Unremovable:
        return QCoreApplication::translate("OwnedFile", "%1 is held by no running program but cannot be removed (%2)")
            .arg(lock, why);
    }
    return QCoreApplication::translate("OwnedFile", "%1 stays held by another program").arg(lock);
}

bool prepareSettings(const QString& path)
{
    const QString problem = readProblem(path, vexmorConfigDir());
    if (!problem.isEmpty()) {
        tell(path, QCoreApplication::translate("OwnedFile", "%1 %2. It is neither read nor written; the program "
                                                            "uses its defaults until it ends.")
                       .arg(path, problem));
        return false;
    }
    if (!QFileInfo::exists(path))
        return true;
    {
        const QSettings probe(path, QSettings::IniFormat);
        if (probe.status() != QSettings::FormatError && !nulOutsideComments(path))
            return true;
    }
    const QString aside = asideName(path);
    if (!QFile::rename(path, aside)) {
        tell(path, QCoreApplication::translate("OwnedFile", "%1 cannot be read as a settings file and could not be "
                                                            "set aside. It is left as it is; the program uses its "
                                                            "defaults until it ends.")
                       .arg(path));
        return false;
    }
    tell(path, QCoreApplication::translate("OwnedFile", "%1 could not be read as a settings file. It was kept as "
                                                        "%2; the program starts from its defaults.")
                   .arg(path, aside));
    return true;
}

std::unique_ptr<QSettings> openSettings(const QString& path)
{
    if (!prepareSettings(path))
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

void tellWriteFailure(const QString& path, const QString& why)
{
    tell(path,
         QCoreApplication::translate("OwnedFile", "A settings file could not be saved: %1. The file is left as "
                                                  "it was; the program goes on with the values it has until it ends.")
             .arg(why),
         false);
}

void tellRefusal(const QString& path, const QString& message)
{
    tell(path, message);
}

void tellStartNotice(const QString& message)
{
    tell(QString(), message);
}

void setUserNotifier(std::function<void(const QString& message)> notifier)
{
    QMutexLocker lock(&channel().mutex);
    channel().notifier = std::move(notifier);
}

QStringList takeUntoldMessages()
{
    const QString folder = vexmorConfigDir() + QLatin1Char('/');
    QMutexLocker lock(&channel().mutex);
    QStringList messages;
    for (const auto& m : qAsConst(channel().untold))
        if (m.first.isNull() || m.first.startsWith(folder))
            messages << m.second;
    channel().untold.clear();
    return messages;
}

} // namespace OwnedFile
