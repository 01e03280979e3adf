// Holes as the repair panel counts them: loops of open edges, each once,
// however many of them pass through one vertex.
#include "model_fixture.h"

#include <gtest/gtest.h>

namespace {

// Without the first triangle that has `corner` among its corners.
QVector<VSLTriangle3D> WithoutATriangleAt(QVector<VSLTriangle3D> tris, QVector3D corner)
{
    for (int i = 0; i < tris.size(); ++i)
        for (const QVector3D& c : tris[i].vertices)
            if (c == corner) {
                tris.remove(i);
                return tris;
            }
    ADD_FAILURE() << "no triangle at the corner";
    return tris;
}

// Closed tetrahedron with its apex at the origin, pointing along `axis`
// (one of x, y, z, signed); `open` drops the side from the apex over base
// edge 0-1.
QVector<VSLTriangle3D> ApexTetra(QVector3D axis, bool open)
{
    QVector3D u = QVector3D::crossProduct(axis, qFuzzyIsNull(axis.x()) ? QVector3D(1, 0, 0) : QVector3D(0, 1, 0))
                      .normalized();
    const QVector3D w = QVector3D::crossProduct(axis, u).normalized();
    const QVector3D o(0, 0, 0), c = axis * 5.f;
    const QVector3D b0 = c + u, b1 = c - 0.5f * u + 0.87f * w, b2 = c - 0.5f * u - 0.87f * w;
    QVector<VSLTriangle3D> t{testmesh::Tri(o, b1, b0), testmesh::Tri(o, b2, b1), testmesh::Tri(o, b0, b2),
                             testmesh::Tri(b0, b1, b2)};
    if (open)
        t.remove(0);
    return t;
}

// Regular octahedron of radius 5 about the origin, faces round the top
// vertex (0, 0, 5) first.
QVector<VSLTriangle3D> Octahedron()
{
    const QVector3D top(0, 0, 5), bottom(0, 0, -5);
    const QVector3D ring[4] = {{5, 0, 0}, {0, 5, 0}, {-5, 0, 0}, {0, -5, 0}};
    QVector<VSLTriangle3D> t;
    for (int i = 0; i < 4; ++i)
        t << testmesh::Tri(top, ring[i], ring[(i + 1) % 4]);
    for (int i = 0; i < 4; ++i)
        t << testmesh::Tri(bottom, ring[(i + 1) % 4], ring[i]);
    return t;
}

MeshDefectCounts CountsOf(const QVector<VSLTriangle3D>& tris) { return ModelOf(tris)->defectCounts(); }

} // namespace

TEST(DefectCounts, TwoBoxesTouchingAtACornerHaveTwoHoles)
{
    const QVector3D corner(10, 10, 10);
    const auto a = WithoutATriangleAt(testmesh::Box({0, 0, 0}, corner), corner);
    const auto b = WithoutATriangleAt(testmesh::Box(corner, {20, 20, 20}), corner);
    EXPECT_EQ(CountsOf(a + b).holes, 2);
    // The same boxes apart.
    auto moved = b;
    for (VSLTriangle3D& t : moved)
        for (QVector3D& c : t.vertices)
            c += QVector3D(5, 0, 0);
    EXPECT_EQ(CountsOf(a + moved).holes, 2);
    // Only one of them open at the corner.
    EXPECT_EQ(CountsOf(a + testmesh::Box(corner, {20, 20, 20})).holes, 1);
}

TEST(DefectCounts, ThreeLoopsThroughOneVertex)
{
    const QVector3D axes[3] = {{1, 0, 0}, {-1, 0, 0}, {0, 0, 1}};
    QVector<VSLTriangle3D> tris;
    for (const QVector3D& axis : axes)
        tris += ApexTetra(axis, true);
    const MeshDefectCounts open = CountsOf(tris);
    EXPECT_EQ(open.holes, 3);
    EXPECT_EQ(open.nonManifoldEdges, 0);
    // Closed, the three meet at the apex with no hole at all.
    QVector<VSLTriangle3D> closed;
    for (const QVector3D& axis : axes)
        closed += ApexTetra(axis, false);
    EXPECT_EQ(CountsOf(closed).holes, 0);

    // Three lone triangles sharing one corner: three loops of three edges.
    const QVector3D o(0, 0, 0);
    EXPECT_EQ(CountsOf({testmesh::Tri(o, {1, 0, 0}, {1, 1, 0}), testmesh::Tri(o, {-1, 0, 0}, {-1, -1, 0}),
                        testmesh::Tri(o, {0, 0, 1}, {0, 1, 1})})
                  .holes,
              3);
}

// Two faces taken out that touch at one vertex only leave one hole in the
// shape of a bow tie: the open edges run round both and cross at that
// vertex, one loop.
TEST(DefectCounts, ABowTieHoleIsOneLoop)
{
    QVector<VSLTriangle3D> tris = Octahedron();
    ASSERT_EQ(CountsOf(tris).holes, 0);
    tris.remove(2); // faces 0 and 2 share only the top vertex
    tris.remove(0);
    const MeshDefectCounts bowTie = CountsOf(tris);
    EXPECT_EQ(bowTie.holes, 1);
    EXPECT_EQ(bowTie.invertedFaces, 0);
    // Two neighbours taken out instead: one hole of four edges.
    QVector<VSLTriangle3D> pair = Octahedron();
    pair.remove(1);
    pair.remove(0);
    EXPECT_EQ(CountsOf(pair).holes, 1);
}

// A loop that reaches an edge of three faces is still one loop, and the
// walk round a vertex stops there.
TEST(DefectCounts, AFinOnAHoleStaysOneHole)
{
    QVector<VSLTriangle3D> tris = testmesh::Cube(10.f);
    const VSLTriangle3D dropped = tris[4];
    tris.remove(4);
    const QVector3D a = dropped.vertices[0], b = dropped.vertices[1];
    const MeshDefectCounts holed = CountsOf(tris);
    EXPECT_EQ(holed.holes, 1);
    // A fin on one edge of the hole: that edge now has two faces, the fin's
    // other two edges are a loop of their own with the hole's.
    tris << testmesh::Tri(b, a, (a + b) * 0.5f + QVector3D(0, 0, 30));
    const MeshDefectCounts finned = CountsOf(tris);
    EXPECT_EQ(finned.nonManifoldEdges, 0);
    EXPECT_EQ(finned.holes, 1);
    // And on an edge of two faces: three faces there, the walk stops at it.
    QVector<VSLTriangle3D> three = testmesh::Cube(10.f);
    const QVector3D c = three[0].vertices[0], d = three[0].vertices[1];
    three << testmesh::Tri(c, d, (c + d) * 0.5f + QVector3D(3, 3, 3));
    const MeshDefectCounts fin = CountsOf(three);
    EXPECT_EQ(fin.nonManifoldEdges, 1);
    EXPECT_EQ(fin.holes, 1);
}

// The sphere of the slow load, at a size a test can afford: facets taken
// out that share no corner are a hole each.
TEST(DefectCounts, SphereWithFacetsTakenOut)
{
    QVector<VSLTriangle3D> tris = testmesh::UvSphere(10.f, 64, 32);
    const int n = tris.size();
    for (int i : {n * 3 / 4, n / 2, n / 4}) // highest first
        tris.remove(i);
    EXPECT_EQ(CountsOf(tris).holes, 3);
}
