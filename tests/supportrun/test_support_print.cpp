// Each procedural mesh supported, sliced and written as a print file the
// application's way; the layers read back by the independent decoder show
// no lit region above the plate layers without lit pixels under it.
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
#include <vector>

namespace {

constexpr int kWidth = 400, kHeight = 300; // 0.1 mm pixels
constexpr int kPlateLayers = 2;
constexpr float kThickness = 0.1f;

bool WaitFor(const std::function<bool()>& done, int ms = 60000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

std::vector<genh::TestModel> PrintModels()
{
    std::vector<genh::TestModel> models = genh::Models();
    for (const genh::TestModel& m : genh::FloatingRiskModels())
        models.push_back(m);
    return models;
}

// The model loaded, supported with its parameters and sliced, counting
// islands; the painter, or null with a failure recorded.
VSLModelPainter* SupportAndSlice(VSL3DScene& scene, const genh::TestModel& model, const QTemporaryDir& dir)
{
    scene.m_fnOutOfRangeWarning = [] {};
    const QString stl = dir.filePath("m.stl");
    if (!testmesh::WriteFile(stl, testmesh::BinaryStl(model.tris)) || !scene.AddModel(stl)) {
        ADD_FAILURE() << "cannot load " << model.name;
        return nullptr;
    }
    VSLModelPainter* p = scene.instances().last();
    if (!WaitFor([p] { return p->m_pModel->isReady(); })) {
        ADD_FAILURE() << "not ready";
        return nullptr;
    }
    p->m_dSupportDensity = model.params.density;
    p->m_dTipDiameter = model.params.tipDiameter;
    p->m_dShaftDiameter = model.params.shaftDiameter;
    p->m_dLiftDistance = model.params.liftDistance;
    if (scene.StartSupportJob(p) != SceneOp::Done || !WaitFor([&] { return scene.runningSupportJobs() == 0; }) ||
        p->m_supportMap.isEmpty()) {
        ADD_FAILURE() << "no supports";
        return nullptr;
    }
    p->m_bCountSliceIslands = true;
    QSignalSpy sliced(&scene, &VSL3DScene::sig_SliceSceneDone);
    if (scene.StartSliceScene(kWidth, kHeight, 10.f, 10.f, kThickness, kPlateLayers) != SceneOp::Done ||
        !sliced.wait(60000)) {
        ADD_FAILURE() << "not sliced";
        return nullptr;
    }
    return p;
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

    DLP::SliceBuildConfig config;
    config.UpdateMachineConfig(float(kWidth), float(kHeight), 100.f, 100.f, 200.f);
    config.SliceThickness = kThickness;
    config.PlateLayers = kPlateLayers;
    ST_MachinePara para = DLP::machineParaFrom(config);
    const QString out = dir.filePath("m.vxs");
    scene.m_strSaveFileName = out;
    ASSERT_EQ(scene.generatePrintableData_VXS(para, out), 0);

    VxsFile f = ReadVxs(out, false);
    if (!f.valid)
        f = ReadVxs(out, true);
    ASSERT_TRUE(f.valid) << f.error;
    ASSERT_GT(f.layers.size(), kPlateLayers + 10);
    const uint64_t pixels = uint64_t(kWidth) * kHeight;
    QVector<uint8_t> below = ExpandRuns(DecodeRuns(f.layers[kPlateLayers], f.bits), pixels);
    ASSERT_EQ(uint64_t(below.size()), pixels);
    int litLayers = 0;
    for (int L = kPlateLayers + 1; L < f.layers.size(); ++L) {
        const QVector<uint8_t> layer = ExpandRuns(DecodeRuns(f.layers[L], f.bits), pixels);
        ASSERT_EQ(uint64_t(layer.size()), pixels);
        litLayers += std::count_if(layer.begin(), layer.end(), [](uint8_t v) { return v != 0; }) > 0;
        EXPECT_EQ(layercheck::FloatingRegions(layer, below, kWidth, kHeight), 0) << model.name << " layer " << L;
        below = layer;
    }
    // Every layer of the lifted model and its supports shows something.
    EXPECT_EQ(litLayers, f.layers.size() - kPlateLayers - 1);
    EXPECT_GE(f.layers.size(), int((p->m_maxBound.z() - p->m_minBound.z() + model.params.liftDistance) / kThickness) - 1);
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
    EXPECT_EQ(p->m_sliceIslands.support, 0);
    EXPECT_EQ(p->m_sliceIslands.model, 0);
}

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
