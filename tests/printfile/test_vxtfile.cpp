#include "printfiledecoder.h"
#include "printfile/printfilewriter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>

namespace {

ST_MachinePara makePara()
{
    ST_MachinePara para;
    float* values = const_cast<float*>(DLP::machineParaValues(para));
    for (int i = 0; i < 34; ++i)
        values[i] = 1.0f + i * 0.5f;
    return para;
}

QPolygonF square(double x0, double y0, double size)
{
    return QPolygonF({QPointF(x0, y0), QPointF(x0 + size, y0), QPointF(x0 + size, y0 + size), QPointF(x0, y0 + size)});
}

VSLTriangle3D triangle(float base)
{
    VSLTriangle3D t;
    t.vertices[0] = QVector3D(base, base + 1, base + 2);
    t.vertices[1] = QVector3D(base + 3, base + 4, base + 5);
    t.vertices[2] = QVector3D(base + 6, base + 7, base + 8);
    return t;
}

Reader readFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return Reader{file.readAll()};
}

TEST(VxtFile, SectionTableAndSectionsAsLaidOut)
{
    QTemporaryDir dir;
    SliceLayers model = {{square(10, 10, 5)}, {QPolygonF({QPointF(-3.5, 2000), QPointF(5, 6), QPointF(2560, 1), QPointF(7, 8)})}};
    SliceLayers support = {{QPolygonF({QPointF(-50, 3000), QPointF(1, 2), QPointF(3, 4)})}};
    PrintJobInput input;
    input.modelLayers = model;
    input.supportLayers = support;
    input.machineCode = 120;
    input.machineName = "Pellar120";
    input.preview = QImage(40, 30, QImage::Format_ARGB32);
    input.preview.fill(0xFFFF0000);
    input.previewLarge = QImage(12, 16, QImage::Format_ARGB32);
    input.previewLarge.fill(0xFF0000FF);
    input.sliceXResolution = 2560;
    input.sliceYResolution = 1440;
    input.layerThicknessMm = 0.05f;
    input.buildHeightMm = 200.0f;
    input.plateTriangles = {triangle(1), triangle(100)};
    const QString path = dir.filePath("job.vxt");
    const ST_MachinePara para = makePara();
    ASSERT_EQ(PrintFile::generatePrintableData_VXT(input, para, path), 0);

    Reader r = readFile(path);
    EXPECT_EQ(r.bytes(8), QByteArray("Vexmor3D"));
    EXPECT_EQ(r.i32(), 1);
    EXPECT_EQ(r.i32(), 1);
    EXPECT_EQ(r.i32(), 1);
    EXPECT_EQ(r.i32(), 0);
    EXPECT_EQ(r.i32(), 10);
    int32_t table[20];
    for (int32_t& t : table)
        t = r.i32();
    EXPECT_EQ(r.pos, 108);

    // Section 1: parameters.
    EXPECT_EQ(table[0], 1);
    EXPECT_EQ(table[1], 27);
    EXPECT_EQ(r.i32(), 34);
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(r.f32(), DLP::machineParaValues(para)[i]);

    // Section 2: PNG with padding to a word.
    EXPECT_EQ(table[2], 2);
    EXPECT_EQ(table[3], 62);
    ASSERT_EQ(r.pos, 62 * 4);
    const int32_t n = r.i32();
    const QByteArray png = r.bytes(n);
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(png, "PNG"));
    EXPECT_EQ(decoded.size(), QSize(12, 16));
    EXPECT_EQ(r.bytes((4 - n % 4) % 4), QByteArray((4 - n % 4) % 4, '\0'));

    // Section 3: 200 x 150 pixel preview, two RGB565 pixels per word.
    EXPECT_EQ(table[4], 3);
    EXPECT_EQ(table[5], 63 + (n + 3) / 4);
    ASSERT_EQ(r.pos, table[5] * 4);
    EXPECT_EQ(r.i32(), 15000);
    EXPECT_EQ(r.i32(), 200);
    EXPECT_EQ(r.i32(), 150);
    EXPECT_EQ(r.i32(), 1);
    EXPECT_EQ(r.i32(), 37); // 150 * 50 / 200 = 37.5
    for (int i = 0; i < 15000; ++i)
        ASSERT_EQ(r.u32(), 0xF800F800u);

    // Section 4: layers; layer 0 has a support triangle after its model square.
    EXPECT_EQ(table[6], 4);
    EXPECT_EQ(table[7], table[5] + 15005);
    ASSERT_EQ(r.pos, table[7] * 4);
    EXPECT_EQ(r.i32(), 2);
    EXPECT_EQ(r.i32(), 16); // 9 + 7 words
    EXPECT_EQ(r.i32(), 16);
    EXPECT_EQ(r.i32(), 25);
    EXPECT_EQ(r.i32(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r.f32(), float(model[0][0][i].x()));
        EXPECT_EQ(r.f32(), float(model[0][0][i].y()));
    }
    EXPECT_EQ(r.i32(), 3);
    EXPECT_EQ(r.f32(), -50.0f); // support points are not clamped
    EXPECT_EQ(r.f32(), 3000.0f);
    r.bytes(16);
    EXPECT_EQ(r.i32(), 4);
    EXPECT_EQ(r.f32(), 0.0f); // model point clamped to the frame
    EXPECT_EQ(r.f32(), 1440.0f);
    r.bytes(24);

    // Section 5: triangles, then the trailer.
    EXPECT_EQ(table[8], 5);
    EXPECT_EQ(table[9], table[7] + 2 + 2 + 25);
    ASSERT_EQ(r.pos, table[9] * 4);
    for (float base : {1.0f, 100.0f})
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(r.f32(), base + k);
    EXPECT_EQ(r.f32(), 2.0f);
    EXPECT_EQ(r.f32(), 2.0f);
    EXPECT_EQ(r.f32(), 0.0f);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.atEnd());
    for (int i = 10; i < 20; ++i)
        EXPECT_EQ(table[i], 0);
}

TEST(VxtFile, EmptySceneOtherPrinterHasNoPixelPreview)
{
    QTemporaryDir dir;
    SliceLayers model;
    PrintJobInput input;
    input.modelLayers = model;
    input.machineName = "Pellar300";
    input.preview = QImage(40, 30, QImage::Format_ARGB32);
    input.preview.fill(0xFFFFFFFF);
    input.layerThicknessMm = 0.05f;
    const QString path = dir.filePath("job.vxt");
    ASSERT_EQ(PrintFile::generatePrintableData_VXT(input, makePara(), path), 0);
    EXPECT_FALSE(QFileInfo::exists(path));

    Reader r = readFile(path + "300");
    r.pos = 28;
    int32_t table[20];
    for (int32_t& t : table)
        t = r.i32();
    EXPECT_EQ(table[5], 63); // no PNG: N = 0
    EXPECT_EQ(table[7], 68); // five words, P = 0
    EXPECT_EQ(table[9], 70); // L and -1 only
    r.pos = 63 * 4;
    EXPECT_EQ(r.i32(), 0);
    EXPECT_EQ(r.i32(), 0);
    EXPECT_EQ(r.i32(), 0);
    EXPECT_EQ(r.i32(), 1);
    EXPECT_EQ(r.i32(), 0);
    EXPECT_EQ(r.i32(), 0);
    EXPECT_EQ(r.i32(), -1);
    EXPECT_EQ(r.f32(), 0.0f);
    EXPECT_EQ(r.f32(), 0.0f);
    EXPECT_EQ(r.f32(), 0.0f);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.atEnd());
}

TEST(VxtFile, UnwritableDestinationFailsAndLeavesNoFile)
{
    QTemporaryDir dir;
    SliceLayers model = {{square(1, 1, 2)}};
    PrintJobInput input;
    input.modelLayers = model;
    const QString path = dir.filePath("nope/job.vxt");
    EXPECT_EQ(PrintFile::generatePrintableData_VXT(input, makePara(), path), PrintFileOpenFailed);
    EXPECT_FALSE(QFileInfo::exists(path));
}

} // namespace
