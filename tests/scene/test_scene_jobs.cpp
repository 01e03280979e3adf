#include "scene/SceneJobs.h"
#include "scene_fixture.h"

namespace {

TEST(SceneJobsTable, SupportJobsAreOnePerInstanceAndBlockASlice)
{
    SceneJobs jobs;
    EXPECT_TRUE(jobs.BeginSupport(3));
    EXPECT_FALSE(jobs.BeginSupport(3));
    EXPECT_TRUE(jobs.BeginSupport(4));
    EXPECT_EQ(jobs.supportJobs(), 2);
    EXPECT_FALSE(jobs.BeginSlice({3, 4, 5}));
    EXPECT_EQ(jobs.sliceJobs(), 0);
    EXPECT_TRUE(jobs.EndSupport(3));
    EXPECT_FALSE(jobs.EndSupport(3)); // repeated signal: no second count-down
    EXPECT_TRUE(jobs.EndSupport(4));
    EXPECT_EQ(jobs.supportJobs(), 0);
    EXPECT_TRUE(jobs.BeginSlice({3, 4, 5}));
    EXPECT_EQ(jobs.sliceJobs(), 3);
    EXPECT_TRUE(jobs.IsBusy(5));
    EXPECT_FALSE(jobs.BeginSupport(5));
    EXPECT_FALSE(jobs.BeginSlice({6}));
    EXPECT_FALSE(jobs.EndSlice(9));
    EXPECT_TRUE(jobs.EndSlice(4));
    EXPECT_EQ(jobs.sliceJobs(), 2);
}

class SceneJobRefusals : public SceneFixture {
protected:
    // Holding the model's gate keeps every worker of it waiting at its start.
    VSLModelPainter* ReadyInstanceWithHeldGate()
    {
        if (!m_scene.AddModel(CenteredBox("job", 10, 10, 5)) || !WaitUntilReady())
            return nullptr;
        VSLModelPainter* p = Last();
        if (!p->m_pModel->readyGate().Acquire())
            return nullptr;
        m_held = &p->m_pModel->readyGate();
        return p;
    }
    void ReleaseGate()
    {
        if (m_held)
            m_held->Release();
        m_held = nullptr;
    }
    void TearDown() override { ReleaseGate(); }

    MeshReadyGate* m_held = nullptr;
};

TEST_F(SceneJobRefusals, RunningSupportJobRefusesEditsOfItsInstanceUntilItsSignalArrives)
{
    VSLModelPainter* p = ReadyInstanceWithHeldGate();
    ASSERT_NE(p, nullptr);
    QSignalSpy update(&m_scene, &VSL3DScene::sig_Update);
    ASSERT_EQ(m_scene.StartSupportJob(p), SceneOp::Done);
    EXPECT_EQ(m_scene.runningSupportJobs(), 1);

    Select(p);
    EXPECT_EQ(m_scene.StartSupportJob(p), SceneOp::JobRunning);
    EXPECT_EQ(m_scene.RemoveSelectedModel(), SceneOp::JobRunning);
    EXPECT_EQ(m_scene.DuplicateSelectedModel(), SceneOp::JobRunning);
    EXPECT_EQ(m_scene.ResetSelectedModel(), SceneOp::JobRunning);
    EXPECT_EQ(m_scene.DeleteSelModelSupports(), SceneOp::JobRunning);
    EXPECT_EQ(m_scene.DeleteAllSupports(), SceneOp::JobRunning);
    m_scene.m_pendingTransform.translate(5, 0, 0);
    const QVector2D before = CenterXY(p);
    EXPECT_EQ(m_scene.Apply(), SceneOp::JobRunning);
    EXPECT_EQ(CenterXY(p), before);
    EXPECT_EQ(m_scene.StartSliceScene(1920, 1080, 20, 20, 0.05f, 0), SceneOp::JobRunning);
    EXPECT_EQ(m_scene.instances().size(), 1);

    ReleaseGate();
    ASSERT_TRUE(update.count() > 0 || update.wait(10000));
    EXPECT_EQ(m_scene.runningSupportJobs(), 0);
    // The worker may still be leaving run(); a new start must not be lost.
    ASSERT_EQ(m_scene.StartSupportJob(p), SceneOp::Done);
    ASSERT_TRUE(update.wait(10000));
    EXPECT_EQ(update.count(), 2);
    EXPECT_EQ(m_scene.runningSupportJobs(), 0);
    EXPECT_EQ(m_scene.RemoveSelectedModel(), SceneOp::Done);
}

TEST_F(SceneJobRefusals, RunningSliceRefusesASecondSliceAndEditsThenAnnouncesTheLayers)
{
    VSLModelPainter* p = ReadyInstanceWithHeldGate();
    ASSERT_NE(p, nullptr);
    QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    ASSERT_EQ(m_scene.StartSliceScene(1920, 1080, 20, 20, 0.5f, 0), SceneOp::Done);
    EXPECT_EQ(m_scene.runningSliceJobs(), 1);
    EXPECT_EQ(m_scene.m_sliceMaxPt, QPointF(-1920, -1080));
    EXPECT_EQ(m_scene.m_sliceMinPt, QPointF(1920, 1080));

    EXPECT_EQ(m_scene.StartSliceScene(1920, 1080, 20, 20, 0.5f, 0), SceneOp::JobRunning);
    EXPECT_EQ(m_scene.StartSupportJob(p), SceneOp::JobRunning);
    Select(p);
    EXPECT_EQ(m_scene.RemoveSelectedModel(), SceneOp::JobRunning);
    EXPECT_EQ(m_scene.DuplicateSelectedModel(), SceneOp::JobRunning);

    ReleaseGate();
    ASSERT_TRUE(done.wait(10000));
    ASSERT_EQ(done.count(), 1);
    EXPECT_EQ(m_scene.runningSliceJobs(), 0);
    // 5 mm high at 0.5 mm: the announced count is the model layer count.
    EXPECT_EQ(done.at(0).at(0).toInt(), m_scene.m_modelSliceLayers.size());
    EXPECT_GT(m_scene.m_modelSliceLayers.size(), 0);
    EXPECT_EQ(m_scene.RemoveSelectedModel(), SceneOp::Done);
}

TEST_F(SceneJobRefusals, LastSliceJobPutsThePlateLayersInFront)
{
    const QString path = CenteredBox("plate", 10, 10, 2);
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(m_scene.AddModel(path));
    ASSERT_TRUE(WaitUntilReady());
    QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    ASSERT_EQ(m_scene.StartSliceScene(1920, 1080, 10, 10, 0.5f, 3), SceneOp::Done);
    EXPECT_EQ(m_scene.runningSliceJobs(), 2);
    ASSERT_TRUE(done.wait(10000));
    ASSERT_EQ(done.count(), 1); // once, after the second instance
    const SliceLayers& layers = m_scene.m_modelSliceLayers;
    EXPECT_EQ(done.at(0).at(0).toInt(), layers.size());
    ASSERT_GT(layers.size(), 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(layers[i].size(), 1);
        EXPECT_EQ(layers[i][0].size(), 4);
        EXPECT_EQ(layers[i][0], layers[0][0]);
    }
    EXPECT_EQ(layers[3].size(), 2); // one outline per instance
    EXPECT_EQ(m_scene.runningSliceJobs(), 0);
}

TEST_F(SceneJobRefusals, StrayDoneSignalsDoNotDisturbTheCounts)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("stray", 10, 10)));
    ASSERT_TRUE(WaitUntilReady());
    QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    QSignalSpy update(&m_scene, &VSL3DScene::sig_Update);
    emit Last()->sig_MPSliceDone();
    emit Last()->sig_GenSupportDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(done.count(), 0);
    EXPECT_EQ(update.count(), 0);
    EXPECT_EQ(m_scene.runningSliceJobs(), 0);
    EXPECT_EQ(m_scene.runningSupportJobs(), 0);
}

TEST_F(SceneJobRefusals, SlicingAnEmptyPlateStillEnds)
{
    QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    ASSERT_EQ(m_scene.StartSliceScene(1920, 1080, 20, 20, 0.05f, 3), SceneOp::Done);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(done.at(0).at(0).toInt(), 0);
    EXPECT_EQ(m_scene.runningSliceJobs(), 0);
}

} // namespace

namespace {

TEST_F(SceneJobRefusals, UnusableSliceParametersAreRefusedAndNothingStarts)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("params", 10, 10, 5)));
    ASSERT_TRUE(WaitUntilReady());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        int xres, yres;
        float dpmmX, dpmmY, thick;
        int plate;
    };
    const Case cases[] = {
        {1920, 1080, nan, 20, 0.05f, 0}, {1920, 1080, 20, inf, 0.05f, 0}, {1920, 1080, 20, 20, nan, 0},
        {1920, 1080, 20, 20, 0, 0},      {1920, 1080, -20, 20, 0.05f, 0}, {0, 1080, 20, 20, 0.05f, 0},
        {1920, -1, 20, 20, 0.05f, 0},    {1920, 1080, 20, 20, -inf, 0},   {1920, 1080, 20, 20, 0.05f, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m_scene.StartSliceScene(c.xres, c.yres, c.dpmmX, c.dpmmY, c.thick, c.plate), SceneOp::BadParameters);
        EXPECT_EQ(m_scene.runningSliceJobs(), 0);
    }
}

} // namespace
