#include "mesh/allocator.h"
#include "mesh/clean.h"
#include "mesh/merge.h"
#include "mesh/matrix33.h"
#include "mesh/topology.h"
#include "mesh_from_triangles.h"
#include "test_meshes.h"
#include "../mesh_repair/mesh_checks.h"

#include <QVector2D>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

using namespace vcg;

namespace {

int BorderEdges(const MyMesh& m)
{
    int n = 0;
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int e = 0; e < 3; ++e)
            n += face::IsBorder(m, f, e);
    return n;
}

} // namespace

// Closed soups become closed, coherently linked meshes; a large one takes
// the multi-threaded path.
TEST(MeshMerge, ClosedSoupsBecomeClosedLinkedMeshes)
{
    MyMesh cube = Merged(testmesh::Cube());
    EXPECT_EQ(cube.vn, 8);
    EXPECT_EQ(cube.fn, 12);
    EXPECT_TRUE(ClosedAndCoherent(cube));
    MyMesh large = Merged(testmesh::SphereWithTriangles(200000));
    ASSERT_GT(large.fn, 65536);
    EXPECT_TRUE(ClosedAndCoherent(large));
}

TEST(MeshMerge, SurvivorsKeepFirstOccurrenceOrderAndFacesKeepOrder)
{
    MyMesh m = Merged(testmesh::Tetrahedron());
    ASSERT_EQ(m.vn, 4);
    // First face corners (a, c, b) take the first three indices.
    EXPECT_EQ(m.face[0].V(0), 0u);
    EXPECT_EQ(m.face[0].V(1), 1u);
    EXPECT_EQ(m.face[0].V(2), 2u);
    EXPECT_EQ(m.vert[1].P(), Point3f(0, 10, 0));
}

TEST(MeshMerge, DegenerateFaceIsRemovedAndPlusMinusZeroAreOnePosition)
{
    auto tris = testmesh::Tetrahedron();
    tris << testmesh::Tri({0, 0, 0}, {-0.f, 0, 0}, {1, 1, 1}); // collapses to an edge
    MyMesh m = Soup(tris);
    tri::Clean<MyMesh>::RemoveDuplicateVertex(m, true);
    EXPECT_EQ(m.fn, 4);
    tri::Allocator<MyMesh>::CompactVertexVector(m);
    tri::Allocator<MyMesh>::CompactFaceVector(m);
    EXPECT_EQ(m.fn, 4);
    EXPECT_EQ(m.FaceCount(), 4u);
    // (1,1,1) stays: only referenced by the removed face, but merging does not
    // drop unreferenced vertices.
    EXPECT_EQ(m.vn, 5);
}

class MeshMergeBuild : public ::testing::TestWithParam<int> {};

TEST_P(MeshMergeBuild, DirectBuildEqualsSoupMergeAndCompaction)
{
    auto tris = testmesh::UvSphere(5, 12, 7) + testmesh::TwoDisjointCubes();
    tris << testmesh::Tri({1, 1, 1}, {1, 1, 1}, {2, 2, 2}) << testmesh::Tri({-0.f, 0, 0}, {0, 0, 0}, {1, 2, 3});
    tris += testmesh::SphereWithTriangles(GetParam());
    MyMesh a = Soup(tris);
    tri::Clean<MyMesh>::RemoveDuplicateVertex(a, true);
    tri::Allocator<MyMesh>::CompactVertexVector(a);
    tri::Allocator<MyMesh>::CompactFaceVector(a);
    MyMesh b;
    tri::BuildMergedMesh(b, tris.size(), [&](uint32_t i, int k) {
        const QVector3D& c = tris[int(i)].vertices[k];
        return Point3f(c.x(), c.y(), c.z());
    });
    ASSERT_EQ(a.vn, b.vn);
    ASSERT_EQ(a.fn, b.fn);
    for (int v = 0; v < a.vn; ++v)
        ASSERT_EQ(a.vert[v].P(), b.vert[v].P());
    for (int f = 0; f < a.fn; ++f)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(a.face[f].V(k), b.face[f].V(k));
}

// Small and large enough for every stage to run on several threads.
INSTANTIATE_TEST_SUITE_P(Sizes, MeshMergeBuild, ::testing::Values(8, 300000));

TEST(MeshCompaction, ReferencesFollowTheSurvivors)
{
    MyMesh m = Merged(testmesh::TwoDisjointCubes());
    // Delete the first cube's faces and vertices.
    for (uint32_t f = 0; f < 12; ++f)
        tri::Allocator<MyMesh>::DeleteFace(m, f);
    for (uint32_t v = 0; v < 8; ++v)
        tri::Allocator<MyMesh>::DeleteVertex(m, v);
    tri::Allocator<MyMesh>::CompactFaceVector(m);
    tri::Allocator<MyMesh>::CompactVertexVector(m);
    ASSERT_EQ(m.fn, 12);
    ASSERT_EQ(m.vn, 8);
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int e = 0; e < 3; ++e) {
            EXPECT_LT(m.face[f].V(e), 8u);
            EXPECT_LT(m.face[f].FFp(e), 12u);
            EXPECT_GE(m.vert[m.face[f].V(e)].P().X(), 20.f);
        }
    for (const MyVertex& v : m.vert)
        EXPECT_LT(v.VFp(), 12u);
}

TEST(MeshTopology, OpenTubeHasTwoBorderLoops)
{
    MyMesh m = Merged(testmesh::OpenTube(5, 10, 16));
    EXPECT_EQ(BorderEdges(m), 32);
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int e = 0; e < 3; ++e)
            if (face::IsBorder(m, f, e)) {
                EXPECT_EQ(m.face[f].FFi(e), e);
            }
}

TEST(MeshTopology, ThreeFacesOnOneEdgeFormACycleInFaceOrder)
{
    MyMesh m = Merged(testmesh::ThreeFacesOnOneEdge());
    ASSERT_EQ(m.fn, 3);
    // Edge 0 of every face is the shared edge (corners 0 and 1).
    EXPECT_EQ(m.face[0].FFp(0), 1u);
    EXPECT_EQ(m.face[1].FFp(0), 2u);
    EXPECT_EQ(m.face[2].FFp(0), 0u);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(m.face[f].FFi(0), 0);
        EXPECT_TRUE(face::IsBorder(m, f, 1));
        EXPECT_TRUE(face::IsBorder(m, f, 2));
    }
}

// The same triangle many times over, or many faces on one edge: each edge's
// faces still form one cycle in face order, matched without scanning a row
// per face (a file of repeats otherwise took minutes to load).
TEST(MeshTopology, RepeatedTrianglesFormOneCyclePerEdge)
{
    const int copies = 300;
    MyMesh m;
    tri::Allocator<MyMesh>::AddVertices(m, 3);
    tri::Allocator<MyMesh>::AddFaces(m, copies);
    for (int f = 0; f < copies; ++f)
        for (int k = 0; k < 3; ++k)
            m.face[f].v[k] = uint32_t(k);
    ASSERT_TRUE(tri::UpdateTopology<MyMesh>::FaceFace(m));
    for (int f = 0; f < copies; ++f)
        for (int e = 0; e < 3; ++e) {
            EXPECT_EQ(m.face[f].FFp(e), uint32_t((f + 1) % copies)) << f << " " << e;
            EXPECT_EQ(m.face[f].FFi(e), e);
        }
}

// Edges matched by sorting get the links the row scan gives, on meshes full
// of shared edges, with deleted faces and corners out of range.
TEST(MeshTopology, SortedAndScannedEdgesLinkAlike)
{
    std::mt19937 random(7);
    for (int run = 0; run < 40; ++run) {
        const uint32_t vertices = 4 + random() % 12;
        const uint32_t faces = 1 + random() % 400;
        MyMesh scanned;
        tri::Allocator<MyMesh>::AddVertices(scanned, vertices);
        tri::Allocator<MyMesh>::AddFaces(scanned, faces);
        for (uint32_t f = 0; f < faces; ++f) {
            // Three corners apart (the merge leaves no face naming a vertex twice).
            uint32_t* v = scanned.face[f].v;
            v[0] = random() % vertices;
            do
                v[1] = random() % vertices;
            while (v[1] == v[0]);
            do
                v[2] = random() % vertices;
            while (v[2] == v[0] || v[2] == v[1]);
            if (random() % 50 == 0)
                v[random() % 3] = vertices + 3;
            if (random() % 20 == 0)
                scanned.face[f].SetD();
        }
        MyMesh sorted = scanned;
        ASSERT_TRUE(tri::UpdateTopology<MyMesh>::FaceFaceForTest(scanned, UINT32_MAX));
        ASSERT_TRUE(tri::UpdateTopology<MyMesh>::FaceFaceForTest(sorted, 0));
        for (uint32_t f = 0; f < faces; ++f)
            for (int e = 0; e < 3; ++e) {
                ASSERT_EQ(sorted.face[f].ff[e], scanned.face[f].ff[e]) << "run " << run << " face " << f << " edge " << e;
                ASSERT_EQ(sorted.face[f].ffi[e], scanned.face[f].ffi[e]) << "run " << run << " face " << f;
            }
    }
}

TEST(MeshTopology, VertexFaceRingVisitsEveryIncidentFaceOnceInDescendingOrder)
{
    MyMesh m = Merged(testmesh::UvSphere(3, 10, 6));
    std::map<uint32_t, std::vector<uint32_t>> expected;
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            expected[m.face[f].V(k)].push_back(f);
    for (auto& [v, faces] : expected) {
        std::vector<uint32_t> ring;
        uint32_t f = m.vert[v].VFp();
        int z = m.vert[v].VFi();
        while (f != kNone && ring.size() <= faces.size()) {
            ASSERT_EQ(m.face[f].V(z), v);
            ring.push_back(f);
            const uint32_t nf = m.face[f].VFp(z);
            z = m.face[f].VFi(z);
            f = nf;
        }
        std::reverse(faces.begin(), faces.end());
        EXPECT_EQ(ring, faces);
    }
}

// Zero stays zero (no NaN): opposite vectors then rotate by -I, which the
// support cut's upward-axis case relies on.
TEST(MeshPoint, NormalizeLeavesZeroAtZero)
{
    Point3f z;
    z.Normalize();
    EXPECT_EQ(z, Point3f(0, 0, 0));
}

TEST(MeshRotation, CarriesOneUnitVectorOntoAnother)
{
    std::mt19937 rng(7);
    std::normal_distribution<float> d;
    for (int i = 0; i < 200; ++i) {
        Point3f a(d(rng), d(rng), d(rng)), b(d(rng), d(rng), d(rng));
        a.Normalize();
        b.Normalize();
        if (a * b < -0.999f)
            continue;
        const Point3f r = RotationMatrix(a, b) * a;
        EXPECT_NEAR(r.X(), b.X(), 2e-3);
        EXPECT_NEAR(r.Y(), b.Y(), 2e-3);
        EXPECT_NEAR(r.Z(), b.Z(), 2e-3);
    }
}

namespace {

using testmesh::InsideOut;

// A closed prism over an L (its notch makes it concave), faces outward.
QVector<VSLTriangle3D> LPrism(float z0, float z1)
{
    const QVector<QVector2D> ring = {{0, 0}, {30, 0}, {30, 10}, {10, 10}, {10, 30}, {0, 30}};
    const QVector2D fan = ring[3]; // the reflex corner sees every edge
    QVector<VSLTriangle3D> out;
    auto at = [](QVector2D p, float z) { return QVector3D(p.x(), p.y(), z); };
    for (int i = 0; i < ring.size(); ++i) {
        const QVector2D a = ring[i], b = ring[(i + 1) % ring.size()];
        out << testmesh::Tri(at(a, z0), at(b, z0), at(b, z1)) << testmesh::Tri(at(a, z0), at(b, z1), at(a, z1));
        if (i != 2 && i != 3) {
            out << testmesh::Tri(at(fan, z1), at(a, z1), at(b, z1)) << testmesh::Tri(at(fan, z0), at(b, z0), at(a, z0));
        }
    }
    return out;
}

// A U standing on its base in the x-z plane, 40 wide, 30 high, its arms
// 15 thick, 10 deep along y; one closed shell facing out.
QVector<VSLTriangle3D> UPrism()
{
    const QVector<QVector2D> ring = {{0, 0},   {15, 0},  {25, 0}, {40, 0},  {40, 5},  {40, 30},
                                     {25, 30}, {25, 5},  {15, 5}, {15, 30}, {0, 30},  {0, 5}};
    auto at = [](QVector2D p, float y) { return QVector3D(p.x(), y, p.y()); };
    QVector<VSLTriangle3D> out;
    for (int i = 0; i < ring.size(); ++i) {
        const QVector2D a = ring[i], b = ring[(i + 1) % ring.size()];
        out << testmesh::Tri(at(a, 0), at(b, 10), at(b, 0)) << testmesh::Tri(at(a, 0), at(a, 10), at(b, 10));
    }
    const int rects[][4] = {{0, 1, 8, 11}, {1, 2, 7, 8}, {2, 3, 4, 7}, {11, 8, 9, 10}, {7, 4, 5, 6}};
    for (const auto& r : rects) {
        const QVector2D a = ring[r[0]], b = ring[r[1]], c = ring[r[2]], d = ring[r[3]];
        out << testmesh::Tri(at(a, 0), at(b, 0), at(c, 0)) << testmesh::Tri(at(a, 0), at(c, 0), at(d, 0));
        out << testmesh::Tri(at(a, 10), at(c, 10), at(b, 10)) << testmesh::Tri(at(a, 10), at(d, 10), at(c, 10));
    }
    return out;
}

// Corners of every face, in order, against those of `expected` merged alike.
void ExpectFacesAs(const MyMesh& m, const QVector<VSLTriangle3D>& expected)
{
    const MyMesh want = Merged(expected);
    ASSERT_EQ(m.FaceCount(), want.FaceCount());
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            ASSERT_TRUE(m.P(f, k) == want.P(f, k)) << "face " << f << " corner " << k;
}

} // namespace

// Each closed shell faces out unless it lies inside another (a cavity faces
// in by right); shells that cannot be judged stay as written.
TEST(ShellOrientation, ClosedShellsFaceOutUnlessEnclosed)
{
    const auto outer = testmesh::Box({0, 0, 0}, {30, 30, 30});
    const auto cavity = InsideOut(testmesh::Box({5, 5, 5}, {25, 25, 25}));
    const auto core = testmesh::Box({10, 10, 10}, {20, 20, 20}); // solid standing in the cavity
    const auto small = testmesh::Box({50, 0, 0}, {55, 5, 5});
    const auto cube = testmesh::Cube(10, {1000, -2000, 5});
    const auto other = testmesh::Box({5, 5, 5}, {15, 15, 15}); // overlaps the cube at the origin
    const auto atOrigin = testmesh::Cube(10);
    const auto wall = testmesh::Box({3, 10, 10}, {7, 12, 12}); // in the wall and the cavity
    const auto ell = LPrism(0, 6);
    const auto inNotch = testmesh::Box({8, 8, 2}, {14, 14, 4}); // half in the L, half in its notch
    const auto sphere = testmesh::UvSphere(6, 24, 12, {0, 0, 9});
    const auto uShape = UPrism();
    const auto pin = testmesh::Box({1, 2, 20}, {39, 8, 25}); // its middle in the gap between the arms
    struct Case { const char* name; QVector<VSLTriangle3D> written, expected; int turned; };
    const Case cases[] = {
        {"cube", cube, cube, 0},
        {"cube inside out", InsideOut(cube), cube, 1},
        {"sphere inside out", InsideOut(sphere), sphere, 1},
        {"hollow box", outer + cavity, outer + cavity, 0},
        {"hollow box inside out", InsideOut(outer + cavity), outer + InsideOut(cavity), 1},
        {"hollow box, outer shell inside out", InsideOut(outer) + cavity, outer + cavity, 1},
        {"hollow box, cavity facing out", outer + InsideOut(cavity), outer + InsideOut(cavity), 0},
        {"solid in a cavity, inside out", outer + cavity + InsideOut(core), outer + cavity + InsideOut(core), 0},
        {"big body inside out beside a small one", InsideOut(outer) + small, outer + small, 1},
        {"small body inside out beside a big one", outer + InsideOut(small), outer + small, 1},
        {"overlapping cubes", atOrigin + other, atOrigin + other, 0},
        {"overlapping cubes inside out", InsideOut(atOrigin + other), atOrigin + other, 2},
        {"box across a cavity's wall, inside out", outer + cavity + InsideOut(wall), outer + cavity + InsideOut(wall), 0},
        {"L", ell, ell, 0},
        {"box half in an L's notch, inside out", ell + InsideOut(inNotch), ell + inNotch, 1},
        {"open box inside out", InsideOut(cube.mid(2)), InsideOut(cube.mid(2)), 0},
        {"U", uShape, uShape, 0},
        {"bar across a U's gap, its ends in the arms, inside out", uShape + InsideOut(pin), uShape + pin, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MyMesh m = Merged(c.written);
        EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutward(m), c.turned);
        ExpectFacesAs(m, c.expected);
        if (c.turned > 0) {
            EXPECT_TRUE(ClosedAndCoherent(m)) << "links broken by the turn";
        }
    }
    // Faces flipped one by one: no inside to go by, kept.
    auto muddled = cube;
    for (int i = 0; i < 4; ++i)
        std::swap(muddled[i].vertices[1], muddled[i].vertices[2]);
    MyMesh m = Merged(muddled);
    EXPECT_EQ(tri::Clean<MyMesh>::OrientClosedShellsOutward(m), 0);
    ExpectFacesAs(m, muddled);
}
