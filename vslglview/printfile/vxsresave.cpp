#include "printfile/vxsresave.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#endif

QByteArray VxsParaBytes(const ST_MachinePara& para)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    const float* values = DLP::machineParaValues(para);
    for (int i = 0; i < 34; ++i)
        out << values[i];
    return bytes;
}

bool IsVxsHeader(const QByteArray& head, int* layerCount)
{
    if (head.size() < kVxsMinHeaderBytes || !head.startsWith("Vexmor3D"))
        return false;
    const auto* data = reinterpret_cast<const uchar*>(head.constData());
    if (qFromLittleEndian<qint32>(data + 24) != 34)
        return false;
    if (layerCount)
        *layerCount = qFromLittleEndian<qint32>(data + kVxsLayerCountOffset);
    return true;
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

namespace {

ResaveResult patchInPlace(const QString& path, const QByteArray& block, int* layerCount, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        error = QStringLiteral("cannot open %1 for writing: %2").arg(path, file.errorString());
        return ResaveResult::DestinationFailed;
    }
    if (!IsVxsHeader(file.read(kVxsMinHeaderBytes), layerCount)) {
        error = QStringLiteral("%1 is not a VXS print file").arg(path);
        return ResaveResult::NotVxs;
    }
    if (!file.seek(kVxsParaOffset) || file.write(block) != block.size() || !file.flush()) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return ResaveResult::DestinationFailed;
    }
    return ResaveResult::Ok;
}

ResaveResult copyPatched(const QString& src, const QString& dst, const QByteArray& block, int* layerCount,
                         QString& error)
{
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot open %1: %2").arg(src, in.errorString());
        return ResaveResult::SourceUnreadable;
    }
    QByteArray head = in.read(kVxsMinHeaderBytes);
    if (!IsVxsHeader(head, layerCount)) {
        error = QStringLiteral("%1 is not a VXS print file").arg(src);
        return ResaveResult::NotVxs;
    }
    head.replace(static_cast<int>(kVxsParaOffset), static_cast<int>(kVxsParaBytes), block);

    QSaveFile out(dst);
    if (!out.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot create %1: %2").arg(dst, out.errorString());
        return ResaveResult::DestinationFailed;
    }
    bool ok = out.write(head) == head.size();
    QByteArray chunk;
    while (ok && !in.atEnd()) {
        chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            error = QStringLiteral("cannot read %1: %2").arg(src, in.errorString());
            out.cancelWriting();
            out.commit();
            return ResaveResult::SourceUnreadable;
        }
        ok = out.write(chunk) == chunk.size();
    }
    if (!ok) {
        error = QStringLiteral("cannot write %1: %2").arg(dst, out.errorString());
        out.cancelWriting();
        out.commit();
        return ResaveResult::DestinationFailed;
    }
    if (!out.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(dst, out.errorString());
        return ResaveResult::DestinationFailed;
    }
    return ResaveResult::Ok;
}

} // namespace

ResaveResult ResaveVxs(const QString& src, const QString& dst, const ST_MachinePara& para, int* layerCount,
                       QString& error)
{
    const QByteArray block = VxsParaBytes(para);
    if (!QFileInfo::exists(src)) {
        error = QStringLiteral("%1 does not exist").arg(src);
        return ResaveResult::SourceUnreadable;
    }
    if (IsSameFile(src, dst))
        return patchInPlace(src, block, layerCount, error);
    return copyPatched(src, dst, block, layerCount, error);
}
