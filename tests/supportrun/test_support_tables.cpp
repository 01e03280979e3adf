#include "mesh_util.h"
#include "support/SupportRun.h"
#include "test_meshes.h"

#include "mesh/allocator.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The grid as the run describes it, face by face with QMap appends.
supportcollide::FaceGrid ReferenceGrid(const MyMesh& m)
{
    supportcollide::FaceGrid grid;
    for (uint32_t f = 0; f < m.FaceCount(); ++f) {
        float lo[3], hi[3];
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min({m.P(f, 0)[a], m.P(f, 1)[a], m.P(f, 2)[a]});
            hi[a] = std::max({m.P(f, 0)[a], m.P(f, 1)[a], m.P(f, 2)[a]});
        }
        auto cell = [](float c) { return std::max(0, std::min(999, int(std::floor(c + 500.f)))); };
        for (int iz = cell(lo[2]); iz <= cell(hi[2]); ++iz)
            for (int iy = cell(lo[1]); iy <= cell(hi[1]); ++iy)
                for (int ix = cell(lo[0]); ix <= cell(hi[0]); ++ix)
                    grid[uint((iz * 1000 + iy) * 1000 + ix)].append(f);
    }
    return grid;
}

} // namespace

TEST(SupportTables, FaceGridListsEveryFaceInItsCellsInFaceOrder)
{
    const QVector<VSLTriangle3D> cases[] = {
        testmesh::BumpySphere(12.f, 0.1f, 40, 20, {3.3f, -2.7f, 0}),
        testmesh::Cube(10.f, {620, -700, 0}) + testmesh::Cube(4.f, {495, 0, 0}),
        testmesh::FanSlab(-20, -20, 40, 40, 3, 30),
    };
    for (const auto& tris : cases) {
        const MyMesh m = MeshOf(tris);
        SupportRun run;
        QVector3D lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
        run.BuildFaceGrid(m, lo, hi);
        EXPECT_EQ(run.m_faceGrid, ReferenceGrid(m));
        for (const MyVertex& v : m.vert)
            for (int a = 0; a < 3; ++a) {
                EXPECT_LE(lo[a], v.p[a]);
                EXPECT_GE(hi[a], v.p[a]);
            }
    }
}

TEST(SupportTables, SlabsLabelsAndUpwardVertices)
{
    // A downward face, an upward face and a vertex without a face.
    MyMesh m;
    const float z[7] = {0.f, 0.02f, 0.0252f, 0.0749f, 0.0752f, 1.0f, 0.0753f};
    vcg::tri::Allocator<MyMesh>::AddVertices(m, 7);
    const float xy[7][2] = {{0, 0}, {1, 0}, {0, 1}, {2, 0}, {3, 0}, {2, 1}, {5, 5.5f}};
    for (int i = 0; i < 7; ++i)
        m.vert[i].p = vcg::Point3f(xy[i][0], xy[i][1], z[i]);
    vcg::tri::Allocator<MyMesh>::AddFaces(m, 2);
    const uint32_t faces[2][3] = {{0, 2, 1}, {3, 4, 5}};
    for (int f = 0; f < 2; ++f)
        for (int k = 0; k < 3; ++k)
            m.face[f].v[k] = faces[f][k];
    vcg::tri::UpdateTopology<MyMesh>::FaceFace(m);
    vcg::tri::UpdateTopology<MyMesh>::VertexFace(m);
    SupportRun::UpdateFaceNormals(m);
    ASSERT_LT(m.face[0].n[2], 0.f);
    ASSERT_GT(m.face[1].n[2], 0.f);

    SupportRun run;
    run.m_contactStates.insert(3, 1);
    run.BuildFirstGenerationTables(m);
    // base = 0.0251: below it slab 0, then 0.05 mm slabs from 1.
    const int slab[7] = {0, 0, 1, 1, 2, 20, 2};
    ASSERT_EQ(run.m_vertexStates.size(), 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(run.m_vertexStates[i].slab, slab[i]) << i;
    auto slabOf = [&run](int s) {
        QList<int> keys;
        QList<uint> vertices;
        for (const SlabEntry* e = run.SlabBegin(s); e != run.SlabEnd(s); ++e) {
            keys << e->key;
            vertices << e->vertex;
        }
        return qMakePair(keys, vertices);
    };
    EXPECT_EQ(run.SlabCount(), 21);
    EXPECT_EQ(slabOf(1), qMakePair(QList<int>{25, 74}, QList<uint>{2, 3}));
    // Equal keys: latest vertex first, as one-by-one multimap inserts left them.
    EXPECT_EQ(slabOf(2), qMakePair(QList<int>{75, 75}, QList<uint>{6, 4}));
    EXPECT_EQ(slabOf(20).second, (QList<uint>{5}));
    EXPECT_EQ(run.m_upwardVertices, (QList<uint>{3, 4, 5, 6}));
    for (int i : {0, 1, 2})
        EXPECT_EQ(run.m_vertexStates[i].label, SupportVertexState::kUnclaimed);
    EXPECT_EQ(run.m_vertexStates[6].label, SupportVertexState::kUpward);
    EXPECT_EQ(std::pair(run.m_vertexStates[6].seedX, run.m_vertexStates[6].seedY), std::pair(5000, 5500));
    EXPECT_TRUE(run.m_contactStates.isEmpty());
}

TEST(SupportTables, EmptyMeshGivesEmptyTables)
{
    MyMesh m;
    SupportRun run;
    QVector3D lo, hi;
    run.BuildFirstGenerationTables(m);
    run.BuildFaceGrid(m, lo, hi);
    EXPECT_EQ(run.SlabCount(), 0);
    EXPECT_TRUE(run.m_faceGrid.isEmpty());
}

TEST(SupportTables, AbsurdGeometryIsRefusedNotAllocated)
{
    // One face from the origin to 10 km away spans the whole clamped grid;
    // one vertex 1000 km up would need 2e10 slabs.
    for (const QVector3D far : {QVector3D(1e7f, 1e7f, 1e7f), QVector3D(0, 0, 1e9f)}) {
        const MyMesh m = MeshOf({testmesh::Tri({0, 0, 0}, {1, 0, 0}, far)});
        SupportRun run;
        QVector3D lo, hi;
        if (far.x() > 0)
            EXPECT_THROW(run.BuildFaceGrid(m, lo, hi), std::length_error);
        else
            EXPECT_THROW(run.BuildFirstGenerationTables(m), std::length_error);
    }
}
