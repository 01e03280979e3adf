#include "FileChooser.h"
#include "event_wait.h"
#include "JobThreads.h"
#include "VSL3DScene.h"
#include "VSLModelPainter.h"
#include "VSLGLView.h"
#include "VSaveWidgetX.h"
#include "Vexmor.h"
#include "DlpCtlDialog.h"
#include "displaystandin.h"
#include "frmDLP.h"
#include "modal_answer.h"
#include "printfile/printjobinput.h"
#include "printloop_fixture.h"
#include "test_meshes.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QFile>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QLabel>
#include <QStandardPaths>
#include <QtTest/QTest>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

// QTRY_* report to QTest, which a gtest run does not see: wait, then assert.
#define WAIT_TRUE(cond, ms) ASSERT_TRUE(WaitUntil([&] { return bool(cond); }, ms)) << #cond
#define WAIT_EQ(a, b, ms)                                             \
    do {                                                              \
        (void)WaitUntil([&] { return (a) == (b); }, ms);        \
        ASSERT_EQ(a, b);                                              \
    } while (0)

namespace {

// A runner that records what the print thread does with it.
struct FakeRunner
{
    DLP::GCodeFile job{std::string("G1 Z1\n;(<Slice> 0 )\n")};
    std::vector<std::string> started;
    std::vector<std::pair<bool, bool>> states;
    int done = 0;
    DLP::GCodeFile gcodeFile() const { return job; }
    void StartPrint(DLP::GCodeFile j) { started.push_back(j.text); }
    void SetState(bool a, bool b) { states.push_back({a, b}); }
    void signal_printEnded(int end, QString) { ends.push_back(end); }
    void signal_printDone() { ++done; }
    std::vector<int> ends;
};

TEST(PrintThread, RunsACopyOfTheJobThenResetsTheRunner)
{
    FakeRunner r;
    std::atomic<bool> stop{false};
    runPrintJob(r, stop);
    EXPECT_EQ(r.started, std::vector<std::string>{r.job.text});
    EXPECT_EQ(r.states, (std::vector<std::pair<bool, bool>>{{false, false}}));
    EXPECT_EQ(r.done, 0); // the runner reports its own end
    EXPECT_TRUE(stop.load());

    // A cancel before the loop began is not lost: no start, an end report.
    FakeRunner early;
    runPrintJob(early, stop);
    EXPECT_TRUE(early.started.empty() && early.done == 1 && early.states.size() == 1u);
    EXPECT_EQ(early.ends, std::vector<int>{int(DLP::PrintEnd::Cancelled)});
}

// Listed primary first, at most ten; no screen at all puts the projector at the origin.
TEST(ProjectorScreen, PrimaryFirstAtMostTen)
{
    DisplayStandIn::Screens s;
    s.geometries = {QRect(-1280, 0, 1280, 1024), QRect(0, 0, 1920, 1080), QRect(1920, 0, 2560, 1440)};
    s.primary = 1;
    QList<int> order;
    for (const auto& [index, rect] : DisplayStandIn::listScreens(s))
        order << index;
    EXPECT_EQ(order, (QList<int>{1, 0, 2}));
    for (int i = 3; i < 14; ++i)
        s.geometries << QRect(i * 800, 0, 800, 600);
    EXPECT_EQ(DisplayStandIn::listScreens(s).size(), 10);
    EXPECT_EQ(DisplayStandIn::projectorPoint(DisplayStandIn::Screens{}), QPoint(0, 0));
}

class PrintPath : public PrinterLinkTest
{
protected:
    void SetUp() override
    {
        PrinterLinkTest::SetUp();
        QStandardPaths::setTestModeEnabled(true);
        stl = m_dir.filePath("cube.stl");
        ASSERT_TRUE(testmesh::WriteFile(stl, testmesh::BinaryStl(testmesh::Cube(5.f))));
        FileChooser::setOpenChooser([this](QWidget*, const QString&, const QString&, const QString&) { return stl; });
        DisplayStandIn::setScreenSource([] {
            DisplayStandIn::Screens s;
            s.geometries << QRect(0, 0, 1920, 1080) << QRect(1920, 0, 854, 480);
            return s;
        });
        DisplayStandIn::setModeSwitch([] {});
    }
    void TearDown() override
    {
        FileChooser::setOpenChooser({});
        FileChooser::setSaveChooser({});
        DisplayStandIn::setScreenSource({});
        DisplayStandIn::setModeSwitch({});
        PrinterLinkTest::TearDown();
    }
    int modelCount(Vexmor& w) { return w.ui.GLWidget->scene()->models().size(); }
    void loadAndSlice(Vexmor& w)
    {
        w.show();
        ASSERT_TRUE(WaitUntilExposed(&w));
        w.slot_OpenAction();
        ASSERT_EQ(modelCount(w), 1);
        w.m_buildConfig.SliceThickness = 0.1f;
        ASSERT_NO_FATAL_FAILURE(slice(w));
        ASSERT_TRUE(w.m_pSaveWidget->m_bSliceData && w.m_pSaveWidget->m_nLayers == 50);
    }
    // Slices the plate and waits for that slice's own end (the window is
    // idle before the slice starts as well as after it ends).
    void slice(Vexmor& w)
    {
        QSignalSpy sliced(w.ui.GLWidget, &VSLGLView::sig_SliceSceneDone);
        const DLP::SliceBuildConfig& c = w.m_buildConfig;
        w.slot_SliceScene(0.1f, c.XResolution, c.YResolution, c.DotsPermmX, c.DotsPermmY, 0);
        ASSERT_TRUE(w.isWorking()) << "the slice did not start";
        WAIT_EQ(sliced.count(), 1, kHangMs);
        ASSERT_FALSE(w.isWorking());
    }
    void startJob(Vexmor& w) { QMetaObject::invokeMethod(w.m_pSaveWidget, "slot_EmitStartPrint"); }
    bool sawCommand(const std::string& c)
    {
        const auto sent = sim->commands();
        return std::find(sent.begin(), sent.end(), c) != sent.end();
    }
    void pressDelete(Vexmor& w)
    {
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(w.ui.GLWidget, &del);
    }
    void prepareProjector(Vexmor& w)
    {
        frmDLP* p = w.m_printThread.m_runner.projector();
        p->setDataFolder(m_dir.path());
        p->setReporter([this](const QString& t, const QString& x) { reports << t + "|" + x; });
        QFile grey(m_dir.filePath("GreyTestFinal.dat"));
        ASSERT_TRUE(grey.open(QIODevice::WriteOnly));
        for (const char* line : {"0", "0.00392156862745098", "0", "0", "0", "0", "1", "7", "7", "7", "7", "7", "7"})
            grey.write(QByteArray(line) + "\r\n");
    }

    // The printer of the default model: its light grid is the projector's 854 x 480.
    static PrinterSimulator::Options pellar10()
    {
        PrinterSimulator::Options o;
        o.grid.width = 854, o.grid.height = 480;
        o.grid.xs = {142, 427, 712}, o.grid.ys = {120, 360};
        return o;
    }

    QString stl;
    QStringList reports;
};

// The save panel, the print-data thread and the view, joined by the window.
TEST_F(PrintPath, SavedFileThenAFailureIsReported)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(loadAndSlice(w));
    QString answer = m_dir.filePath("cube.vxs");
    FileChooser::setSaveChooser([&](QWidget*, const QString&, const QString&, const QString&) { return answer; });
    QSignalSpy ready(&w.m_dataThread, &MyThread2::signal_PrintDataReady);
    QSignalSpy repaired(&w.m_dataThread, &MyThread2::signal_FixDone);
    {
        ModalAnswers modal;
        startJob(w);
        WAIT_EQ(ready.count(), 1, kHangMs);
        WAIT_TRUE(!w.isWorking(), kHangMs);
        QTest::qWait(50);
        EXPECT_TRUE(modal.texts.isEmpty()); // success is silent
        EXPECT_EQ(ready.at(0).at(1).toInt(), int(PrintFileOk));
        EXPECT_TRUE(QFile::exists(answer));
    }

    // Into a folder that is a file: reported with the reason, nothing left.
    ASSERT_TRUE(QFile(m_dir.filePath("afile")).open(QIODevice::WriteOnly));
    answer = m_dir.filePath("afile/cube.vxs");
    {
        ModalAnswers modal;
        startJob(w);
        WAIT_EQ(ready.count(), 2, kHangMs);
        WAIT_EQ(modal.texts, QStringList{"Failed to Save File"}, kHangMs);
        const int result = ready.at(1).at(1).toInt();
        EXPECT_NE(result, int(PrintFileOk));
        EXPECT_EQ(modal.informative.value(0), QString("文件保存失败\n") + PrintFileResultText(result));
        EXPECT_FALSE(QFile::exists(answer));
        EXPECT_EQ(repaired.count(), 1); // the repair mark stays from the first run
        EXPECT_FALSE(w.isWorking());
    }

    // A name that leads to the model's own file: refused with its reason,
    // asked nothing first (it is never replaced), the model kept.
    QFile model(stl);
    ASSERT_TRUE(model.open(QIODevice::ReadOnly));
    const QByteArray modelBytes = model.readAll();
    model.close();
    answer = m_dir.filePath("linked.vxs");
    ASSERT_TRUE(QFile::link(stl, answer));
    ModalAnswers modal;
    startJob(w);
    WAIT_EQ(ready.count(), 3, kHangMs);
    WAIT_EQ(modal.texts, QStringList{"Failed to Save File"}, kHangMs);
    EXPECT_EQ(modal.informative.value(0), QString("文件保存失败\n") + PrintFileResultText(PrintFileOntoSource));
    EXPECT_EQ(ready.at(2).at(1).toInt(), int(PrintFileOntoSource));
    ASSERT_TRUE(model.open(QIODevice::ReadOnly));
    EXPECT_EQ(model.readAll(), modelBytes);
}

// A model too thin for any pixel slices to layers that light nothing: Save
// says so as the slice would, and no file is left.
TEST_F(PrintPath, ASliceThatLightsNothingIsNotSaved)
{
    ASSERT_TRUE(testmesh::WriteFile(stl, testmesh::BinaryStl(testmesh::Box({0, 0, 0}, {0.002f, 0.002f, 5}))));
    Vexmor w;
    w.show();
    ASSERT_TRUE(WaitUntilExposed(&w));
    w.slot_OpenAction();
    ASSERT_EQ(modelCount(w), 1);
    ASSERT_NO_FATAL_FAILURE(slice(w));
    ASSERT_TRUE(w.m_pSaveWidget->m_bSliceData && w.m_pSaveWidget->m_nLayers > 0) << w.m_pSaveWidget->m_nLayers;
    const QString answer = m_dir.filePath("speck.vxs");
    FileChooser::setSaveChooser([&](QWidget*, const QString&, const QString&, const QString&) { return answer; });
    QSignalSpy ready(&w.m_dataThread, &MyThread2::signal_PrintDataReady);
    ModalAnswers modal;
    startJob(w);
    WAIT_EQ(ready.count(), 1, kHangMs);
    WAIT_EQ(modal.texts, QStringList{"Failed to Save File"}, kHangMs);
    EXPECT_EQ(ready.at(0).at(1).toInt(), int(PrintFileNothingLit));
    EXPECT_EQ(modal.informative.value(0), QString("文件保存失败\nNothing to print."));
    EXPECT_FALSE(QFile::exists(answer));
    EXPECT_FALSE(w.isWorking());
}

// The plate changed on the Save stage itself: the layers no longer show it,
// so Save Job asks for a new slice instead of writing them.
TEST_F(PrintPath, ACopyDeletedAfterSlicingIsNotSavedFromTheOldLayers)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(loadAndSlice(w));
    w.slot_OpenAction(); // a second copy, then sliced again
    WAIT_EQ(w.ui.GLWidget->scene()->instances().size(), 2, kHangMs);
    ASSERT_NO_FATAL_FAILURE(slice(w));
    ASSERT_TRUE(w.m_pSaveWidget->m_bSliceData);

    VSL3DScene* scene = w.ui.GLWidget->scene();
    scene->SetPickModelPainter(scene->instances().first()->pickId());
    pressDelete(w);
    ASSERT_EQ(scene->instances().size(), 1);
    const QString answer = m_dir.filePath("stale.vxs");
    FileChooser::setSaveChooser([&](QWidget*, const QString&, const QString&, const QString&) { return answer; });
    QSignalSpy generate(w.m_pSaveWidget, &VSaveWidgetX::signal_PrintDataGenerate);
    ModalAnswers modal;
    startJob(w);
    EXPECT_EQ(modal.texts, QStringList{"Slicing Data Error"});
    EXPECT_EQ(generate.count(), 0);
    EXPECT_FALSE(QFile::exists(answer));
}

// A model's topology pass can end after a slice that waited for it: the
// layers came from the finished mesh, so its end outdates nothing. An edit
// still does.
TEST_F(PrintPath, ATopologyPassEndingLateKeepsTheSlice)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(loadAndSlice(w));
    VSL3DScene* scene = w.ui.GLWidget->scene();
    ASSERT_EQ(scene->slot_SceneUpdateStatus(), int(VexmorEditStatReady)); // as the pass's late signal
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.m_pSaveWidget->m_bSliceData);
    EXPECT_TRUE(w.sceneSliced());

    emit w.ui.GLWidget->sig_SceneStatusChanged(VexmorEditStatEdited); // a drag on the plate
    EXPECT_FALSE(w.m_pSaveWidget->m_bSliceData);
    EXPECT_FALSE(w.sceneSliced());
}

TEST_F(PrintPath, LocalPrintRunsOnThePrinterAndCancels)
{
    ASSERT_NO_FATAL_FAILURE(connectPrinter(pellar10()));
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(prepareProjector(w));
    ASSERT_NO_FATAL_FAILURE(loadAndSlice(w));
    VSaveWidgetX* panel = w.m_pSaveWidget;
    panel->m_nPrintTarget = 0;
    {
        ModalAnswers modal;
        startJob(w);
        EXPECT_EQ(modal.informative, QStringList{"Extern Display"});
    }
    ASSERT_TRUE(reports.isEmpty()) << reports.join(';').toStdString();
    ASSERT_TRUE(w.m_printThread.isRunning() && w.m_bPrinting);
    WAIT_TRUE(panel->m_nCurLayer >= 0 && sim->commands().size() > 4, kHangMs);

    // The projector shows the model's layers: Delete leaves the model alone.
    VSL3DScene* scene = w.ui.GLWidget->scene();
    scene->SetPickModelPainter(scene->instances().first()->pickId());
    pressDelete(w);
    EXPECT_EQ(modelCount(w), 1);

    ModalAnswers modal({QMessageBox::Yes});
    panel->slot_EmitCancelPrint();
    WAIT_TRUE(!w.m_printThread.isRunning(), kHangMs);
    WAIT_EQ(modal.texts, (QStringList{"Sure to Cancel Job", "Printing Cancelled"}), kHangMs);
    EXPECT_TRUE(sawCommand("G1 Y0") && !w.m_bPrinting && !w.m_printThread.m_runner.projector()->isVisible());
    EXPECT_TRUE(panel->findChild<QPushButton*>("btn_StartPrint")->isEnabled());

    // Between prints Delete works again.
    pressDelete(w);
    EXPECT_EQ(modelCount(w), 0);
}

// A cancel at any moment after the start is asked for ends the job: at each
// step of the start (the print thread held there while the window cancels),
// and while each command of the job waits for its "ok".
TEST_F(PrintPath, ACancelAtAnyMomentOfTheStartOrTheJobEndsIt)
{
    ASSERT_NO_FATAL_FAILURE(connectPrinter(pellar10()));
    const std::vector<std::string> commands{"G1 Z1", "G1 Z2", "G1 Z3"};
    const std::string cancel = "M220G1 Y0M220";
    const QString path = m_dir.filePath("job.gcode");
    ASSERT_TRUE(testmesh::WriteFile(path, ";(********** Header End **********)\nG1 Z1\nG1 Z2\nG1 Z3\n;(<Completed>)\n"));
    // Step: where the start is held for the cancel; k >= 0: while command k waits.
    struct Row { const char* step; int k; };
    const Row rows[] = {{"enter", -1}, {"busy", -1}, {"started", -1}, {"loaded", -1},
                        {nullptr, 0},  {nullptr, 1}, {nullptr, 2}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.step ? r.step : ("command " + std::to_string(r.k)).c_str());
        MyThread1 thread;
        thread.m_runner.m_gcodePath = path.toStdString();
        std::vector<int> ends;
        std::atomic<int> done{0};
        QObject::connect(&thread.m_runner, &DLP::BuildManager::signal_printEnded, &thread.m_runner,
                         [&](int end, QString) { ends.push_back(end); }, Qt::DirectConnection);
        QObject::connect(&thread.m_runner, &DLP::BuildManager::signal_printDone, &thread.m_runner,
                         [&] { ++done; }, Qt::DirectConnection);
        QSemaphore held, resume;
        if (r.step)
            thread.m_runner.setStartProbe([&](const char* step) {
                if (std::strcmp(step, r.step) == 0) {
                    held.release();
                    resume.acquire();
                }
            });
        const size_t before = sim->received().size();
        sim->setFaults(r.step ? PrinterSimulator::None : PrinterSimulator::Step);
        thread.startJob();
        if (r.step) {
            ASSERT_TRUE(held.tryAcquire(1, kHangMs));
            thread.stop();
            resume.release();
        } else {
            for (int k = 0; k <= r.k; ++k) {
                ASSERT_EQ(sim->waitForStep(20000), commands[size_t(k)]);
                if (k == r.k)
                    thread.stop();
                sim->release();
            }
            for (int n = 0; n < 3; ++n) {  // the cancel sequence's three commands
                ASSERT_NE(sim->waitForStep(20000), "");
                sim->release();
            }
        }
        ASSERT_TRUE(thread.wait(kHangMs));
        EXPECT_EQ(done.load(), 1);
        EXPECT_EQ(ends, std::vector<int>{int(DLP::PrintEnd::Cancelled)});
        std::string sent;
        for (int k = 0; k <= r.k; ++k)
            sent += commands[size_t(k)] + "\r\n";
        ASSERT_TRUE(sim->waitForBytes(before + sent.size() + cancel.size(), kHangMs));
        EXPECT_EQ(sim->received().substr(before), sent + cancel);
        sim->setFaults(PrinterSimulator::None);
    }
}

TEST_F(PrintPath, ClosingDuringAPrintCancelsItAndJoinsTheThread)
{
    ASSERT_NO_FATAL_FAILURE(connectPrinter(pellar10()));
    auto w = std::make_unique<Vexmor>();
    ASSERT_NO_FATAL_FAILURE(prepareProjector(*w));
    ASSERT_NO_FATAL_FAILURE(loadAndSlice(*w));
    w->m_pSaveWidget->m_nPrintTarget = 0;
    {
        ModalAnswers modal;
        startJob(*w);
    }
    WAIT_TRUE(sim->commands().size() > 4, kHangMs);
    QElapsedTimer t;
    t.start();
    ModalAnswers modal;
    w.reset();
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_TRUE(sawCommand("G1 Y0")); // the normal cancel ran
}

// Neither a cancel right after the start nor missing light tables leaves a
// print running (the job alone would take minutes: 50 layers of 6 s).
TEST_F(PrintPath, ACancelRightAfterTheStartOrNoLightTablesEndThePrint)
{
    ASSERT_NO_FATAL_FAILURE(connectPrinter(pellar10()));
    for (bool lightTables : {true, false}) {
        SCOPED_TRACE(lightTables ? "cancel at once" : "no light tables");
        reports.clear();
        Vexmor w;
        ASSERT_NO_FATAL_FAILURE(prepareProjector(w));
        if (!lightTables)
            w.m_printThread.m_runner.projector()->setDataFolder(m_dir.filePath("empty"));
        ASSERT_NO_FATAL_FAILURE(loadAndSlice(w));
        w.m_pSaveWidget->m_nPrintTarget = 0;
        w.m_pSaveWidget->m_bSkipCancelConfirm = true; // no question: the cancel comes at once
        ModalAnswers modal;
        startJob(w);
        if (lightTables) {
            ASSERT_TRUE(w.m_printThread.isRunning());
            w.m_pSaveWidget->slot_EmitCancelPrint();
        }
        WAIT_TRUE(!w.m_printThread.isRunning(), kHangMs);
        // Without light tables nothing was started: a failure with the reason.
        WAIT_EQ(modal.texts, (QStringList{"", lightTables ? "Printing Cancelled" : "Printing Failed"}), kHangMs);
        if (!lightTables) {
            EXPECT_EQ(modal.informative.value(1), QString("打印失败\nGreyTestFinal data file missing!"));
        }
        EXPECT_EQ(reports.isEmpty(), lightTables);
        EXPECT_FALSE(w.m_bPrinting || w.m_pSaveWidget->localPrintRunning());
    }
}

// The projector is looked up each time the window is shown: a picture after
// the screens changed lands on the new projector, not where the print was.
TEST_F(PrintPath, APictureAfterTheScreensChangedGoesToTheNewProjector)
{
    ASSERT_NO_FATAL_FAILURE(connectPrinter(pellar10()));
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(prepareProjector(w));
    ASSERT_NO_FATAL_FAILURE(loadAndSlice(w));
    frmDLP* projector = w.m_printThread.m_runner.projector();
    w.m_pSaveWidget->m_nPrintTarget = 0;
    w.m_pSaveWidget->m_bSkipCancelConfirm = true;
    {
        ModalAnswers modal;
        startJob(w);
    }
    ASSERT_TRUE(w.m_printThread.isRunning());
    EXPECT_EQ(projector->pos(), QPoint(1920, 0));
    {
        ModalAnswers modal;
        w.m_pSaveWidget->slot_EmitCancelPrint();
        WAIT_TRUE(!w.m_printThread.isRunning() && modal.texts.size() == 1, kHangMs);
    }
    // Now a wider primary screen and the projector right of it.
    DisplayStandIn::setScreenSource([] {
        DisplayStandIn::Screens s;
        s.geometries << QRect(0, 0, 2560, 1440) << QRect(2560, 0, 854, 480);
        return s;
    });
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    const QString path = m_dir.filePath("picture.png");
    ASSERT_TRUE(picture.save(path));
    emit w.m_pDlpCtlDialog->signal_pictureOpen(path);
    EXPECT_TRUE(projector->isVisible());
    EXPECT_EQ(projector->pos(), QPoint(2560, 0));
    emit w.m_pDlpCtlDialog->signal_pictureOpen(QString());
}

TEST_F(PrintPath, ControlDialogFeedsThePanelAndTakesTheEmergencyStop)
{
    ASSERT_NO_FATAL_FAILURE(connectPrinter(pellar10()));
    Vexmor w;
    VSaveWidgetX* panel = w.m_pSaveWidget;
    // Sent once at start-up, after the connections exist: the dialog's
    // defaults, not the form's.
    EXPECT_EQ(panel->findChild<QLabel*>("label_pwm")->text(), "30");
    EXPECT_EQ(panel->findChild<QLabel*>("le_homeadjz")->text(),
              QString::number(w.m_pDlpCtlDialog->homeAdjZ(), 'g', 6));

    panel->m_nPrintTarget = 2; // nothing to cancel: only the stop goes out
    ModalAnswers modal;
    panel->on_pbStop();
    WAIT_TRUE(sawCommand("M911"), kHangMs);
    EXPECT_TRUE(modal.texts.isEmpty());

    // The contour pen choice reaches the next print start.
    emit w.m_pDlpCtlDialog->signal_exposure_select(3);
    EXPECT_EQ(w.m_nPenSelect, 3);
}

} // namespace
