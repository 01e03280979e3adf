#include "printfile/archivemember.h"

#include <QBuffer>
#include <QImageReader>
#include <QSet>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

MemberRead ReadArchiveMember(QuaZip& zip, QuaZipFile& file, const QString& name, qint64 maxBytes,
                             QByteArray& bytes)
{
    bytes.clear();
    if (!zip.setCurrentFile(name, QuaZip::csDefault))
        return MemberRead::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return MemberRead::Unreadable;
    // The size in the directory may lie; it only decides whether to start.
    if (file.usize() > maxBytes) {
        file.close();
        return MemberRead::TooLarge;
    }
    if (file.usize() > 0)
        bytes.reserve(static_cast<int>(file.usize()));
    char chunk[64 * 1024];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0) {
            file.close();
            bytes.clear();
            return MemberRead::Unreadable;
        }
        if (n == 0)
            break;
        if (bytes.size() + n > maxBytes) {
            file.close();
            bytes.clear();
            return MemberRead::TooLarge;
        }
        bytes.append(chunk, static_cast<int>(n));
    }
    file.close();
    if (file.getZipError() != UNZ_OK) {
        bytes.clear();
        return MemberRead::Unreadable;
    }
    return MemberRead::Ok;
}

QSize ArchiveImageSize(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return reader.size();
}

QString ArchiveImageSizeProblem(const QSize& size)
{
    if (!size.isValid() || size.isEmpty())
        return QStringLiteral("not an image");
    if (size.width() > kMaxArchiveImageSide || size.height() > kMaxArchiveImageSide ||
        qint64(size.width()) * size.height() > kMaxArchiveImagePixels)
        return QStringLiteral("image of %1 x %2 pixels is too large").arg(size.width()).arg(size.height());
    return QString();
}

bool DecodeArchiveImage(const QByteArray& bytes, QImage& image, QString& error)
{
    image = QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    error = ArchiveImageSizeProblem(size);
    if (!error.isEmpty())
        return false;
    if (!reader.read(&image) || image.isNull()) {
        error = QStringLiteral("image cannot be decoded (%1)").arg(reader.errorString());
        image = QImage();
        return false;
    }
    if (image.size() != size) {
        error = QStringLiteral("image size differs from its header");
        image = QImage();
        return false;
    }
    return true;
}

QString RepeatedMemberName(QuaZip& zip)
{
    QSet<QString> seen;
    for (const QString& name : zip.getFileNameList()) {
        if (seen.contains(name))
            return name;
        seen.insert(name);
    }
    return QString();
}
