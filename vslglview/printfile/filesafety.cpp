#include "printfile/filesafety.h"

#include <QStorageInfo>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#endif
#if defined(Q_OS_LINUX)
#include <sched.h>
#endif

QString InputFileProblem(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1 does not exist").arg(path);
    // A FIFO or device would block or never end; QFileInfo follows links.
    if (!info.isFile())
        return QStringLiteral("%1 is not a regular file").arg(path);
    return QString();
}

QString DestinationProblem(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("no destination file name");
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("%1 is a folder").arg(path);
    // The atomic rename would put a regular file in place of a device node or FIFO.
    if (info.exists() && !info.isFile())
        return QStringLiteral("%1 exists and is not a regular file").arg(path);
    return QString();
}

bool IsSameFile(const QString& a, const QString& b)
{
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (!fa.exists() || !fb.exists())
        return false;
    if (fa.canonicalFilePath() == fb.canonicalFilePath())
        return true;
#if defined(Q_OS_UNIX)
    struct stat sa;
    struct stat sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#endif
    return false;
}

bool NamesSameFile(const QString& a, const QString& b)
{
    if (IsSameFile(a, b))
        return true;
    // Not both existing: the folders may exist, so compare their canonical
    // form with the file names.
    auto normal = [](const QString& p) {
        const QFileInfo info(p);
        const QString dir = info.absoluteDir().canonicalPath();
        return (dir.isEmpty() ? info.absolutePath() : dir) + QLatin1Char('/') + info.fileName();
    };
    return QDir::cleanPath(normal(a)) == QDir::cleanPath(normal(b));
}

bool NamesAnyOf(const QString& path, const QStringList& files)
{
    for (const QString& file : files)
        if (NamesSameFile(path, file))
            return true;
    return false;
}

QString FileErrorSentence(QFileDevice::FileError error)
{
    switch (error) {
    case QFileDevice::NoError: return QStringLiteral("No error");
    case QFileDevice::ReadError: return QStringLiteral("The file could not be read");
    case QFileDevice::WriteError: return QStringLiteral("The file could not be written");
    case QFileDevice::FatalError: return QStringLiteral("A fatal error occurred");
    case QFileDevice::ResourceError: return QStringLiteral("No space left on the device");
    case QFileDevice::OpenError: return QStringLiteral("The file could not be opened");
    case QFileDevice::AbortError: return QStringLiteral("The operation was aborted");
    case QFileDevice::TimeOutError: return QStringLiteral("The operation timed out");
    case QFileDevice::UnspecifiedError: return QStringLiteral("The file could not be written");
    case QFileDevice::RemoveError: return QStringLiteral("The file could not be removed");
    case QFileDevice::RenameError: return QStringLiteral("The finished file could not replace the destination");
    case QFileDevice::PositionError: return QStringLiteral("The position in the file could not be changed");
    case QFileDevice::ResizeError: return QStringLiteral("The file could not be resized");
    case QFileDevice::PermissionsError: return QStringLiteral("Permission denied");
    case QFileDevice::CopyError: return QStringLiteral("The file could not be copied");
    }
    return QStringLiteral("The file could not be written");
}

int UsableCoreCount()
{
#if defined(Q_OS_LINUX)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0)
            return n;
    }
#endif
    return qMax(1, QThread::idealThreadCount());
}

namespace {

// True when the file system holding `path` has (next to) no room left.
bool DiskFullAt(const QString& path)
{
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    // A write fails once what is left is less than a block.
    return storage.isValid() && storage.bytesAvailable() < 64 * 1024;
}

} // namespace

QFileDevice::FileError WriteFailure(const QFileDevice& file)
{
    if (DiskFullAt(file.fileName()))
        return QFileDevice::ResourceError;
    return file.error() == QFileDevice::NoError ? QFileDevice::WriteError : file.error();
}

QString WriteFailureSentence(const QFileDevice& file) { return FileErrorSentence(WriteFailure(file)); }

bool CommitSaveFile(QSaveFile& file, QFileDevice::FileError& failure)
{
    // A write that already failed, or what is still buffered failing now.
    if (file.error() != QFileDevice::NoError || !file.flush()) {
        failure = WriteFailure(file);
        file.cancelWriting();
        file.commit(); // drops the temporary file
        return false;
    }
    if (file.commit())
        return true;
    failure = WriteFailure(file);
    return false;
}

bool CommitSaveFile(QSaveFile& file, QString& why)
{
    QFileDevice::FileError failure = QFileDevice::NoError;
    if (CommitSaveFile(file, failure))
        return true;
    why = FileErrorSentence(failure);
    return false;
}
