#include "hostile_sources.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QtEndian>

#include <zlib.h>

#include <utility>

namespace {

// Deflates what `next` hands out (an empty piece ends it); `gzip` wraps
// the stream as gzip, else as zlib.
QByteArray deflateStream(const std::function<QByteArray()>& next, bool gzip, int strategy = Z_DEFAULT_STRATEGY)
{
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, gzip ? 31 : 15, 9, strategy) != Z_OK)
        return QByteArray();
    QByteArray out;
    char buffer[1 << 16];
    for (;;) {
        const QByteArray piece = next();
        const int flush = piece.isEmpty() ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.constData()));
        z.avail_in = uInt(piece.size());
        int rc = Z_OK;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            rc = deflate(&z, flush);
            out.append(buffer, int(sizeof buffer - z.avail_out));
        } while (z.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
        if (flush == Z_FINISH)
            break;
    }
    deflateEnd(&z);
    return out;
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& data)
{
    uchar length[4];
    qToBigEndian<quint32>(quint32(data.size()), length);
    png.append(reinterpret_cast<const char*>(length), 4);
    const QByteArray typed = QByteArray(type, 4) + data;
    png.append(typed);
    uchar crc[4];
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))),
                          crc);
    png.append(reinterpret_cast<const char*>(crc), 4);
}

const char* const kSvgHead = "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1440\" "
                             "height=\"2560\">\n";

QByteArray rects(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "<rect x=\"" + QByteArray::number(i % 1440) + "\" y=\"" + QByteArray::number(i % 2560) +
                "\" width=\"3\" height=\"2\" fill=\"#fff\"/>\n";
    return text;
}

// A Pellar30 archive: its check row in the header, `layers` 1440 x 2560
// layers (1 bit, one lit pixel), a small preview.
ArchiveMembers pellar30Archive(int layers, int pictures = -1)
{
    const QByteArray header = QStringLiteral(";fileName:part\n;machineX:68.04\n;machineY:120.96\n;machineZ:170\n"
                                             ";resolutionX:1440\n;resolutionY:2560\n;layerHeight:0.05\n"
                                             ";totalLayer:%1\nG21\nG90\n")
                                  .arg(layers)
                                  .toLatin1();
    ArchiveMembers members{{"run.gcode", header}};
    QImage preview(64, 48, QImage::Format_RGB32);
    preview.fill(QColor(40, 80, 160));
    members.append({"preview.png", PngBytes(preview)});
    QImage layer(1440, 2560, QImage::Format_Mono);
    layer.fill(0);
    layer.setPixel(700, 1200, 1);
    const QByteArray png = PngBytes(layer);
    for (int i = 1; i <= (pictures < 0 ? layers : pictures); ++i)
        members.append({QString::number(i) + ".png", png});
    return members;
}

std::function<bool(const QString&)> archive(const std::function<void(ArchiveMembers&)>& edit, int layers = 3)
{
    return [=](const QString& path) {
        ArchiveMembers members = pellar30Archive(layers);
        if (edit)
            edit(members);
        return WriteZipArchive(path, members);
    };
}

// The member `name` of an archive made as above, replaced by `bytes`.
std::function<bool(const QString&)> replaced(const QString& name, const std::function<QByteArray()>& bytes)
{
    return archive([=](ArchiveMembers& members) {
        for (auto& m : members)
            if (m.first == name)
                m.second = bytes();
    });
}

// The member `name` of an archive made as above, changed by `edit`.
std::function<bool(const QString&)> edited(const QString& name, const std::function<QByteArray(const QByteArray&)>& edit)
{
    return archive([=](ArchiveMembers& members) {
        for (auto& m : members)
            if (m.first == name)
                m.second = edit(m.second);
    });
}

std::function<bool(const QString&)> vxs(int code, int width, int height, float thickness, int layers)
{
    return [=](const QString& path) {
        QFile f(path);
        const QByteArray bytes = VxsSource(code, width, height, thickness, layers);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
}

} // namespace

QByteArray SvgzBytes(int megabytes)
{
    const QByteArray body = rects(200); // repeats within the window: packs small
    qint64 left = qint64(megabytes) << 20;
    bool head = true, tail = true;
    return deflateStream(
        [&]() -> QByteArray {
            if (head) {
                head = false;
                return kSvgHead;
            }
            if (left > 0) {
                left -= body.size();
                return body;
            }
            if (tail) {
                tail = false;
                return "</svg>\n";
            }
            return QByteArray();
        },
        true);
}

QByteArray SvgBytes()
{
    return kSvgHead + rects(20000) + "</svg>\n";
}

QByteArray GifBytes()
{
    QByteArray gif("GIF89a");
    const auto le16 = [&](int v) { gif.append(char(v & 0xFF)).append(char(v >> 8)); };
    le16(1440);
    le16(2560);
    gif.append("\x80\x00\x00", 3);            // a table of two colours
    gif.append("\x00\x00\x00\xFF\xFF\xFF", 6);
    gif.append('\x2C');                        // one image of 1 x 1 at the origin
    le16(0);
    le16(0);
    le16(1);
    le16(1);
    gif.append('\x00');
    gif.append("\x02\x02\x44\x01\x00", 5);     // its pixel: colour 0
    gif.append('\x3B');
    return gif;
}

QByteArray JpegBytes()
{
    QImage image(1440, 2560, QImage::Format_RGB32);
    image.fill(Qt::black);
    image.setPixel(700, 1200, qRgb(255, 255, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

QByteArray HugePng16(int side)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(quint32(side), reinterpret_cast<uchar*>(ihdr.data()));
    qToBigEndian<quint32>(quint32(side), reinterpret_cast<uchar*>(ihdr.data()) + 4);
    ihdr[8] = 16; // bits
    ihdr[9] = 6;  // RGBA
    appendChunk(png, "IHDR", ihdr);
    const QByteArray row(1 + side * 8, '\0'); // filter byte, then pixels
    int rows = side;
    appendChunk(png, "IDAT", deflateStream([&] { return rows-- > 0 ? row : QByteArray(); }, false, Z_RLE));
    appendChunk(png, "IEND", QByteArray());
    return png;
}

QByteArray ZlibBytes(const QByteArray& bytes)
{
    bool given = false;
    return deflateStream([&] { return std::exchange(given, true) ? QByteArray() : bytes; }, false);
}

QByteArray PngWithChunk(const QByteArray& png, const char* type, const QByteArray& data, bool afterPixels)
{
    QByteArray chunk;
    appendChunk(chunk, type, data);
    // The image header ends at byte 33; the end chunk takes the last 12.
    return QByteArray(png).insert(afterPixels ? png.size() - 12 : 33, chunk);
}

QByteArray PngWithTextChunks(const QByteArray& png, int count, int unpacked)
{
    // Each kind packed once: a run of one letter packs a thousandfold.
    const QByteArray text = ZlibBytes(QByteArray(unpacked, 'A'));
    // An sRGB profile stretched to that size, stated in its first bytes.
    QByteArray profile = QColorSpace(QColorSpace::SRgb).iccProfile();
    profile.append(QByteArray(qMax(0, unpacked - profile.size()), '\0'));
    qToBigEndian<quint32>(quint32(profile.size()), reinterpret_cast<uchar*>(profile.data()));
    const QByteArray packedProfile = ZlibBytes(profile);
    QByteArray before, after;
    for (int i = 0; i < count; ++i) {
        QByteArray& into = i % 3 == 2 ? after : before;
        switch (i % 3) {
        case 0: appendChunk(into, "zTXt", QByteArray("Comment\0\0", 9) + text); break;
        case 1: appendChunk(into, "iCCP", QByteArray("profile\0\0", 9) + packedProfile); break;
        default: appendChunk(into, "iTXt", QByteArray("Description\0\1\0\0\0", 16) + text); break;
        }
    }
    return QByteArray(png).insert(png.size() - 12, after).insert(33, before);
}

QByteArray VxsSource(int machineCode, int width, int height, float thicknessMm, int layers)
{
    QByteArray b;
    QDataStream out(&b, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out.writeRawData("Vexmor3D", 8);
    for (qint32 v : {-16777215, 1, machineCode, 0, 34})
        out << v;
    for (int i = 0; i < 34; ++i)
        out << (i == 2 ? float(width) : i == 3 ? float(height) : i == 4 ? thicknessMm : 1.0f);
    out << qint32(layers) << qint32(4) << qint32(0) << qint32(0);
    if (machineCode == 120)
        out << qint32(0); // an empty PNG block
    // One white run over the frame: level 15, then the count less one in digits of 4 bits.
    QByteArray code;
    for (quint64 n = quint64(width) * height - 1; n; n >>= 4)
        code.prepend(char(n & 0xF));
    code.prepend(char(0xF1));
    QByteArray record(4, '\0');
    qToLittleEndian<qint32>(code.size(), reinterpret_cast<uchar*>(record.data()));
    record += code;
    b.reserve(b.size() + record.size() * layers);
    for (int i = 0; i < layers; ++i)
        b += record;
    return b;
}

QVector<HostileSource> HostileSources()
{
    const QString p30 = QStringLiteral("Pellar30");
    const auto notPng = [](const char* what) { return QStringLiteral("not a PNG image (it holds %1").arg(what); };
    return {
        {"an svgz as a layer", "svgz_layer.zip", p30, replaced("2.png", [] { return SvgzBytes(64); }), false,
         {"layer 2 (\"2.png\"): " + notPng("gzip-compressed data")}},
        {"an svgz as the preview", "svgz_preview.zip", p30, replaced("preview.png", [] { return SvgzBytes(64); }), true,
         {"preview dropped: \"preview.png\": " + notPng("gzip-compressed data")}},
        {"six svgz layers side by side", "svgz_six.zip", p30,
         archive(
             [](ArchiveMembers& m) {
                 const QByteArray svgz = SvgzBytes(16);
                 for (auto& member : m)
                     if (member.first != "run.gcode" && member.first != "preview.png")
                         member.second = svgz;
             },
             6),
         false, {"layer 1 (\"1.png\"): " + notPng("gzip-compressed data")}},
        {"an SVG as a layer", "svg_layer.zip", p30, replaced("2.png", SvgBytes), false,
         {"layer 2 (\"2.png\"): " + notPng("XML text")}},
        {"an SVG as the preview", "svg_preview.zip", p30, replaced("preview.png", SvgBytes), true,
         {"preview dropped: \"preview.png\": " + notPng("XML text")}},
        {"a JPEG as a layer", "jpeg_layer.zip", p30, replaced("3.png", JpegBytes), false,
         {"layer 3 (\"3.png\"): " + notPng("a JPEG image")}},
        {"a JPEG as the preview", "jpeg_preview.zip", p30, replaced("preview.png", JpegBytes), true,
         {"preview dropped: \"preview.png\": " + notPng("a JPEG image")}},
        {"a GIF as a layer", "gif_layer.zip", p30, replaced("1.png", GifBytes), false,
         {"layer 1 (\"1.png\"): " + notPng("a GIF image")}},
        {"a GIF as the preview", "gif_preview.zip", p30, replaced("preview.png", GifBytes), true,
         {"preview dropped: \"preview.png\": " + notPng("a GIF image")}},
        {"an 8192 x 8192 16-bit preview", "huge_preview.zip", p30,
         replaced("preview.png", [] { return HugePng16(8192); }), true,
         {"preview dropped: \"preview.png\": image of 8192 x 8192 pixels at 16 bits needs"}},
        {"140 text and colour-profile chunks of 7.9 MB unpacked in a layer", "text_layer.zip", p30,
         replaced("1.png",
                  [] {
                      // In colour, as the profiles are.
                      QImage layer(1440, 2560, QImage::Format_RGB32);
                      layer.fill(Qt::black);
                      layer.setPixel(700, 1200, qRgb(255, 255, 255));
                      return PngWithTextChunks(PngBytes(layer), 140, 7900000);
                  }),
         true, {}},
        {"140 text and colour-profile chunks of 7.9 MB unpacked in the preview", "text_preview.zip", p30,
         edited("preview.png", [](const QByteArray& png) { return PngWithTextChunks(png, 140, 7900000); }), true,
         {}},
        {"pictures past the count in each spelling", "past.zip", p30,
         archive([](ArchiveMembers& m) {
             const QByteArray layer = m.last().second;
             for (const char* name : {"4.png", "5.PNG", "04.png", "layers/6.png"})
                 m.append({name, layer});
         }),
         true,
         {"1 layer picture left out (\"4.png\"): the header of \"run.gcode\" counts 3 layers",
          "3 other pictures left out (\"5.PNG\", \"04.png\", \"layers/6.png\"): the layers are \"1.png\" to "
          "\"3.png\""}},
        {"4,000 layers of 50 um (200 mm) for a 170 mm printer", "tall.zip", p30, archive(nullptr, 4000), false,
         {"Too tall to print! its 4000 layers of 0.05 mm make 200.00 mm, more than the build height of Pellar30, "
          "170 mm"}},
        {"a Pellar30 file as Pellar120", "p30.vxs120", "Pellar120", vxs(30, 1440, 2560, 0.05f, 3), false,
         {"Wrong printer! the source is a print file of machine code 30 (R20, Pellar30); Pellar120 prints only files "
          "of its own code 120"}},
        {"a Pellar120 file as Pellar30", "p120.vxs30", p30, vxs(120, 1440, 2560, 0.05f, 3), false,
         {"machine code 120 (Pellar120); Pellar30 prints only files of its own code 30"}},
        {"a Pellar4K file as Pellar4Kmono", "p4k.vxs4k", "Pellar4Kmono", vxs(4000, 3840, 6480, 0.05f, 3), false,
         {"machine code 4000 (Pellar4K); Pellar4Kmono prints only files of its own code 4500"}, true},
        {"20,000 layers of 50 um (1 m)", "metre.vxs30", p30, vxs(30, 1440, 2560, 0.05f, 20000), false,
         {"Too tall to print! its 20000 layers of 0.05 mm make 1000.00 mm, more than the build height of Pellar30, "
          "170 mm"}},
        {"1,000,000 layers of 10 um (10 m)", "ten.vxs30", p30, vxs(30, 1440, 2560, 0.01f, 1000000), false,
         {"its 1000000 layers of 0.01 mm make 10000.00 mm, more than the build height of Pellar30, 170 mm"}},
        {"3,400 layers of 50 um: the printer's 170 mm to the layer", "full.vxs30", p30,
         vxs(30, 1440, 2560, 0.05f, 3400), true, {}},
        // As many layers as Slice makes of a plate as tall as the printer:
        // the last one's middle lies below the top, its top above it.
        {"5,667 layers of 30 um (170.01 mm): as Slice makes 170 mm", "slice30.vxs30", p30,
         vxs(30, 1440, 2560, 0.03f, 5667), true, {}},
        {"5,668 layers of 30 um", "over30.vxs30", p30, vxs(30, 1440, 2560, 0.03f, 5668), false,
         {"Too tall to print! its 5668 layers of 0.03 mm make 170.04 mm, more than the build height of Pellar30, "
          "170 mm"}},
        // The thumbnails such slicers write beside the preview are no layers.
        {"a second thumbnail", "cropping.zip", p30,
         archive([](ArchiveMembers& m) { m.append({"preview_cropping.png", m[1].second}); }), true, {}},
        {"a thumbnail", "thumbnail.zip", p30,
         archive([](ArchiveMembers& m) { m.insert(2, {"thumbnail.png", m[1].second}); }), true, {}},
        {"6.png past a count of 5, beside the thumbnails", "six.zip", p30,
         archive(
             [](ArchiveMembers& m) {
                 const QByteArray layer = m.last().second;
                 m.append({"preview_cropping.png", m[1].second});
                 m.append({"6.png", layer});
             },
             5),
         true, {"1 layer picture left out (\"6.png\"): the header of \"run.gcode\" counts 5 layers"}},
    };
}
