// While a support or slice worker runs nothing may move, remove or re-mesh its instance.
#include "hang_ceiling.h"
#include "scene_fixture.h"

#include <functional>

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

TEST_P(SceneBusy, EveryChangeIsRefusedUntilTheJobEnds)
{
    const bool slice = GetParam() == Job::Slice;
    // Two 40 mm boxes fill the 54 mm plate: any further instance re-centres the arrangement.
    const QString path = CenteredBox("big", 40, 40, 5);
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(WaitUntilReady());
    VSLModelPainter* busy = m_scene.instances().first();
    ASSERT_TRUE(busy->m_pModel->readyGate().Acquire()); // holds the worker at its start
    m_held = &busy->m_pModel->readyGate();
    QSignalSpy supportDone(&m_scene, &VSL3DScene::sig_Update);
    QSignalSpy sliceDone(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    if (slice) {
        ASSERT_EQ(m_scene.StartSliceScene(1920, 1080, 20, 20, 0.5f, 0), SceneOp::Done);
        EXPECT_EQ(m_scene.runningSliceJobs(), 2);
    } else {
        ASSERT_EQ(m_scene.StartSupportJob(busy), SceneOp::Done);
        EXPECT_EQ(m_scene.runningSupportJobs(), 1);
    }
    const QMatrix4x4 before = busy->m_matrix;
    const SliceLayers layers = m_scene.m_modelSliceLayers;
    Select(busy);
    int a, b, c, d;
    const struct { const char* what; std::function<SceneOp()> op; bool refusedDuringSupport; } rows[] = {
        {"add", [&] { m_scene.AddModel(path); return m_scene.lastAddResult(); }, true},
        {"add other", [&] { m_scene.AddModel(CenteredBox("other", 30, 30, 5)); return m_scene.lastAddResult(); }, true},
        {"show slc", [&] {
             VSLModel3D::m_vT = testmesh::Box({0, 0, 0}, {40, 40, 5});
             m_scene.showModel("imported.slc");
             return m_scene.lastAddResult();
         }, true},
        {"duplicate idle", [&] {
             Select(m_scene.instances().last());
             const SceneOp r = m_scene.DuplicateSelectedModel();
             Select(busy);
             return r;
         }, true},
        {"duplicate", [&] { return m_scene.DuplicateSelectedModel(); }, true},
        {"remove", [&] { return m_scene.RemoveSelectedModel(); }, true},
        {"reset", [&] { return m_scene.ResetSelectedModel(); }, true},
        {"apply", [&] {
             m_scene.m_pendingTransform.translate(5, 0, 0);
             return m_scene.Apply();
         }, true},
        {"delete supports", [&] { return m_scene.DeleteSelModelSupports(); }, true},
        {"delete all supports", [&] { return m_scene.DeleteAllSupports(); }, true},
        {"support job", [&] { return m_scene.StartSupportJob(busy); }, true},
        {"slice", [&] { return m_scene.StartSliceScene(1920, 1080, 20, 20, 0.5f, 0); }, true},
        {"repair", [&] { return m_scene.RepairScene(a, b, c, d); }, true},
        {"raft", [&] { return busy->AddPlatform(2) ? SceneOp::Done : SceneOp::JobRunning; }, false},
    };
    for (const auto& r : rows) {
        if (!slice && !r.refusedDuringSupport)
            continue;
        EXPECT_EQ(r.op(), SceneOp::JobRunning) << r.what;
        EXPECT_EQ(m_scene.instances().size(), 2) << r.what;
        EXPECT_EQ(m_scene.models().size(), 1) << r.what;
        EXPECT_EQ(busy->m_matrix, before) << r.what;
        EXPECT_EQ(m_scene.m_modelSliceLayers, layers) << r.what;
    }
    m_held->Release();
    m_held = nullptr;
    QSignalSpy& ended = slice ? sliceDone : supportDone;
    ASSERT_TRUE(ended.count() > 0 || ended.wait(kHangMs));
    EXPECT_EQ(m_scene.runningSupportJobs() + m_scene.runningSliceJobs(), 0);
    if (slice) {
        // Announced once, after both instances, with the model layer count.
        QCoreApplication::processEvents();
        EXPECT_EQ(sliceDone.count(), 1);
        EXPECT_EQ(sliceDone.at(0).at(0).toInt(), m_scene.m_modelSliceLayers.size());
        EXPECT_GT(m_scene.m_modelSliceLayers.size(), 0);
        const int n = m_scene.m_modelSliceLayers.size();
        EXPECT_TRUE(busy->AddPlatform(2));
        EXPECT_EQ(m_scene.m_modelSliceLayers.size(), n + 2);
    } else {
        // The worker may still be leaving run(); a new start must not be lost.
        ASSERT_EQ(m_scene.StartSupportJob(busy), SceneOp::Done);
        ASSERT_TRUE(supportDone.wait(kHangMs));
        EXPECT_EQ(supportDone.count(), 2);
        EXPECT_EQ(m_scene.runningSupportJobs(), 0);
    }
    // Once the job has ended the same requests go through; the add re-centres.
    ASSERT_TRUE(m_scene.AddModel(path));
    EXPECT_NE(busy->m_matrix, before);
    ASSERT_TRUE(WaitUntilReady());
    EXPECT_EQ(m_scene.DuplicateSelectedModel(), SceneOp::Done);
    EXPECT_EQ(m_scene.instances().size(), 4);
    EXPECT_EQ(m_scene.RepairScene(a, b, c, d), SceneOp::Done);
    EXPECT_EQ(m_scene.RemoveSelectedModel(), SceneOp::Done);
}

INSTANTIATE_TEST_SUITE_P(Jobs, SceneBusy, ::testing::Values(Job::Support, Job::Slice),
                         [](const ::testing::TestParamInfo<Job>& i) {
                             return i.param == Job::Support ? "Support" : "Slice";
                         });

} // namespace
