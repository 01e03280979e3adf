#include "printfile/archivemember.h"

#include <QBuffer>
#include <QImageReader>
#include <QSet>

#include <cstring>

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

namespace {

quint32 bigEndian32(const QByteArray& bytes, int offset)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + offset;
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

// What data that is no PNG looks like, for the message.
QString whatTheDataIs(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("it is empty");
    if (bytes.startsWith("\x1f\x8b"))
        return QStringLiteral("it holds gzip-compressed data, a compressed SVG drawing for one");
    if (bytes.startsWith("\xff\xd8\xff"))
        return QStringLiteral("it holds a JPEG image");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return QStringLiteral("it holds a GIF image");
    if (bytes.startsWith("BM"))
        return QStringLiteral("it holds a BMP image");
    if (bytes.startsWith(QByteArray("II*\0", 4)) || bytes.startsWith(QByteArray("MM\0*", 4)))
        return QStringLiteral("it holds a TIFF image");
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return QStringLiteral("it holds a WebP image");
    const QByteArray text = bytes.left(256).trimmed();
    if (text.startsWith('<') || text.startsWith("\xef\xbb\xbf<"))
        return QStringLiteral("it holds XML text, an SVG drawing for one");
    return QStringLiteral("its first bytes are no PNG signature");
}

bool validDepth(int colorType, int depth)
{
    switch (colorType) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6: return depth == 8 || depth == 16;
    default: return false;
    }
}

} // namespace

bool ReadPngHeader(const QByteArray& bytes, PngHeader& header, QString& error)
{
    header = PngHeader();
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    if (!bytes.startsWith(QByteArray(signature, 8))) {
        error = QStringLiteral("not a PNG image (%1)").arg(whatTheDataIs(bytes));
        return false;
    }
    // Signature, then IHDR: length 13, type, width, height, depth, colour
    // type, compression, filter, interlace, CRC.
    if (bytes.size() < 8 + 8 + 13 + 4 || bigEndian32(bytes, 8) != 13 || bytes.mid(12, 4) != "IHDR") {
        error = QStringLiteral("not a PNG image (its header is missing or damaged)");
        return false;
    }
    const quint32 width = bigEndian32(bytes, 16), height = bigEndian32(bytes, 20);
    const int depth = uchar(bytes.at(24)), colorType = uchar(bytes.at(25));
    if (width == 0 || height == 0 || width > 0x7fffffffu || height > 0x7fffffffu || !validDepth(colorType, depth)) {
        error = QStringLiteral("not a PNG image (its header states %1 x %2 pixels, %3 bits, colour type %4)")
                    .arg(width)
                    .arg(height)
                    .arg(depth)
                    .arg(colorType);
        return false;
    }
    // The size and kind are known; the chunks up to the pixel data tell
    // whether a transparency chunk widens them. Every length is checked
    // against what is there.
    header.size = QSize(int(qMin<quint32>(width, 0x7fffffff)), int(qMin<quint32>(height, 0x7fffffff)));
    header.bitDepth = depth;
    header.colorType = colorType;
    qint64 offset = 8 + 8 + 13 + 4;
    while (offset + 8 <= bytes.size()) {
        const qint64 length = bigEndian32(bytes, int(offset));
        const char* type = bytes.constData() + offset + 4;
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0)
            break;
        if (std::memcmp(type, "tRNS", 4) == 0)
            header.transparency = true;
        offset += 12 + length;
    }
    return true;
}

qint64 PngDecodedBytes(const PngHeader& h)
{
    const qint64 pixels = qint64(h.size.width()) * h.size.height();
    if (h.bitDepth == 16)
        return pixels * 8;
    if ((h.colorType == 0 || h.colorType == 3) && !h.transparency)
        return pixels; // grey or palette: a byte a pixel at most
    return pixels * 4;
}

bool PngHasAlpha(const PngHeader& h)
{
    return h.colorType == 4 || h.colorType == 6 || h.transparency;
}

QSize ArchiveImageSize(const QByteArray& bytes)
{
    PngHeader header;
    QString error;
    return ReadPngHeader(bytes, header, error) ? header.size : QSize();
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

bool DecodeArchiveImage(const QByteArray& bytes, QImage& image, QString& error, qint64 maxDecodedBytes)
{
    image = QImage();
    PngHeader header;
    if (!ReadPngHeader(bytes, header, error))
        return false;
    error = ArchiveImageSizeProblem(header.size);
    if (!error.isEmpty())
        return false;
    const qint64 need = PngDecodedBytes(header);
    if (need > maxDecodedBytes) {
        error = QStringLiteral("image of %1 x %2 pixels at %3 bits takes %4 MB decoded, more than the %5 MB allowed")
                    .arg(header.size.width())
                    .arg(header.size.height())
                    .arg(header.bitDepth)
                    .arg((need + (1 << 20) - 1) >> 20)
                    .arg(maxDecodedBytes >> 20);
        return false;
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The PNG reader and no other, whatever the data claims.
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (size != header.size) {
        error = QStringLiteral("image size differs from its header");
        return false;
    }
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
