#include "scene_fixture.h"

namespace {

class SceneJobs : public SceneFixture {};

TEST_F(SceneJobs, StrayDoneSignalsAndUnusableParametersStartNothing)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("stray", 10, 10)));
    ASSERT_TRUE(WaitUntilReady());
    QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    QSignalSpy update(&m_scene, &VSL3DScene::sig_Update);
    emit Last()->sig_MPSliceDone();
    emit Last()->sig_GenSupportDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(done.count() + update.count(), 0);
    EXPECT_EQ(m_scene.runningSliceJobs() + m_scene.runningSupportJobs(), 0);
    // Unusable slice parameters are refused and nothing starts.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case { int xres, yres; float dpmmX, dpmmY, thick; int plate; };
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

TEST_F(SceneJobs, SlicingAnEmptyPlateStillEnds)
{
    QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    ASSERT_EQ(m_scene.StartSliceScene(1920, 1080, 20, 20, 0.05f, 3), SceneOp::Done);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(done.at(0).at(0).toInt(), 0);
    EXPECT_EQ(m_scene.runningSliceJobs(), 0);
}

} // namespace
