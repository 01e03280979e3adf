#include "mesh_checks.h"
#include "model_fixture.h"

#include <gtest/gtest.h>
#include <cmath>

namespace {

// Tube of n sides closed by a fan on top: the bottom is a hole of n edges.
QVector<VSLTriangle3D> CupWithHole(int n)
{
    QVector<VSLTriangle3D> tris = testmesh::OpenTube(10.f, 10.f, n);
    const QVector3D c(0, 0, 10.f);
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * ((i + 1) % n) / n;
        const QVector3D q0(float(10 * cos(a0)), float(10 * sin(a0)), 10.f), q1(float(10 * cos(a1)), float(10 * sin(a1)), 10.f);
        tris << testmesh::Tri(c, q0, q1);
    }
    return tris;
}

int CountFlag(const std::vector<char>& flags, char value)
{
    int n = 0;
    for (char f : flags)
        n += f == value;
    return n;
}

} // namespace

QVector<VSLTriangle3D> Without(QVector<VSLTriangle3D> tris, std::initializer_list<int> faces)
{
    for (int f : faces) // highest first
        tris.remove(f);
    return tris;
}

// Two holes sharing one vertex: a sphere without two faces that meet at a corner.
QVector<VSLTriangle3D> HolesTouchingAtAVertex()
{
    QVector<VSLTriangle3D> tris = testmesh::UvSphere(10.f, 12, 6);
    auto shared = [&](int a, int b) {
        int n = 0;
        for (const QVector3D& p : tris[a].vertices)
            for (const QVector3D& q : tris[b].vertices)
                n += p == q;
        return n;
    };
    for (int j = 40; j < tris.size(); ++j)
        if (shared(30, j) == 1)
            return Without(tris, {j, 30});
    return {};
}

// A disk of 300 triangles around one vertex (a 300-edge hole, left open) and
// a bow tie: two triangles touching at one vertex.
QVector<VSLTriangle3D> FanAndBowTie()
{
    QVector<VSLTriangle3D> tris;
    const int n = 300;
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * (i + 1) / n;
        tris << testmesh::Tri({0, 0, 0}, {float(cos(a0)), float(sin(a0)), 0}, {float(cos(a1)), float(sin(a1)), 0});
    }
    return tris << testmesh::Tri({5, 0, 0}, {6, 0, 0}, {5.5f, 1, 0}) << testmesh::Tri({5.5f, 1, 0}, {6, 2, 0}, {5, 2, 0});
}

QVector<VSLTriangle3D> CollinearHole()
{
    const QVector3D a(0, 0, 0), b(1, 0, 0), c(2, 0, 0), e(3, 0, 0), d(1.5f, 1, 1);
    return {testmesh::Tri(a, b, d), testmesh::Tri(b, c, d), testmesh::Tri(c, e, d), testmesh::Tri(e, a, d)};
}

// CheckHoles counts border edges (flag 1 on their faces); RepairHoles fills
// holes of at most nine edges with faces flagged 0x80 and returns the border
// edges left.
TEST(RepairHoles, HolesUpToNineEdgesAreFilled)
{
    const struct {
        const char* name;
        QVector<VSLTriangle3D> tris;
        int holes, repair, filled; // repair -2: any result >= 0 (it must end); filled -1: not checked
        bool closed;
    } cases[] = {
        {"closed cube", testmesh::Cube(), 0, 0, 0, true},
        {"fewer than two faces", {testmesh::Tri({0, 0, 0}, {1, 0, 0}, {0, 1, 0})}, -1, -1, 0, false},
        {"three-edge hole", Without(testmesh::Cube(), {5}), 3, 0, 1, true},
        {"nine-edge hole", CupWithHole(9), 9, 0, 7, true},
        {"ten-edge hole stays open", CupWithHole(10), 10, 10, 0, false},
        {"holes touching at a vertex", HolesTouchingAtAVertex(), 5, 0, 2, true}, // one face borders both
        {"collinear hole ends", CollinearHole(), 4, -2, -1, false},
        {"large fan and bow tie end", FanAndBowTie(), 302, 300, -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto model = ModelOf(c.tris);
        EXPECT_EQ(model->CheckHoles(), c.holes);
        EXPECT_EQ(model->m_bNoHoles, c.holes == 0);
        if (c.holes > 0 && c.holes < 10) {
            EXPECT_EQ(CountFlag(model->m_Flags, 1), c.holes);
        }
        const int faces = model->m_mesh.fn;
        const int r = model->RepairHoles();
        if (c.repair == -2)
            EXPECT_GE(r, 0);
        else
            EXPECT_EQ(r, c.repair);
        const int added = CountFlag(model->m_Flags, char(0x80));
        EXPECT_EQ(model->m_mesh.fn, faces + added);
        if (c.filled >= 0) {
            EXPECT_EQ(added, c.filled);
        }
        if (c.closed) {
            EXPECT_TRUE(model->m_bNoHoles);
            EXPECT_TRUE(ClosedAndCoherent(model->m_mesh));
            EXPECT_GT(SignedVolume6(model->m_mesh), 0.0);
        }
    }
    // The filled cube: its flagged face last, the triangle list rebuilt, the volume whole.
    auto cube = ModelOf(Without(testmesh::Cube(), {5}));
    cube->CheckHoles();
    ASSERT_EQ(cube->RepairHoles(), 0);
    ASSERT_EQ(cube->m_Flags.size(), 12u);
    EXPECT_EQ(cube->m_Flags[11], char(0x80));
    EXPECT_EQ(cube->m_vTriangles.size(), 12);
    EXPECT_NEAR(SignedVolume6(cube->m_mesh), 6000.0, 1e-2);
}

TEST(GetRegions, OneRecordPerBorderLoop)
{
    QVector<VSLTriangle3D> tris = testmesh::Cube() + testmesh::Cube(2.f, {20, 0, 0});
    tris.remove(17);
    tris.remove(5);
    auto model = ModelOf(tris);
    std::vector<vcg::tri::Hole<MyMesh>::Info> regions;
    model->GetRegions(model->m_mesh, false, regions);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[0].size, 3);
    EXPECT_EQ(regions[1].size, 3);
    EXPECT_GE(regions[1].bb.min.X(), 20.f);
    EXPECT_LE(regions[0].bb.max.X(), 10.f);
}

TEST(TriRound, HalvesRoundAwayFromZeroAndMoveZShifts)
{
    VSLModel3D model;
    model.m_vTriangles = {testmesh::Tri({1.23456789f, -0.00006f, 2.5f}, {0, 0, 0}, {1, 1, 1})};
    model.TriRound(10000);
    EXPECT_EQ(model.m_vTriangles[0].vertices[0], QVector3D(1.2346f, -0.0001f, 2.5f));
    model.TriRound(0); // refused, nothing changes
    EXPECT_EQ(model.m_vTriangles[0].vertices[0].x(), 1.2346f);

    auto cube = ModelOf(testmesh::Cube());
    cube->MoveZ(3);
    float lo = 1e9f;
    for (const MyVertex& v : cube->m_mesh.vert)
        lo = std::min(lo, v.p.Z());
    EXPECT_FLOAT_EQ(lo, 3.f);
}

TEST(GetAngleTris, DownFacingAndDegenerateTriangles)
{
    auto model = ModelOf(testmesh::Cube());
    model->m_vTriangles << testmesh::Tri({0, 0, 0}, {1, 0, 0}, {2, 0, 0}); // zero normal
    VSLModel3D out;
    model->GetAngleTris(&out, -0.5f);
    ASSERT_EQ(out.m_vTriangles.size(), 2);
    for (const VSLTriangle3D& t : out.m_vTriangles)
        EXPECT_FLOAT_EQ(t.normal.z(), -1.f);
    VSLModel3D withFlat;
    model->GetAngleTris(&withFlat, 0.f);
    EXPECT_EQ(withFlat.m_vTriangles.size(), 2 + 8 + 1);
}
