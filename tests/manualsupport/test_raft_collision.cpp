#include "../scene/scene_fixture.h"
#include "slice_polygons.h"
#include "../supportrun/mesh_util.h"
#include "layers/platelayers.h"
#include "mesh/line3.h"
#include "support/SupportRun.h"

#include <algorithm>

namespace {

using V = vcg::Point3f;

// ---------------------------------------------------------------- raft

class Raft : public SceneFixture {};

TEST_F(Raft, InsertAndRemoveClampedToTheLayerList)
{
    VSLModelPainter p(nullptr, &m_scene);
    for (int i = 0; i < 5; ++i)
        m_scene.m_modelSliceLayers.append(ToSlicePolygons({QPolygonF({QPointF(i, 0), QPointF(i + 1, 0), QPointF(i, 1)})}));
    const SliceLayers before = m_scene.m_modelSliceLayers;
    m_scene.m_sliceMaxPt = QPointF(300, 200);
    m_scene.m_sliceMinPt = QPointF(100, 50);
    ASSERT_TRUE(p.AddPlatform(3));
    ASSERT_EQ(m_scene.m_modelSliceLayers.size(), 8);
    const QPolygonF rect({QPointF(100, 50), QPointF(300, 50), QPointF(300, 200), QPointF(100, 200)});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(m_scene.m_modelSliceLayers[i], ToSlicePolygons({rect}));
    ASSERT_TRUE(p.AddPlatform(-3));
    EXPECT_EQ(m_scene.m_modelSliceLayers, before);
    ASSERT_TRUE(p.AddPlatform(0));
    EXPECT_EQ(m_scene.m_modelSliceLayers, before);
    ASSERT_TRUE(p.AddPlatform(-100));
    EXPECT_TRUE(m_scene.m_modelSliceLayers.isEmpty());
    m_scene.m_sliceMaxPt = m_scene.m_sliceMinPt = QPointF();
    ASSERT_TRUE(p.AddPlatform(1));
    EXPECT_EQ(m_scene.m_modelSliceLayers[0], (ToSlicePolygons({QPolygonF(QVector<QPointF>(4, QPointF(0, 0)))})));
    VSLModelPainter orphan(nullptr, nullptr);
    EXPECT_FALSE(orphan.AddPlatform(1));
}

// ---------------------------------------------------------------- older collision tests

supportcollide::FaceGrid Grid(std::initializer_list<std::pair<std::array<int, 3>, QVector<uint>>> cells)
{
    supportcollide::FaceGrid g;
    for (const auto& c : cells)
        g.insert(supportcollide::CellKey(c.first[0] + 500, c.first[1] + 500, c.first[2] + 500), c.second);
    return g;
}

TEST(LineTriangle, ParameterAndBarycentricWeights)
{
    const V a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    const struct { V origin, dir; bool hit; float t, u, v; } cases[] = {
        {V(0.2f, 0.3f, -1), V(0, 0, 1), true, 1.f, 0.2f, 0.3f},
        {V(0.2f, 0.3f, 2), V(0, 0, 2), true, -1.f, 0.2f, 0.3f}, // behind the origin: a line, not a ray
        {V(0.5f, 0.5f, -1), V(0, 0, 1), true, 1.f, 0.5f, 0.5f}, // on the edge
        {V(0.8f, 0.8f, -1), V(0, 0, 1), false, 1.f, 0.8f, 0.8f},
        {V(0.2f, 0.2f, 1), V(1, 0, 0), false, 0.f, 0.f, 0.f}, // parallel
    };
    for (const auto& k : cases) {
        float t = 9, u = 9, v = 9;
        EXPECT_EQ(vcg::IntersectionLineTriangle(vcg::Line3f(k.origin, k.dir), a, b, c, t, u, v), k.hit);
        EXPECT_LT((QVector3D(t, u, v) - QVector3D(k.t, k.u, k.v)).length(), 1e-6f) << t << " " << u << " " << v;
    }
}

class OlderCollision : public ::testing::Test {
protected:
    VSLModelPainter m_painter{nullptr, nullptr};
};

TEST_F(OlderCollision, ConeAllFindsTheSamplesOfConeAllX)
{
    MyMesh mesh = MeshOf(testmesh::UvSphere(6, 12, 8, {0, 0, 0}));
    SupportRun run;
    QVector3D lo(1e9, 1e9, 1e9), hi(-1e9, -1e9, -1e9);
    run.BuildFaceGrid(mesh, lo, hi);
    const float density = 3.f;
    supportcollide::HitMap byHeight;
    QMultiMap<int, V> byFace;
    const V p0(1, 0.5f, 8), p1(0, 0, 3);
    ASSERT_TRUE(m_painter.CheckCollisionConeAllX(p0, 0.5, p1, 2.5, mesh, run.m_faceGrid, 500, byHeight, density));
    ASSERT_TRUE(m_painter.CheckCollisionConeAll(p0, 0.5, p1, 2.5, mesh, run.m_faceGrid, 500, byFace, density));
    auto key = [](int f, const V& s) { return std::make_tuple(f, s[0], s[1], s[2]); };
    std::vector<std::tuple<int, float, float, float>> a, b;
    for (const auto& h : byHeight)
        a.push_back(key(h.first, h.second));
    for (auto it = byFace.cbegin(); it != byFace.cend(); ++it)
        b.push_back(key(it.key(), it.value()));
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_GT(a.size(), 10u);
    EXPECT_EQ(a, b);
    // Far from the mesh: nothing, and the old hits are gone.
    EXPECT_FALSE(m_painter.CheckCollisionConeAll(V(40, 0, 8), 1, V(40, 0, 3), 1, mesh, run.m_faceGrid, 500, byFace,
                                                 density));
    EXPECT_TRUE(byFace.isEmpty());
}

TEST_F(OlderCollision, SumOfRadialDistancesOfCornersAndCentroid)
{
    MyMesh mesh = MeshOf({testmesh::Tri({1, 0, 0}, {0, 2, 0}, {-3, 0, 0})});
    const double centroid = std::sqrt(8.0) / 3.0;
    const struct { double radius; supportcollide::FaceGrid grid; double sum; } cases[] = {
        {5.0, Grid({{{0, 0, 0}, {0}}}), 1 + 2 + 3 + centroid},
        {2.5, Grid({{{0, 0, 0}, {0}}}), 1 + 2 + centroid},
        {5.0, Grid({{{0, 0, 0}, {0}}, {{-1, 0, 0}, {0}}}), 2 * (6 + centroid)}, // once per cell
        {5.0, Grid({{{9, 9, 9}, {0}}}), 0.0},                                   // outside the range
    };
    for (const auto& k : cases) {
        auto grid = k.grid;
        EXPECT_NEAR(m_painter.SumCollisionCone(V(0, 0, -1), k.radius, V(0, 0, 1), k.radius, mesh, grid, 500), k.sum,
                    1e-5);
    }
}

TEST_F(OlderCollision, LineCountsTheFacesItVisits)
{
    MyMesh mesh = MeshOf({testmesh::Tri({0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
                          testmesh::Tri({0, 0, -0.5f}, {1, 0, -0.5f}, {0, 1, -0.5f}),
                          testmesh::Tri({5, 5, 0}, {6, 5, 0}, {5, 6, 0})});
    const struct { V origin; supportcollide::FaceGrid grid; bool result; float t, u, v; } cases[] = {
        {V(0.2f, 0.3f, -1), Grid({{{0, 0, 0}, {0}}}), true, 1.f, 0.2f, 0.3f},
        // A single visited face that is missed still counts as one.
        {V(0.7f, 0.7f, -1), Grid({{{0, 0, 0}, {0}}}), true, 1.f, 0.7f, 0.7f},
        // Two faces, the second missed: its values are written.
        {V(0.2f, 0.3f, -1), Grid({{{0, 0, -1}, {0}}, {{0, 0, 0}, {2}}}), false, 1.f, -4.8f, -4.7f},
        // Two faces both met: the second stops the walk.
        {V(0.2f, 0.3f, -1), Grid({{{0, 0, -1}, {1}}, {{0, 0, 0}, {0}}}), false, 0.5f, 0.2f, 0.3f},
        {V(0.2f, 0.3f, -1), Grid({{{3, 3, 3}, {0}}}), false, 7.f, 7.f, 7.f},
    };
    for (const auto& k : cases) {
        auto grid = k.grid;
        float t = 7, u = 7, v = 7;
        EXPECT_EQ(m_painter.CheckCollisionLine(vcg::Line3f(k.origin, V(0, 0, 1)), 2.0, mesh, grid, 500, t, u, v),
                  k.result);
        EXPECT_LT((QVector3D(t, u, v) - QVector3D(k.t, k.u, k.v)).length(), 1e-5f) << t << " " << u << " " << v;
    }
}

} // namespace
