// Instances whose worker is running are never moved by adding or duplicating.
#include "scene_fixture.h"

namespace {

enum class Job { Support, Slice };

class SceneBusy : public SceneFixture, public ::testing::WithParamInterface<Job> {
protected:
    void TearDown() override
    {
        if (m_held)
            m_held->Release();
        VSLModel3D::m_vT.clear();
    }
    MeshReadyGate* m_held = nullptr;
};

TEST_P(SceneBusy, NothingIsAddedOrDuplicatedWhileAJobRuns)
{
    // Two 40 mm boxes no longer fit the 54 mm deep plate side by side, so any
    // further instance re-centres the whole arrangement.
    const QString path = CenteredBox("big", 40, 40, 5);
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(WaitUntilReady());
    VSLModelPainter* busy = m_scene.instances().first();
    VSLModelPainter* idle = Last();
    ASSERT_TRUE(busy->m_pModel->readyGate().Acquire());
    m_held = &busy->m_pModel->readyGate();

    QSignalSpy supportDone(&m_scene, &VSL3DScene::sig_Update);
    QSignalSpy sliceDone(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    if (GetParam() == Job::Support)
        ASSERT_EQ(m_scene.StartSupportJob(busy), SceneOp::Done);
    else
        ASSERT_EQ(m_scene.StartSliceScene(1920, 1080, 20, 20, 0.5f, 0), SceneOp::Done);
    const QMatrix4x4 before = busy->m_matrix;

    EXPECT_FALSE(m_scene.AddModel(path));
    EXPECT_EQ(m_scene.lastAddResult(), SceneOp::JobRunning);
    EXPECT_FALSE(m_scene.AddModel(CenteredBox("other", 30, 30, 5)));
    EXPECT_EQ(m_scene.lastAddResult(), SceneOp::JobRunning);
    VSLModel3D::m_vT = testmesh::Box({0, 0, 0}, {40, 40, 5});
    EXPECT_FALSE(m_scene.showModel("imported.slc"));
    EXPECT_EQ(m_scene.lastAddResult(), SceneOp::JobRunning);
    Select(idle); // the source itself is idle during a support job
    EXPECT_EQ(m_scene.DuplicateSelectedModel(), SceneOp::JobRunning);
    EXPECT_EQ(m_scene.instances().size(), 2);
    EXPECT_EQ(m_scene.models().size(), 1);
    EXPECT_EQ(busy->m_matrix, before);

    m_held->Release();
    m_held = nullptr;
    if (GetParam() == Job::Support)
        ASSERT_TRUE(supportDone.count() > 0 || supportDone.wait(10000));
    else
        ASSERT_TRUE(sliceDone.count() > 0 || sliceDone.wait(10000));
    // Once the job has ended the same request goes through and re-centres.
    ASSERT_TRUE(m_scene.AddModel(path));
    EXPECT_EQ(m_scene.lastAddResult(), SceneOp::Done);
    EXPECT_NE(busy->m_matrix, before);
    EXPECT_EQ(m_scene.DuplicateSelectedModel(), SceneOp::Done);
    EXPECT_EQ(m_scene.instances().size(), 4);
}

INSTANTIATE_TEST_SUITE_P(Jobs, SceneBusy, ::testing::Values(Job::Support, Job::Slice),
                         [](const ::testing::TestParamInfo<Job>& i) {
                             return i.param == Job::Support ? "Support" : "Slice";
                         });

TEST_F(SceneFixture, UnreadableFileIsReportedAsRefusedNotBusy)
{
    EXPECT_FALSE(m_scene.AddModel(m_dir.filePath("missing.stl")));
    EXPECT_EQ(m_scene.lastAddResult(), SceneOp::Unchanged);
    EXPECT_FALSE(m_scene.lastLoadError().isEmpty());
}

} // namespace
