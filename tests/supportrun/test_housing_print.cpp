// Pieces of machined parts supported, sliced at 50 um on the small printer's
// frame (854 x 480 pixels of 115.5 um) and written the application's way; the
// layers read back by the independent decoder hold no lit region without lit
// pixels under it.
#include "bench/eventwait.h"
#include "hang_ceiling.h"
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "dlp/machinepara.h"
#include "dlp/slicebuildconfig.h"
#include "gen_harness.h"
#include "housing.h"
#include "housing_cad.h"
#include "layer_checks.h"
#include "layers/islands.h"
#include "printfiledecoder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace {

constexpr int kWidth = 854, kHeight = 480;
constexpr float kPixelUm = 115.5f;
constexpr float kThickness = 0.05f;

QVector<VSLTriangle3D> Triangles(const std::vector<housing::Tri>& mesh)
{
    QVector<VSLTriangle3D> tris;
    tris.reserve(int(mesh.size()));
    for (const housing::Tri& t : mesh)
        tris << testmesh::Tri({t[0], t[1], t[2]}, {t[3], t[4], t[5]}, {t[6], t[7], t[8]});
    return tris;
}

struct Printed {
    layers::IslandCount counted;
    SliceMidAir midAir; // what the window's Slice tells the user
    int fileIslands = -1;
    int firstIslandLayer = -1; // of the file
    std::string where; // layer@x,y of each island the file holds
};

// The mesh loaded, supported with 1 / 0.6 / 1.1 / 3 (unless `supported` is
// false), sliced with `plateLayers` and written; the islands the slice
// counted and those the written file holds.
Printed SupportSliceWrite(const QVector<VSLTriangle3D>& tris, bool supported = true, int plateLayers = 0,
                          bool windowsCountOnly = false)
{
    Printed out;
    QTemporaryDir dir;
    VSL3DScene scene;
    scene.m_fnOutOfRangeWarning = [] {};
    const float plateX = kWidth * kPixelUm / 1000.f, plateY = kHeight * kPixelUm / 1000.f;
    scene.SetBound(QVector3D(plateX / 2, plateY / 2, 200), QVector3D(-plateX / 2, -plateY / 2, 0), kPixelUm, kPixelUm);
    const QString stl = dir.filePath("part.stl");
    if (!testmesh::WriteFile(stl, testmesh::BinaryStl(tris)) || !scene.AddModel(stl)) {
        ADD_FAILURE() << "not loaded";
        return out;
    }
    VSLModelPainter* p = scene.instances().last();
    if (!WaitFor([p] { return p->m_pModel->isReady(); }, kHangMs)) {
        ADD_FAILURE() << "not ready";
        return out;
    }
    p->m_dSupportDensity = 1.0;
    p->m_dTipDiameter = 0.6;
    p->m_dShaftDiameter = 1.1;
    p->m_dLiftDistance = 3.0;
    if (supported && (scene.StartSupportJob(p) != SceneOp::Done ||
                      !WaitFor([&] { return scene.runningSupportJobs() == 0; }, kHangMs) || p->m_supportMap.isEmpty())) {
        ADD_FAILURE() << "no supports";
        return out;
    }
    // Every layer counted, unless the window's count alone is asked for.
    p->m_bCountSliceIslands = !windowsCountOnly;
    scene.setCountSliceIslands(true);
    QSignalSpy sliced(&scene, &VSL3DScene::sig_SliceSceneDone);
    if (scene.StartSliceScene(kWidth, kHeight, 1000.f / kPixelUm, 1000.f / kPixelUm, kThickness, plateLayers) !=
            SceneOp::Done ||
        !sliced.wait(kHangMs) || !scene.lastSliceError().isEmpty()) {
        ADD_FAILURE() << "not sliced " << qPrintable(scene.lastSliceError());
        return out;
    }
    out.counted = p->m_sliceIslands;
    out.midAir = scene.LastSliceMidAir();

    DLP::SliceBuildConfig config;
    config.UpdateMachineConfig(float(kWidth), float(kHeight), kPixelUm, kPixelUm, 200.f);
    config.SliceThickness = kThickness;
    config.PlateLayers = plateLayers;
    ST_MachinePara para = DLP::machineParaFrom(config);
    const QString file = dir.filePath("part.vxs");
    scene.m_strSaveFileName = file;
    if (scene.generatePrintableData_VXS(para, file) != 0) {
        ADD_FAILURE() << "not written";
        return out;
    }
    VxsFile f = ReadVxs(file, false);
    if (!f.valid)
        f = ReadVxs(file, true);
    if (!f.valid) {
        ADD_FAILURE() << f.error;
        return out;
    }
    const uint64_t pixels = uint64_t(kWidth) * kHeight;
    QVector<uint8_t> below;
    out.fileIslands = 0;
    for (int L = 0; L < f.layers.size(); ++L) {
        QVector<uint8_t> here = ExpandRuns(DecodeRuns(f.layers[L], f.bits), pixels);
        if (uint64_t(here.size()) != pixels) {
            ADD_FAILURE() << "layer " << L << " does not cover the frame";
            return out;
        }
        if (L > 0) {
            std::vector<int> first;
            out.fileIslands += layercheck::FloatingRegions(here, below, kWidth, kHeight, 8, &first);
            if (!first.empty() && out.firstIslandLayer < 0)
                out.firstIslandLayer = L;
            for (int c : first)
                out.where += " " + std::to_string(L) + "@" + std::to_string(c % kWidth) + "," + std::to_string(c / kWidth);
        }
        below = here;
    }
    return out;
}

} // namespace

// The rounded rim of a counterbored boss hanging under a partition holds
// dimples whose floor is an edge of two vertices of one height, inside the
// region of a lower contact: each cured a speck of its own (an island 3 mm
// above the model's foot), as a dimple of one vertex would have without its
// low-point support.
TEST(HousingPrint, ABossRimsDimplesStandOnSupports)
{
    const Printed printed = SupportSliceWrite(Triangles(housing::Mesh(housing::BossUnderPartition(), 0.8)));
    EXPECT_EQ(printed.fileIslands, 0) << printed.where;
    EXPECT_EQ(printed.counted.model, 0);
    EXPECT_EQ(printed.counted.support, 0);
}

// Housings as CAD exports tessellate them, whole and at half size: an open
// one on a flange with ledges, a hanging boss and cross holes, and a closed
// one whose supports stand on its floor between bosses.
class HousingShapes : public ::testing::TestWithParam<int> {};

TEST_P(HousingShapes, PrintWithoutIslands)
{
    const int k = GetParam();
    const float scale = k % 2 ? 0.5f : 1.f;
    const std::vector<housing::Tri> mesh = k < 2 ? housing::ProfileHousing(scale) : housing::ClosedHousing(scale);
    const Printed printed = SupportSliceWrite(Triangles(mesh));
    EXPECT_EQ(printed.fileIslands, 0) << printed.where;
    EXPECT_EQ(printed.counted.model, 0);
    EXPECT_EQ(printed.counted.support, 0);
}

INSTANTIATE_TEST_SUITE_P(OpenAndClosed, HousingShapes, ::testing::Range(0, 4));

// Slice tells of every region the written file holds in mid-air, at the
// layer the file holds the lowest: a part that hangs beside the model's
// body, a finger hanging from an arm, each unsupported and with plate layers
// in front; supported, the same parts print whole and nothing is told.
TEST(HousingPrint, SliceToldOfWhatTheFileHoldsInMidAir)
{
    QVector<VSLTriangle3D> beside = testmesh::Box({0, 0, 0}, {10, 10, 10});
    beside += testmesh::Box({14, 0, 5.01f}, {20, 6, 8});
    QVector<VSLTriangle3D> finger = testmesh::Box({0, 0, 0}, {4, 4, 12});  // post
    finger += testmesh::Box({4, 0, 9}, {16, 4, 12});                      // arm
    finger += testmesh::Box({12, 0, 4}, {16, 4, 9});                      // finger under its end
    const struct {
        const char* name;
        QVector<VSLTriangle3D> tris;
        bool supported;
        int plateLayers;
        int told; // regions of the model
    } cases[] = {
        {"beside", beside, false, 0, 1},       {"beside on plate layers", beside, false, 3, 1},
        {"finger", finger, false, 0, 1},       {"beside supported", beside, true, 0, 0},
        {"cube", testmesh::Cube(10), false, 2, 0},
    };
    for (const auto& c : cases)
        for (const bool windowsCountOnly : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (windowsCountOnly ? ", the window's count" : ", every layer counted"));
            const Printed printed = SupportSliceWrite(c.tris, c.supported, c.plateLayers, windowsCountOnly);
            EXPECT_EQ(printed.midAir.model, c.told);
            EXPECT_EQ(printed.midAir.support, 0);
            EXPECT_EQ(printed.midAir.any(), printed.fileIslands > 0) << printed.where;
            EXPECT_EQ(printed.midAir.lowestLayer, printed.firstIslandLayer) << printed.where;
            if (c.told) {
                EXPECT_EQ(printed.midAir.lowestModel, QStringLiteral("part.stl"));
            }
        }
}
