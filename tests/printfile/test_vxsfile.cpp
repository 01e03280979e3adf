#include "printfiledecoder.h"
#include "printfile/printfilewriter.h"
#include "printfile/layerrender.h"
#include "printfile/renderthread.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <cmath>

#include <QDir>
#include <sys/stat.h>

namespace {

ST_MachinePara makePara(float width, float height)
{
    ST_MachinePara para;
    float* values = const_cast<float*>(DLP::machineParaValues(para));
    for (int i = 0; i < 34; ++i)
        values[i] = 0.5f + i * 1.25f;
    para.XResolution = width;
    para.YResolution = height;
    return para;
}

QPolygonF rect(double x0, double y0, double x1, double y1)
{
    return QPolygonF({QPointF(x0, y0), QPointF(x1, y0), QPointF(x1, y1), QPointF(x0, y1)});
}

QImage solid(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

struct Job
{
    PrintJobInput input;
    SliceLayers& layers = input.modelLayers.emplace();
    QTemporaryDir dir;

    explicit Job(int machineCode)
    {
        input.machineCode = machineCode;
        input.saveFileName = dir.filePath("job.vxs");
        input.preview = solid(40, 30, 0xFFFF0000);
        input.previewLarge = solid(12, 16, 0xFF00FF00);
    }
};

// Shoelace area of a polygon.
double area(const QPolygonF& p)
{
    double a = 0;
    for (int i = 0; i < p.size(); ++i) {
        const QPointF& u = p[i];
        const QPointF& v = p[(i + 1) % p.size()];
        a += u.x() * v.y() - v.x() * u.y();
    }
    return std::fabs(a) / 2;
}

double perimeter(const QPolygonF& p)
{
    double l = 0;
    for (int i = 0; i < p.size(); ++i)
        l += QLineF(p[i], p[(i + 1) % p.size()]).length();
    return l;
}

QVector<uint8_t> decodeLayer(const QByteArray& code, uint64_t pixels)
{
    const QVector<DecodedRun> runs = DecodeRuns(code, 4);
    uint64_t total = 0;
    for (const DecodedRun& run : runs)
        total += run.count;
    EXPECT_EQ(total, pixels);
    return ExpandRuns(runs, pixels);
}

TEST(VxsFile, HeaderParametersAndBigEndianPreviewForCode10)
{
    Job job(10);
    job.layers = {{rect(2, 2, 10, 10)}};
    const ST_MachinePara para = makePara(32, 24);
    ASSERT_EQ(PrintFile::generatePrintableData(job.input, para, "/ignored/path.vxs"), 0);

    const VxsFile f = ReadVxs(job.input.saveFileName, false);
    ASSERT_TRUE(f.valid) << f.error;
    EXPECT_EQ(f.magic, QByteArray("Vexmor3D"));
    EXPECT_EQ(f.words[0], 1);
    EXPECT_EQ(f.words[1], 1);
    EXPECT_EQ(f.words[2], 10);
    EXPECT_EQ(f.words[3], 0);
    EXPECT_EQ(f.paramCount, 34);
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(f.params[i], DLP::machineParaValues(para)[i]) << i;
    EXPECT_EQ(f.layerCount, 1);
    EXPECT_EQ(f.bits, 4);
    EXPECT_EQ(f.previewWidth, 120);
    EXPECT_EQ(f.previewHeight, 150);
    ASSERT_EQ(f.previewPixels.size(), 120 * 150);
    for (uint16_t px : f.previewPixels)
        ASSERT_EQ(px, 0xF800); // pure red, read big-endian
    EXPECT_FALSE(QFileInfo::exists(job.dir.filePath("job.vxt")));
}

TEST(VxsFile, Code200CarriesPaddedPngBlock)
{
    Job job(200);
    ASSERT_EQ(PrintFile::generatePrintableData(job.input, makePara(32, 24), QString()), 0);
    const VxsFile f = ReadVxs(job.input.saveFileName, true);
    ASSERT_TRUE(f.valid) << f.error;
    EXPECT_EQ(f.layerCount, 0);
    ASSERT_TRUE(f.png.startsWith("\x89PNG"));
    EXPECT_EQ((f.png.size() + f.pngPadding.size()) % 4, 0);
    EXPECT_EQ(f.pngPadding, QByteArray(f.pngPadding.size(), '\0'));
    QImage png;
    ASSERT_TRUE(png.loadFromData(f.png, "PNG"));
    EXPECT_EQ(png.size(), QSize(12, 16));
    EXPECT_EQ(png.pixel(3, 3), 0xFF00FF00u);
}

TEST(VxsFile, Code120WritesVectorFileBesideIt)
{
    Job job(120);
    job.input.machineName = "Pellar120";
    job.input.saveFileName = job.dir.filePath("part.vxs");
    job.layers = {{rect(1, 1, 5, 5)}};
    ASSERT_EQ(PrintFile::generatePrintableData(job.input, makePara(16, 16), QString()), 0);
    EXPECT_TRUE(ReadVxs(job.input.saveFileName, true).valid);
    QFile vxt(job.dir.filePath("part.vxt"));
    ASSERT_TRUE(vxt.open(QIODevice::ReadOnly));
    EXPECT_EQ(vxt.read(8), QByteArray("Vexmor3D"));
}

// Code 120 writes two files: both or neither, and never one onto the other
// or onto a device.
TEST(VxsFile, Code120WritesBothFilesOrNeither)
{
    struct Case {
        const char* save;     // layer-image file name
        const char* blocker;  // made a FIFO (a device stand-in) or folder before writing
        bool blockerIsFolder;
        const char* machine;
        int result;
    };
    const Case cases[] = {
        {"j.vxt", nullptr, false, "Pellar120", PrintFileNameClash},
        {"j.vxt300", nullptr, false, "Pellar300", PrintFileNameClash},
        {"k.vxs", "k.vxt", false, "Pellar120", PrintFileBadDestination},
        {"k.vxs", "k.vxt", true, "Pellar120", PrintFileBadDestination},
        {"k.vxs", "k.vxs", false, "Pellar120", PrintFileBadDestination},
        {"m.vxs", "m.vxt300", true, "Pellar300", PrintFileBadDestination},
        {"n.vxs", nullptr, false, "Pellar120", PrintFileOk},
    };
    for (const Case& c : cases) {
        Job job(120);
        job.input.machineName = c.machine;
        job.input.saveFileName = job.dir.filePath(c.save);
        job.layers = {{rect(1, 1, 5, 5)}};
        if (c.blocker) {
            const QString blocker = job.dir.filePath(c.blocker);
            if (c.blockerIsFolder)
                ASSERT_TRUE(QDir(job.dir.path()).mkdir(c.blocker));
            else
                ASSERT_EQ(::mkfifo(QFile::encodeName(blocker).constData(), 0600), 0);
        }
        EXPECT_EQ(PrintFile::generatePrintableData(job.input, makePara(16, 16), QString()), c.result) << c.save;
        const QStringList files = QDir(job.dir.path()).entryList(QDir::Files);
        if (c.result == PrintFileOk)
            EXPECT_EQ(files, QStringList({"n.vxs", "n.vxt"}));
        else
            EXPECT_TRUE(files.isEmpty()) << c.save << ": " << files.join(' ').toStdString();
        if (c.blocker)
            EXPECT_FALSE(QFileInfo(job.dir.filePath(c.blocker)).isFile()) << c.blocker;
    }
}

TEST(VxsFile, VectorNameReplacesTheExtension)
{
    EXPECT_EQ(PrintFile::VxtFileName("/a/job.vxs"), "/a/job.vxt");
    EXPECT_EQ(PrintFile::VxtFileName("/a/job.vxs120"), "/a/job.vxt");
    EXPECT_EQ(PrintFile::VxtFileName("/a/my.job.pellar"), "/a/my.job.vxt");
    EXPECT_EQ(PrintFile::VxtFileName("/a.b/job"), "/a.b/job.vxt");
}

TEST(VxsFile, UnknownCodeAndEmptyPreviewGiveZeroPreview)
{
    for (int code : {999, 10}) {
        Job job(code);
        if (code == 10)
            job.input.preview = QImage();
        ASSERT_EQ(PrintFile::generatePrintableData(job.input, makePara(32, 24), QString()), 0);
        const VxsFile f = ReadVxs(job.input.saveFileName, false);
        ASSERT_TRUE(f.valid) << f.error;
        EXPECT_EQ(f.previewWidth, 0);
        EXPECT_EQ(f.previewHeight, 0);
        EXPECT_EQ(QFileInfo(job.input.saveFileName).size(), 180); // ends after the 0 x 0 preview
    }
}

TEST(VxsFile, LayersDecodeToPolygonAreaWithHoles)
{
    Job job(10);
    const QPolygonF outer = rect(4.25, 3.5, 44.75, 33.5);
    const QPolygonF hole = rect(14.5, 10.5, 24.5, 20.5);
    const QPolygonF tilted({QPointF(50, 5), QPointF(62, 12), QPointF(55, 40)});
    job.layers = {{outer, hole}, {tilted}, {}, {rect(-100, -100, 10, 10)}};
    const int w = 64, h = 48;
    ASSERT_EQ(PrintFile::generatePrintableData(job.input, makePara(w, h), QString()), 0);
    const VxsFile f = ReadVxs(job.input.saveFileName, false);
    ASSERT_TRUE(f.valid) << f.error;
    ASSERT_EQ(f.layers.size(), 4);

    const double expected[] = {area(outer) - area(hole), area(tilted), 0, 100};
    const double edges[] = {perimeter(outer) + perimeter(hole), perimeter(tilted), 0, 40};
    for (int i = 0; i < 4; ++i) {
        const QVector<uint8_t> pixels = decodeLayer(f.layers[i], w * h);
        double lit = 0;
        for (uint8_t level : pixels)
            lit += level / 240.0;
        EXPECT_NEAR(lit, expected[i], 0.1 * edges[i] + 1.0) << "layer " << i;
    }
    // The hole is dark, the ring lit.
    const QVector<uint8_t> first = decodeLayer(f.layers[0], w * h);
    EXPECT_EQ(first[15 * w + 19], 0);
    EXPECT_EQ(first[6 * w + 8], 0xF0);
    // An empty layer is one black run of the whole frame: 3072 = 0xC00.
    EXPECT_EQ(f.layers[2], QByteArray("\x0C\x00\x00", 3));
}

TEST(VxsFile, OneWorkerAndManyWriteTheSameBytes)
{
    Job job(10);
    for (int i = 0; i < 13; ++i)
        job.layers.append({rect(3 + i, 4, 60 - i * 0.7, 40), rect(20, 10 + i * 0.3, 30, 20)});
    const ST_MachinePara para = makePara(80, 50);
    QByteArray bytes[3];
    const int workerCounts[3] = {1, 4, 13};
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(PrintFile::generatePrintableData_VXS(job.input, para, QString(), workerCounts[k]), 0);
        QFile file(job.input.saveFileName);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        bytes[k] = file.readAll();
    }
    EXPECT_EQ(bytes[0], bytes[1]);
    EXPECT_EQ(bytes[0], bytes[2]);
    EXPECT_EQ(ReadVxs(job.input.saveFileName, false).layers.size(), 13);
}

TEST(VxsFile, RotationTurnsThePointIntoTheSwappedFrame)
{
    EXPECT_EQ(MapLayerPoint(QPointF(10, 20), true, 1440, 2560), QPointF(1420, 10));
    EXPECT_EQ(MapLayerPoint(QPointF(-5, 3000), false, 2560, 1440), QPointF(0, 1440));

    Job job(10);
    job.input.imageRotate = true;
    job.layers = {{rect(8, 18, 12, 22)}};
    ASSERT_EQ(PrintFile::generatePrintableData(job.input, makePara(2560, 1440), QString()), 0);
    const VxsFile f = ReadVxs(job.input.saveFileName, false);
    ASSERT_TRUE(f.valid) << f.error;
    const QVector<uint8_t> pixels = decodeLayer(f.layers[0], 2560 * 1440);
    const int imageWidth = 1440;
    EXPECT_EQ(pixels[10 * imageWidth + 1420], 0xF0);
    EXPECT_EQ(pixels[20 * imageWidth + 10], 0);
    int lit = 0;
    for (uint8_t level : pixels)
        lit += level != 0;
    EXPECT_EQ(lit, 16);
}

TEST(VxsFile, UnwritableDestinationFailsAndLeavesNoFile)
{
    Job job(200);
    job.layers = {{rect(1, 1, 5, 5)}};
    job.input.saveFileName = job.dir.filePath("missing/folder/job.vxs");
    EXPECT_EQ(PrintFile::generatePrintableData(job.input, makePara(16, 16), QString()), PrintFileOpenFailed);
    EXPECT_FALSE(QFileInfo::exists(job.input.saveFileName));

    // A folder in the way: the temporary file is written but cannot replace it.
    job.input.saveFileName = job.dir.filePath("taken.vxs");
    ASSERT_TRUE(QDir(job.dir.path()).mkdir("taken.vxs"));
    EXPECT_NE(PrintFile::generatePrintableData(job.input, makePara(16, 16), QString()), 0);
    EXPECT_EQ(QDir(job.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    job.input.machineCode = 120;
    job.input.saveFileName = job.dir.filePath("missing/job.vxs");
    EXPECT_NE(PrintFile::generatePrintableData(job.input, makePara(16, 16), QString()), 0);
    EXPECT_EQ(QDir(job.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST(VxsFile, UnusableFrameIsAnError)
{
    Job job(10);
    job.layers = {{rect(1, 1, 5, 5)}};
    EXPECT_EQ(PrintFile::generatePrintableData(job.input, makePara(0, 16), QString()), PrintFileBadFrame);
    EXPECT_EQ(PrintFile::generatePrintableData(job.input, makePara(NAN, 16), QString()), PrintFileBadFrame);
    EXPECT_EQ(PrintFile::generatePrintableData(job.input, makePara(1e9f, 16), QString()), PrintFileBadFrame);
    EXPECT_FALSE(QFileInfo::exists(job.input.saveFileName));
    job.input.modelLayers.reset();
    EXPECT_EQ(PrintFile::generatePrintableData(job.input, makePara(16, 16), QString()), PrintFileNoLayers);
}

// The renderer draws groups of far-apart outlines separately; the frame must
// equal one odd-even path of the whole layer drawn by QPainter.
TEST(RenderThreadTest, FrameEqualsOnePathOfTheLayer)
{
    QVector<QPolygonF> layer;
    for (int i = 0; i < 30; ++i) {
        const double x = 3 + (i % 6) * 31.3, y = 2 + (i / 6) * 19.7;
        QPolygonF circle;
        for (int k = 0; k < 16; ++k)
            circle << QPointF(x + 6 + 5.3 * std::cos(k * M_PI / 8), y + 6 + 5.3 * std::sin(k * M_PI / 8));
        layer << circle;
    }
    layer << rect(10.3, 10.6, 90.2, 60.1) << rect(30.5, 20.25, 50.5, 40.75) << rect(120, 5, 190, 20)
          << QPolygonF({QPointF(150, 90), QPointF(199, 99), QPointF(140, 70)});

    RenderThread worker(false, 4, 200, 100);
    worker.setLayer(&layer);
    worker.runRender();
    ASSERT_FALSE(worker.output().isEmpty());

    QImage reference(200, 100, QImage::Format_Grayscale8);
    reference.fill(0);
    QPainter painter(&reference);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    QPainterPath path;
    for (const QPolygonF& p : layer)
        path.addPolygon(p);
    painter.drawPath(path);
    painter.end();
    EXPECT_EQ(worker.image(), reference);
}

} // namespace
