#include "hang_ceiling.h"
#include "scene_fixture.h"

namespace {

// A 10 mm cube missing a bottom triangle, one corner a hair off (only the repair's rounding merges it).
QVector<VSLTriangle3D> DamagedCube()
{
    auto tris = testmesh::Cube(10.f, {-5, -5, 0});
    tris.removeFirst();
    for (VSLTriangle3D& t : tris)
        for (QVector3D& v : t.vertices)
            if (v == QVector3D(5, 5, 10) && &t == &tris.last())
                v = QVector3D(5.00000048f, 5, 10);
    return tris;
}

} // namespace

class SceneRepair : public SceneFixture {};

TEST_F(SceneRepair, RoundsMergesFillsAndKeepsTheVertexCopyInStep)
{
    const QString path = m_dir.filePath("damaged.stl");
    ASSERT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(DamagedCube())));
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(WaitUntilReady());
    VSLModel3D* model = m_scene.models().first();
    ASSERT_EQ(model->m_mesh.vn, 9); // the stray corner is still its own vertex
    int holes = 99, filled = 99, manifold = 99, orientation = 99;
    ASSERT_EQ(m_scene.RepairScene(holes, filled, manifold, orientation), SceneOp::Done);
    EXPECT_EQ(std::vector<int>({holes, filled, manifold, orientation}), std::vector<int>({3, 0, 0, 0}));
    EXPECT_EQ(model->m_mesh.vn, 8);
    EXPECT_EQ(model->m_mesh.fn, 12);
    EXPECT_EQ(model->m_vTriangles.size(), 12);
    // Slicing places the mesh from this copy: it must match the merged mesh.
    ASSERT_EQ(model->m_vVertexCopy.size(), model->m_mesh.vn);
    for (int i = 0; i < model->m_mesh.vn; ++i)
        EXPECT_EQ(model->m_vVertexCopy[i], model->m_mesh.vert[size_t(i)].P());
    // The repaired cube slices to its full square.
    QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    ASSERT_EQ(m_scene.StartSliceScene(2000, 1000, 10.f, 10.f, 0.5f, 0), SceneOp::Done);
    ASSERT_TRUE(done.wait(kHangMs));
    ASSERT_EQ(done.first().first().toInt(), 20);
    for (const QVector<SlicePolygon>& layer : m_scene.m_modelSliceLayers) {
        ASSERT_EQ(layer.size(), 1);
        EXPECT_EQ(layer[0].boundingRect(), QRectF(QPointF(950, 450), QPointF(1050, 550)));
    }
}

class SceneShowModel : public SceneFixture {};

TEST_F(SceneShowModel, ShownSliceModelCanBeSlicedLikeALoadedOne)
{
    VSLModel3D::m_vT.clear();
    EXPECT_FALSE(m_scene.showModel("empty.slc"));
    EXPECT_TRUE(m_scene.instances().isEmpty());
    VSLModel3D::m_vT = testmesh::Cube(10.f, {-5, -5, 0});
    ASSERT_TRUE(m_scene.showModel("part.slc"));
    VSLModel3D::m_vT.clear();
    ASSERT_EQ(m_scene.instances().size(), 1);
    ASSERT_TRUE(WaitUntilReady());
    QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    ASSERT_EQ(m_scene.StartSliceScene(2000, 1000, 10.f, 10.f, 1.f, 0), SceneOp::Done);
    ASSERT_TRUE(done.wait(kHangMs));
    EXPECT_EQ(done.first().first().toInt(), 10);
    EXPECT_EQ(m_scene.runningSliceJobs(), 0);
}
