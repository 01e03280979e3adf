#include "printfiledecoder.h"
#include "slice_polygons.h"
#include "printfile/printfilewriter.h"
#include "support/SupportGeometry.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

ST_MachinePara makePara()
{
    ST_MachinePara para;
    float* values = const_cast<float*>(DLP::machineParaValues(para));
    for (int i = 0; i < 34; ++i)
        values[i] = 1.0f + i * 0.5f;
    return para;
}

VSLTriangle3D triangle(float base)
{
    VSLTriangle3D t;
    for (int k = 0; k < 3; ++k)
        t.vertices[k] = QVector3D(base + 3 * k, base + 3 * k + 1, base + 3 * k + 2);
    return t;
}

// No layers, a white preview.
PrintJobInput emptyScene(const char* printer)
{
    PrintJobInput input;
    input.modelLayers = SliceLayers();
    input.machineName = printer;
    input.preview = QImage(40, 30, QImage::Format_ARGB32);
    input.preview.fill(0xFFFFFFFF);
    input.layerThicknessMm = 0.05f;
    return input;
}

Reader readFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return Reader{file.readAll()};
}

std::vector<int32_t> ints(Reader& r, int n)
{
    std::vector<int32_t> out(n);
    for (int32_t& v : out)
        v = r.i32();
    return out;
}

std::vector<float> floats(Reader& r, int n)
{
    std::vector<float> out(n);
    for (float& v : out)
        v = r.f32();
    return out;
}

TEST(VxtFile, SectionTableAndSectionsAsLaidOut)
{
    QTemporaryDir dir;
    const QPolygonF square({QPointF(10, 10), QPointF(15, 10), QPointF(15, 15), QPointF(10, 15)});
    PrintJobInput input;
    input.modelLayers =
        ToSliceLayers({{square}, {QPolygonF({QPointF(-3.5, 2000), QPointF(5, 6), QPointF(2560, 1), QPointF(7, 8)})}});
    input.supportLayers = ToSliceLayers({{QPolygonF({QPointF(-50, 3000), QPointF(1, 2), QPointF(3, 4)})}});
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
    EXPECT_EQ(ints(r, 5), std::vector<int32_t>({1, 1, 1, 0, 10}));
    const std::vector<int32_t> table = ints(r, 20);
    EXPECT_EQ(std::vector<int32_t>(table.begin() + 10, table.end()), std::vector<int32_t>(10, 0));
    // Section k starts where the table says, with its number.
    auto atSection = [&](int k) { return table[2 * k - 2] == k && table[2 * k - 1] * 4 == r.pos; };

    // Section 1: parameters.
    ASSERT_TRUE(atSection(1));
    EXPECT_EQ(table[1], 27);
    EXPECT_EQ(r.i32(), 34);
    EXPECT_EQ(floats(r, 34), std::vector<float>(DLP::machineParaValues(para), DLP::machineParaValues(para) + 34));

    // Section 2: PNG with padding to a word.
    ASSERT_TRUE(atSection(2));
    const int32_t n = r.i32();
    QImage png;
    ASSERT_TRUE(png.loadFromData(r.bytes(n), "PNG"));
    EXPECT_EQ(png.size(), QSize(12, 16));
    EXPECT_EQ(r.bytes((4 - n % 4) % 4), QByteArray((4 - n % 4) % 4, '\0'));

    // Section 3: 200 x 150 pixel preview, two RGB565 pixels per word.
    ASSERT_TRUE(atSection(3));
    EXPECT_EQ(ints(r, 5), std::vector<int32_t>({15000, 200, 150, 1, 37})); // 150 * 50 / 200 = 37.5
    for (int i = 0; i < 15000; ++i)
        ASSERT_EQ(r.u32(), 0xF800F800u);

    // Section 4: layers; layer 0 has a support triangle after its model square.
    // Model polygons are cut at the frame's edge (the corner out of it gives
    // way to the two points where its edges cross x = 0), support points not.
    ASSERT_TRUE(atSection(4));
    EXPECT_EQ(ints(r, 5), std::vector<int32_t>({2, 16, 16, 27, 4})); // 9 + 7 words, then 11; the square
    EXPECT_EQ(floats(r, 8), std::vector<float>({10, 10, 15, 10, 15, 15, 10, 15}));
    EXPECT_EQ(r.i32(), 3);
    EXPECT_EQ(floats(r, 6), std::vector<float>({-50, 3000, 1, 2, 3, 4}));
    EXPECT_EQ(r.i32(), 5);
    const std::vector<float> cut = floats(r, 10);
    const std::vector<float> expectedCut{0, 1336, 0, float(2000 - 3.5 * 1994 / 8.5), 5, 6, 2560, 1, 7, 8};
    for (int k = 0; k < 10; ++k)
        EXPECT_FLOAT_EQ(cut[size_t(k)], expectedCut[size_t(k)]) << k;

    // Section 5: triangles, then the trailer.
    ASSERT_TRUE(atSection(5));
    const std::vector<float> corners = floats(r, 18);
    for (int k = 0; k < 18; ++k)
        EXPECT_EQ(corners[k], (k < 9 ? 1.0f : 100.0f) + k % 9);
    EXPECT_EQ(floats(r, 3), std::vector<float>({2, 2, 0}));
    EXPECT_TRUE(r.ok && r.atEnd());
}

TEST(VxtFile, EmptySceneOtherPrinterHasNoPixelPreview)
{
    QTemporaryDir dir;
    const PrintJobInput input = emptyScene("Pellar300");
    const QString path = dir.filePath("job.vxt");
    ASSERT_EQ(PrintFile::generatePrintableData_VXT(input, makePara(), path), 0);
    EXPECT_FALSE(QFileInfo::exists(path));

    Reader r = readFile(path + "300");
    r.pos = 28;
    const std::vector<int32_t> table = ints(r, 20);
    EXPECT_EQ(table[5], 63); // no PNG: N = 0
    EXPECT_EQ(table[7], 68); // five words, P = 0
    EXPECT_EQ(table[9], 70); // L and -1 only
    r.pos = 63 * 4;
    EXPECT_EQ(ints(r, 7), std::vector<int32_t>({0, 0, 0, 1, 0, 0, -1}));
    EXPECT_EQ(floats(r, 3), std::vector<float>({0, 0, 0}));
    EXPECT_TRUE(r.ok && r.atEnd());

    // An unwritable destination fails and leaves no file.
    const QString missing = dir.filePath("nope/job.vxt");
    EXPECT_EQ(PrintFile::generatePrintableData_VXT(input, makePara(), missing), PrintFileOpenFailed);
    EXPECT_FALSE(QFileInfo::exists(missing));
}

// The supports go into the file after the model's triangles, tessellated as
// they are written (never held whole), in world millimetres through their
// instance's support matrix: each support's cones, then its spheres.
TEST(VxtFile, SupportsAreWrittenAsTheirTrianglesInTheWorld)
{
    QTemporaryDir dir;
    PrintJobInput input = emptyScene("Pellar120");
    input.plateTriangles = {triangle(1)};
    struct Cone { QVector3D p0, p1; float r0, r1; };
    struct Ball { QVector3D c; float r; };
    const Cone tip{{0, 0, 10}, {0, 0, 8}, 0.4f, 0.8f}, shaft{{0, 0, 8}, {3, 0, 0}, 0.8f, 0.8f};
    const Ball joint{{0, 0, 8}, 0.8f}, foot{{5, 5, 5}, 0.5f};
    auto P = [](const QVector3D& v) { return vcg::Point3f(v.x(), v.y(), v.z()); };
    DLP_Support a, b;
    a.cones << SaveCone(P(tip.p0), tip.r0, P(tip.p1), tip.r1) << SaveCone(P(shaft.p0), shaft.r0, P(shaft.p1), shaft.r1);
    a.spheres << SaveSphere(P(joint.c), joint.r);
    b.spheres << SaveSphere(P(foot.c), foot.r);
    SupportMap supports;
    supports.insert(SupportKey(1, 1), a);
    supports.insert(SupportKey(2, 2), b);
    QMatrix4x4 toWorld;
    toWorld.translate(10, -4, 2);
    toWorld.rotate(30, 0, 0, 1);
    input.plateSupports.push_back({supports, toWorld, supportgeom::BuildUnitSphere()});
    const QString path = dir.filePath("job.vxt");
    ASSERT_EQ(PrintFile::generatePrintableData_VXT(input, makePara(), path), 0);

    Reader r = readFile(path);
    r.pos = 28;
    const std::vector<int32_t> table = ints(r, 20);
    r.pos = table[9] * 4;
    EXPECT_EQ(floats(r, 9), std::vector<float>({1, 2, 3, 4, 5, 6, 7, 8, 9}));
    const QMatrix4x4 back = toWorld.inverted();
    auto corners = [&](int triangles) {
        std::vector<QVector3D> out;
        for (int k = 0; k < 3 * triangles; ++k) {
            const std::vector<float> v = floats(r, 3);
            out.push_back(back.map(QVector3D(v[0], v[1], v[2])));
        }
        return out;
    };
    auto onCone = [](const Cone& c, const QVector3D& v) {
        const QVector3D axis = c.p1 - c.p0, u = axis.normalized();
        const float along = QVector3D::dotProduct(v - c.p0, u), radial = (v - c.p0 - along * u).length();
        const bool start = std::fabs(along) < 1e-3f && (radial < 1e-3f || std::fabs(radial - c.r0) < 1e-3f);
        const bool end = std::fabs(along - axis.length()) < 1e-3f && (radial < 1e-3f || std::fabs(radial - c.r1) < 1e-3f);
        return start || end;
    };
    for (const Cone& c : {tip, shaft})
        for (const QVector3D& v : corners(64))
            ASSERT_TRUE(onCone(c, v)) << v.x() << " " << v.y() << " " << v.z();
    for (const Ball& ball : {joint, foot})
        for (const QVector3D& v : corners(480))
            ASSERT_NEAR((v - ball.c).length(), ball.r, 1e-3f);
    EXPECT_EQ(floats(r, 3), std::vector<float>({0, 1 + 2 * 64 + 2 * 480, 0}));
    EXPECT_TRUE(r.ok && r.atEnd());
}

} // namespace
