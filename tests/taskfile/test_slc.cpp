#include "VSL3DScene.h"
#include "VSLModelPainter.h"
#include "slice_polygons.h"
#include "modal_answer.h"
#include "slc/slcfile.h"
#include "test_meshes.h"

#include <QDataStream>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

namespace {

using Layer = QVector<QPolygonF>;
struct Record { float z; Layer outlines; };

QByteArray Slc(int tableEntries, const QVector<Record>& records, bool terminator = true)
{
    QByteArray bytes("-SLCVER 2.0 -UNIT MM -PACKAGE test\r\n\x1a");
    bytes.append(QByteArray(256, '\0'));
    bytes.append(char(tableEntries));
    QDataStream s(&bytes, QIODevice::Append);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    for (int i = 0; i < tableEntries; ++i)
        s << 0.f << 0.05f << 0.f << 0.f;
    for (const Record& r : records) {
        s << r.z << quint32(r.outlines.size());
        for (const QPolygonF& p : r.outlines) {
            s << quint32(p.size()) << quint32(0);
            for (const QPointF& q : p)
                s << float(q.x()) << float(q.y());
        }
    }
    if (terminator)
        s << 9.f << quint32(0xFFFFFFFF);
    return bytes;
}

QPolygonF Square(double x0, double y0, double w, double h)
{
    return QPolygonF({QPointF(x0, y0), QPointF(x0 + w, y0), QPointF(x0 + w, y0 + h), QPointF(x0, y0 + h),
                      QPointF(x0, y0)});
}

class SlcImport : public ::testing::Test {
protected:
    void SetUp() override { m_scene.m_fnSlcScaleQuestion = [] { return false; }; }
    int Read(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath("in.slc");
        EXPECT_TRUE(testmesh::WriteFile(path, bytes));
        return m_scene.readSlcFile(path, nullptr);
    }
    QTemporaryDir m_dir;
    VSL3DScene m_scene;
};

TEST_F(SlcImport, RecordsFollowTheWholeSamplingTable)
{
    // The last record's outlines are thinned (the mid point goes) and closed;
    // two points leave nothing.
    const QPolygonF withMidPoint({QPointF(0, 0), QPointF(5, 0), QPointF(10, 0), QPointF(10, 10), QPointF(0, 10)});
    const QPolygonF twoPoints(QVector<QPointF>{QPointF(1, 1), QPointF(2, 3)});
    const QVector<Record> records{{0.05f, {Square(0, 0, 10, 10)}}, {0.1f, {withMidPoint, twoPoints}}};
    ASSERT_EQ(Read(Slc(1, records)), 0);
    const SliceLayers one = m_scene.m_modelSliceLayers;
    EXPECT_FLOAT_EQ(m_scene.m_fLayerThick, 0.05f); // a scene thickness of 0 takes the file's
    EXPECT_EQ(m_scene.m_nTotalLayers, 2);
    // Centre (5, 5) mm onto the build maximum (48, 27) mm at 20 px/mm.
    const QPolygonF square = Square(860, 440, 200, 200);
    EXPECT_EQ(one, ToSliceLayers({{square}, {square, QPolygonF()}}));
    EXPECT_EQ(m_scene.m_sliceMinPt, QPointF(860, 440));
    EXPECT_EQ(m_scene.m_sliceMaxPt, QPointF(1060, 640));

    m_scene.m_modelSliceLayers.clear();
    ASSERT_EQ(Read(Slc(3, records)), 0);
    EXPECT_EQ(m_scene.m_modelSliceLayers, one);
}

TEST_F(SlcImport, DamagedFilesAreReportedWithoutHangingOrAllocating)
{
    const QByteArray good = Slc(1, {{0.05f, {Square(0, 0, 10, 10)}}});
    const int records = good.indexOf("\r\n\x1a") + 276;
    QByteArray hugeBoundaries = good;
    hugeBoundaries.replace(records + 4, 4, QByteArray("\xff\xff\xff\x7f", 4));
    QByteArray hugeVertices = good;
    hugeVertices.replace(records + 8, 4, QByteArray("\xff\xff\xff\xff", 4));
    QByteArray hugeTable = good;
    hugeTable[records - 17] = char(0xff);
    const struct { const char* name; QByteArray bytes; } cases[] = {
        {"boundary count beyond the file", hugeBoundaries},
        {"vertex count beyond the file", hugeVertices},
        {"table beyond the file", hugeTable},
        {"cut inside a record", Slc(1, {{0.05f, {Square(0, 0, 10, 10)}}}, false).left(records + 30)},
        {"header only", good.left(100)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.bytes), -3) << c.name;
        EXPECT_TRUE(m_scene.m_modelSliceLayers.isEmpty()) << c.name;
    }
    EXPECT_EQ(m_scene.readSlcFile(m_dir.filePath("missing.slc"), nullptr), -3);
}

// Values no model has: layers that do not rise, rise by nothing or by more
// than a layer can be, points beyond 100 m. Refused with the reason, and
// the scene's thickness and layers as they were.
TEST_F(SlcImport, AbsurdValuesAreRefusedWithTheReason)
{
    QStringList notices; // a file taken wrongly would meet the thickness rule
    m_scene.m_fnSlcThicknessNotice = [&](const QString& text) { notices << text; };
    const Layer square{Square(0, 0, 10, 10)};
    const struct { const char* name; QVector<Record> records; const char* reason; } cases[] = {
        {"every layer at z 0", {{0.f, square}, {0.f, square}}, "0 mm apart"},
        {"below 0", {{-0.5f, square}, {-1.f, square}}, "mm apart"},
        {"1e-9 apart", {{1e-9f, square}, {2e-9f, square}}, "0 mm apart"},
        {"2 mm apart", {{2.f, square}, {4.f, square}}, "2 mm apart"},
        {"a point at 1e30", {{0.05f, {Square(0, 0, 10, 1e30)}}}, "beyond 100 m"},
        {"a point at -1e6", {{0.05f, {Square(-1e6, 0, 10, 10)}}}, "beyond 100 m"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Read(Slc(1, c.records)), -4);
        EXPECT_TRUE(m_scene.lastLoadError().contains(c.reason)) << m_scene.lastLoadError().toStdString();
        EXPECT_TRUE(m_scene.lastLoadError().contains("in.slc"));
        EXPECT_TRUE(m_scene.m_modelSliceLayers.isEmpty());
        EXPECT_EQ(m_scene.m_fLayerThick, 0.f);
        // Opened as a model, the window is told the same reason.
        EXPECT_FALSE(m_scene.AddSlcModel(m_dir.filePath("in.slc")));
        EXPECT_TRUE(m_scene.lastLoadError().contains(c.reason)) << m_scene.lastLoadError().toStdString();
    }
    EXPECT_EQ(Read(Slc(1, {{0.05f, square}, {0.1f, square}})), 0);
    EXPECT_FLOAT_EQ(m_scene.m_fLayerThick, 0.05f);
    EXPECT_TRUE(notices.isEmpty());
}

// The layers' spacing is the thickness, wherever the first layer stands and
// however its heights round; a file taller than the printer is not taken.
TEST_F(SlcImport, ThicknessIsTheSpacingAndAFileTallerThanThePrinterIsRefused)
{
    const Layer square{Square(0, 0, 10, 10)};
    QVector<Record> raised;
    for (int i = 0; i < 100; ++i)
        raised.append({0.1f + 0.05f * float(i), square});
    ASSERT_EQ(Read(Slc(1, raised)), 0);
    EXPECT_FLOAT_EQ(m_scene.m_fLayerThick, 0.05f); // not 0.1: the file would print twice as tall
    EXPECT_EQ(m_scene.m_nTotalLayers, 100);

    // 3.05f - 3.0f is 0.0500002: the same thickness as the plate's.
    VSL3DScene again;
    again.m_fLayerThick = 0.05f;
    QStringList notices;
    again.m_fnSlcThicknessNotice = [&](const QString& text) { notices << text; };
    ASSERT_TRUE(testmesh::WriteFile(m_dir.filePath("high.slc"), Slc(1, {{3.0f, square}, {3.05f, square}})));
    EXPECT_EQ(again.readSlcFile(m_dir.filePath("high.slc"), nullptr), 0);
    EXPECT_TRUE(notices.isEmpty()) << notices.join('|').toStdString();

    // The scene builds 200 mm high: 4001 layers of 0.05 mm are 200.05 mm.
    VSL3DScene tall;
    QVector<Record> tower;
    for (int i = 1; i <= 4001; ++i)
        tower.append({0.05f * float(i), square});
    ASSERT_TRUE(testmesh::WriteFile(m_dir.filePath("tower.slc"), Slc(1, tower)));
    EXPECT_EQ(tall.readSlcFile(m_dir.filePath("tower.slc"), nullptr), -4);
    EXPECT_TRUE(tall.lastLoadError().contains("its 4001 layers of 0.05 mm make 200.05 mm, more than the printer's "
                                              "build height of 200 mm"))
        << tall.lastLoadError().toStdString();
    EXPECT_TRUE(tall.m_modelSliceLayers.isEmpty());
    EXPECT_EQ(tall.m_fLayerThick, 0.f);
    tower.resize(4000);
    ASSERT_TRUE(testmesh::WriteFile(m_dir.filePath("tower.slc"), Slc(1, tower)));
    EXPECT_EQ(tall.readSlcFile(m_dir.filePath("tower.slc"), nullptr), 0);
}

// Two parts one above the other: the records without outlines between them
// are empty layers, so the upper part keeps its height; those before the
// first outline and after the last are no layers.
TEST_F(SlcImport, RecordsWithoutOutlinesBetweenPartsKeepTheGap)
{
    const Layer square{Square(0, 0, 10, 10)};
    QVector<Record> records{{0.05f, {}}};
    for (int i = 1; i <= 10; ++i)
        records.append(Record{0.05f + 0.05f * float(i), i <= 3 || i >= 8 ? square : Layer()});
    records.append(Record{0.6f, {}});
    ASSERT_EQ(Read(Slc(1, records)), 0);
    EXPECT_EQ(m_scene.m_nTotalLayers, 10);
    const SliceLayers layers = m_scene.m_modelSliceLayers;
    ASSERT_EQ(layers.size(), 10);
    for (int i = 0; i < layers.size(); ++i)
        EXPECT_EQ(layers[i].isEmpty(), i >= 3 && i < 7) << i;
}

// Without prompts set, frameless boxes ask and default to No; a declined
// scaling or a thickness mismatch change nothing.
TEST(SlcImportPrompts, OutOfRangeScalesOnlyWhenAllowedAndThicknessMustMatch)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("wide.slc");
    ASSERT_TRUE(testmesh::WriteFile(path, Slc(1, {{0.05f, {Square(-100, 0, 200, 20)}}})));
    VSL3DScene scene;
    {
        ModalAnswers answers({QMessageBox::No});
        EXPECT_EQ(scene.readSlcFile(path, nullptr), -1);
        EXPECT_EQ(answers.texts, QStringList({"SLC data is out of range"}));
        EXPECT_EQ(answers.defaults, QList<QMessageBox::StandardButton>({QMessageBox::No}));
        EXPECT_TRUE(scene.m_modelSliceLayers.isEmpty());
    }
    {
        scene.m_fLayerThick = 0.25f;
        ModalAnswers answers;
        EXPECT_EQ(scene.readSlcFile(path, nullptr), -2);
        EXPECT_EQ(answers.texts, QStringList({"Laythick Error:0.25!=0.05"}));
        EXPECT_TRUE(scene.m_modelSliceLayers.isEmpty());
    }
    scene.m_fLayerThick = 0.05f;
    scene.m_fnSlcScaleQuestion = [] { return true; };
    ASSERT_EQ(scene.readSlcFile(path, nullptr), 0);
    // Scaled by 96 / 200 about the outline centre: the frame's width exactly, centred.
    const QPolygonF& p = scene.m_modelSliceLayers[0][0];
    for (auto [got, want] : {std::pair{p[0].x(), 0.0}, {p[1].x(), 1920.0}, {(p[0].y() + p[2].y()) / 2, 540.0},
                             {scene.m_sliceMinPt.x(), 0.0}, {scene.m_sliceMaxPt.x(), 1920.0}})
        EXPECT_NEAR(got, want, 1e-3);
}

TEST(SlcNames, SuffixIsCaseSensitiveAndFoundAnywhere)
{
    for (auto [name, slc] :
         {std::pair{"part.slc", true}, {"part.slc.stl", true}, {"part.SLC", false}, {"part.stl", false}})
        EXPECT_EQ(VSL3DScene::isSlcFile(name), slc) << name;
}

TEST(SlcThinning, MatchesRepeatedScansFromTheStart)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(0, 3), len(0, 9);
    for (int trial = 0; trial < 3000; ++trial) {
        QPolygonF p;
        for (int i = len(rng); i > 0; --i)
            p << QPointF(coord(rng), coord(rng));
        QPolygonF naive = p;
        int index = 0;
        while (!VSL3DScene::IsDealFinish(naive, index))
            naive.remove(index);
        EXPECT_EQ(index, naive.size());
        QPolygonF fast = p;
        slc::Thin(fast);
        ASSERT_EQ(fast, naive) << trial;
    }
}

} // namespace

namespace {

// A file wider than the plate, scaled when the user says so: the model shown
// is the size its layers print; declined, the plate keeps no thickness of it.
TEST(SlcPlate, AScaledFileIsShownAtTheSizeItPrints)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("wide.slc");
    QVector<Record> records;
    for (int i = 1; i <= 40; ++i)
        records.append({0.1f * float(i), {Square(-100, 0, 200, 20)}});
    ASSERT_TRUE(testmesh::WriteFile(path, Slc(1, records)));
    VSL3DScene scene;
    scene.m_fnSlcScaleQuestion = [] { return false; };
    EXPECT_FALSE(scene.AddSlcModel(path));
    EXPECT_EQ(scene.m_fLayerThick, 0.f);
    EXPECT_FALSE(scene.hasSlcPlate());

    scene.m_fnSlcScaleQuestion = [] { return true; };
    ASSERT_TRUE(scene.AddSlcModel(path)) << scene.lastLoadError().toStdString();
    EXPECT_FLOAT_EQ(scene.m_fLayerThick, 0.1f);
    ASSERT_TRUE(scene.hasSlcPlate());
    VSLModelPainter* instance = scene.instances().last();
    const QVector3D shown = instance->m_maxBound - instance->m_minBound;
    EXPECT_NEAR(shown.x(), 96.0, 1e-3); // 200 mm scaled by 96 / 200
    EXPECT_NEAR(shown.y(), 20.0 * 96.0 / 200.0, 1e-3);
    const QRectF printed = scene.m_modelSliceLayers[0][0].boundingRect();
    EXPECT_NEAR(printed.width() * scene.m_fPixelSizeX / 1000.0, double(shown.x()), 1e-2);
    EXPECT_NEAR(printed.height() * scene.m_fPixelSizeY / 1000.0, double(shown.y()), 1e-2);
    // Nothing moved, same printer: slicing keeps the layers as read.
    const SliceLayers before = scene.m_modelSliceLayers;
    EXPECT_TRUE(scene.MapSlcPlate());
    EXPECT_TRUE(scene.m_modelSliceLayers == before);
}

} // namespace
