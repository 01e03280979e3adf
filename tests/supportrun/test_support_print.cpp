// Each procedural mesh supported, sliced and written as a print file the
// application's way; the layers read back by the independent decoder show
// no lit region above the plate layers without lit pixels under it.
#include "bench/eventwait.h"
#include "hang_ceiling.h"
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "dlp/machinepara.h"
#include "dlp/slicebuildconfig.h"
#include "gen_harness.h"
#include "layer_checks.h"
#include "layers/islands.h"
#include "printfiledecoder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 400, kHeight = 300; // 0.1 mm pixels
constexpr int kPlateLayers = 2;
constexpr float kThickness = 0.1f;

std::vector<genh::TestModel> PrintModels()
{
    std::vector<genh::TestModel> models = genh::Models();
    for (const genh::TestModel& m : genh::FloatingRiskModels())
        models.push_back(m);
    // Fields of small features under a tilted plate where a short tip,
    // with no room for a full one, landed on a thin part or at its edge.
    for (unsigned seed : {5u, 16u, 19u})
        models.push_back(genh::FeatureField(seed, 25));
    // Open and doubly written meshes under low points of the run's own pass.
    for (const genh::TestModel& m : genh::OpenMeshLowPointModels())
        models.push_back(m);
    return models;
}

// The model loaded, supported with its parameters (unless `supports` is
// false) and sliced, counting islands; the painter, or null with a failure
// recorded.
VSLModelPainter* SupportAndSlice(VSL3DScene& scene, const genh::TestModel& model, const QTemporaryDir& dir,
                                 bool supports = true)
{
    scene.m_fnOutOfRangeWarning = [] {};
    const QString stl = dir.filePath("m.stl");
    if (!testmesh::WriteFile(stl, testmesh::BinaryStl(model.tris)) || !scene.AddModel(stl)) {
        ADD_FAILURE() << "cannot load " << model.name;
        return nullptr;
    }
    VSLModelPainter* p = scene.instances().last();
    if (!WaitFor([p] { return p->m_pModel->isReady(); }, kHangMs)) {
        ADD_FAILURE() << "not ready";
        return nullptr;
    }
    if (supports) {
        p->m_dSupportDensity = model.params.density;
        p->m_dTipDiameter = model.params.tipDiameter;
        p->m_dShaftDiameter = model.params.shaftDiameter;
        p->m_dLiftDistance = model.params.liftDistance;
        if (scene.StartSupportJob(p) != SceneOp::Done || !WaitFor([&] { return scene.runningSupportJobs() == 0; }, kHangMs) ||
            p->m_supportMap.isEmpty()) {
            ADD_FAILURE() << "no supports";
            return nullptr;
        }
    }
    p->m_bCountSliceIslands = true;
    QSignalSpy sliced(&scene, &VSL3DScene::sig_SliceSceneDone);
    if (scene.StartSliceScene(kWidth, kHeight, 10.f, 10.f, kThickness, kPlateLayers) != SceneOp::Done ||
        !sliced.wait(kHangMs)) {
        ADD_FAILURE() << "not sliced";
        return nullptr;
    }
    return p;
}

// The scene's layers written as the layer-image file and read back by the
// independent decoder; empty with a failure recorded.
QVector<QVector<uint8_t>> WrittenLayers(VSL3DScene& scene, const QTemporaryDir& dir)
{
    DLP::SliceBuildConfig config;
    config.UpdateMachineConfig(float(kWidth), float(kHeight), 100.f, 100.f, 200.f);
    config.SliceThickness = kThickness;
    config.PlateLayers = kPlateLayers;
    ST_MachinePara para = DLP::machineParaFrom(config);
    const QString out = dir.filePath("m.vxs");
    scene.m_strSaveFileName = out;
    if (scene.generatePrintableData_VXS(para, out) != 0) {
        ADD_FAILURE() << "not written";
        return {};
    }
    VxsFile f = ReadVxs(out, false);
    if (!f.valid)
        f = ReadVxs(out, true);
    if (!f.valid) {
        ADD_FAILURE() << f.error;
        return {};
    }
    QVector<QVector<uint8_t>> layers;
    const uint64_t pixels = uint64_t(kWidth) * kHeight;
    for (const QByteArray& code : f.layers) {
        layers.append(ExpandRuns(DecodeRuns(code, f.bits), pixels));
        if (uint64_t(layers.last().size()) != pixels) {
            ADD_FAILURE() << "layer " << layers.size() - 1 << " does not cover the frame";
            return {};
        }
    }
    return layers;
}

// Islands as (layer of the model, first pixel row by row).
using IslandPlaces = std::vector<std::pair<int, QPoint>>;

// The islands the written layers hold: regions of lit pixels (meeting at an
// edge or a corner) of a model layer above the first with no lit pixel
// straight under them.
IslandPlaces FileIslands(const QVector<QVector<uint8_t>>& layers)
{
    IslandPlaces at;
    for (int L = kPlateLayers + 1; L < layers.size(); ++L) {
        std::vector<int> first;
        layercheck::FloatingRegions(layers[L], layers[L - 1], kWidth, kHeight, 8, &first);
        for (int c : first)
            at.push_back({L - kPlateLayers, QPoint(c % kWidth, c / kWidth)});
    }
    return at;
}

// The islands the slice counted, at the pixels their places (1/1000 mm) fall in.
IslandPlaces CountedIslands(const layers::IslandCount& n)
{
    IslandPlaces at;
    for (const auto* list : {&n.supportAt, &n.modelAt})
        for (const auto& a : *list)
            at.push_back({a.first, QPoint(int(std::floor(a.second.X / 100.0 + kWidth / 2)),
                                          int(std::floor(a.second.Y / 100.0 + kHeight / 2)))});
    std::sort(at.begin(), at.end(), [](const std::pair<int, QPoint>& a, const std::pair<int, QPoint>& b) {
        return a.first != b.first ? a.first < b.first
                                  : a.second.y() != b.second.y() ? a.second.y() < b.second.y() : a.second.x() < b.second.x();
    });
    return at;
}

std::string Describe(const IslandPlaces& at)
{
    std::string out;
    for (const auto& a : at)
        out += " " + std::to_string(a.first) + "@" + std::to_string(a.second.x()) + "," + std::to_string(a.second.y());
    return out.empty() ? " none" : out;
}

class SupportedPrint : public ::testing::TestWithParam<int> {};

TEST_P(SupportedPrint, NoLitRegionFloatsAboveThePlateLayers)
{
    const genh::TestModel model = PrintModels()[size_t(GetParam())];
    QTemporaryDir dir;
    VSL3DScene scene;
    VSLModelPainter* p = SupportAndSlice(scene, model, dir);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_sliceIslands.support, 0);
    EXPECT_EQ(p->m_sliceIslands.model, 0);

    const QVector<QVector<uint8_t>> layers = WrittenLayers(scene, dir);
    ASSERT_GT(layers.size(), kPlateLayers + 10);
    int litLayers = 0;
    for (int L = kPlateLayers + 1; L < layers.size(); ++L) {
        const QVector<uint8_t>& layer = layers[L];
        litLayers += std::count_if(layer.begin(), layer.end(), [](uint8_t v) { return v != 0; }) > 0;
        EXPECT_EQ(layercheck::FloatingRegions(layer, layers[L - 1], kWidth, kHeight), 0) << model.name << " layer " << L;
    }
    const IslandPlaces inFile = FileIslands(layers);
    EXPECT_EQ(CountedIslands(p->m_sliceIslands), inFile) << "counted:" << Describe(CountedIslands(p->m_sliceIslands))
                                                         << "\nin the file:" << Describe(inFile);
    // Every layer of the lifted model and its supports shows something.
    EXPECT_EQ(litLayers, layers.size() - kPlateLayers - 1);
    EXPECT_GE(layers.size(), int((p->m_maxBound.z() - p->m_minBound.z() + model.params.liftDistance) / kThickness) - 1);
}

// A spike one pixel thin where it leans steps a whole pixel aside from
// layer to layer, which the pixel check above cannot tell from a float; its
// outlines, not its pixels, show whether its point stands on a support.
TEST(SupportedOutlines, AThinLeaningSpikeStartsOnItsSupport)
{
    QTemporaryDir dir;
    VSL3DScene scene;
    VSLModelPainter* p = SupportAndSlice(scene, genh::TiltedSpike(), dir);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_sliceOutlineIslands.support, 0);
    EXPECT_EQ(p->m_sliceOutlineIslands.model, 0);
    EXPECT_EQ(p->m_sliceIslands.support, 0);
    EXPECT_EQ(p->m_sliceIslands.model, 0);
}

// Short tips whose legs lean near 60 degrees onto a slope under them: the
// lowest point of the ball at a short tip's end hung below its leg, a speck
// whose outline rested on nothing (the window's 50 um layers lit it).
TEST(SupportedOutlines, AShortTipsEndBallStartsOnItsLeg)
{
    QTemporaryDir dir;
    VSL3DScene scene;
    VSLModelPainter* p = SupportAndSlice(scene, genh::SlopeChannel("shortlegchannel", 59, 1.32f, 3), dir);
    ASSERT_NE(p, nullptr);
    EXPECT_GT(p->m_supportRun.m_counts.bridged, 10);
    EXPECT_EQ(p->m_sliceOutlineIslands.support, 0);
    EXPECT_EQ(p->m_sliceIslands.support, 0);
}

// Shells whose outlines part where the pixels that print them join, left
// without supports so that what hangs is the count's to find: a rib a hair
// from a wall, a block meeting a tower along one upright edge (its outlines
// touch at a point), shells sharing a face; and a block that truly hangs.
struct SplitShape {
    genh::TestModel model;
    int islands; // in the file
};

std::vector<SplitShape> SplitShapes()
{
    using testmesh::Box;
    const QVector<VSLTriangle3D> tower = Box({0, 0, 0}, {4, 4, 6});
    return {
        {{"ribahairfromawall", tower + Box({4.03f, 1, 3}, {8, 3, 3.6f}), nullptr}, 0},
        {{"blockmeetingatoweratanedge", tower + Box({4, 4, 3}, {8, 8, 3.6f}), nullptr}, 0},
        {{"shellssharingaface", tower + Box({4, 0, 3}, {8, 4, 3.6f}), nullptr}, 0},
        {{"hangingblock", tower + Box({6, 0, 3}, {8, 4, 3.6f}), nullptr}, 1},
    };
}

class IslandCount : public ::testing::TestWithParam<int> {};

TEST_P(IslandCount, IsThatOfTheWrittenFile)
{
    const SplitShape shape = SplitShapes()[size_t(GetParam())];
    QTemporaryDir dir;
    VSL3DScene scene;
    VSLModelPainter* p = SupportAndSlice(scene, shape.model, dir, false);
    ASSERT_NE(p, nullptr);
    const IslandPlaces inFile = FileIslands(WrittenLayers(scene, dir));
    EXPECT_EQ(int(inFile.size()), shape.islands) << Describe(inFile);
    EXPECT_EQ(CountedIslands(p->m_sliceIslands), inFile) << "counted:" << Describe(CountedIslands(p->m_sliceIslands))
                                                         << "\nin the file:" << Describe(inFile);
    // No supports: what hangs is model.
    EXPECT_EQ(p->m_sliceIslands.support, 0);
}

INSTANTIATE_TEST_SUITE_P(Shapes, IslandCount, ::testing::Range(0, int(SplitShapes().size())),
                         [](const ::testing::TestParamInfo<int>& i) { return SplitShapes()[size_t(i.param)].model.name; });

INSTANTIATE_TEST_SUITE_P(Meshes, SupportedPrint, ::testing::Range(0, int(PrintModels().size())),
                         [](const ::testing::TestParamInfo<int>& i) { return PrintModels()[size_t(i.param)].name; });

} // namespace

namespace {

ClipperLib::Path Square(int x, int y, int size)
{
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}};
}

TEST(Islands, ARegionCountsWhenItOverlapsNothingOfTheUnitedLayerBelow)
{
    using ClipperLib::Paths;
    struct Row {
        const char* name;
        QVector<Paths> model, support;
        int supportIslands, modelIslands;
    };
    const Row rows[] = {
        {"column on column", {}, {{Square(0, 0, 1000)}, {Square(500, 500, 1000)}}, 0, 0},
        {"support beside the column below", {}, {{Square(0, 0, 1000)}, {Square(1000, 0, 1000)}}, 1, 0},
        {"support on the model below", {{Square(0, 0, 5000)}, {}}, {{}, {Square(2000, 2000, 500)}}, 0, 0},
        {"model on a support below", {{}, {Square(0, 0, 5000)}}, {{Square(100, 100, 500)}, {}}, 0, 0},
        {"model floating", {{Square(0, 0, 1000)}, {Square(0, 0, 1000), Square(3000, 0, 1000)}}, {}, 0, 1},
        {"support in the model's hole", {{{Square(0, 0, 5000), Square(1000, 1000, 3000)}}, {}},
         {{}, {Square(2000, 2000, 500)}}, 1, 0},
        {"the first layer rests on the plate", {{Square(0, 0, 1000)}}, {{Square(3000, 0, 1000)}}, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const layers::IslandCount n = layers::CountUnsupportedIslands(row.model, row.support);
        EXPECT_EQ(n.support, row.supportIslands);
        EXPECT_EQ(n.model, row.modelIslands);
        EXPECT_EQ(n.supportAt.size(), row.supportIslands);
    }
}

} // namespace

