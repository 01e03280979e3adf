// Writes a ChiTuBox-style print archive for converter timing:
//   make_test_archive OUT.zip [LAYERS [WIDTH HEIGHT]]   (defaults 1000, 2560 x 1440)
// Each layer is a black frame with antialiased white discs and a ring that
// change with height, as sliced parts look; a few dozen distinct frames are
// encoded once and reused so that generating stays quick.

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <cmath>
#include <cstdio>

namespace {

QByteArray pngOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage layerFrame(int width, int height, int variant)
{
    QImage frame(width, height, QImage::Format_RGB32);
    frame.fill(Qt::black);
    QPainter p(&frame);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const double r = height * (0.10 + 0.05 * std::sin(variant * 0.3));
    for (int k = 0; k < 6; ++k) {
        const double cx = width * (0.15 + 0.14 * k);
        const double cy = height * (0.3 + 0.1 * std::cos(variant * 0.2 + k));
        p.drawEllipse(QPointF(cx, cy), r, r * 0.8);
    }
    QPainterPath ring;
    ring.addEllipse(QPointF(width * 0.5, height * 0.75), height * 0.2, height * 0.15);
    ring.addEllipse(QPointF(width * 0.5, height * 0.75), height * 0.12 + variant % 7, height * 0.08);
    p.drawPath(ring);
    p.end();
    return frame.convertToFormat(QImage::Format_Grayscale8);
}

bool addMember(QuaZip& zip, const QString& name, const QByteArray& bytes)
{
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name)))
        return false;
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok && file.getZipError() == UNZ_OK;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_test_archive OUT.zip [LAYERS [WIDTH HEIGHT]]\n");
        return 1;
    }
    const int layers = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int width = argc > 4 ? std::atoi(argv[3]) : 2560;
    const int height = argc > 4 ? std::atoi(argv[4]) : 1440;
    if (layers < 1 || layers > 100000 || width < 1 || height < 1 || width > 16384 || height > 16384) {
        std::fprintf(stderr, "make_test_archive: sizes out of range\n");
        return 1;
    }

    QuaZip zip(QString::fromLocal8Bit(argv[1]));
    if (!zip.open(QuaZip::mdCreate)) {
        std::fprintf(stderr, "make_test_archive: cannot create %s\n", argv[1]);
        return 1;
    }
    const QByteArray header = QStringLiteral(
        ";fileName:bench\r\n;machineType:bench\r\n;resolutionX:%1\r\n;resolutionY:%2\r\n"
        ";layerHeight:0.05\r\n;totalLayer:%3\r\n;machineX:120\r\n;machineY:68\r\n;machineZ:150\r\n"
        "G21\r\nG90\r\n").arg(width).arg(height).arg(layers).toLatin1();
    QImage preview(640, 480, QImage::Format_RGB32);
    preview.fill(QColor(40, 80, 160));
    bool ok = addMember(zip, "run.gcode", header) && addMember(zip, "preview.png", pngOf(preview));

    const int distinct = 40;
    QVector<QByteArray> frames;
    for (int v = 0; v < distinct && ok; ++v)
        frames.append(pngOf(layerFrame(width, height, v)));
    for (int i = 1; i <= layers && ok; ++i)
        ok = addMember(zip, QString::number(i) + ".png", frames.at((i - 1) % distinct));
    zip.close();
    if (!ok || zip.getZipError() != UNZ_OK) {
        std::fprintf(stderr, "make_test_archive: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%d layers of %d x %d written to %s\n", layers, width, height, argv[1]);
    return 0;
}
