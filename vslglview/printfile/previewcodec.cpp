#include "printfile/previewcodec.h"

#include "printfile/runlength.h"

#include <QBuffer>

QVector<quint16> PreviewRgb565(const QImage& preview, QSize size)
{
    QVector<quint16> pixels;
    if (preview.isNull() || size.isEmpty())
        return pixels;
    const QImage scaled = preview.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
    pixels.reserve(size.width() * size.height());
    for (int y = 0; y < scaled.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(scaled.constScanLine(y));
        for (int x = 0; x < scaled.width(); ++x)
            pixels.append(Rgb565(row[x]));
    }
    return pixels;
}

QByteArray PreviewPng(const QImage& image)
{
    QByteArray bytes;
    if (image.isNull())
        return bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        bytes.clear();
    return bytes;
}
