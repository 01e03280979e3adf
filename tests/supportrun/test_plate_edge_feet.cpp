// Supports near each edge of each printer's frame. Generated there, every
// plate column's foot stands on the plate and is lit whole in the written
// file (read back by the independent decoder), with no island in any layer.
// Moved there after generation, so that they reach past the edge, the plate
// counts them out of range: the window's Slice warns before it cuts them.
#include "bench/eventwait.h"
#include "hang_ceiling.h"
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "dlp/machinepara.h"
#include "dlp/slicebuildconfig.h"
#include "layer_checks.h"
#include "printfiledecoder.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMatrix4x4>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>

namespace {

// The frames of the built-in printer models (resolution, pixel size in um).
struct Printer {
    const char* name;
    int xres, yres;
    float pixelX, pixelY;
};
const Printer kPrinters[] = {
    {"Pellar10", 854, 480, 115.5f, 115.5f},
    {"Pellar30", 2560, 1440, 47.25f, 47.25f},
    {"Pellar4K", 3840, 6480, 31.5f, 10.5f},
};

// Right, left, back, front: the plan direction towards that edge.
const QVector2D kEdges[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

constexpr float kThickness = 0.1f;
constexpr float kShaftMm = 1.1f;

struct Plate {
    VSL3DScene scene;
    QTemporaryDir dir;
    QVector<VSLModelPainter*> instances;

    explicit Plate(const Printer& p)
    {
        scene.m_fnOutOfRangeWarning = [] {};
        const QVector3D max(p.xres * p.pixelX / 2000.f, p.yres * p.pixelY / 2000.f, 150.f);
        scene.SetBound(max, QVector3D(-max.x(), -max.y(), 0), p.pixelX, p.pixelY);
    }
    // A ledge for each edge, overhanging towards it, placed by the plate.
    bool Load()
    {
        for (int i = 0; i < 4; ++i) {
            const QString stl = dir.filePath(QStringLiteral("ledge%1.stl").arg(i));
            if (!testmesh::WriteFile(stl, testmesh::BinaryStl(testmesh::Ledge(kEdges[i]))) || !scene.AddModel(stl))
                return false;
            instances.append(scene.instances().last());
        }
        return WaitFor([this] {
            return std::all_of(instances.begin(), instances.end(), [](VSLModelPainter* p) { return p->m_pModel->isReady(); });
        }, kHangMs);
    }
    bool Support()
    {
        for (VSLModelPainter* p : qAsConst(instances)) {
            p->m_dSupportDensity = 1.0;
            p->m_dTipDiameter = 0.6;
            p->m_dShaftDiameter = kShaftMm;
            p->m_dLiftDistance = 1.0;
            if (scene.StartSupportJob(p) != SceneOp::Done)
                return false;
        }
        return WaitFor([this] { return scene.runningSupportJobs() == 0; }, kHangMs);
    }
    // Moves instance i so that its model's box ends `gapMm` inside edge i.
    void ToEdge(int i, float gapMm)
    {
        VSLModelPainter* p = instances[i];
        const QVector2D e = kEdges[i];
        QVector3D bmax, bmin;
        scene.GetBound(bmax, bmin);
        const QVector2D centre = ((p->m_maxBound + p->m_minBound) * 0.5f).toVector2D();
        const QVector2D half = ((p->m_maxBound - p->m_minBound) * 0.5f).toVector2D();
        // Along the edge's axis up to the gap; centred along the edge.
        QVector2D to;
        if (e.x() != 0)
            to = QVector2D(e.x() * (bmax.x() - gapMm - half.x()), 0);
        else
            to = QVector2D(0, e.y() * (bmax.y() - gapMm - half.y()));
        p->Translate(to - centre);
    }
};

// How far the supports of `p` reach past its model's box towards edge `e`.
float Overhang(VSLModelPainter* p, QVector2D e)
{
    float reach = -1e9f;
    for (const DLP_Support& s : qAsConst(p->m_supportMap))
        for (const QVector<vcg::Point3f>& c : s.cones) {
            for (int end = 0; end < 2; ++end) {
                const QVector3D w = p->m_supportMatrix.map(QVector3D(c[end][0], c[end][1], c[end][2]));
                reach = std::max(reach, QVector2D::dotProduct(w.toVector2D(), e) + c[2][end]);
            }
        }
    const float boxEdge = e.x() > 0 ? p->m_maxBound.x() : e.x() < 0 ? -p->m_minBound.x()
                        : e.y() > 0 ? p->m_maxBound.y() : -p->m_minBound.y();
    return reach - boxEdge;
}

// Layer n of the written file, all its pixels; empty with a failure recorded.
QVector<uint8_t> Layer(const VxsFile& f, int n, const Printer& p)
{
    const uint64_t pixels = uint64_t(p.xres) * uint64_t(p.yres);
    QVector<uint8_t> out = ExpandRuns(DecodeRuns(f.layers[n], f.bits), pixels);
    if (uint64_t(out.size()) != pixels) {
        ADD_FAILURE() << "layer " << n << " does not cover the frame";
        return {};
    }
    return out;
}

// One row of the table: ledges generated near the four edges of the
// printer's frame. Unless the plate counts a support out of range (the
// window's Slice then warns), every plate column's foot is lit whole in the
// written file and nothing there starts in mid-air. `turned` gets the feet
// the run kept on the plate by steeper tips, `warned` whether the plate
// counts a support out of range.
void GeneratedAtTheEdges(const Printer& printer, int& turned, bool& warned)
{
    SCOPED_TRACE(printer.name);
    // How far the supports lean out past the model where nothing bounds them.
    float overhang[4] = {};
    {
        Plate probe(printer);
        ASSERT_TRUE(probe.Load());
        ASSERT_TRUE(probe.Support());
        for (int i = 0; i < 4; ++i) {
            overhang[i] = Overhang(probe.instances[i], kEdges[i]);
            ASSERT_GT(overhang[i], 0.5f) << "the supports must lean out past the model for this plate to test anything";
        }
    }

    Plate plate(printer);
    ASSERT_TRUE(plate.Load());
    // Feet that would stand 0.3 mm past the edge; a steeper tip keeps them on.
    for (int i = 0; i < 4; ++i)
        plate.ToEdge(i, overhang[i] - 0.3f);
    ASSERT_EQ(plate.scene.CountLeavingPlate(), 0);
    ASSERT_TRUE(plate.Support());
    turned = 0;
    for (VSLModelPainter* p : qAsConst(plate.instances)) {
        ASSERT_FALSE(p->m_supportMap.isEmpty());
        turned += p->m_supportRun.m_counts.feetOntoPlate;
    }
    warned = plate.scene.CountLeavingPlate() > 0;
    if (warned)
        return; // the window says the plate is cut before it slices

    QSignalSpy sliced(&plate.scene, &VSL3DScene::sig_SliceSceneDone);
    ASSERT_EQ(plate.scene.StartSliceScene(printer.xres, printer.yres, 1000.f / printer.pixelX,
                                          1000.f / printer.pixelY, kThickness, 0),
              SceneOp::Done);
    ASSERT_TRUE(sliced.wait(kHangMs));

    DLP::SliceBuildConfig config;
    config.UpdateMachineConfig(float(printer.xres), float(printer.yres), printer.pixelX, printer.pixelY, 150.f);
    config.SliceThickness = kThickness;
    config.PlateLayers = 0;
    ST_MachinePara para = DLP::machineParaFrom(config);
    const QString out = plate.dir.filePath("plate.vxs");
    plate.scene.m_strSaveFileName = out;
    ASSERT_EQ(plate.scene.generatePrintableData_VXS(para, out), 0);
    VxsFile f = ReadVxs(out, false);
    if (!f.valid)
        f = ReadVxs(out, true);
    ASSERT_TRUE(f.valid) << f.error;
    ASSERT_GT(f.layers.size(), 10);

    // Every plate column's foot: the pixels within 0.8 of its radius lie in
    // the frame and are lit in the first layer.
    const float dpmmX = 1000.f / printer.pixelX, dpmmY = 1000.f / printer.pixelY;
    const QVector<uint8_t> first = Layer(f, 0, printer);
    ASSERT_FALSE(first.isEmpty());
    const double r = 0.8 * kShaftMm / 2;
    int feet = 0;
    for (int i = 0; i < 4; ++i) {
        VSLModelPainter* p = plate.instances[i];
        for (const DLP_Support& s : qAsConst(p->m_supportMap)) {
            if (s.isDeleted || s.skipShaft || s.onModel)
                continue;
            ++feet;
            const QVector3D c = p->m_supportMatrix.map(QVector3D(s.base[0], s.base[1], s.base[2]));
            int outside = 0, dark = 0;
            for (int y = int(std::floor((c.y() - r) * dpmmY + printer.yres / 2)) - 1;
                 y <= int(std::ceil((c.y() + r) * dpmmY + printer.yres / 2)); ++y)
                for (int x = int(std::floor((c.x() - r) * dpmmX + printer.xres / 2)) - 1;
                     x <= int(std::ceil((c.x() + r) * dpmmX + printer.xres / 2)); ++x) {
                    const double mx = (x + 0.5 - printer.xres / 2) / dpmmX, my = (y + 0.5 - printer.yres / 2) / dpmmY;
                    if (std::hypot(mx - c.x(), my - c.y()) > r)
                        continue;
                    if (x < 0 || y < 0 || x >= printer.xres || y >= printer.yres)
                        ++outside;
                    else if (first[y * printer.xres + x] == 0)
                        ++dark;
                }
            EXPECT_EQ(outside + dark, 0) << "edge " << i << " foot at " << c.x() << ", " << c.y() << ": " << outside
                                         << " pixels off the frame, " << dark << " dark";
        }
    }
    EXPECT_GT(feet, 8);

    // Nothing the written file holds starts in mid-air.
    QVector<uint8_t> below = first;
    for (int n = 1; n < f.layers.size(); ++n) {
        const QVector<uint8_t> here = Layer(f, n, printer);
        ASSERT_FALSE(here.isEmpty());
        EXPECT_EQ(layercheck::FloatingRegions(here, below, printer.xres, printer.yres, 8), 0) << "layer " << n;
        below = here;
    }
}

TEST(PlateEdgeFeet, GeneratedAtTheEdgesOfEachFrameEveryFootIsLitOrTheUserIsTold)
{
    int turnedUnwarned = 0;
    for (const Printer& printer : kPrinters) {
        int turned = 0;
        bool warned = false;
        GeneratedAtTheEdges(printer, turned, warned);
        if (HasFatalFailure())
            return;
        std::printf("%s: %d feet kept on the plate, %s\n", printer.name, turned,
                    warned ? "supports out of range (warned)" : "nothing out of range");
        turnedUnwarned += warned ? 0 : turned;
    }
    // Some frames keep every foot on the plate by steeper tips alone.
    EXPECT_GT(turnedUnwarned, 0);
}

class PlateEdgeFeet : public ::testing::TestWithParam<int> {};

// Moved to the edges after generation, their supports reaching past them
// while the models stay on the plate: the plate counts them out of range.
TEST_P(PlateEdgeFeet, MovedPastTheEdgesTheyAreOutOfRange)
{
    const Printer& printer = kPrinters[GetParam()];
    SCOPED_TRACE(printer.name);
    Plate plate(printer);
    ASSERT_TRUE(plate.Load());
    ASSERT_TRUE(plate.Support());
    QVector3D bmax, bmin;
    plate.scene.GetBound(bmax, bmin);
    for (int i = 0; i < 4; ++i) {
        VSLModelPainter* p = plate.instances[i];
        const float overhang = Overhang(p, kEdges[i]);
        ASSERT_GT(overhang, 0.5f);
        plate.ToEdge(i, overhang - 0.3f);
        EXPECT_TRUE(p->m_maxBound.x() < bmax.x() && p->m_minBound.x() > bmin.x() && p->m_maxBound.y() < bmax.y() &&
                    p->m_minBound.y() > bmin.y())
            << "the model itself stays on the plate";
        EXPECT_TRUE(plate.scene.LeavesBoundXY(p)) << "edge " << i;
        EXPECT_TRUE(plate.scene.IsOutRange(p)) << "edge " << i;
    }
    // What the window's Slice warns with.
    EXPECT_EQ(plate.scene.CountLeavingPlate(), 4);
    // Back towards the middle nothing is out of range.
    for (int i = 0; i < 4; ++i) {
        VSLModelPainter* p = plate.instances[i];
        const QVector2D centre = ((p->m_maxBound + p->m_minBound) * 0.5f).toVector2D();
        p->Translate(kEdges[i] * (i < 2 ? 15.f : 9.f) - centre);
    }
    EXPECT_EQ(plate.scene.CountLeavingPlate(), 0);
}

INSTANTIATE_TEST_SUITE_P(Printers, PlateEdgeFeet, ::testing::Range(0, int(std::size(kPrinters))),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(kPrinters[info.param].name); });

} // namespace
