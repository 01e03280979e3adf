// Real instances sliced through the scene: contour, union, support cuts, publish, plate layers.
#include "hang_ceiling.h"
#include "VSL3DScene.h"
#include "slice_polygons.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "layer_checks.h"
#include "slice_hold.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

using layercheck::Area;
using layercheck::Lit;

class SceneSlicing : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VSL3DScene scene;

    void SetUp() override { scene.m_fnOutOfRangeWarning = [] {}; }

    VSLModelPainter* Add(const QVector<VSLTriangle3D>& tris, const QString& name, QVector3D at)
    {
        const QString path = dir.filePath(name);
        if ((!QFile::exists(path) && !testmesh::WriteFile(path, testmesh::BinaryStl(tris))) || !scene.AddModel(path))
            return nullptr;
        VSLModelPainter* p = scene.instances().last();
        p->m_matrix.setToIdentity();
        p->m_matrix.translate(at);
        return p;
    }

    // Runs one slice request; returns the announced layer count or -1.
    int Slice(int xRes, int yRes, float dpm, float thicknessMm, int plateLayers = 0)
    {
        QSignalSpy done(&scene, &VSL3DScene::sig_SliceSceneDone);
        if (scene.StartSliceScene(xRes, yRes, dpm, dpm, thicknessMm, plateLayers) != SceneOp::Done || !done.wait(kHangMs))
            return -1;
        return done.takeFirst().at(0).toInt();
    }
};

} // namespace

TEST_F(SceneSlicing, CubeGivesTheExactPixelSquareBehindThePlateLayers)
{
    ASSERT_TRUE(Add(testmesh::Cube(10.f), "cube.stl", QVector3D(-5, -5, 0)));
    ASSERT_EQ(Slice(1921, 1080, 10.5f, 0.05f, 3), 203);
    const SliceLayers& layers = scene.m_modelSliceLayers;
    ASSERT_EQ(layers.size(), 203);
    EXPECT_EQ(scene.m_nPlateLayers, 3);
    // -5 mm -> -5000 um -> -5000 * 10.5 / 1000 + 1921 / 2 (= 960) px.
    const QRectF square(QPointF(907.5, 487.5), QPointF(1012.5, 592.5));
    const QPolygonF plate(QVector<QPointF>{square.topLeft(), square.topRight(), square.bottomRight(), square.bottomLeft()});
    for (int L = 0; L < 3; ++L)
        EXPECT_EQ(layers[L], ToSlicePolygons({plate})) << L;
    for (int L : {3, 102, 202}) {
        ASSERT_EQ(layers[L].size(), 1) << L;
        const QPolygonF& p = layers[L][0];
        // One closed shell passes unchanged: a point per crossed face plus the start again.
        EXPECT_EQ(p.size(), 9);
        EXPECT_EQ(p.boundingRect(), square);
        for (const QPointF& q : p)
            EXPECT_TRUE(q.x() == 907.5 || q.x() == 1012.5 || q.y() == 487.5 || q.y() == 592.5);
        EXPECT_NEAR(std::abs(Area(p)), 105.0 * 105.0, 1e-6);
    }
    EXPECT_EQ(scene.m_sliceMinPt, square.topLeft());
    EXPECT_EQ(scene.m_sliceMaxPt, square.bottomRight());
}

TEST_F(SceneSlicing, OverlappingInstancesPrintTheirUnion)
{
    ASSERT_TRUE(Add(testmesh::Cube(10.f), "cube.stl", QVector3D(-10, -10, 0)));
    ASSERT_TRUE(Add(testmesh::Cube(10.f), "cube.stl", QVector3D(-5, -5, 0)));
    ASSERT_EQ(scene.models().size(), 1);
    ASSERT_EQ(Slice(2000, 1000, 10.f, 0.1f), 100);
    for (int L : {0, 50, 99}) {
        const QVector<SlicePolygon>& layer = scene.m_modelSliceLayers[L];
        // The overlap, each cube's own corner, and a corner of neither.
        for (const QPointF d : {QPointF(-25, -25), QPointF(-75, -75), QPointF(25, 25), QPointF(25, -75)})
            EXPECT_EQ(Lit(layer, QPointF(1000, 500) + d), d != QPointF(25, -75)) << L << " " << d.x() << "," << d.y();
        ASSERT_EQ(layer.size(), 1);
        EXPECT_NEAR(std::abs(Area(layer[0])), 100.0 * 100.0 * 1.75, 1.0);
    }
}

TEST_F(SceneSlicing, UvSphereLayerAreasMatchTheCrossSections)
{
    const float r = 10.f;
    ASSERT_TRUE(Add(testmesh::UvSphere(r, 64, 32, QVector3D(0, 0, r)), "sphere.stl", QVector3D(0, 0, 0)));
    const float dpm = 10.f;
    ASSERT_EQ(Slice(4000, 4000, dpm, 0.1f), 200);
    const SliceLayers& layers = scene.m_modelSliceLayers;
    // Facets lie within R (1 - cos^2 2.8125 deg) of the sphere; the 64-gon loses <= 0.25 % more.
    const double delta = r * (1.0 - std::pow(std::cos(2.8125 * M_PI / 180.0), 2));
    for (int L = 0; L < layers.size(); ++L) {
        const double z = 0.05 + 0.1 * L + 0.0001;
        const double exactMm2 = M_PI * std::max(0.0, double(r) * r - (z - r) * (z - r));
        const double innerMm2 = M_PI * std::max(0.0, (r - delta) * (r - delta) - (z - r) * (z - r));
        double areaMm2 = 0;
        for (const SlicePolygon& p : layers[L])
            areaMm2 += std::abs(Area(p)) / (dpm * dpm);
        EXPECT_LE(areaMm2, exactMm2 + 0.01) << "layer " << L;
        EXPECT_GE(areaMm2, innerMm2 * 0.9975 - 0.01) << "layer " << L;
    }
}

TEST_F(SceneSlicing, SupportsAreCutAndUnitedIncludingTheFoot)
{
    VSLModelPainter* p = Add(testmesh::Cube(10.f), "cube.stl", QVector3D(-5, -5, 0));
    ASSERT_TRUE(p);
    DLP_Support column;
    // Column and foot sphere both reach more than one layer below the first plane.
    column.cones = {{vcg::Point3f(10, 0, 3), vcg::Point3f(10, 0, -0.5f), vcg::Point3f(0.5f, 0.5f, 0)}};
    column.spheres = {{vcg::Point3f(10, 0, 0), vcg::Point3f(0.6f, 0, 0)}};
    DLP_Support removed;
    removed.isDeleted = true;
    removed.cones = {{vcg::Point3f(-10, 0, 3), vcg::Point3f(-10, 0, 0), vcg::Point3f(0.5f, 0.5f, 0)}};
    p->m_supportMap.insert(SupportKey(-3000, 1), column);
    p->m_supportMap.insert(SupportKey(-3000, 2), removed);
    p->m_bHasSupports = true;
    ASSERT_EQ(Slice(2000, 1000, 10.f, 0.1f), 100);
    const SliceLayers& layers = scene.m_modelSliceLayers;
    const QPointF columnPx(1100, 500);
    ASSERT_EQ(layers[0].size(), 2);
    EXPECT_TRUE(Lit(layers[0], columnPx));
    EXPECT_TRUE(Lit(layers[0], columnPx + QPointF(5.5, 0))) << "the foot sphere is wider than the column";
    EXPECT_TRUE(Lit(layers[29], columnPx));
    EXPECT_FALSE(Lit(layers[29], columnPx + QPointF(5.5, 0)));
    EXPECT_EQ(layers[30].size(), 1) << "2.9501 is below the column top; 3.0501 is not";
    EXPECT_FALSE(Lit(layers[30], columnPx));
    EXPECT_FALSE(Lit(layers[0], QPointF(900, 500))) << "deleted records add nothing";
    p->m_bHasSupports = false; // the flag off ignores the map
    ASSERT_EQ(Slice(2000, 1000, 10.f, 0.1f), 100);
    EXPECT_EQ(scene.m_modelSliceLayers[0].size(), 1);
}

namespace {

// A cube with one upright support column beside it, sliced by one worker so
// the layers come in order.
VSLModelPainter* CubeWithColumn(VSL3DScene& scene, const QString& path)
{
    if (!testmesh::WriteFile(path, testmesh::BinaryStl(testmesh::Cube(10.f))) || !scene.AddModel(path))
        return nullptr;
    VSLModelPainter* p = scene.instances().last();
    p->m_matrix.setToIdentity();
    p->m_matrix.translate(-5, -5, 0);
    DLP_Support column;
    column.cones = {{vcg::Point3f(10, 0, 3), vcg::Point3f(10, 0, -0.5f), vcg::Point3f(0.5f, 0.5f, 0)}};
    p->m_supportMap.insert(SupportKey(-3000, 1), column);
    p->m_bHasSupports = true;
    p->m_nSliceWorkers = 1;
    return p;
}

} // namespace

// A stop ends the run before its next layer: it publishes nothing, the scene
// still hears it end, and the next request slices every layer again.
TEST_F(SceneSlicing, StopEndsARunAtTheLayerItCameAt)
{
    VSLModelPainter* p = CubeWithColumn(scene, dir.filePath("cube.stl"));
    ASSERT_TRUE(p);
    for (int stopAt : {0, 1, 29, 30, 64, 99}) {
        SCOPED_TRACE(stopAt);
        std::vector<int> made;
        p->m_fnSliceLayer = [&made, p, stopAt](int layer) {
            made.push_back(layer);
            if (layer == stopAt)
                p->m_bStopSlice = true;
        };
        EXPECT_EQ(Slice(2000, 1000, 10.f, 0.1f), 0);
        std::vector<int> upTo(size_t(stopAt) + 1);
        std::iota(upTo.begin(), upTo.end(), 0);
        EXPECT_EQ(made, upTo);
        EXPECT_TRUE(scene.m_modelSliceLayers.isEmpty());
        EXPECT_EQ(scene.runningSliceJobs(), 0);
    }
    p->m_fnSliceLayer = nullptr;
    ASSERT_EQ(Slice(2000, 1000, 10.f, 0.1f), 100);
    EXPECT_EQ(scene.m_modelSliceLayers[0].size(), 2);
}

// Closing the window drops the scene: a slice still running ends at its next
// layer instead of running to its last.
TEST(SceneShutdown, DroppingTheSceneStopsARunningSlice)
{
    QTemporaryDir dir;
    auto* scene = new VSL3DScene;
    scene->m_fnOutOfRangeWarning = [] {};
    VSLModelPainter* p = CubeWithColumn(*scene, dir.filePath("cube.stl"));
    ASSERT_TRUE(p);
    // Layer 10 takes as long as nobody asks it to stop.
    const std::shared_ptr<SliceHold> hold = HoldSliceAt(p, 10);
    ASSERT_EQ(scene->StartSliceScene(2000, 1000, 10.f, 10.f, 0.1f, 0), SceneOp::Done);
    QElapsedTimer t;
    t.start();
    while (hold->lastLayer < 10 && t.elapsed() < kHangMs)
        QThread::msleep(1);
    ASSERT_EQ(hold->lastLayer, 10);
    delete scene;
    EXPECT_TRUE(hold->stopSeen);
    EXPECT_EQ(hold->lastLayer, 10) << "no layer after the stop";
}
