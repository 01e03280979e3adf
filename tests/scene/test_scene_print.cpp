// The print-file job works on its own copy of the scene's layers.
#include "event_wait.h"
#include "scene_fixture.h"

#include <QFile>
#include <QTest>

#include <thread>

namespace {

class ScenePrint : public SceneFixture {
protected:
    // One sliced box; false when slicing did not finish.
    bool SliceOneBox()
    {
        if (!m_scene.AddModel(CenteredBox("box", 10, 10, 2)) || !WaitUntilReady())
            return false;
        QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
        return m_scene.StartSliceScene(192, 108, 2, 2, 0.5f, 2) == SceneOp::Done && done.wait(kHangMs);
    }
    static ST_MachinePara Para()
    {
        // A large frame keeps the writer busy long enough to change the scene meanwhile.
        ST_MachinePara para{};
        para.XResolution = 3840;
        para.YResolution = 2160;
        return para;
    }
    QByteArray ReadSaveFile() const
    {
        QFile f(m_scene.m_strSaveFileName);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(ScenePrint, JobKeepsItsLayersAndHoldsOffSlicingAndRemovalUntilItEnds)
{
    ASSERT_TRUE(SliceOneBox());
    const SliceLayers sliced = m_scene.m_modelSliceLayers;
    ASSERT_EQ(sliced.size(), 2 + 4);
    {
        ScenePrintJob job = m_scene.BeginPrintJob(false);
        EXPECT_TRUE(m_scene.IsWritingPrintFile());
        EXPECT_EQ(m_scene.StartSliceScene(192, 108, 2, 2, 0.5f, 0), SceneOp::JobRunning);
        Select(Last());
        EXPECT_EQ(m_scene.RemoveSelectedModel(), SceneOp::JobRunning);
        // Whatever the scene does to its own list, the job's copy stays.
        m_scene.AddPlatform(-2);
        m_scene.m_modelSliceLayers[0].clear();
        ASSERT_TRUE(job.input.modelLayers.has_value());
        EXPECT_EQ(*job.input.modelLayers, sliced);
        EXPECT_FALSE(job.input.supportLayers.has_value());
    }
    EXPECT_FALSE(m_scene.IsWritingPrintFile());
    EXPECT_EQ(m_scene.RemoveSelectedModel(), SceneOp::Done);
}

TEST_F(ScenePrint, FileWrittenFromAnotherThreadEqualsOneWrittenHere)
{
    ASSERT_TRUE(SliceOneBox());
    m_scene.m_nMachineCode = 10;
    m_scene.m_strSaveFileName = m_dir.filePath("here.vxs");
    ST_MachinePara para = Para();
    ASSERT_EQ(m_scene.generatePrintableData(para, QString()), 0);
    const QByteArray here = ReadSaveFile();
    ASSERT_FALSE(here.isEmpty());
    m_scene.m_strSaveFileName = m_dir.filePath("there.vxs");
    m_scene.m_nPrintLayerCount = 0;
    std::atomic<int> result{-1};
    std::thread printData([&] {
        ST_MachinePara p = Para();
        result = m_scene.generatePrintableData(p, QString());
    });
    // The input is taken on this thread's event loop; after that the scene's list may change.
    const bool finished = WaitUntil(
        [&] {
            if (m_scene.IsWritingPrintFile()) {
                EXPECT_EQ(m_scene.StartSliceScene(192, 108, 2, 2, 0.5f, 0), SceneOp::JobRunning);
                m_scene.AddPlatform(-6);
                m_scene.AddPlatform(3);
            }
            return result.load() != -1;
        },
        kHangMs);
    printData.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(ReadSaveFile(), here);
    EXPECT_EQ(m_scene.m_nPrintLayerCount, 6); // as taken, before the changes
    EXPECT_FALSE(m_scene.IsWritingPrintFile());
}

} // namespace
