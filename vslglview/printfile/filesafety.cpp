#include "printfile/filesafety.h"

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

