#include "printfile/archivemember.h"

#include <QBuffer>
#include <QImageReader>
#include <QSet>

#include <cstring>
#include <functional>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <zlib.h>

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

namespace {

bool isChunkType(const char* type)
{
    for (int i = 0; i < 4; ++i)
        if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z')))
            return false;
    return true;
}

bool isType(const char* type, const char* name)
{
    return std::memcmp(type, name, 4) == 0;
}

// Besides the critical chunks, what the decoded image depends on: the
// transparency, the colour space (grey conversion follows it), and the
// fixed-size chunks Qt keeps with the image (resolution, offset). The
// index of the type among them, -1 for any other.
int keptAncillary(const char* type)
{
    static const char* const kept[] = {"tRNS", "gAMA", "cHRM", "sRGB", "sBIT", "bKGD", "pHYs", "oFFs"};
    for (int i = 0; i < int(sizeof kept / sizeof *kept); ++i)
        if (isType(type, kept[i]))
            return i;
    return -1;
}

// The size an iCCP chunk's profile states, its first four bytes unpacked
// (the PNG reader allocates that much and unpacks no more); 0 when the chunk
// yields no such bytes, -1 when they cannot be unpacked here.
qint64 statedProfileSize(const char* data, qint64 length)
{
    // Keyword of 1 to 79 bytes, its end, the compression method 0, zlib data.
    const char* end = static_cast<const char*>(std::memchr(data, 0, size_t(qMin<qint64>(length, 80))));
    if (!end || end == data || end - data + 2 > length || end[1] != 0)
        return 0;
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return -1;
    unsigned char stated[4];
    z.next_out = stated;
    z.avail_out = sizeof stated;
    const char* in = end + 2;
    qint64 left = length - (in - data);
    while (z.avail_out > 0 && left > 0) {
        const uInt step = uInt(qMin<qint64>(left, 1 << 20));
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
        z.avail_in = step;
        const int rc = inflate(&z, Z_SYNC_FLUSH);
        in += step - z.avail_in;
        left -= step - z.avail_in;
        if (rc != Z_OK)
            break;
    }
    inflateEnd(&z);
    if (z.avail_out > 0)
        return 0;
    return qint64(quint32(stated[0]) << 24 | quint32(stated[1]) << 16 | quint32(stated[2]) << 8 | stated[3]);
}

// Walks the chunks from the image header to the end chunk and tells
// `visit` each one's offset, size and whether the decoder gets it. Only the
// first chunk of each kept ancillary type, before the pixel data, is kept:
// the reader takes no other. False with a reason on a broken structure.
bool walkChunks(const QByteArray& bytes, PngHeader& header, QString& error,
                const std::function<void(qint64 offset, qint64 size, bool keep)>& visit)
{
    const qint64 total = bytes.size();
    unsigned seen = 0; // kept ancillary types met, by index
    bool pixelData = false, palette = false, profile = false;
    qint64 offset = 8, kept = 8;
    bool leftOut = false;
    for (;;) {
        if (offset == total) {
            error = QStringLiteral("not a complete PNG image (it ends before its end chunk)");
            return false;
        }
        if (offset + 12 > total) {
            error = QStringLiteral("not a complete PNG image (it ends inside the chunk at byte %1)").arg(offset);
            return false;
        }
        const quint32 length = bigEndian32(bytes, int(offset));
        const char* type = bytes.constData() + offset + 4;
        if (!isChunkType(type)) {
            error = QStringLiteral("not a PNG image (the chunk at byte %1 has no valid type)").arg(offset);
            return false;
        }
        const auto name = [type] { return QString::fromLatin1(type, 4); };
        if (length > 0x7fffffffu || qint64(length) > total - offset - 12) {
            error = QStringLiteral("not a complete PNG image (its chunk \"%1\" at byte %2 states %3 bytes, more than "
                                   "the data holds)")
                        .arg(name())
                        .arg(offset)
                        .arg(length);
            return false;
        }
        bool keep = false;
        if (isType(type, "IHDR") || isType(type, "PLTE") || isType(type, "IDAT") || isType(type, "IEND")) {
            // Order and repeats of these are the decoder's to judge.
            keep = true;
        } else if (!(type[0] & 0x20)) {
            error = QStringLiteral("not a PNG image this program reads (it needs the unknown chunk \"%1\")").arg(name());
            return false;
        } else if (!pixelData && keptAncillary(type) >= 0) {
            const unsigned bit = 1u << keptAncillary(type);
            keep = !(seen & bit);
            seen |= bit;
            if (keep && isType(type, "tRNS"))
                header.transparency = true;
        } else if (isType(type, "iCCP") && !pixelData && !palette && !profile) {
            // The reader unpacks a profile before the palette as large as it
            // states: a larger one than allowed is not handed on.
            profile = true;
            const qint64 stated = statedProfileSize(type + 4, length);
            keep = stated >= 0 && stated <= kMaxPngProfileBytes;
            if (keep)
                header.profileBytes = stated;
        }
        pixelData = pixelData || isType(type, "IDAT");
        palette = palette || isType(type, "PLTE");
        const qint64 size = 12 + qint64(length);
        if (keep)
            kept += size;
        leftOut = leftOut || !keep;
        if (visit)
            visit(offset, size, keep);
        if (isType(type, "IEND"))
            break;
        offset += size;
    }
    header.copyBytes = leftOut ? kept : 0;
    return true;
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
    header.size = QSize(int(qMin<quint32>(width, 0x7fffffff)), int(qMin<quint32>(height, 0x7fffffff)));
    header.bitDepth = depth;
    header.colorType = colorType;
    // The size and kind are known; the other chunks tell whether a
    // transparency chunk widens them and what the decoder is given.
    PngHeader walked = header;
    if (!walkChunks(bytes, walked, error, nullptr)) {
        header = PngHeader();
        return false;
    }
    header = walked;
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

qint64 PngReaderBytes(const PngHeader& h)
{
    // A profile is held by the PNG reader, copied by Qt, kept by the colour
    // space and parsed into its tables: four times its size at most.
    return PngDecodedBytes(h) + h.copyBytes + 4 * h.profileBytes;
}

QByteArray PngDecoderInput(const QByteArray& bytes)
{
    PngHeader header;
    QString error;
    if (!ReadPngHeader(bytes, header, error) || header.copyBytes == 0)
        return bytes;
    QByteArray input;
    input.reserve(int(header.copyBytes));
    input.append(bytes.constData(), 8);
    walkChunks(bytes, header, error, [&](qint64 offset, qint64 size, bool keep) {
        if (keep)
            input.append(bytes.constData() + offset, int(size));
    });
    return input;
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
    const qint64 need = PngReaderBytes(header);
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
    buffer.setData(PngDecoderInput(bytes));
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
