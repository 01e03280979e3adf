#include "mesh/clean.h"
#include "mesh/topology.h"
#include "mesh_checks.h"
#include "model_fixture.h"

#include <gtest/gtest.h>
#include <cmath>

namespace {

// n triangles on the edge (0,0,0)-(0,0,1); with alternate, every second one
// runs the edge the other way.
QVector<VSLTriangle3D> FacesOnOneEdge(int n, bool alternate = true)
{
    QVector<VSLTriangle3D> tris;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        const QVector3D c(float(cos(a)), float(sin(a)), 0.5f);
        if (alternate && i % 2)
            tris << testmesh::Tri({0, 0, 1}, {0, 0, 0}, c);
        else
            tris << testmesh::Tri({0, 0, 0}, {0, 0, 1}, c);
    }
    return tris;
}

} // namespace

TEST(CheckRepairManifold, FourFacesOnAnEdgePairOppositeDirections)
{
    auto model = ModelOf(testmesh::Cube(10.f) + testmesh::Cube(10.f, {10, 10, 0}));
    EXPECT_EQ(model->CheckHoles(), 0);
    EXPECT_FALSE(ClosedAndCoherent(model->m_mesh));
    EXPECT_EQ(model->CheckRepairManifold(), 0);
    EXPECT_TRUE(model->m_bManifold);
    EXPECT_TRUE(ClosedAndCoherent(model->m_mesh));
    // Each cube is paired with itself: the shells separate again.
    model->CountShells();
    EXPECT_EQ(model->m_nShellCount, 2);
    EXPECT_EQ(model->CheckRepairNormal(), 0);
}

TEST(CheckRepairManifold, EightFacesOnOneEdgeAreMended)
{
    auto model = ModelOf(FacesOnOneEdge(8));
    model->CheckHoles();
    EXPECT_EQ(model->CheckRepairManifold(), 0);
    // Every link of the shared edge is now mutual or a border.
    const MyMesh& m = model->m_mesh;
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int e = 0; e < 3; ++e) {
            const uint32_t g = m.face[f].ff[e];
            EXPECT_EQ(m.face[g].ff[m.face[f].ffi[e]], f);
        }
}

TEST(CheckRepairNormal, FlippedFaceIsTurnedAndFirstFaceKept)
{
    QVector<VSLTriangle3D> tris = testmesh::Cube();
    std::swap(tris[7].vertices[1], tris[7].vertices[2]);
    auto model = ModelOf(tris);
    const MyFace first = model->m_mesh.face[0];
    ASSERT_EQ(model->CheckHoles(), 0);
    ASSERT_EQ(model->CheckRepairManifold(), 0);
    EXPECT_FALSE(ClosedAndCoherent(model->m_mesh));
    EXPECT_EQ(model->CheckRepairNormal(), 0);
    EXPECT_TRUE(ClosedAndCoherent(model->m_mesh));
    EXPECT_NEAR(SignedVolume6(model->m_mesh), 6000.0, 1e-2);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(model->m_mesh.face[0].v[k], first.v[k]);
}

TEST(MeshRepair, Refusals)
{
    QVector<VSLTriangle3D> open = testmesh::Cube();
    open.remove(0);
    const VSLTriangle3D lone = testmesh::Tri({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    const struct {
        const char* name;
        QVector<VSLTriangle3D> tris;
        bool checkHoles, normal; // CheckHoles run first; CheckRepairNormal, else CheckRepairManifold
        int result;
    } cases[] = {
        {"two faces", {lone, testmesh::Tri({0, 0, 0}, {0, 1, 0}, {0, 0, 1})}, true, false, -1},
        {"holes not checked", testmesh::Cube(), false, false, -2},
        {"three faces on an edge", testmesh::ThreeFacesOnOneEdge() + testmesh::Cube(1.f, {5, 5, 5}), true, false, -3},
        {"ten faces on an edge: the walk stops at nine", FacesOnOneEdge(10), true, false, -3},
        // All eight running the edge one way cannot be paired; the walk over
        // the half-detached fan still ends.
        {"eight faces one way", FacesOnOneEdge(8, false), true, false, -3},
        {"normals: one face", {lone}, false, true, -1},
        {"normals: holes", open, true, true, -2},
        {"normals: manifold not checked", testmesh::Cube(), true, true, -3},
    };
    for (const auto& c : cases) {
        auto model = ModelOf(c.tris);
        if (c.checkHoles)
            model->CheckHoles();
        EXPECT_EQ(c.normal ? model->CheckRepairNormal() : model->CheckRepairManifold(), c.result) << c.name;
        EXPECT_FALSE(model->m_bManifold) << c.name;
    }
}

TEST(OrientCoherently, MoebiusStripIsNotOrientable)
{
    QVector<VSLTriangle3D> tris;
    const int n = 24;
    auto P = [&](int i, float s) {
        const double a = 2 * M_PI * i / n, t = a / 2;
        const double r = 10 + s * cos(t);
        return QVector3D(float(r * cos(a)), float(r * sin(a)), float(s * sin(t)));
    };
    for (int i = 0; i < n; ++i) {
        // The strip's two edges trade places after one turn.
        const QVector3D a = P(i, -1), b = P(i, 1);
        const QVector3D c = i + 1 < n ? P(i + 1, -1) : P(0, 1), d = i + 1 < n ? P(i + 1, 1) : P(0, -1);
        tris << testmesh::Tri(a, c, d) << testmesh::Tri(a, d, b);
    }
    auto model = ModelOf(tris);
    bool oriented = true, orientable = true;
    vcg::tri::Clean<MyMesh>::OrientCoherentlyMesh(model->m_mesh, oriented, orientable);
    EXPECT_FALSE(orientable);
}

TEST(DihedralAngle, FlatConvexAndConcaveFolds)
{
    const vcg::Point3f p0(0, 0, 0), p1(1, 0, 0), p2(0, 1, 0);
    EXPECT_FLOAT_EQ(VSLModel3D::DihedralAngleRad(p0, p1, p2, {0, -1, 0}), float(M_PI));
    EXPECT_NEAR(VSLModel3D::DihedralAngleRad(p0, p1, p2, {0, 0, -1}), M_PI / 2, 1e-6);
    EXPECT_NEAR(VSLModel3D::DihedralAngleRad(p0, p1, p2, {0, 0, 1}), 3 * M_PI / 2, 1e-6);
    // Folded back onto itself.
    EXPECT_FLOAT_EQ(VSLModel3D::DihedralAngleRad(p0, p1, p2, {0, 1, 0}), 0.f);
}
