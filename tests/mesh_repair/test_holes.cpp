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

TEST(CheckHoles, ClosedCubeHasNone)
{
    auto model = ModelOf(testmesh::Cube());
    EXPECT_EQ(model->CheckHoles(), 0);
    EXPECT_TRUE(model->m_bNoHoles);
    ASSERT_EQ(model->m_Flags.size(), 12u);
    EXPECT_EQ(CountFlag(model->m_Flags, 0), 12);
}

TEST(CheckHoles, RefusesFewerThanTwoFaces)
{
    auto model = ModelOf({testmesh::Tri({0, 0, 0}, {1, 0, 0}, {0, 1, 0})});
    EXPECT_EQ(model->CheckHoles(), -1);
    EXPECT_FALSE(model->m_bNoHoles);
    EXPECT_EQ(model->RepairHoles(), -1);
}

TEST(RepairHoles, ThreeEdgeHoleGetsOneFlaggedFace)
{
    QVector<VSLTriangle3D> tris = testmesh::Cube();
    tris.remove(5);
    auto model = ModelOf(tris);
    EXPECT_EQ(model->CheckHoles(), 3);
    EXPECT_EQ(CountFlag(model->m_Flags, 1), 3);
    EXPECT_EQ(model->RepairHoles(), 0);
    EXPECT_TRUE(model->m_bNoHoles);
    ASSERT_EQ(model->m_Flags.size(), 12u);
    EXPECT_EQ(model->m_Flags[11], char(0x80));
    EXPECT_EQ(CountFlag(model->m_Flags, char(0x80)), 1);
    EXPECT_EQ(model->m_vTriangles.size(), 12);
    EXPECT_TRUE(ClosedAndCoherent(model->m_mesh));
    EXPECT_NEAR(SignedVolume6(model->m_mesh), 6000.0, 1e-2);
}

TEST(RepairHoles, NineEdgeHoleIsFilledTenEdgeHoleStaysOpen)
{
    auto nine = ModelOf(CupWithHole(9));
    EXPECT_EQ(nine->CheckHoles(), 9);
    EXPECT_EQ(nine->RepairHoles(), 0);
    EXPECT_EQ(CountFlag(nine->m_Flags, char(0x80)), 7);
    EXPECT_TRUE(ClosedAndCoherent(nine->m_mesh));
    EXPECT_GT(SignedVolume6(nine->m_mesh), 0.0);

    auto ten = ModelOf(CupWithHole(10));
    EXPECT_EQ(ten->CheckHoles(), 10);
    EXPECT_EQ(ten->RepairHoles(), 10);
    EXPECT_EQ(ten->m_mesh.fn, 30);
    EXPECT_EQ(CountFlag(ten->m_Flags, char(0x80)), 0);
}

TEST(RepairHoles, HolesTouchingAtAVertexAreBothFilled)
{
    QVector<VSLTriangle3D> tris = testmesh::UvSphere(10.f, 12, 6);
    auto shared = [&](int a, int b) {
        int n = 0;
        for (const QVector3D& p : tris[a].vertices)
            for (const QVector3D& q : tris[b].vertices)
                n += p == q;
        return n;
    };
    int other = -1;
    for (int j = 40; j < tris.size() && other < 0; ++j)
        if (shared(30, j) == 1)
            other = j;
    ASSERT_GE(other, 0);
    tris.remove(other);
    tris.remove(30);
    auto model = ModelOf(tris);
    EXPECT_EQ(model->CheckHoles(), 5); // one face borders both holes
    EXPECT_EQ(model->RepairHoles(), 0);
    EXPECT_EQ(CountFlag(model->m_Flags, char(0x80)), 2);
    EXPECT_TRUE(ClosedAndCoherent(model->m_mesh));
}

TEST(RepairHoles, CollinearHoleTerminatesWithZeroAreaFaces)
{
    const QVector3D a(0, 0, 0), b(1, 0, 0), c(2, 0, 0), e(3, 0, 0), d(1.5f, 1, 1);
    auto model = ModelOf({testmesh::Tri(a, b, d), testmesh::Tri(b, c, d), testmesh::Tri(c, e, d), testmesh::Tri(e, a, d)});
    EXPECT_EQ(model->CheckHoles(), 4);
    const int r = model->RepairHoles();
    EXPECT_GE(r, 0);
    EXPECT_EQ(model->m_mesh.fn, 4 + CountFlag(model->m_Flags, char(0x80)));
}

TEST(RepairHoles, LargeFanAndBowTieTerminate)
{
    // A disk of 300 triangles around one vertex (a 300-edge hole, left open)
    // and two triangles touching at one vertex.
    QVector<VSLTriangle3D> tris;
    const int n = 300;
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * (i + 1) / n;
        tris << testmesh::Tri({0, 0, 0}, {float(cos(a0)), float(sin(a0)), 0}, {float(cos(a1)), float(sin(a1)), 0});
    }
    tris << testmesh::Tri({5, 0, 0}, {6, 0, 0}, {5.5f, 1, 0}) << testmesh::Tri({5.5f, 1, 0}, {6, 2, 0}, {5, 2, 0});
    auto model = ModelOf(tris);
    EXPECT_EQ(model->CheckHoles(), 302);
    EXPECT_EQ(model->RepairHoles(), 300);
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

TEST(TriRound, HalvesRoundAwayFromZero)
{
    VSLModel3D model;
    model.m_vTriangles = {testmesh::Tri({1.23456789f, -0.00006f, 2.5f}, {0, 0, 0}, {1, 1, 1})};
    model.TriRound(10000);
    EXPECT_FLOAT_EQ(model.m_vTriangles[0].vertices[0].x(), 1.2346f);
    EXPECT_FLOAT_EQ(model.m_vTriangles[0].vertices[0].y(), -0.0001f);
    EXPECT_FLOAT_EQ(model.m_vTriangles[0].vertices[0].z(), 2.5f);
    model.TriRound(0); // refused, nothing changes
    EXPECT_FLOAT_EQ(model.m_vTriangles[0].vertices[0].x(), 1.2346f);
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

TEST(MoveZ, ShiftsEveryVertex)
{
    auto model = ModelOf(testmesh::Cube());
    model->MoveZ(3);
    float lo = 1e9f;
    for (const MyVertex& v : model->m_mesh.vert)
        lo = std::min(lo, v.p.Z());
    EXPECT_FLOAT_EQ(lo, 3.f);
}
