#include "archive_builder.h"
#include "hostile_sources.h"
#include "vxs_reader.h"

#include "printfile/ExportThread.h"
#include "printfile/archivemember.h"
#include "printfile/layercodingpool.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>

#include <sys/stat.h>

namespace {

QImage solid(int w, int h, QColor c, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(w, h, format);
    image.fill(c);
    return image;
}

QVector<QImage> patternLayers(int count, int width, int height)
{
    QVector<QImage> layers;
    for (int i = 0; i < count; ++i)
        layers.append(PatternLayer(width, height, i));
    return layers;
}

// Distinct values, the frame (elements 2 and 3) that of the layers written.
ST_MachinePara distinctPara(QSizeF frame)
{
    ST_MachinePara para;
    for (int i = 0; i < 34; ++i)
        (&para.DotsPermmX)[i] = 0.5f + 1.25f * i;
    para.XResolution = float(frame.width());
    para.YResolution = float(frame.height());
    // Layers of 50 micrometres on a printer that holds every archive here.
    para.SliceThickness = 0.05f;
    para.MachineHeight = 150.0f;
    return para;
}

class Conversion : public ::testing::Test
{
protected:
    void SetUp() override { qRegisterMetaType<QString>(); }
    QString archive() const { return dir.filePath("job.zip"); }
    QString out() const { return dir.filePath("out.vxs"); }

    int run(int code, const QString& target)
    {
        const QMap<int, QString> models = {{10, "Pellar10"}, {30, "Pellar30"}, {120, "Pellar120"}, {200, "Pellar200"}};
        job.m_zipPath = archive();
        job.m_exportType = "ChiTuBox";
        job.m_exportPath = target;
        job.m_machineName = models.value(code);
        job.m_machineCode = code;
        job.m_grayBits = 4;
        job.m_para = distinctPara(frame);
        job.start();
        job.wait();
        return job.lastResult();
    }
    int convert(int code, const ArchiveMembers& members)
    {
        EXPECT_TRUE(WriteZipArchive(archive(), members));
        return run(code, out());
    }
    VxsFileContents readOut(bool withPng)
    {
        VxsFileContents vxs;
        QString error;
        EXPECT_TRUE(ReadVxs(ReadFileBytes(out()), withPng, vxs, error)) << qPrintable(error);
        return vxs;
    }

    QTemporaryDir dir;
    ExportThread job;
    QSizeF frame{40, 30}; // the frame the header states
};

// Each printer's preview and layer frame; every parameter and layer arrives.
TEST_F(Conversion, ArchivesConvertForEachPrinter)
{
    QVector<QImage> sparse; // many layers, each with one lit pixel, in order
    for (int i = 0; i < 200; ++i) {
        QImage layer = solid(24, 9, Qt::black, QImage::Format_Grayscale8);
        layer.scanLine(i % 9)[i % 24] = static_cast<uchar>(16 + i % 240);
        sparse.append(layer);
    }
    const QImage preview = solid(300, 200, QColor(200, 100, 50));
    const quint16 previewRgb565 = (200 >> 3) << 11 | (100 >> 2) << 5 | (50 >> 3);
    // Sizes: of the RGB565 preview, of the PNG block (code 120; else empty), and the frame the layers are
    // scaled to (empty: kept).
    const struct { int code; QVector<QImage> layers; QImage preview; QSize previewSize, pngSize, frame; } cases[] = {
        {10, patternLayers(3, 480, 854), preview, {120, 150}, {}, {}},
        {10, patternLayers(2, 960, 1708), preview, {120, 150}, {}, {480, 854}}, // the printer's archive frame
        {10, patternLayers(2, 240, 427), preview.scaled(40, 30), {120, 150}, {}, {480, 854}},
        {120, patternLayers(3, 96, 61), preview, {120, 150}, {1200, 1600}, {}},
        {200, patternLayers(3, 257, 33), preview, {0, 0}, {}, {}},
        {200, sparse, preview, {0, 0}, {}, {}},
        {30, patternLayers(2, 50, 40), QImage(), {120, 150}, {}, {}}, // preview from the first layer
        {30, {solid(16, 8, QColor(255, 255, 255, 0), QImage::Format_ARGB32),  // transparent pixels lie on black
              solid(16, 8, QColor(255, 255, 255, 0), QImage::Format_RGBA64),
              solid(16, 8, QColor(255, 255, 255, 255), QImage::Format_ARGB32),
              solid(16, 8, QColor(255, 255, 255, 128), QImage::Format_ARGB32)}, preview, {120, 150}, {}, {}},
    };
    QSignalSpy done(&job, &ExportThread::signal_ExportDataDone);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << ", " << c.layers.size() << " layers of " << c.layers[0].width()
                                        << "x" << c.layers[0].height());
        done.clear();
        frame = c.frame.isEmpty() ? c.layers[0].size() : c.frame;
        ASSERT_EQ(convert(c.code, StandardArchive(c.preview, c.layers)), ExportOk) << qPrintable(job.lastMessage());
        ASSERT_EQ(done.count(), 1);
        EXPECT_EQ(done.at(0).at(0).toInt(), ExportOk);
        EXPECT_EQ(ReadFileBytes(out()).mid(8, 4), QByteArray("\x01\x00\x00\xFF", 4));
        const VxsFileContents vxs = readOut(!c.pngSize.isEmpty());
        EXPECT_TRUE(vxs.machineCode == c.code && vxs.bitsPerPixel == 4) << vxs.machineCode << " " << vxs.bitsPerPixel;
        const ST_MachinePara para = distinctPara(frame);
        EXPECT_EQ(vxs.para, QVector<float>(&para.DotsPermmX, &para.DotsPermmX + 34));
        EXPECT_EQ(QSize(vxs.previewWidth, vxs.previewHeight), c.previewSize);
        if (!c.preview.isNull()) {
            EXPECT_EQ(vxs.preview.count(previewRgb565), c.previewSize.width() * c.previewSize.height());
        }
        if (!c.pngSize.isEmpty()) {
            const QImage png = QImage::fromData(vxs.png, "PNG");
            EXPECT_EQ(png.size(), c.pngSize);
            EXPECT_EQ(QColor(png.pixel(c.pngSize.width() / 2, c.pngSize.height() / 2)), QColor(200, 100, 50));
        }
        ASSERT_EQ(vxs.layerCodes.size(), c.layers.size());
        for (int i = 0; i < c.layers.size(); ++i) {
            const QImage& src = c.layers.at(i);
            const QSize size = c.frame.isEmpty() ? src.size() : c.frame;
            QVector<quint8> levels;
            ASSERT_TRUE(DecodeLayerLevels(vxs.layerCodes.at(i), 4, size.width() * size.height(), levels) &&
                        levels.size() == size.width() * size.height())
                << "layer " << i + 1;
            if (!c.frame.isEmpty())
                continue;
            QImage onBlack(src.size(), QImage::Format_RGB32);
            onBlack.fill(Qt::black);
            QPainter(&onBlack).drawImage(0, 0, src);
            int mismatches = 0;
            for (int y = 0; y < src.height(); ++y)
                for (int x = 0; x < src.width(); ++x)
                    mismatches += levels.at(y * src.width() + x) != (qGray(onBlack.pixel(x, y)) & 0xF0);
            EXPECT_EQ(mismatches, 0) << "layer " << i + 1;
        }
    }
}

// The chunk types of PNG data, in order.
QStringList chunkTypes(const QByteArray& png)
{
    QStringList types;
    for (int at = 8; at + 12 <= png.size();) {
        types << QString::fromLatin1(png.mid(at + 4, 4));
        at += 12 + int(quint32(uchar(png[at])) << 24 | uchar(png[at + 1]) << 16 | uchar(png[at + 2]) << 8 |
                       uchar(png[at + 3]));
    }
    return types;
}

// Text and colour-profile chunks in the preview and the layers change no
// byte of the converted layers and preview; the PNG block of code 120 shows
// the same picture, and carries no text.
TEST_F(Conversion, TextAndProfileChunksChangeNoByteOfTheConvertedFile)
{
    QVector<QImage> layers = patternLayers(2, 48, 36);
    QImage colour(48, 36, QImage::Format_RGB32);
    for (int y = 0; y < colour.height(); ++y)
        for (int x = 0; x < colour.width(); ++x)
            colour.setPixel(x, y, qRgb(x * 5, y * 7, (x * y) % 256));
    layers << colour;
    const QImage preview = colour.scaled(96, 72);
    frame = QSize(48, 36);
    for (int code : {30, 120}) {
        SCOPED_TRACE(code);
        const ArchiveMembers plain = StandardArchive(preview, layers);
        ASSERT_EQ(convert(code, plain), ExportOk) << qPrintable(job.lastMessage());
        const QByteArray expected = ReadFileBytes(out());
        ArchiveMembers laden = plain;
        for (auto& m : laden)
            if (m.first.endsWith(".png"))
                m.second = PngWithTextChunks(m.second, 12, 1 << 20);
        ASSERT_EQ(convert(code, laden), ExportOk) << qPrintable(job.lastMessage());
        EXPECT_TRUE(job.lastMessage().isEmpty()) << qPrintable(job.lastMessage());
        const QByteArray converted = ReadFileBytes(out());
        if (code != 120) {
            EXPECT_TRUE(converted == expected);
            continue;
        }
        VxsFileContents a, b;
        QString error;
        ASSERT_TRUE(ReadVxs(expected, true, a, error)) << qPrintable(error);
        ASSERT_TRUE(ReadVxs(converted, true, b, error)) << qPrintable(error);
        EXPECT_TRUE(a.para == b.para && a.preview == b.preview && a.layerCodes == b.layerCodes);
        const QImage shown = QImage::fromData(b.png, "PNG");
        ASSERT_FALSE(shown.isNull());
        EXPECT_TRUE(shown.convertToFormat(QImage::Format_RGB32) ==
                    QImage::fromData(a.png, "PNG").convertToFormat(QImage::Format_RGB32));
        const QStringList types = chunkTypes(b.png);
        EXPECT_EQ(types.filter(QRegularExpression("^(tEXt|zTXt|iTXt)$")), QStringList()) << qPrintable(types.join(','));
    }
}

// A refused archive leaves nothing but itself and the earlier output behind.
TEST_F(Conversion, BrokenArchivesAreRefusedWithTheirCode)
{
    using Edit = std::function<void(ArchiveMembers&)>;
    const auto header = [](const QByteArray& gcode) { return Edit([=](ArchiveMembers& m) { m[0].second = gcode; }); };
    // Each edits an archive of run.gcode, preview.png and three 40 x 30 layers; no edit: junk bytes.
    // failedLayer 0: not checked.
    const struct { const char* name; Edit edit; int result, failedLayer; QStringList message; } cases[] = {
        {"layer missing", [](ArchiveMembers& m) { m[3].first = "extra.txt"; }, ExportLayerFailed, 2, {"2.png"}},
        {"layer PNG truncated", [](ArchiveMembers& m) { m[4].second.chop(m[4].second.size() / 2); }, ExportLayerFailed,
         3, {}},
        {"layer not an image", [](ArchiveMembers& m) { m[3].second = "not an image"; }, ExportLayerFailed, 2, {}},
        {"image of absurd size", [](ArchiveMembers& m) { m[3].second = PngClaimingSize(m[3].second, 100000, 100000); },
         ExportLayerFailed, 2, {"too large"}},
        {"a layer of another size", [](ArchiveMembers& m) { m[4].second = PngBytes(PatternLayer(30, 40, 2)); },
         ExportLayerFailed, 3, {"layer 3", "30 x 40"}},
        {"run.gcode missing", [](ArchiveMembers& m) { m.removeFirst(); }, ExportGcodeMissing, 0, {}},
        {"not an archive", nullptr, ExportArchiveFailed, 0, {}},
        {"no layers", [](ArchiveMembers& m) { m = StandardArchive(QImage(), {}); }, ExportBadArchiveData, 0, {}},
        {"absurd layer count", header(GcodeHeader(5000000, 40, 30)), ExportBadArchiveData, 0, {}},
        {"more layers than members", header(GcodeHeader(5, 40, 30)), ExportBadArchiveData, 0, {}},
        {"layer count not a number", header(";totalLayer:3a\nG21\n"), ExportBadArchiveData, 0, {}},
        {"no layer count", header(";resolutionX:40\n;resolutionY:30\nG21\n"), ExportBadArchiveData, 0, {}},
        // Which of two members of one name is read is the reader's whim: a
        // white frame behind a layer's name would cure the whole plate.
        {"a layer twice", [](ArchiveMembers& m) { m.append({"2.png", PngBytes(solid(40, 30, Qt::white))}); },
         ExportLayerFailed, 0, {"more than one member named \"2.png\""}},
    };
    {
        QFile old(out());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("earlier print file") > 0);
    }
    QSignalSpy done(&job, &ExportThread::signal_ExportDataDone);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.edit) {
            ArchiveMembers members = StandardArchive(solid(30, 20, Qt::red), patternLayers(3, 40, 30));
            c.edit(members);
            ASSERT_TRUE(WriteZipArchive(archive(), members));
        } else {
            QFile junk(archive());
            ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(5000, 'x')) == 5000);
        }
        done.clear();
        EXPECT_EQ(run(30, out()), c.result);
        ASSERT_EQ(done.count(), 1);
        EXPECT_TRUE(done.at(0).at(0).toInt() == c.result && !done.at(0).at(1).toString().isEmpty());
        EXPECT_TRUE(!c.failedLayer || job.failedLayer() == c.failedLayer) << job.failedLayer();
        for (const QString& part : c.message)
            EXPECT_TRUE(job.lastMessage().contains(part)) << qPrintable(job.lastMessage());
        EXPECT_TRUE(c.result != ExportGcodeMissing || job.m_gcodeParas.isEmpty());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"job.zip", "out.vxs"}));
        EXPECT_EQ(ReadFileBytes(out()), QByteArray("earlier print file"));
    }
}

// The header states one frame; layers of any other (after the model's
// scaling) stop the job with the layer named, and nothing is written.
TEST_F(Conversion, LayersOfAnotherFrameThanTheHeaderStatesStopTheJob)
{
    const struct { const char* name; int code; QSizeF header; QVector<QImage> layers; int result, failedLayer; const char* message; } cases[] = {
        {"100 x 100 under a 1440 x 2560 header", 30, {1440, 2560}, patternLayers(2, 100, 100), ExportLayerFailed, 1,
         "is 100 x 100 pixels, the header states 1440 x 2560"},
        {"one pixel wider", 30, {40, 30}, {PatternLayer(40, 30, 0), PatternLayer(41, 30, 1)}, ExportLayerFailed, 2,
         "layer 2"},
        {"turned a quarter turn", 30, {30, 40}, patternLayers(2, 40, 30), ExportLayerFailed, 1, "40 x 30"},
        {"scaled for code 10, header of another model", 10, {1440, 2560}, patternLayers(2, 960, 1708),
         ExportLayerFailed, 1, "480 x 854"},
        {"no frame in the header", 30, {0, 0}, patternLayers(2, 40, 30), ExportBadArchiveData, 0, "not usable"},
        {"a fractional frame", 30, {40.5, 40.5}, patternLayers(2, 40, 30), ExportBadArchiveData, 0, "not usable"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        frame = c.header;
        EXPECT_EQ(convert(c.code, StandardArchive(QImage(), c.layers)), c.result);
        EXPECT_EQ(job.failedLayer(), c.failedLayer);
        EXPECT_TRUE(job.lastMessage().contains(c.message)) << qPrintable(job.lastMessage());
        EXPECT_FALSE(QFile::exists(out()));
    }
}

// Pellar10's layers are scaled to its 480 x 854 frame: only from the frame
// the archive's header states, and only from one of that shape. A 1 x 1
// white layer once became a fully lit frame; 100 x 100 layers were stretched.
TEST_F(Conversion, ScaledLayersComeOnlyAtTheHeadersFrameOfThePrintersShape)
{
    const QImage dot = solid(1, 1, Qt::white, QImage::Format_Grayscale8);
    const struct { const char* name; QSize header; QVector<QImage> layers; int result, failedLayer; QStringList message; } cases[] = {
        {"1 x 1 layers under a 960 x 1708 header", {960, 1708}, {dot, dot}, ExportLayerFailed, 1,
         {"layer 1 (\"1.png\") is 1 x 1 pixels, the header states 960 x 1708"}},
        {"a second layer of another frame", {960, 1708}, {PatternLayer(960, 1708, 0), PatternLayer(480, 854, 1)},
         ExportLayerFailed, 2, {"layer 2", "is 480 x 854 pixels, the header states 960 x 1708"}},
        {"1 x 1 header and layers", {1, 1}, {dot, dot}, ExportBadArchiveData, 0,
         {"Image setting does not match!", "\"1\" x \"1\"", "480 x 854"}},
        {"square layers", {100, 100}, patternLayers(2, 100, 100), ExportBadArchiveData, 0,
         {"Image setting does not match!", "\"100\" x \"100\""}},
        {"one row short of the shape", {960, 1707}, patternLayers(2, 960, 1707), ExportBadArchiveData, 0,
         {"Image setting does not match!"}},
        {"turned", {1708, 960}, patternLayers(2, 1708, 960), ExportBadArchiveData, 0, {"Image setting does not match!"}},
        {"no frame in the header", {}, patternLayers(2, 960, 1708), ExportBadArchiveData, 0,
         {"Image setting does not match!"}},
    };
    {
        QFile old(out());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("earlier print file") > 0);
    }
    frame = QSize(480, 854);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveMembers members = StandardArchive(QImage(), c.layers);
        members[0].second = c.header.isEmpty() ? QByteArray(";totalLayer:2\n;layerHeight:0.05\nG21\n")
                                               : GcodeHeader(c.layers.size(), c.header.width(), c.header.height());
        EXPECT_EQ(convert(10, members), c.result) << qPrintable(job.lastMessage());
        EXPECT_EQ(job.failedLayer(), c.failedLayer);
        for (const QString& part : c.message)
            EXPECT_TRUE(job.lastMessage().contains(part)) << qPrintable(job.lastMessage());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"job.zip", "out.vxs"}));
        EXPECT_EQ(ReadFileBytes(out()), QByteArray("earlier print file"));
    }

    // The printer's own archive: a white left quarter stays a quarter of the frame.
    QImage quarter = solid(960, 1708, Qt::black, QImage::Format_Grayscale8);
    for (int y = 0; y < 1708; ++y)
        std::fill_n(quarter.scanLine(y), 240, uchar(0xFF));
    ASSERT_EQ(convert(10, StandardArchive(QImage(), {quarter})), ExportOk) << qPrintable(job.lastMessage());
    const VxsFileContents vxs = readOut(false);
    ASSERT_EQ(vxs.layerCodes.size(), 1);
    QVector<quint8> levels;
    ASSERT_TRUE(DecodeLayerLevels(vxs.layerCodes[0], 4, 480 * 854, levels) && levels.size() == 480 * 854);
    int lit = 0, litOutside = 0;
    for (int i = 0; i < levels.size(); ++i) {
        lit += levels[i] != 0;
        litOutside += levels[i] != 0 && i % 480 >= 121;
    }
    EXPECT_NEAR(lit, 120 * 854, 854);
    EXPECT_EQ(litOutside, 0);
}

// An archive of black layers only would cure nothing: refused, no file.
TEST_F(Conversion, AnArchiveThatLightsNothingIsRefused)
{
    QImage dim = solid(40, 30, QColor(15, 15, 15), QImage::Format_Grayscale8); // under the first level
    const QVector<QImage> black = {solid(40, 30, Qt::black), dim, solid(40, 30, QColor(255, 255, 255, 0), QImage::Format_ARGB32)};
    ASSERT_EQ(convert(30, StandardArchive(QImage(), black)), ExportNothingLit);
    EXPECT_TRUE(job.lastMessage().startsWith("Nothing to print.")) << qPrintable(job.lastMessage());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"job.zip"});
    // One dim pixel at the first level is enough to print.
    QImage one = dim;
    one.scanLine(29)[39] = 16;
    ASSERT_EQ(convert(30, StandardArchive(QImage(), {black[0], one})), ExportOk) << qPrintable(job.lastMessage());
}

// An unusable preview is dropped with a note; the conversion goes on.
TEST_F(Conversion, BadPreviewIsDropped)
{
    const struct { const char* name; int code; std::function<QByteArray(const QByteArray&)> damage; } cases[] = {
        {"truncated, code 120", 120, [](const QByteArray& png) { return png.left(40); }},
        {"oversized, code 10", 10, [](const QByteArray& png) { return PngClaimingSize(png, 60000, 60000); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QSize layer = c.code == 10 ? QSize(240, 427) : QSize(40, 30);
        ArchiveMembers members = StandardArchive(solid(30, 20, Qt::green), patternLayers(2, layer.width(), layer.height()));
        members[1].second = c.damage(members[1].second);
        frame = c.code == 10 ? QSize(480, 854) : QSize(40, 30);
        ASSERT_EQ(convert(c.code, members), ExportOk) << qPrintable(job.lastMessage());
        EXPECT_TRUE(job.lastMessage().startsWith("preview dropped")) << qPrintable(job.lastMessage());
        const VxsFileContents vxs = readOut(c.code == 120);
        EXPECT_TRUE(vxs.previewWidth == 0 && vxs.previewHeight == 0 && vxs.png.isEmpty() && vxs.layerCodes.size() == 2);
    }
}

// Layer pictures past the count of the header are not converted, and the
// note says which were left out; other pictures are no layers.
TEST_F(Conversion, LayerPicturesPastTheHeadersCountAreNamedAsLeftOut)
{
    const struct { const char* what; int pictures; QStringList more; bool badPreview; QString note; } rows[] = {
        {"three pictures, two counted", 3, {}, false,
         "1 layer picture left out (\"3.png\"): the header of \"run.gcode\" counts 2 layers"},
        {"five pictures, two counted", 5, {}, false,
         "3 layer pictures left out (\"3.png\" to \"5.png\"): the header of \"run.gcode\" counts 2 layers"},
        {"and a bad preview", 3, {}, true, "preview dropped"},
        // Numbered past the count but spelled otherwise they are no layers,
        // but are named all the same; a picture that is no number is none.
        {"pictures that are no layers", 2, {"03.png", "3.PNG", "x3.png", "3.png.bak", "layers/3.png"}, false,
         "3 other pictures left out (\"03.png\", \"3.PNG\", \"layers/3.png\"): the layers are "
         "\"1.png\" to \"2.png\""},
        {"numbered past the count and spelled otherwise", 4, {"5.PNG", "06.png"}, false,
         "2 layer pictures left out (\"3.png\" to \"4.png\"): the header of \"run.gcode\" counts 2 layers; 2 other "
         "pictures left out (\"5.PNG\", \"06.png\"): the layers are \"1.png\" to \"2.png\""},
        {"no layer picture past the count, a text file", 2, {"notes.txt", "layers/"}, false, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ArchiveMembers members = StandardArchive(solid(30, 20, Qt::green), patternLayers(r.pictures, 40, 30));
        members[0].second = GcodeHeader(2, 40, 30);
        for (const QString& name : r.more)
            members.append({name, members.last().second});
        if (r.badPreview)
            members[1].second = members[1].second.left(40);
        ASSERT_EQ(convert(120, members), ExportOk) << qPrintable(job.lastMessage());
        EXPECT_TRUE(r.note.isEmpty() || job.lastMessage().startsWith(r.note)) << qPrintable(job.lastMessage());
        EXPECT_EQ(r.note.isEmpty(), job.lastMessage().isEmpty()) << qPrintable(job.lastMessage());
        if (r.badPreview) {
            EXPECT_TRUE(job.lastMessage().endsWith("; 1 layer picture left out (\"3.png\"): the header of \"run.gcode\" "
                                                   "counts 2 layers")) << qPrintable(job.lastMessage());
        }
        EXPECT_EQ(readOut(true).layerCodes.size(), 2);
    }
}

// The thumbnails a slicer writes beside the preview are no layers: an
// archive as such slicers write it converts without a note. Only a picture
// that could be a layer past the header's count is named, in any spelling
// or folder; one numbered within the count is no layer left out.
TEST_F(Conversion, ThumbnailsAreNoLayersLeftOut)
{
    const QString p6 = "1 layer picture left out (\"6.png\"): the header of \"run.gcode\" counts 5 layers";
    const struct { const char* what; QStringList more; QString note; } rows[] = {
        {"a second thumbnail", {"preview_cropping.png"}, ""},
        {"a thumbnail", {"thumbnail.png"}, ""},
        {"thumbnails in any case and folder",
         {"Preview_Cropping.PNG", "thumbnails/thumbnail.png", "thumb_0.png", "1x.png", ".png", "5a.png", "-6.png"}, ""},
        {"numbered within the count, spelled otherwise", {"05.png", "1.PNG", "layers/2.png", "0.png", "000.png"}, ""},
        {"6.png past a count of 5", {"6.png"}, p6},
        {"6.png past a count of 5, with the thumbnails", {"preview_cropping.png", "6.png", "thumbnail.png"}, p6},
        {"past the count in folders and spellings", {"preview_cropping.png", "Layers/6.PNG", "0007.png", "x\\8.png"},
         "3 other pictures left out (\"Layers/6.PNG\", \"0007.png\", \"x\\8.png\"): the layers are \"1.png\" to "
         "\"5.png\""},
        {"a number past any count", {"12345678901234567890.png"},
         "1 other picture left out (\"12345678901234567890.png\"): the layers are \"1.png\" to \"5.png\""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ArchiveMembers members = StandardArchive(solid(30, 20, Qt::green), patternLayers(5, 40, 30));
        for (const QString& name : r.more)
            members.append({name, members.last().second});
        members[0].second = GcodeHeader(5, 40, 30);
        ASSERT_EQ(convert(120, members), ExportOk) << qPrintable(job.lastMessage());
        EXPECT_EQ(job.lastMessage(), r.note);
        // The layers are the archive's layers, whatever else it holds.
        const VxsFileContents vxs = readOut(true);
        ASSERT_EQ(vxs.layerCodes.size(), 5);
        for (int i = 0; i < 5; ++i) {
            QVector<quint8> levels, expected;
            ASSERT_TRUE(DecodeLayerLevels(vxs.layerCodes[i], 4, 40 * 30, levels));
            const QImage layer = PatternLayer(40, 30, i);
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x)
                    expected << quint8(layer.constScanLine(y)[x] & 0xF0);
            EXPECT_EQ(levels, expected) << "layer " << i + 1;
        }
    }
}

TEST_F(Conversion, OutputOntoTheArchiveOrADeviceIsRefusedBeforeAnythingIsWritten)
{
    ASSERT_TRUE(WriteZipArchive(archive(), StandardArchive(QImage(), {solid(20, 10, Qt::white)})));
    const QByteArray before = ReadFileBytes(archive());
    const QString fifo = dir.filePath("device.vxs");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(archive(), dir.filePath("link.zip")));
    for (const QString& target : {archive(), dir.filePath("link.zip"), fifo}) {
        EXPECT_EQ(run(30, target), ExportOutputFailed) << qPrintable(target);
        EXPECT_EQ(ReadFileBytes(archive()), before);
        EXPECT_FALSE(QFileInfo(fifo).isFile());
    }
    // A FIFO as the archive is refused, not opened (which would block).
    job.m_zipPath = fifo;
    EXPECT_EQ(job.LoadGcode_ChiTuBox(), ExportArchiveFailed);
    EXPECT_TRUE(job.lastMessage().contains("not a regular file"));
    job.m_zipPath = dir.filePath("absent.zip");
    EXPECT_EQ(job.LoadGcode_ChiTuBox(), ExportArchiveFailed);
}

TEST_F(Conversion, TheBudgetBoundsTheBytesInFlight)
{
    QVector<QImage> layers;
    for (int i = 0; i < 12; ++i)
        layers << solid(256, 128, QColor(255, 255, 255, 20 * i), QImage::Format_RGBA64);
    const qint64 cost = LayerCodingPool::estimateLayerBytes(PngBytes(layers[0]), LayerCodingPool::Settings());
    std::atomic<qint64> peak{0};
    job.m_decodeBudget = cost; // one layer at a time
    job.m_inFlightObserver = [&](qint64 bytes) { RaisePeak(peak, bytes); };
    frame = QSize(256, 128);
    ASSERT_EQ(convert(30, StandardArchive(QImage(), layers)), ExportOk) << qPrintable(job.lastMessage());
    EXPECT_EQ(peak.load(), cost);
}

TEST_F(Conversion, CompressImageOfAnEmptyImageCodesNothing)
{
    job.m_grayBits = 4;
    job.CompressImage(); // of an empty image
    EXPECT_TRUE(job.m_rleData.isEmpty());

    job.m_layerImage = solid(4, 2, Qt::black, QImage::Format_Grayscale8);
    job.m_layerImage.scanLine(0)[2] = 0xFF;
    job.CompressImage();
    EXPECT_EQ(job.m_imageWidth, 4);
    EXPECT_EQ(job.m_rleData, (QVector<unsigned char>{0x02, 0xF1, 0x05}));
}

// As a slice refuses a plate taller than the printer, a conversion refuses
// an archive whose layers stand taller than the block's height, before
// anything is written.
TEST_F(Conversion, AnArchiveTallerThanThePrinterIsRefusedBeforeAnythingIsWritten)
{
    const QByteArray layer = PngBytes(PatternLayer(40, 30, 1));
    const auto archiveOf = [&](int layers) {
        ArchiveMembers members{{"run.gcode", GcodeHeader(layers, 40, 30)}};
        for (int i = 1; i <= layers; ++i)
            members.append({QString::number(i) + ".png", layer});
        return members;
    };
    // distinctPara: layers of 0.05 mm, a height of 150 mm.
    ASSERT_EQ(convert(30, archiveOf(3001)), ExportTooTall);
    EXPECT_TRUE(job.lastMessage().endsWith(
        ": Too tall to print! its 3001 layers of 0.05 mm make 150.05 mm, more than the build height of Pellar30, 150 mm"))
        << qPrintable(job.lastMessage());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"job.zip"});
    ASSERT_EQ(convert(30, archiveOf(3000)), ExportOk) << qPrintable(job.lastMessage());
    EXPECT_EQ(readOut(false).layerCodes.size(), 3000);
}

// An archive of as many layers as Slice makes of a plate exactly as tall as
// the printer converts: the last layer reaches up to half a layer past the
// build height, as it does in every file Slice writes. One more is refused.
TEST_F(Conversion, AnArchiveOfAsManyLayersAsSliceMakesConverts)
{
    frame = QSizeF(4, 3);
    const QByteArray layer = PngBytes(PatternLayer(4, 3, 1));
    const struct { float thickness; float height; int layers; int result; } rows[] = {
        {0.03f, 170, 5667, ExportOk}, // 170.01 mm
        {0.03f, 170, 5668, ExportTooTall},
        {0.045f, 170, 3778, ExportOk}, // 170.01 mm
        {0.035f, 150, 4286, ExportOk}, // 150.01 mm
        {0.035f, 150, 4287, ExportTooTall},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(QString("%1 layers of %2 mm for %3 mm").arg(r.layers).arg(r.thickness).arg(r.height).toStdString());
        ArchiveMembers members{{"run.gcode", GcodeHeader(r.layers, 4, 3)}};
        for (int i = 1; i <= r.layers; ++i)
            members.append({QString::number(i) + ".png", layer});
        ASSERT_TRUE(WriteZipArchive(archive(), members));
        job.m_zipPath = archive();
        job.m_exportType = "ChiTuBox";
        job.m_exportPath = out();
        job.m_machineName = "Pellar30";
        job.m_machineCode = 30;
        job.m_grayBits = 4;
        job.m_para = distinctPara(frame);
        job.m_para.SliceThickness = r.thickness;
        job.m_para.MachineHeight = r.height;
        QFile::remove(out());
        job.start();
        job.wait();
        EXPECT_EQ(job.lastResult(), r.result) << qPrintable(job.lastMessage());
        EXPECT_EQ(QFile::exists(out()), r.result == ExportOk);
        if (r.result == ExportOk) {
            EXPECT_EQ(readOut(false).layerCodes.size(), r.layers);
        }
    }
}

// A layer that alone needs more than the decode budget is refused, named,
// and never decoded (it once ran alone, whatever it cost).
TEST_F(Conversion, ALayerNeedingMoreThanTheBudgetIsRefused)
{
    QVector<QImage> layers = patternLayers(2, 40, 30);
    layers.append(solid(40, 30, QColor(255, 255, 255, 90), QImage::Format_RGBA64)); // costlier than the rest
    const qint64 grey = LayerCodingPool::estimateLayerBytes(PngBytes(layers[0]), LayerCodingPool::Settings());
    const qint64 costly = LayerCodingPool::estimateLayerBytes(PngBytes(layers[2]), LayerCodingPool::Settings());
    ASSERT_LT(grey, costly);
    job.m_decodeBudget = grey;
    ASSERT_EQ(convert(30, StandardArchive(QImage(), layers)), ExportLayerFailed);
    EXPECT_EQ(job.failedLayer(), 3);
    EXPECT_TRUE(job.lastMessage().startsWith("layer 3 (\"3.png\"): image of 40 x 30 pixels needs"))
        << qPrintable(job.lastMessage());
    EXPECT_FALSE(QFile::exists(out()));
}

// Pictures are decoded as PNG and nothing else, whatever image plugin would
// take them; the header's size and depth are judged before a pixel is.
TEST(ArchiveImages, OnlyPngIsDecodedAndItsHeaderIsJudgedFirst)
{
    const struct { const char* name; QByteArray bytes; QString says; } refused[] = {
        {"svgz", SvgzBytes(1), "not a PNG image (it holds gzip-compressed data"},
        {"svg", SvgBytes(), "not a PNG image (it holds XML text"},
        {"jpeg", JpegBytes(), "not a PNG image (it holds a JPEG image)"},
        {"gif", GifBytes(), "not a PNG image (it holds a GIF image)"},
        {"empty", QByteArray(), "not a PNG image (it is empty)"},
        {"signature only", QByteArray("\x89PNG\r\n\x1a\n", 8), "header is missing or damaged"},
        {"8192 x 8192, 16 bits", HugePng16(8192), "image of 8192 x 8192 pixels at 16 bits takes 512 MB decoded"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        QImage image;
        QString error;
        EXPECT_FALSE(DecodeArchiveImage(r.bytes, image, error, qint64(256) << 20));
        EXPECT_TRUE(error.contains(r.says)) << qPrintable(error);
        EXPECT_TRUE(image.isNull());
    }
    // A PNG within the budget decodes; its header says what it costs.
    const QByteArray png = HugePng16(64);
    PngHeader header;
    QString error;
    ASSERT_TRUE(ReadPngHeader(png, header, error)) << qPrintable(error);
    EXPECT_EQ(header.size, QSize(64, 64));
    EXPECT_EQ(PngDecodedBytes(header), 64 * 64 * 8);
    EXPECT_TRUE(PngHasAlpha(header));
    QImage image;
    ASSERT_TRUE(DecodeArchiveImage(png, image, error, 64 * 64 * 8)) << qPrintable(error);
    EXPECT_EQ(image.size(), QSize(64, 64));
    EXPECT_LE(image.sizeInBytes(), PngDecodedBytes(header));
    EXPECT_FALSE(DecodeArchiveImage(png, image, error, 64 * 64 * 8 - 1));
}

} // namespace

namespace {

QByteArray bigEndianBytes(quint32 v)
{
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(bytes, 4);
}

// What Qt's own PNG reader makes of the whole data, as every picture was
// decoded before its chunks were sorted.
QImage readWhole(const QByteArray& bytes)
{
    QImage image;
    image.loadFromData(bytes, "PNG");
    return image;
}

} // namespace

// Ordinary pictures decode as Qt's reader decodes the whole data: the same
// pixels, format, colour space (grey levels follow it), resolution and
// offset. Only their texts stay behind.
TEST(ArchiveImages, OrdinaryPicturesDecodeAsTheWholeDataDecodes)
{
    auto pattern = [](QImage::Format format) {
        QImage image(29, 17, format);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixelColor(x, y, QColor(x * 8, y * 15, (x * y) % 256, 255 - x * 4));
        return image;
    };
    QImage palette = pattern(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8);
    QImage seeThroughPalette = pattern(QImage::Format_ARGB32).convertToFormat(QImage::Format_Indexed8);
    QImage mono(29, 17, QImage::Format_Mono);
    mono.fill(0);
    for (int i = 0; i < 17; ++i)
        mono.setPixel(i, i, 1);
    QImage grey16(29, 17, QImage::Format_Grayscale16);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 29; ++x)
            reinterpret_cast<quint16*>(grey16.scanLine(y))[x] = quint16(x * 2000 + y * 97);
    QImage linear = pattern(QImage::Format_RGB32);
    linear.setColorSpace(QColorSpace::SRgbLinear);
    QImage placed = pattern(QImage::Format_RGB32);
    placed.setDotsPerMeterX(11811);
    placed.setDotsPerMeterY(5000);
    placed.setOffset(QPoint(3, -4));
    QImage described = pattern(QImage::Format_ARGB32);
    described.setText("Software", "a slicer");
    described.setText("Comment", QString(3000, QLatin1Char('c')));
    const QByteArray rgb = PngBytes(pattern(QImage::Format_RGB32));
    const QByteArray grey = PngBytes(PatternLayer(29, 17, 1));

    const struct { const char* name; QByteArray png; } rows[] = {
        {"grey", grey},
        {"grey, 16 bits", PngBytes(grey16)},
        {"grey with a transparent level", PngWithChunk(grey, "tRNS", QByteArray("\0\x28", 2))},
        {"one bit", PngBytes(mono)},
        {"colour", rgb},
        {"colour with alpha", PngBytes(pattern(QImage::Format_ARGB32))},
        {"colour with alpha, 16 bits", PngBytes(pattern(QImage::Format_RGBA64))},
        {"palette", PngBytes(palette)},
        {"palette with transparency", PngBytes(seeThroughPalette)},
        {"linear colour profile", PngBytes(linear)},
        {"gamma 1.0", PngWithChunk(rgb, "gAMA", bigEndianBytes(100000))},
        {"gamma 1.0 on grey", PngWithChunk(grey, "gAMA", bigEndianBytes(100000))},
        {"sRGB intent and chromaticities", PngWithChunk(PngWithChunk(rgb, "sRGB", QByteArray(1, '\0')), "cHRM",
                                                        bigEndianBytes(31270) + bigEndianBytes(32900) +
                                                            bigEndianBytes(64000) + bigEndianBytes(33000) +
                                                            bigEndianBytes(30000) + bigEndianBytes(60000) +
                                                            bigEndianBytes(15000) + bigEndianBytes(6000))},
        {"resolution and offset", PngBytes(placed)},
        {"texts Qt writes", PngBytes(described)},
        {"texts and profiles of another writer", PngWithTextChunks(rgb, 9, 100000)},
        {"a time stamp after the pixels", PngWithChunk(rgb, "tIME", QByteArray(7, '\1'), true)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const QImage whole = readWhole(r.png);
        ASSERT_FALSE(whole.isNull());
        QImage image;
        QString error;
        ASSERT_TRUE(DecodeArchiveImage(r.png, image, error)) << qPrintable(error);
        EXPECT_EQ(image.format(), whole.format());
        EXPECT_TRUE(image == whole);
        EXPECT_TRUE(image.colorSpace() == whole.colorSpace());
        EXPECT_TRUE(image.convertToFormat(QImage::Format_Grayscale8) == whole.convertToFormat(QImage::Format_Grayscale8));
        EXPECT_TRUE(image.convertToFormat(QImage::Format_RGB32) == whole.convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(QList<int>({image.dotsPerMeterX(), image.dotsPerMeterY()}),
                  QList<int>({whole.dotsPerMeterX(), whole.dotsPerMeterY()}));
        EXPECT_EQ(image.offset(), whole.offset());
        EXPECT_TRUE(image.textKeys().isEmpty()) << qPrintable(image.textKeys().join(','));
    }
    // Those Qt writes, with nothing to leave out, reach the decoder as they are.
    const QByteArray input = PngDecoderInput(rgb);
    EXPECT_EQ(input.constData(), rgb.constData());
}

// The texts of a picture cost its decoding nothing, and the one profile it
// reads is counted before anything is unpacked, with the copy the decoder
// gets; the rest are left out.
TEST(ArchiveImages, TextAndProfileChunksAreLeftOutOrCountedBeforeTheyAreUnpacked)
{
    const QByteArray plain = PngBytes(PatternLayer(64, 48, 2));
    const QByteArray laden = PngWithTextChunks(plain, 30, 1000000);
    PngHeader header;
    QString error;
    ASSERT_TRUE(ReadPngHeader(laden, header, error)) << qPrintable(error);
    EXPECT_EQ(PngDecodedBytes(header), 64 * 48);
    EXPECT_EQ(header.profileBytes, 1000000);
    // The copy: the picture and the first profile (the second chunk), none
    // of the texts.
    const QByteArray input = PngDecoderInput(laden);
    EXPECT_EQ(header.copyBytes, input.size());
    const int profileChunk = PngWithTextChunks(plain, 2, 1000000).size() - PngWithTextChunks(plain, 1, 1000000).size();
    EXPECT_EQ(input.size(), plain.size() + profileChunk);
    PngHeader given;
    ASSERT_TRUE(ReadPngHeader(input, given, error)) << qPrintable(error);
    EXPECT_EQ(QList<qint64>({given.copyBytes, given.profileBytes}), QList<qint64>({0, 1000000}));
    EXPECT_EQ(PngReaderBytes(header), 64 * 48 + input.size() + 4 * 1000000);
    // The layer pool counts them as well.
    const LayerCodingPool::Settings settings;
    EXPECT_EQ(LayerCodingPool::estimateLayerBytes(laden, settings) - LayerCodingPool::estimateLayerBytes(plain, settings),
              input.size() + 4 * 1000000);

    QImage image;
    ASSERT_TRUE(DecodeArchiveImage(laden, image, error, PngReaderBytes(header))) << qPrintable(error);
    EXPECT_TRUE(image == readWhole(plain));
    EXPECT_TRUE(image.textKeys().isEmpty());
    EXPECT_FALSE(DecodeArchiveImage(laden, image, error, PngReaderBytes(header) - 1));
    EXPECT_TRUE(error.contains("more than the")) << qPrintable(error);
    EXPECT_TRUE(image.isNull());

    // A profile stating more than is allowed is not handed on.
    QByteArray huge(200, '\0');
    huge.replace(0, 4, bigEndianBytes(quint32(kMaxPngProfileBytes + 1)));
    const QByteArray refusedProfile = PngWithChunk(plain, "iCCP", QByteArray("big\0\0", 5) + ZlibBytes(huge));
    ASSERT_TRUE(ReadPngHeader(refusedProfile, header, error)) << qPrintable(error);
    EXPECT_EQ(QList<qint64>({header.profileBytes, header.copyBytes}), QList<qint64>({0, plain.size()}));
    ASSERT_TRUE(DecodeArchiveImage(refusedProfile, image, error)) << qPrintable(error);
    EXPECT_TRUE(image == readWhole(plain));
}

// Every chunk length is checked against the data before it is trusted.
TEST(ArchiveImages, ABrokenChunkStructureIsRefusedBeforeDecoding)
{
    const QByteArray png = PngBytes(PatternLayer(30, 20, 3));
    auto withLength = [](QByteArray bytes, int at, quint32 length) {
        return bytes.replace(at, 4, bigEndianBytes(length));
    };
    const int idat = png.indexOf("IDAT") - 4;
    const QByteArray text = PngWithChunk(png, "tEXt", "Comment\0words");
    const struct { const char* name; QByteArray bytes; QString says; } rows[] = {
        {"pixel data longer than the data", withLength(png, idat, 0x7fffff00u),
         QStringLiteral("its chunk \"IDAT\" at byte %1 states 2147483392 bytes, more than the data holds").arg(idat)},
        {"a text past the end", withLength(text, 33, 0xffffffffu),
         "its chunk \"tEXt\" at byte 33 states 4294967295 bytes, more than the data holds"},
        {"no end chunk", png.left(png.size() - 12), "it ends before its end chunk"},
        {"cut in a chunk's length", png.left(png.size() - 10),
         QStringLiteral("it ends inside the chunk at byte %1").arg(png.size() - 12)},
        {"a chunk without a type", PngWithChunk(png, "zT1t", "x"), "the chunk at byte 33 has no valid type"},
        {"an unknown critical chunk", PngWithChunk(png, "ABCD", "x"), "it needs the unknown chunk \"ABCD\""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        PngHeader header;
        QString error;
        EXPECT_FALSE(ReadPngHeader(r.bytes, header, error));
        EXPECT_TRUE(error.contains(r.says)) << qPrintable(error);
        EXPECT_FALSE(ArchiveImageSize(r.bytes).isValid());
        QImage image;
        EXPECT_FALSE(DecodeArchiveImage(r.bytes, image, error));
        EXPECT_TRUE(error.contains(r.says)) << qPrintable(error);
        EXPECT_TRUE(image.isNull());
    }
}
