#include "archive_builder.h"

#include <QBuffer>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

bool WriteZipArchive(const QString& path, const ArchiveMembers& members)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    bool ok = true;
    for (const auto& m : members) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(m.first))) {
            ok = false;
            break;
        }
        ok = file.write(m.second) == m.second.size();
        file.close();
        if (!ok)
            break;
    }
    zip.close();
    return ok && zip.getZipError() == UNZ_OK;
}

QByteArray PngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage PatternLayer(int width, int height, int layer)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<uchar>((x * 7 + y * 3 + 40 * layer) % 256);
    }
    return image;
}

QByteArray GcodeHeader(int totalLayers, int resolutionX, int resolutionY)
{
    return QStringLiteral(";fileName:part\n;resolutionX:%1\n;resolutionY:%2\n;layerHeight:0.05\n"
                          ";totalLayer:%3\n;machineZ:150\nG21\nG90\n;after:header\n")
        .arg(resolutionX)
        .arg(resolutionY)
        .arg(totalLayers)
        .toLatin1();
}

ArchiveMembers StandardArchive(const QImage& preview, const QVector<QImage>& layers)
{
    ArchiveMembers members;
    const QImage& first = layers.isEmpty() ? preview : layers.first();
    members.append({"run.gcode", GcodeHeader(layers.size(), first.width(), first.height())});
    if (!preview.isNull())
        members.append({"preview.png", PngBytes(preview)});
    for (int i = 0; i < layers.size(); ++i)
        members.append({QString::number(i + 1) + ".png", PngBytes(layers.at(i))});
    return members;
}

namespace {

quint32 crc32Of(const unsigned char* data, int size)
{
    quint32 crc = 0xFFFFFFFFu;
    for (int i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(QByteArray& bytes, int offset, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>(v >> (24 - 8 * i));
}

} // namespace

QByteArray PngClaimingSize(const QByteArray& png, quint32 width, quint32 height)
{
    // Signature (8), then the IHDR chunk: length, type, 13 data bytes, CRC.
    QByteArray bytes = png;
    putBigEndian(bytes, 16, width);
    putBigEndian(bytes, 20, height);
    putBigEndian(bytes, 29, crc32Of(reinterpret_cast<const unsigned char*>(bytes.constData()) + 12, 17));
    return bytes;
}
