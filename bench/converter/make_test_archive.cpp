// Writes a ChiTuBox-style print archive for converter timing and trials:
//   make_test_archive OUT.zip [LAYERS [WIDTH HEIGHT]] [--model NAME] [--missing-layer N] [--text-chunks N]
// Defaults 1000 layers of 2560 x 1440. --model writes the header the converter
// panel checks for that printer model (its build size and resolution; layers
// at that resolution unless WIDTH HEIGHT say otherwise); --missing-layer
// leaves layer N out, as a damaged archive would; --text-chunks puts N
// compressed text and colour-profile chunks (zTXt, iTXt and, in the colour
// preview, iCCP in turn) of 7.9 MB unpacked each into the preview and the
// grey layer 1, which stay small.
// Each layer is a black frame with antialiased white discs and a ring that
// change with height, as sliced parts look; a few dozen distinct frames are
// encoded once and reused so that generating stays quick.

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QtEndian>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>
#include <zlib.h>

#include "printfile/printermodels.h"

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

QByteArray zlibOf(const QByteArray& bytes)
{
    uLongf size = compressBound(uLong(bytes.size()));
    QByteArray packed(int(size), '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(bytes.constData()),
                  uLong(bytes.size()), 9) != Z_OK)
        return QByteArray();
    packed.resize(int(size));
    return packed;
}

QByteArray chunkOf(const char* type, const QByteArray& data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), reinterpret_cast<uchar*>(chunk.data()));
    chunk += QByteArray(type, 4) + data;
    const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()) + 4, uInt(chunk.size() - 4)));
    QByteArray tail(4, '\0');
    qToBigEndian<quint32>(crc, reinterpret_cast<uchar*>(tail.data()));
    return chunk + tail;
}

// The PNG with `count` chunks of 7.9 MB unpacked after its image header:
// zTXt, iTXt and, in a colour picture, iCCP (an sRGB profile stretched to
// that size) in turn.
QByteArray withTextChunks(const QByteArray& png, int count, bool colour)
{
    const int unpacked = 7900000;
    const QByteArray text = zlibOf(QByteArray(unpacked, 'A'));
    QByteArray profile = QColorSpace(QColorSpace::SRgb).iccProfile();
    profile.append(QByteArray(unpacked - profile.size(), '\0'));
    qToBigEndian<quint32>(quint32(profile.size()), reinterpret_cast<uchar*>(profile.data()));
    const QByteArray chunks[3] = {chunkOf("zTXt", QByteArray("Comment\0\0", 9) + text),
                                  chunkOf("iTXt", QByteArray("Description\0\1\0\0\0", 16) + text),
                                  chunkOf("iCCP", QByteArray("profile\0\0", 9) + zlibOf(profile))};
    QByteArray inserted;
    for (int i = 0; i < count; ++i)
        inserted += chunks[i % (colour ? 3 : 2)];
    return QByteArray(png).insert(33, inserted); // after the signature and the image header
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

// Millimetres as a header value that the panel reads back as exactly `um`
// (value times 1000 in single precision, cut toward zero).
QString millimetres(int um)
{
    const auto readBack = [](const QString& text) { return static_cast<int>(text.toFloat() * 1000.0f); };
    QString text = QString::number(um / 1000.0, 'f', 3);
    float mm = text.toFloat();
    for (int i = 0; i < 8 && readBack(text) != um; ++i) {
        mm = std::nextafter(mm, 1e9f);
        text = QString::number(double(mm), 'g', 9);
    }
    return text;
}

bool wholeNumber(const char* text, int& value)
{
    bool ok = false;
    value = QString::fromLocal8Bit(text).toInt(&ok);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const char* usage = "usage: make_test_archive OUT.zip [LAYERS [WIDTH HEIGHT]] [--model NAME] [--missing-layer N] "
                        "[--text-chunks N]\n";
    QStringList positional;
    QString model;
    int missing = 0;
    int textChunks = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--model") && i + 1 < argc) {
            model = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == QLatin1String("--missing-layer") && i + 1 < argc) {
            if (!wholeNumber(argv[++i], missing) || missing < 1) {
                std::fprintf(stderr, "make_test_archive: --missing-layer takes a layer number from 1\n");
                return 1;
            }
        } else if (arg == QLatin1String("--text-chunks") && i + 1 < argc) {
            if (!wholeNumber(argv[++i], textChunks) || textChunks < 0 || textChunks > 1000) {
                std::fprintf(stderr, "make_test_archive: --text-chunks takes a number from 0 to 1000\n");
                return 1;
            }
        } else if (arg.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "%s", usage);
            return 1;
        } else {
            positional << arg;
        }
    }
    if (positional.isEmpty() || positional.size() == 3 || positional.size() > 4) {
        std::fprintf(stderr, "%s", usage);
        return 1;
    }
    PrinterModels::ArchiveCheck row{120000, 68000, 150000, 2560, 1440};
    if (!model.isEmpty() && !PrinterModels::ArchiveCheckFor(model, row)) {
        std::fprintf(stderr, "make_test_archive: no archive check row for the model \"%s\"\n",
                     model.toLocal8Bit().constData());
        return 1;
    }
    int layers = 1000, width = row.resolutionX, height = row.resolutionY;
    bool numbers = true;
    if (positional.size() > 1)
        layers = positional[1].toInt(&numbers);
    if (numbers && positional.size() == 4) {
        bool okW = false, okH = false;
        width = positional[2].toInt(&okW);
        height = positional[3].toInt(&okH);
        numbers = okW && okH;
    }
    if (!numbers || layers < 1 || layers > 100000 || width < 1 || height < 1 || width > 16384 || height > 16384 ||
        missing > layers) {
        std::fprintf(stderr, "make_test_archive: sizes out of range\n");
        return 1;
    }
    const QString out = positional[0];
    if (model.isEmpty()) {
        row.resolutionX = width;
        row.resolutionY = height;
    }

    QuaZip zip(out);
    if (!zip.open(QuaZip::mdCreate)) {
        std::fprintf(stderr, "make_test_archive: cannot create %s\n", out.toLocal8Bit().constData());
        return 1;
    }
    const QByteArray header =
        QStringLiteral(";fileName:bench\r\n;machineType:%1\r\n;resolutionX:%2\r\n;resolutionY:%3\r\n"
                       ";layerHeight:0.05\r\n;totalLayer:%4\r\n;machineX:%5\r\n;machineY:%6\r\n;machineZ:%7\r\n"
                       "G21\r\nG90\r\n")
            .arg(model.isEmpty() ? QStringLiteral("bench") : model)
            .arg(row.resolutionX)
            .arg(row.resolutionY)
            .arg(layers)
            .arg(millimetres(row.machineX), millimetres(row.machineY), millimetres(row.machineZ))
            .toLatin1();
    QImage preview(640, 480, QImage::Format_RGB32);
    preview.fill(QColor(40, 80, 160));
    const QByteArray previewPng = pngOf(preview);
    bool ok = addMember(zip, "run.gcode", header) &&
              addMember(zip, "preview.png", textChunks ? withTextChunks(previewPng, textChunks, true) : previewPng);

    const int distinct = qMin(40, layers);
    QVector<QByteArray> frames;
    for (int v = 0; v < distinct && ok; ++v)
        frames.append(pngOf(layerFrame(width, height, v)));
    for (int i = 1; i <= layers && ok; ++i)
        if (i != missing)
            ok = addMember(zip, QString::number(i) + ".png",
                           i == 1 && textChunks ? withTextChunks(frames.at(0), textChunks, false)
                                                : frames.at((i - 1) % distinct));
    zip.close();
    if (!ok || zip.getZipError() != UNZ_OK) {
        std::fprintf(stderr, "make_test_archive: cannot write %s\n", out.toLocal8Bit().constData());
        return 1;
    }
    std::printf("%d layers of %d x %d written to %s%s\n", layers, width, height, out.toLocal8Bit().constData(),
                missing ? qPrintable(QStringLiteral(" (layer %1 left out)").arg(missing)) : "");
    return 0;
}
