#include "mesh_util.h"
#include "support/SupportRun.h"
#include "test_meshes.h"

#include "mesh/clean.h"
#include "mesh/refine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <set>

namespace {

QVector<VSLTriangle3D> TwoTriangleSquare()
{
    const QVector3D a(0, 0, 0), b(10, 0, 0), c(10, 10, 0), d(0, 10, 0);
    return {testmesh::Tri(a, b, c), testmesh::Tri(a, c, d)};
}

// Three faces on the horizontal edge (0,0,0)-(10,0,0).
QVector<VSLTriangle3D> ThreeFacesOnHorizontalEdge()
{
    const QVector3D a(0, 0, 0), b(10, 0, 0);
    return {testmesh::Tri(a, b, {5, 4, 0}), testmesh::Tri(b, a, {5, -4, 1}), testmesh::Tri(a, b, {5, 0, 6})};
}

QVector<VSLTriangle3D> TiltedBox()
{
    QMatrix4x4 m;
    m.rotate(30, 1, 0, 0);
    m.rotate(20, 0, 1, 0);
    return Transformed(testmesh::Box({-6, -4, -3}, {6, 4, 3}), m);
}

// Every directed edge of the live faces, counted.
std::map<std::pair<uint32_t, uint32_t>, int> DirectedEdges(const MyMesh& m)
{
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        if (!m.face[f].IsD())
            for (int k = 0; k < 3; ++k)
                ++edges[{m.face[f].v[k], m.face[f].v[(k + 1) % 3]}];
    return edges;
}

bool ClosedAndOriented(const MyMesh& m)
{
    const auto edges = DirectedEdges(m);
    for (const auto& e : edges) {
        if (e.second != 1)
            return false;
        const auto back = edges.find({e.first.second, e.first.first});
        if (back == edges.end() || back->second != 1)
            return false;
    }
    return true;
}

struct RefineCase {
    const char* name;
    QVector<VSLTriangle3D> tris;
    bool closed;
};

} // namespace

TEST(SupportRefine, EdgesEndShortInPlanViewAndClosedMeshesStayClosed)
{
    const float limit2 = 1.6f * 1.6f;
    const RefineCase cases[] = {
        {"square", TwoTriangleSquare(), false},
        {"cube", testmesh::Cube(10.f), true},
        {"tilted box", TiltedBox(), true},
        {"uv sphere", testmesh::UvSphere(12.f, 24, 12), true},
        {"three faces on one edge", ThreeFacesOnHorizontalEdge(), false},
    };
    for (const RefineCase& c : cases) {
        SCOPED_TRACE(c.name);
        MyMesh m = MeshOf(c.tris);
        const double volume = SignedVolume(m);
        // Vertical edges of the input: no vertex may appear inside them.
        std::vector<std::pair<vcg::Point3f, vcg::Point3f>> vertical;
        for (uint32_t f = 0; f < m.FaceCount(); ++f)
            for (int k = 0; k < 3; ++k) {
                const vcg::Point3f a = m.P(f, k), b = m.P(f, (k + 1) % 3);
                if (a[0] == b[0] && a[1] == b[1])
                    vertical.emplace_back(a, b);
            }
        const int passes = SupportRun::RefineWorkingMesh(m, 1.0);
        SupportRun::CleanWorkingMesh(m);
        EXPECT_LE(passes, SupportRun::kMaxRefinePasses);
        if (passes < SupportRun::kMaxRefinePasses) {
            for (uint32_t f = 0; f < m.FaceCount(); ++f)
                for (int k = 0; k < 3; ++k) {
                    const vcg::Point3f a = m.P(f, k), b = m.P(f, (k + 1) % 3);
                    const float dx = a[0] - b[0], dy = a[1] - b[1];
                    EXPECT_LE(dx * dx + dy * dy, limit2);
                }
        }
        for (const auto& e : vertical)
            for (const MyVertex& v : m.vert)
                EXPECT_FALSE(v.p[0] == e.first[0] && v.p[1] == e.first[1] &&
                             v.p[2] > std::min(e.first[2], e.second[2]) && v.p[2] < std::max(e.first[2], e.second[2]));
        if (c.closed) {
            EXPECT_TRUE(ClosedAndOriented(m));
            EXPECT_NEAR(SignedVolume(m), volume, 1e-4 * std::fabs(volume));
        }
    }
}

TEST(SupportRefine, FiveFanPassesAtMost)
{
    // Spokes of 100 mm and more need more than five halvings to reach 1.6 mm.
    MyMesh m = MeshOf(testmesh::FanSlab(0, 0, 200, 200, 4, 40));
    const uint32_t before = m.FaceCount();
    EXPECT_EQ(SupportRun::RefineWorkingMesh(m, 1.0), SupportRun::kMaxRefinePasses);
    EXPECT_GT(m.FaceCount(), before * 20);
    // A second call refines on where the first stopped.
    SupportRun::CleanWorkingMesh(m);
    EXPECT_GT(SupportRun::RefineWorkingMesh(m, 1.0), 0);
}

TEST(SupportRefine, NonManifoldEdgeGetsOneSharedVertex)
{
    MyMesh m = MeshOf(ThreeFacesOnHorizontalEdge());
    ASSERT_EQ(m.VertexCount(), 5u);
    // Only the shared edge is long enough (10 mm) under a limit of 8 mm.
    const DuneEdgeLen longOnly(10.0);
    ASSERT_TRUE(vcg::tri::RefineE(m, DuneMidPoint(), [&](const MyMesh& mesh, uint32_t f, int e) {
        const vcg::Point3f &a = mesh.P(f, e), &b = mesh.P(f, (e + 1) % 3);
        return a[1] == 0 && b[1] == 0 && a[2] == 0 && b[2] == 0 && longOnly(mesh, f, e);
    }));
    ASSERT_EQ(m.VertexCount(), 6u);
    EXPECT_EQ(m.vert[5].p, vcg::Point3f(5, 0, 0));
    EXPECT_EQ(m.FaceCount(), 6u);
    int facesOnMid = 0;
    for (const MyFace& f : m.face)
        facesOnMid += f.v[0] == 5 || f.v[1] == 5 || f.v[2] == 5;
    EXPECT_EQ(facesOnMid, 6);
}

TEST(SupportRefine, SelectedFacesKeepTheirEdges)
{
    MyMesh m = MeshOf(TwoTriangleSquare());
    m.face[0].SetS();
    // The shared diagonal borders a selected face; face 1's outer edges split.
    ASSERT_TRUE(vcg::tri::RefineE(m, DuneMidPoint(), DuneEdgeLen(2.0)));
    EXPECT_EQ(m.VertexCount(), 6u);
    for (const MyVertex& v : m.vert)
        EXPECT_FALSE(v.p[0] == 5.f && v.p[1] == 5.f);
}

TEST(SupportRefine, LargeClosedMeshKeepsMutualFaceLinks)
{
    // Above the size at which adjacency is built on several threads.
    MyMesh m = MeshOf(testmesh::FanSlab(0, 0, 40, 40, 3, 300) + testmesh::SphereWithTriangles(120000, 15.f));
    SupportRun::RefineWorkingMesh(m, 1.0);
    SupportRun::CleanWorkingMesh(m);
    ASSERT_GT(m.FaceCount(), 150000u);
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int e = 0; e < 3; ++e) {
            const uint32_t g = m.face[f].ff[e];
            const int ge = m.face[f].ffi[e];
            ASSERT_TRUE(g < m.FaceCount() && g != f && ge >= 0) << f;
            ASSERT_EQ(m.face[g].ff[ge], f);
            ASSERT_EQ(m.face[g].v[ge], m.face[f].v[(e + 1) % 3]);
            ASSERT_EQ(m.face[g].v[(ge + 1) % 3], m.face[f].v[e]);
        }
}

TEST(SupportRefine, AStopMidOperationLeavesVerticesAndFacesAsTheyWere)
{
    std::atomic<bool> stop{false};
    const vcg::Cancel cancel(&stop);
    // A sphere for the refinement (the predicate asks for the stop part-way
    // through) and the same with a duplicate vertex for the clean-up.
    const MyMesh sphere = MeshOf(testmesh::SphereWithTriangles(20000));
    MyMesh twin = sphere;
    twin.vert.push_back(twin.vert[twin.face[0].v[0]]);
    twin.face[0].v[0] = twin.VertexCount() - 1;
    ++twin.vn;
    int calls = 0;
    auto splitAll = [&](const MyMesh&, uint32_t, int) { return ++calls < 100 || (stop = true); };
    const struct {
        const char* name;
        MyMesh mesh;
        std::function<bool(MyMesh&)> stopped;
    } rows[] = {
        {"refine", sphere, [&](MyMesh& m) { return !vcg::tri::RefineE(m, DuneMidPoint(), splitAll, cancel); }},
        {"duplicates", twin,
         [&](MyMesh& m) { return stop = true, vcg::tri::Clean<MyMesh>::RemoveDuplicateVertex(m, true, cancel) < 0; }},
        {"face-face", twin, [&](MyMesh& m) { return stop = true, !vcg::tri::UpdateTopology<MyMesh>::FaceFace(m, cancel); }},
        {"vertex-face", twin,
         [&](MyMesh& m) { return stop = true, !vcg::tri::UpdateTopology<MyMesh>::VertexFace(m, cancel); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        stop = false;
        MyMesh m = row.mesh;
        ASSERT_TRUE(row.stopped(m));
        ASSERT_EQ(m.VertexCount(), row.mesh.VertexCount());
        ASSERT_EQ(m.FaceCount(), row.mesh.FaceCount());
        EXPECT_EQ(m.vn, row.mesh.vn);
        for (uint32_t i = 0; i < m.VertexCount(); ++i)
            ASSERT_TRUE(m.vert[i].p == row.mesh.vert[i].p && m.vert[i].flags == row.mesh.vert[i].flags) << i;
        for (uint32_t f = 0; f < m.FaceCount(); ++f)
            ASSERT_TRUE(std::equal(m.face[f].v, m.face[f].v + 3, row.mesh.face[f].v) &&
                        m.face[f].flags == row.mesh.face[f].flags)
                << f;
    }
}
