#include "event_wait.h"
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
    ASSERT_TRUE(done.wait(kHangMs));
    EXPECT_EQ(done.at(0).at(0).toInt(), 0);
    EXPECT_EQ(m_scene.runningSliceJobs(), 0);
}

// Messages the scene sends to the log while it lives.
class LogCapture {
public:
    LogCapture() { Instance() = this, m_previous = qInstallMessageHandler(&Handler); }
    ~LogCapture() { qInstallMessageHandler(m_previous), Instance() = nullptr; }
    QStringList lines;

private:
    static LogCapture*& Instance()
    {
        static LogCapture* c = nullptr;
        return c;
    }
    static void Handler(QtMsgType, const QMessageLogContext&, const QString& msg)
    {
        if (Instance())
            Instance()->lines << msg;
    }
    QtMessageHandler m_previous = nullptr;
};

bool StartedOrDone(const VSLModelPainter* p)
{
    return p->m_pSliceThread->isRunning() || p->m_pSliceThread->isFinished();
}

TEST_F(SceneJobs, APlateTallerThanTheBuildHeightIsNotSlicedAndSaysSo)
{
    // A 50 mm build height holds 1000 layers of 0.05 mm; a 49.9 mm model needs 998.
    m_scene.SetBound(QVector3D(48, 27, 50), QVector3D(-48, -27, 0), 50, 50);
    const struct { const char* name; float heightMm; float thick; int plate; SceneOp result; const char* why; } cases[] = {
        {"fits", 40, 0.05f, 0, SceneOp::Done, ""},
        {"fits with plate layers", 49.9f, 0.05f, 2, SceneOp::Done, ""},
        {"as tall as the printer", 50, 0.05f, 0, SceneOp::Done, ""},
        {"plate layers push it over", 49.9f, 0.05f, 3, SceneOp::TooTall, "build height of 50 mm holds 1000"},
        {"taller than the printer", 60, 0.05f, 0, SceneOp::TooTall,
         "The plate is 60.00 mm tall, more than the printer's build height of 50 mm. Scale the model down."},
        {"far beyond, fine layers", 90000, 0.01f, 0, SceneOp::TooTall, "more than the printer's build height of 50 mm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VSL3DScene scene;
        scene.m_fnOutOfRangeWarning = [] {};
        scene.SetBound(QVector3D(48, 27, 50), QVector3D(-48, -27, 0), 50, 50);
        ASSERT_TRUE(scene.AddModel(BoxFile(c.name, {-5, -5, 0}, {5, 5, c.heightMm})));
        QSignalSpy done(&scene, &VSL3DScene::sig_SliceSceneDone);
        LogCapture log;
        EXPECT_EQ(scene.StartSliceScene(1920, 1080, 20, 20, c.thick, c.plate), c.result);
        if (c.result == SceneOp::Done) {
            ASSERT_TRUE(done.wait(kHangMs));
            EXPECT_TRUE(scene.lastSliceError().isEmpty());
            EXPECT_GT(done.at(0).at(0).toInt(), 0);
            continue;
        }
        EXPECT_TRUE(scene.lastSliceError().contains(c.why)) << scene.lastSliceError().toStdString();
        EXPECT_TRUE(log.lines.contains(scene.lastSliceError()));
        EXPECT_EQ(scene.runningSliceJobs(), 0);
        EXPECT_FALSE(StartedOrDone(scene.instances().first()));
        QCoreApplication::processEvents();
        EXPECT_EQ(done.count(), 0);
    }
}

// A plate of many copies starts a few workers at a time, not one per copy.
TEST_F(SceneJobs, ManyCopiesSliceAFewAtATime)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("copy", 2, 2, 3)));
    for (int i = 1; i < 40; ++i)
        ASSERT_TRUE(m_scene.AddModel(m_dir.filePath("copy.stl")));
    ASSERT_EQ(m_scene.instances().size(), 40);
    QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    ASSERT_EQ(m_scene.StartSliceScene(1920, 1080, 20, 20, 0.05f, 0), SceneOp::Done);
    int started = 0;
    for (VSLModelPainter* p : m_scene.instances())
        started += StartedOrDone(p);
    EXPECT_LE(started, VSL3DScene::MaxRunningSliceWorkers());
    EXPECT_GE(started, 1);
    ASSERT_TRUE(done.wait(kHangMs));
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(done.at(0).at(0).toInt(), 60);
    // Every copy reached the layers: 40 squares in the first layer.
    EXPECT_EQ(m_scene.m_modelSliceLayers.value(0).size(), 40);
    EXPECT_EQ(m_scene.runningSliceJobs(), 0);
}

// A worker the system refuses to start ends the slice with a message
// instead of leaving it running for ever.
TEST_F(SceneJobs, WorkersTheSystemRefusesEndTheSliceWithAMessage)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("a", 10, 10)));
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("b", 5, 5)));
    ASSERT_TRUE(WaitUntilReady());
    VSLModelPainter* first = m_scene.instances().first();
    VSLModelPainter* second = m_scene.instances().last();
    QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
    // A stack below the system's minimum makes QThread::start fail.
    const struct { const char* name; bool firstRefused; const char* error; } cases[] = {
        {"none starts", true, "The system refused the threads slicing needs; nothing was sliced."},
        {"one starts", false, "The system refused the threads slicing needs; the slice was stopped."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        done.clear();
        first->m_pSliceThread->setStackSize(c.firstRefused ? 1 : 0);
        second->m_pSliceThread->setStackSize(1);
        const SceneOp op = m_scene.StartSliceScene(1920, 1080, 20, 20, 0.05f, 0);
        if (c.firstRefused) {
            EXPECT_EQ(op, SceneOp::NoThreads);
        } else {
            EXPECT_EQ(op, SceneOp::Done);
            ASSERT_TRUE(done.wait(kHangMs));
            EXPECT_EQ(done.at(0).at(0).toInt(), 0);
            EXPECT_TRUE(m_scene.m_modelSliceLayers.isEmpty());
        }
        EXPECT_EQ(m_scene.lastSliceError().toStdString(), c.error);
        EXPECT_EQ(m_scene.runningSliceJobs(), 0);
    }
    // With threads to be had again, the same plate slices whole.
    first->m_pSliceThread->setStackSize(0);
    second->m_pSliceThread->setStackSize(0);
    done.clear();
    ASSERT_EQ(m_scene.StartSliceScene(1920, 1080, 20, 20, 0.05f, 0), SceneOp::Done);
    ASSERT_TRUE(done.wait(kHangMs));
    EXPECT_EQ(done.at(0).at(0).toInt(), 200);
    EXPECT_TRUE(m_scene.lastSliceError().isEmpty());
}

// Support workers too start a few at a time, and one the system refuses
// ends the generation with a message instead of leaving it busy.
TEST_F(SceneJobs, SupportWorkersStartAFewAtATimeAndARefusedOneEndsTheJobs)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("peg", 2, 2, 3)));
    for (int i = 1; i < 24; ++i)
        ASSERT_TRUE(m_scene.AddModel(m_dir.filePath("peg.stl")));
    ASSERT_TRUE(WaitUntilReady());
    auto prepare = [](VSLModelPainter* p) {
        p->m_dSupportDensity = 1;
        p->m_dTipDiameter = 0.4;
        p->m_dShaftDiameter = 0.8;
        p->m_dLiftDistance = 2;
    };
    for (VSLModelPainter* p : m_scene.instances()) {
        prepare(p);
        ASSERT_EQ(m_scene.StartSupportJob(p), SceneOp::Done);
    }
    int started = 0;
    for (VSLModelPainter* p : m_scene.instances())
        started += p->m_pSupportThread->isRunning() || p->m_pSupportThread->isFinished();
    EXPECT_LE(started, VSL3DScene::MaxRunningSliceWorkers());
    ASSERT_TRUE(WaitUntil([&] { return m_scene.runningSupportJobs() == 0; }, kHangMs));
    for (VSLModelPainter* p : m_scene.instances())
        EXPECT_TRUE(p->m_pSupportThread->isFinished());
    EXPECT_TRUE(m_scene.lastSupportError().isEmpty());

    VSLModelPainter* first = m_scene.instances().first();
    first->m_pSupportThread->setStackSize(1); // start() now fails
    QSignalSpy update(&m_scene, &VSL3DScene::sig_Update);
    EXPECT_EQ(m_scene.StartSupportJob(first), SceneOp::NoThreads);
    EXPECT_TRUE(m_scene.lastSupportError().contains("refused")) << m_scene.lastSupportError().toStdString();
    EXPECT_EQ(m_scene.runningSupportJobs(), 0);
    EXPECT_TRUE(update.wait(kHangMs)); // a waiting view hears that the jobs ended
    first->m_pSupportThread->setStackSize(0);
    prepare(first);
    first->m_dSupportDensity = 1.5; // anew
    ASSERT_EQ(m_scene.StartSupportJob(first), SceneOp::Done);
    EXPECT_TRUE(m_scene.lastSupportError().isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return m_scene.runningSupportJobs() == 0; }, kHangMs));
}

// The view draws and tests an instance's placement on the GUI thread while
// its support worker runs: the worker must never move it. The lift is there
// as soon as the job starts, stays put while the worker runs (held back
// here on the model's data), and a run that ends without supports (stopped)
// puts the instance back where it stood, to the bit.
TEST_F(SceneJobs, ASupportJobMovesItsInstanceOnlyOnTheGuiThread)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("peg", 4, 4, 3)));
    ASSERT_TRUE(WaitUntilReady());
    VSLModelPainter* p = Last();
    using Placement = VSLModelPainter::Placement;
    auto placement = [p] { return p->CurrentPlacement(); };
    const Placement standing = placement();
    constexpr float kLiftMm = 2.f;
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped" : "to the end");
        p->m_dSupportDensity = 1;
        p->m_dTipDiameter = 0.4;
        p->m_dShaftDiameter = 0.8;
        p->m_dLiftDistance = kLiftMm;
        Placement lifted;
        {
            QMutexLocker hold(p->m_pModel->dataMutex()); // the worker waits for it
            ASSERT_EQ(m_scene.StartSupportJob(p), SceneOp::Done);
            lifted = placement();
            EXPECT_FLOAT_EQ(lifted.minBound.z(), standing.minBound.z() + kLiftMm);
            EXPECT_EQ(lifted.hull, standing.hull);
            if (stopped)
                p->m_bStopSupport = true;
        }
        bool movedWhileBusy = false;
        ASSERT_TRUE(WaitUntil([&] {
            if (m_scene.runningSupportJobs() == 0)
                return true;
            movedWhileBusy = movedWhileBusy || !(placement() == lifted);
            return false;
        }, kHangMs));
        EXPECT_FALSE(movedWhileBusy);
        if (stopped) {
            EXPECT_TRUE(p->m_supportMap.isEmpty());
            EXPECT_FALSE(p->m_bSupportLifted);
            EXPECT_TRUE(placement() == standing);
        } else {
            EXPECT_FALSE(p->m_supportMap.isEmpty());
            EXPECT_TRUE(placement() == lifted);
            p->RemoveSupportX(); // down again for the next row
            EXPECT_TRUE(placement() == standing);
        }
    }
}

} // namespace
