// Grid supports and overhang detection (no GL: columns build display lists only with a context).
#include "../scene/scene_fixture.h"
#include "tool_meshes.h"

#include "scene/SupportGrid.h"
#include "support/DLPSupportStructure.h"

#include <array>

namespace {

using toolmesh::Boxes;

SupportStorage HandGrid(int width, int depth, std::initializer_list<int> filled)
{
    SupportStorage g;
    g.width = width;
    g.depth = depth;
    g.cellCount = width * depth;
    g.cells.resize(g.cellCount);
    for (int c : filled)
        g.cells[c].append(SupportPoint{});
    return g;
}

TEST(GridSearch, NearestFilledCellOrderAndTies)
{
    // 5 x 4 grid; row r holds cells 5r .. 5r + 4.
    const struct { const char* what; std::initializer_list<int> filled; int cell, want; } cases[] = {
        {"own cell", {7}, 7, 7},
        {"row forward", {9, 15}, 7, 9},
        {"row backward strictly nearer", {5, 9}, 6, 5},
        {"row tie goes forward", {5, 9}, 7, 9},
        {"row before column", {9, 12}, 7, 9},
        {"column upward", {17}, 7, 17},
        {"column downward strictly nearer", {2, 17}, 7, 2},
        {"column tie goes upward", {2, 12}, 7, 12},
        {"neighbouring row below (index > width)", {1}, 7, 1},
        {"neighbouring row above (index <= width)", {8}, 2, 8},
        {"index equal to width looks above", {13}, 5, 13},
        {"all empty", {}, 7, -9999},
        {"outside the grid", {0}, 20, -9999},
    };
    for (const auto& c : cases) {
        const SupportStorage g = HandGrid(5, 4, c.filled);
        EXPECT_EQ(gridsupport::NearestFilledCell(g, c.cell), c.want) << c.what;
    }
}

gridsupport::RegionList Region(float x0, float y0, float x1, float y1)
{
    gridsupport::RegionList r(1);
    r[0].bb.Add(vcg::Point3f(x0, y0, 0));
    r[0].bb.Add(vcg::Point3f(x1, y1, 0));
    return r;
}

TEST(GridSearch, SpotsOfARegion)
{
    // Origin (10, 20) mm; cells of 0.2 mm, every one filled.
    SupportStorage g = HandGrid(100, 100, {});
    g.originX = 10000;
    g.originY = 20000;
    for (auto& cell : g.cells)
        cell.append(SupportPoint{});
    // 3 x 2 mm at (11, 21): one spot at the corner plus 0.2 mm, cell (6, 6).
    EXPECT_EQ(gridsupport::SpotCells(g, Region(11, 21, 14, 23), 5000), QVector<int>{6 * 100 + 6});
    // Under half the spacing both ways: none; over half one way: one.
    EXPECT_TRUE(gridsupport::SpotCells(g, Region(11, 21, 13.4f, 23.4f), 5000).isEmpty());
    EXPECT_EQ(gridsupport::SpotCells(g, Region(11, 21, 13.6f, 21.1f), 5000).size(), 1);
    // 10 x 5 mm at spacing 5000: 3 x 2 spots, 25 cells apart.
    const QVector<int> spots = gridsupport::SpotCells(g, Region(11, 21, 21, 26), 5000);
    EXPECT_EQ(spots, (QVector<int>{606, 631, 656, 3106, 3131, 3156}));
}

// A hand-made mesh: vertices and faces with their normals given.
MyMesh HandMesh(const std::vector<vcg::Point3f>& v, const std::vector<std::array<uint32_t, 3>>& f,
                const std::vector<float>& nz)
{
    MyMesh m;
    for (const auto& p : v) {
        MyVertex x;
        x.p = p;
        m.vert.push_back(x);
    }
    for (size_t i = 0; i < f.size(); ++i) {
        MyFace x;
        for (int k = 0; k < 3; ++k) {
            x.v[k] = f[i][k];
            x.ff[k] = uint32_t(i); // border everywhere
        }
        x.n = vcg::Point3f(0, std::sqrt(1 - nz[i] * nz[i]), nz[i]);
        m.face.push_back(x);
    }
    m.vn = int(v.size());
    m.fn = int(f.size());
    return m;
}

TEST(Overhang, FaceNormalLimitOfTheEdgeSearch)
{
    // One shallow triangle: its low corner 0 and two edges of slope 0.1.
    const std::vector<vcg::Point3f> v = {{0, 0, 0}, {10, 0, 1}, {0, 10, 1}};
    for (const auto& c : {std::make_pair(-0.95f, 2), std::make_pair(-0.96f, 0), std::make_pair(-0.5f, 2),
                          std::make_pair(0.f, 0)}) {
        MyMesh m = HandMesh(v, {{0, 1, 2}}, {c.first});
        QVector<QPair<vcg::Point3f, vcg::Point3f>> edges;
        QVector<vcg::Point3f> lowest;
        gridsupport::FindOverhangs(m, edges, lowest);
        EXPECT_EQ(edges.size(), c.second) << c.first;
        if (!edges.isEmpty()) {
            EXPECT_EQ(edges[0].first, v[1]); // (upper end, lower end)
            EXPECT_EQ(edges[0].second, v[0]);
        }
    }
}

TEST(Overhang, CandidatesAlongEdges)
{
    const struct { float length; int want; } cases[] = {{10.f, 3}, {4.9f, 0}, {5.f, 2}, {12.f, 3}};
    for (const auto& c : cases) {
        const QVector<QPair<vcg::Point3f, vcg::Point3f>> edges = {
            qMakePair(vcg::Point3f(0, 0, c.length), vcg::Point3f(0, 0, 0))};
        const QVector<vcg::Point3f> got = gridsupport::OverhangCandidates(edges, {vcg::Point3f(9, 9, 9)}, 5.0);
        ASSERT_EQ(got.size(), c.want + 1) << c.length;
        if (c.want == 3 && c.length == 10.f) {
            EXPECT_EQ(got[1], vcg::Point3f(0, 0, 5));
        }
        EXPECT_EQ(got.last(), vcg::Point3f(9, 9, 9)); // lowest points last
    }
}

TEST(Overhang, SurfaceBelowACandidate)
{
    SupportStorage g = HandGrid(10, 10, {});
    // Cell (2, 3): surfaces down 1, up 2, down 6, up 7.
    QVector<SupportPoint>& cell = g.cells[3 * 10 + 2];
    for (float z : {1.f, 2.f, 6.f, 7.f})
        cell.append(SupportPoint{0.4f, 0.6f, z, 0, 0, 1});
    const QVector<vcg::Point3f> candidates = {
        {0.4f, 0.6f, 9}, {0.4f, 0.6f, 5}, {0.4f, 0.6f, 1.5f}, {1.5f, 1.5f, 9}, {0.52f, 0.6f, 9}};
    const auto lists = gridsupport::OverhangPointLists(g, candidates);
    ASSERT_EQ(lists.size(), 5);
    EXPECT_EQ(lists[0].size(), 2);
    EXPECT_EQ(lists[0][0].z, 7.f); // the highest upward surface below
    EXPECT_EQ(lists[1].size(), 2);
    EXPECT_EQ(lists[1][0].z, 2.f);
    EXPECT_EQ(lists[2].size(), 1); // nothing upward below it
    EXPECT_EQ(lists[3].size(), 1); // an empty part of the plate
    EXPECT_EQ(lists[4].size(), 1); // nearest node is the next one
    EXPECT_EQ(lists[0][1].nz, -1.f);
    EXPECT_EQ(lists[0][1].z, 9.f);
}

// ---------------------------------------------------------------- in a scene

class GridScene : public SceneFixture {
protected:
    VSLModelPainter* Load(const QVector<VSLTriangle3D>& tris)
    {
        const QString path = m_dir.filePath(QString("m%1.stl").arg(m_n++));
        EXPECT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(tris)));
        EXPECT_TRUE(m_scene.AddModel(path));
        EXPECT_TRUE(WaitUntilReady());
        Select(Last());
        return Last();
    }
    static int Grounded(VSLModelPainter* p)
    {
        int n = 0;
        for (DLPSupportStructure* s : p->GetSupports())
            n += s->GetIsGrounded();
        return n;
    }
    int m_n = 0;
};

TEST_F(GridScene, LiftOnlyBelowOneMillimetre)
{
    const struct { float raise, wantMinZ; } cases[] = {{0.f, 5.f}, {0.5f, 5.5f}, {1.0f, 1.0f}};
    for (const auto& c : cases) {
        VSLModelPainter* p = Load(Boxes({{{0, 0, 0}, {3, 2, 2}}}));
        if (c.raise > 0) {
            p->m_bLifted = true;
            p->Move(QVector3D(0, 0, c.raise));
        }
        ASSERT_EQ(m_scene.GenerateAutoSupport(), SceneOp::Done);
        EXPECT_NEAR(p->m_minBound.z(), c.wantMinZ, 1e-4) << c.raise;
        EXPECT_TRUE(p->m_bLifted);
        // One spot under the 3 x 2 mm underside, grounded.
        EXPECT_EQ(p->GetSupports().size(), 1) << c.raise;
        EXPECT_EQ(Grounded(p), 1);
    }
}

TEST_F(GridScene, OnePointCellGivesOneGroundedColumn)
{
    // An open underside only: every cell of it holds one point.
    VSLModelPainter* p = Load({testmesh::Tri({0, 0, 0}, {0, 2, 0}, {3, 0, 0}),
                               testmesh::Tri({3, 0, 0}, {0, 2, 0}, {3, 2, 0})});
    ASSERT_EQ(m_scene.GenerateAutoSupport(), SceneOp::Done);
    const int cell = gridsupport::SpotCells(m_scene.m_supportGrid, m_scene.GenerateSupportRegions(), 5000).value(0);
    EXPECT_EQ(m_scene.m_supportGrid.cells.value(cell).size(), 1);
    // The spot's column, then the overhang column of the unmarked lowest corner.
    ASSERT_EQ(m_scene.m_vOverhangPoints.size(), 1);
    ASSERT_EQ(p->GetSupports().size(), 2);
    EXPECT_TRUE(p->GetSupports()[0]->GetIsGrounded());
    EXPECT_NEAR(p->m_matrix.map(p->GetSupports()[0]->GetTopPoint()).z(), 5, 1e-4);
}

TEST_F(GridScene, StackedUndersidesNeedFiveMillimetres)
{
    // A column between two slabs only when the upper underside is 5 mm or more above the lower top.
    const struct { float gap; int want; } cases[] = {{2.f, 1}, {4.9f, 1}, {6.f, 2}};
    for (const auto& c : cases) {
        VSLModelPainter* p = Load(Boxes({{{0, 0, 0}, {3, 2, 2}}, {{0, 0, 2 + c.gap}, {3, 2, 4 + c.gap}}}));
        ASSERT_EQ(m_scene.GenerateAutoSupport(), SceneOp::Done);
        const auto columns = p->GetSupports();
        ASSERT_EQ(columns.size(), c.want) << c.gap;
        EXPECT_EQ(Grounded(p), 1);
        for (DLPSupportStructure* s : columns) {
            const QVector3D top = p->m_matrix.map(s->GetTopPoint());
            const QVector3D bottom = p->m_matrix.map(s->GetBottomPoint());
            if (s->GetIsGrounded()) {
                EXPECT_NEAR(bottom.z(), 0, 1e-4);
                EXPECT_NEAR(top.z(), 5, 1e-3); // the lowest underside, lifted
            } else {
                EXPECT_NEAR(top.z(), 7 + c.gap, 1e-3);
                EXPECT_NEAR(bottom.z(), 7, 1e-3);
                EXPECT_LT(s->GetBottomNormal().z(), -0.99f); // the lower slab's top, negated
            }
        }
        // A second run adds again and removes nothing.
        ASSERT_EQ(m_scene.GenerateAutoSupport(), SceneOp::Done);
        EXPECT_EQ(p->GetSupports().size(), 2 * c.want);
        EXPECT_NEAR(p->m_minBound.z(), 5, 1e-4); // not lifted twice
    }
}

TEST_F(GridScene, DeleteSelModelSupportsLowersTheInstance)
{
    VSLModelPainter* p = Load(Boxes({{{0, 0, 0}, {3, 2, 2}}}));
    ASSERT_EQ(m_scene.GenerateAutoSupport(), SceneOp::Done);
    EXPECT_EQ(m_scene.DeleteSelModelSupports(), SceneOp::Done);
    EXPECT_TRUE(p->GetSupports().isEmpty());
    EXPECT_FALSE(p->m_bLifted);
    EXPECT_NEAR(p->m_minBound.z(), 0, 1e-4);
    // DeleteAllSupports does the same for every instance.
    VSLModelPainter* q = Load(Boxes({{{0, 0, 0}, {3, 2, 2}}}));
    ASSERT_EQ(m_scene.GenerateAutoSupportForScene(), SceneOp::Done);
    ASSERT_EQ(p->GetSupports().size() + q->GetSupports().size(), 2);
    EXPECT_EQ(m_scene.selectedInstance(), q); // the last one stays selected
    EXPECT_EQ(m_scene.DeleteAllSupports(), SceneOp::Done);
    for (VSLModelPainter* x : {p, q}) {
        EXPECT_TRUE(x->GetSupports().isEmpty());
        EXPECT_NEAR(x->m_minBound.z(), 0, 1e-4);
    }
}

// A mesh held by a worker, or a 2 m square beyond the grid's cell limit: refused, untouched.
TEST_F(GridScene, RefusalsLeaveTheInstanceAlone)
{
    for (bool held : {true, false}) {
        VSLModelPainter* p = Load(Boxes({{{0, 0, 0}, {held ? 3.f : 2000.f, held ? 2.f : 2000.f, 2}}}));
        if (held) {
            ASSERT_TRUE(p->m_pModel->readyGate().TryAcquire());
        }
        EXPECT_EQ(m_scene.GenerateAutoSupport(), held ? SceneOp::JobRunning : SceneOp::Unchanged);
        if (held) {
            EXPECT_FALSE(m_scene.DetectOverhang(p));
        }
        EXPECT_NEAR(p->m_minBound.z(), 0, 1e-4);
        EXPECT_FALSE(p->m_bLifted);
        EXPECT_TRUE(p->GetSupports().isEmpty());
        if (held) {
            p->m_pModel->readyGate().Release();
            EXPECT_EQ(m_scene.GenerateAutoSupport(), SceneOp::Done);
        }
    }
}

TEST_F(GridScene, DetectionLeavesTheMeshAsItWas)
{
    VSLModelPainter* p = Load(toolmesh::Diamond(10, 3, 5));
    // Turned over by the transform: the first run marks what will then be the lowest vertex.
    p->m_bLifted = true;
    p->Move(QVector3D(3, -2, 7));
    MyMesh& mesh = p->m_pModel->m_mesh;
    const std::vector<MyVertex> verts = mesh.vert;
    const std::vector<MyFace> faces = mesh.face;
    ASSERT_TRUE(m_scene.generateSupportGrid(m_scene.m_supportGrid, p, 0, 0));
    ASSERT_TRUE(m_scene.DetectOverhang(p));
    for (size_t i = 0; i < verts.size(); ++i)
        ASSERT_EQ(mesh.vert[i].p, verts[i].p) << i;
    for (size_t i = 0; i < faces.size(); ++i)
        ASSERT_EQ(mesh.face[i].n, faces[i].n) << i;
    ASSERT_EQ(m_scene.m_vLowestPoints.size(), 1);
    const QVector3D low = p->m_matrix.map(QVector3D(0, 0, 0)); // the lower apex
    EXPECT_NEAR(m_scene.m_vLowestPoints[0].Z(), low.z(), 1e-4);
    EXPECT_NEAR(m_scene.m_vLowestPoints[0].X(), low.x(), 1e-4);
    // Shallow lower faces: four edges from the rim down to the apex.
    EXPECT_EQ(m_scene.m_vOverhangEdges.size(), 4);
    // The same run again, then upside down.
    ASSERT_TRUE(m_scene.DetectOverhang(p));
    ASSERT_EQ(m_scene.m_vLowestPoints.size(), 1);
    EXPECT_NEAR(m_scene.m_vLowestPoints[0].Z(), low.z(), 1e-4);
    QMatrix4x4 flip;
    flip.rotate(180, 1, 0, 0);
    p->m_matrix = flip * p->m_matrix;
    ASSERT_TRUE(m_scene.DetectOverhang(p));
    ASSERT_EQ(m_scene.m_vLowestPoints.size(), 1);
    EXPECT_NEAR(m_scene.m_vLowestPoints[0].Z(), p->m_matrix.map(QVector3D(0, 0, 8)).z(), 1e-4);
}

} // namespace
