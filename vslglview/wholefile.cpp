#include "wholefile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <new>

bool WholeFile::Read(const QString& path, QString& error)
{
    m_bytes.reset();
    m_size = 0;
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("does not exist");
        return false;
    }
    // A FIFO would block the open, a device never end.
    if (!info.isFile()) {
        error = QStringLiteral("not a regular file");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot be opened (%1)").arg(file.errorString());
        return false;
    }
    const qint64 size = file.size();
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[size_t(std::max<qint64>(size, 1))]);
    if (!bytes) {
        error = QStringLiteral("too large to be read into memory (%1 bytes)").arg(size);
        return false;
    }
    constexpr qint64 kChunk = 64 << 20;
    qint64 done = 0;
    while (done < size) {
        const qint64 got = file.read(bytes.get() + done, std::min(kChunk, size - done));
        if (got < 0) {
            error = QStringLiteral("read error (%1)").arg(file.errorString());
            return false;
        }
        if (got == 0)
            break;
        done += got;
    }
    char more;
    if (done != size || file.read(&more, 1) > 0) {
        error = QStringLiteral("the file changed while it was read (%1 bytes of %2 when opened)").arg(done).arg(size);
        return false;
    }
    m_bytes = std::move(bytes);
    m_size = size;
    return true;
}
