#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPair>
#include <QString>
#include <QVector>

#include <atomic>

using ArchiveMembers = QVector<QPair<QString, QByteArray>>;

// Writes a zip archive holding the members in order.
bool WriteZipArchive(const QString& path, const ArchiveMembers& members);

QByteArray PngBytes(const QImage& image);

// A grey layer with many runs: (x * 7 + y * 3 + 40 * layer) mod 256.
QImage PatternLayer(int width, int height, int layer);

// A "run.gcode" header with LF line ends followed by G-code.
QByteArray GcodeHeader(int totalLayers, int resolutionX, int resolutionY);

// A complete archive: run.gcode, preview.png (when the preview is not null)
// and the layers 1.png .. N.png.
ArchiveMembers StandardArchive(const QImage& preview, const QVector<QImage>& layers);

// The PNG with its image header claiming another size (checksum fixed up).
QByteArray PngClaimingSize(const QByteArray& png, quint32 width, quint32 height);

inline QByteArray ReadFileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Keeps the largest value seen, from any thread.
inline void RaisePeak(std::atomic<qint64>& peak, qint64 bytes)
{
    for (qint64 seen = peak.load(); bytes > seen && !peak.compare_exchange_weak(seen, bytes);) {
    }
}
