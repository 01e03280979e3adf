#include "printfiledecoder.h"
#include "slice_polygons.h"
#include "printfile/layerrender.h"
#include "printfile/printfilewriter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
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

struct Job {
    PrintJobInput input;
    SliceLayers& layers = input.modelLayers.emplace();
    QTemporaryDir dir;

    explicit Job(int machineCode, const char* name = "job.vxs")
    {
        input.machineCode = machineCode;
        input.machineName = "Pellar120";
        input.saveFileName = dir.filePath(name);
        input.preview = QImage(40, 30, QImage::Format_ARGB32);
        input.preview.fill(0xFFFF0000);
        input.previewLarge = QImage(12, 16, QImage::Format_ARGB32);
        input.previewLarge.fill(0xFF00FF00);
        layers = ToSliceLayers({{rect(1, 1, 5, 5)}});
    }
    int write(float w = 16, float h = 16)
    {
        return PrintFile::generatePrintableData(input, makePara(w, h), "/ignored/path.vxs");
    }
};

// Header, parameters and the big-endian preview per machine code; some codes
// carry the large preview as a PNG block padded to a word.
TEST(VxsFile, HeaderAndPreviewsPerMachineCode)
{
    const struct { int code; bool preview, pngBlock; int width, height; } cases[] = {
        {10, true, false, 120, 150}, {200, true, true, 120, 150}, {999, true, false, 0, 0}, {10, false, false, 0, 0}};
    const ST_MachinePara para = makePara(32, 24);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << (c.preview ? "" : ", no preview"));
        Job job(c.code);
        if (!c.preview)
            job.input.preview = QImage();
        ASSERT_EQ(job.write(32, 24), 0);
        const VxsFile f = ReadVxs(job.input.saveFileName, c.pngBlock);
        ASSERT_TRUE(f.valid) << f.error;
        EXPECT_EQ(f.magic, QByteArray("Vexmor3D"));
        EXPECT_EQ(std::vector<int32_t>({f.words[0], f.words[1], f.words[2], f.words[3], f.paramCount, f.layerCount,
                                        f.bits, f.previewWidth, f.previewHeight}),
                  std::vector<int32_t>({1, 1, c.code, 0, 34, 1, 4, c.width, c.height}));
        EXPECT_TRUE(std::equal(f.params, f.params + 34, DLP::machineParaValues(para)));
        EXPECT_EQ(f.previewPixels, QVector<uint16_t>(c.width * c.height, 0xF800)); // pure red, read big-endian
        if (c.pngBlock) {
            EXPECT_EQ(f.pngPadding, QByteArray((4 - f.png.size() % 4) % 4, '\0'));
            const QImage png = QImage::fromData(f.png, "PNG");
            EXPECT_TRUE(png.size() == QSize(12, 16) && png.pixel(3, 3) == 0xFF00FF00u);
        }
        EXPECT_FALSE(QFileInfo::exists(job.dir.filePath("job.vxt")));
    }
}

// Area and perimeter of a closed polygon.
std::pair<double, double> measure(const QPolygonF& p)
{
    double a = 0, l = 0;
    for (int i = 0; i < p.size(); ++i) {
        const QPointF q = p[(i + 1) % p.size()];
        a += p[i].x() * q.y() - q.x() * p[i].y();
        l += QLineF(p[i], q).length();
    }
    return {std::fabs(a) / 2, l};
}

TEST(VxsFile, LayersDecodeToPolygonAreaWithHoles)
{
    Job job(10);
    const QPolygonF outer = rect(4.25, 3.5, 44.75, 33.5);
    const QPolygonF hole = rect(14.5, 10.5, 24.5, 20.5);
    const QPolygonF tilted({QPointF(50, 5), QPointF(62, 12), QPointF(55, 40)});
    job.layers = ToSliceLayers({{outer, hole}, {tilted}, {}, {rect(-100, -100, 10, 10)}});
    const int w = 64, h = 48;
    ASSERT_EQ(job.write(w, h), 0);
    const VxsFile f = ReadVxs(job.input.saveFileName, false);
    ASSERT_TRUE(f.valid && f.layers.size() == 4) << f.error;

    const auto [outerArea, outerEdge] = measure(outer);
    const auto [holeArea, holeEdge] = measure(hole);
    const auto [tiltedArea, tiltedEdge] = measure(tilted);
    const double expected[] = {outerArea - holeArea, tiltedArea, 0, 100};
    const double edges[] = {outerEdge + holeEdge, tiltedEdge, 0, 40};
    QVector<QVector<uint8_t>> pixels;
    for (int i = 0; i < 4; ++i) {
        pixels << ExpandRuns(DecodeRuns(f.layers[i], 4), w * h);
        ASSERT_EQ(pixels[i].size(), w * h) << "layer " << i;
        double lit = 0;
        for (uint8_t level : pixels[i])
            lit += level / 240.0;
        EXPECT_NEAR(lit, expected[i], 0.1 * edges[i] + 1.0) << "layer " << i;
    }
    EXPECT_EQ(pixels[0][15 * w + 19], 0); // the hole is dark, the ring lit
    EXPECT_EQ(pixels[0][6 * w + 8], 0xF0);
    EXPECT_EQ(f.layers[2], QByteArray("\x0C\x00\x00", 3)); // one black run of 3072 = 0xC00
}

// A polygon the frame cuts (a bar turned 30 degrees, off the plate at two
// sides) lights inside the frame what it covers there, pixel by pixel, as a
// fine sampling of the whole polygon tells; one wholly outside lights nothing.
TEST(VxsFile, APolygonReachingOutOfTheFrameKeepsItsShapeInside)
{
    const int w = 64, h = 48;
    const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    QPolygonF bar;
    for (const QPointF& corner : {QPointF(-45, -6), QPointF(45, -6), QPointF(45, 6), QPointF(-45, 6)})
        bar << QPointF(40 + corner.x() * c - corner.y() * s, 30 + corner.x() * s + corner.y() * c);
    for (const bool swap : {false, true}) {
        SCOPED_TRACE(swap ? "turned frame" : "frame");
        Job job(10);
        job.input.imageRotate = swap;
        job.layers = ToSliceLayers({{bar, rect(100, 100, 120, 120)}});
        ASSERT_EQ(job.write(w, h), 0);
        const VxsFile f = ReadVxs(job.input.saveFileName, false);
        ASSERT_TRUE(f.valid && f.layers.size() == 1) << f.error;
        const QVector<uint8_t> pixels = ExpandRuns(DecodeRuns(f.layers[0], f.bits), w * h);
        ASSERT_EQ(pixels.size(), w * h);
        // Turned, the image is h wide and w tall: (x, y) shows the layer's (y, h - x).
        const int iw = swap ? h : w, ih = swap ? w : h;
        int far = 0, lit = 0;
        for (int y = 0; y < ih; ++y)
            for (int x = 0; x < iw; ++x) {
                int in = 0;
                for (int sy = 0; sy < 8; ++sy)
                    for (int sx = 0; sx < 8; ++sx) {
                        QPointF p(x + (sx + 0.5) / 8, y + (sy + 0.5) / 8);
                        if (swap)
                            p = QPointF(p.y(), iw - p.x());
                        in += bar.containsPoint(p, Qt::OddEvenFill);
                    }
                const double expected = in / 64.0, got = pixels[y * iw + x] / double(0xF0);
                far += std::abs(got - expected) > 0.2;
                lit += got > 0;
            }
        EXPECT_EQ(far, 0);
        EXPECT_GT(lit, w * h / 4);
    }
}

TEST(VxsFile, VectorFileNameAndRotatedPoints)
{
    EXPECT_EQ(PrintFile::VxtFileName("/a/job.vxs"), "/a/job.vxt");
    EXPECT_EQ(PrintFile::VxtFileName("/a/job.vxs120"), "/a/job.vxt");
    EXPECT_EQ(PrintFile::VxtFileName("/a/my.job.pellar"), "/a/my.job.vxt");
    EXPECT_EQ(PrintFile::VxtFileName("/a.b/job"), "/a.b/job.vxt");
    EXPECT_EQ(MapLayerPoint(QPointF(10, 20), true, 1440, 2560), QPointF(1420, 10));
    EXPECT_EQ(MapLayerPoint(QPointF(-5, 3000), false, 2560, 1440), QPointF(0, 1440));
}

// Failed writes leave no file behind (no half file, no temporary); code 120
// writes its two files both or neither, never one onto the other or onto a
// device.
TEST(VxsFile, FailuresLeaveNoFile)
{
    enum Blocker { None, Fifo, Folder };
    const struct {
        int code; const char *machine, *save; Blocker blocker; const char* blockerName; float width; bool noLayers;
        int result;
    } cases[] = {
        {120, "Pellar120", "n.vxs", None, nullptr, 16, false, PrintFileOk},
        {120, "Pellar120", "j.vxt", None, nullptr, 16, false, PrintFileNameClash},
        {120, "Pellar300", "j.vxt300", None, nullptr, 16, false, PrintFileNameClash},
        {120, "Pellar120", "k.vxs", Fifo, "k.vxt", 16, false, PrintFileBadDestination},
        {120, "Pellar120", "k.vxs", Folder, "k.vxt", 16, false, PrintFileBadDestination},
        {120, "Pellar120", "k.vxs", Fifo, "k.vxs", 16, false, PrintFileBadDestination},
        {120, "Pellar300", "m.vxs", Folder, "m.vxt300", 16, false, PrintFileBadDestination},
        {120, "Pellar120", "missing/job.vxs", None, nullptr, 16, false, PrintFileOpenFailed},
        {200, "Pellar120", "missing/folder/job.vxs", None, nullptr, 16, false, PrintFileOpenFailed},
        {200, "Pellar120", "taken.vxs", Folder, "taken.vxs", 16, false, PrintFileBadDestination},
        {10, "Pellar120", "job.vxs", None, nullptr, 0, false, PrintFileBadFrame},
        {10, "Pellar120", "job.vxs", None, nullptr, NAN, false, PrintFileBadFrame},
        {10, "Pellar120", "job.vxs", None, nullptr, 1e9f, false, PrintFileBadFrame},
        {10, "Pellar120", "job.vxs", None, nullptr, 16, true, PrintFileNoLayers},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.save << " code " << c.code << " width " << c.width);
        Job job(c.code, c.save);
        job.input.machineName = c.machine;
        if (c.noLayers)
            job.input.modelLayers.reset();
        if (c.blocker == Folder) {
            ASSERT_TRUE(QDir(job.dir.path()).mkdir(c.blockerName));
        } else if (c.blocker == Fifo) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(job.dir.filePath(c.blockerName)).constData(), 0600), 0);
        }
        EXPECT_EQ(job.write(c.width), c.result);
        const QStringList files = QDir(job.dir.path()).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(files, c.result == PrintFileOk ? QStringList({"n.vxs", "n.vxt"}) : QStringList());
        if (c.blocker != None) {
            EXPECT_FALSE(QFileInfo(job.dir.filePath(c.blockerName)).isFile());
        }
    }
}

// A print file whose every frame is black would cure nothing: it is never
// written, for either file of code 120, and an earlier file stays.
TEST(VxsFile, APrintThatLightsNothingIsNeverWritten)
{
    const struct { const char* name; SliceLayers layers; int result; } cases[] = {
        {"no layer", {}, PrintFileNothingLit},
        {"empty layers", {{}, {}}, PrintFileNothingLit},
        {"a speck a tenth of a pixel wide", ToSliceLayers({{rect(3, 3, 3.1, 3.1)}, {rect(5, 5, 5.1, 5.1)}}),
         PrintFileNothingLit},
        {"a sliver under the first grey level", ToSliceLayers({{rect(2, 2, 2.05, 14)}}), PrintFileNothingLit},
        {"one pixel in the last layer", ToSliceLayers({{}, {rect(3, 3, 4, 4)}}), PrintFileOk},
    };
    for (int code : {10, 120}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << ", code " << code);
            Job job(code, "job.vxs");
            job.layers = c.layers;
            QFile earlier(job.input.saveFileName);
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
            earlier.close();
            ASSERT_EQ(job.write(), c.result);
            EXPECT_EQ(PrintFileResultText(PrintFileNothingLit), "Nothing to print.");
            const QStringList files = QDir(job.dir.path()).entryList(QDir::Files | QDir::Hidden);
            if (c.result != PrintFileOk) {
                EXPECT_EQ(files, QStringList{"job.vxs"});
                ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
                EXPECT_EQ(earlier.readAll(), "earlier");
                continue;
            }
            const VxsFile f = ReadVxs(job.input.saveFileName, code == 120);
            ASSERT_TRUE(f.valid) << f.error;
            EXPECT_EQ(f.layerCount, 2);
        }
    }
}

// A print file never takes the place of a model the plate was read from:
// named as it is, through a link, or as the vector file beside it.
TEST(VxsFile, NeverWrittenOverAModelFileOfThePlate)
{
    const QByteArray model = "solid part\nendsolid part\n";
    const struct { int code; const char *save, *link; } cases[] = {
        {10, "part.stl", nullptr},
        {10, "job.vxs", "part.stl"},  // job.vxs is a link to the model
        {120, "part.vxs", nullptr},   // its vector file would be part.vxt
        {200, "./sub/../part.stl", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.save);
        Job job(c.code, c.save);
        QDir(job.dir.path()).mkdir("sub");
        const QString source = job.dir.filePath(c.code == 120 ? "part.vxt" : "part.stl");
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(model) == model.size());
        f.close();
        if (c.link) {
            ASSERT_TRUE(QFile::link(job.dir.filePath(c.link), job.input.saveFileName));
        }
        job.input.sourceFiles = QStringList{job.dir.filePath("other.stl"), source};
        EXPECT_EQ(job.write(), PrintFileOntoSource);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), model);
    }
    // Beside the model, under a name of its own, the file is written.
    Job job(10, "part.vxs");
    job.input.sourceFiles = QStringList{job.dir.filePath("part.stl")};
    EXPECT_EQ(job.write(), PrintFileOk);
}

} // namespace
