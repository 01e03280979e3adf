// The main window under Xvfb with its own config and log folders.

#include "../e2e/e2e_fixture.h"
#include "../support/modal_answer.h"
#include "event_wait.h"
#include "VEditModeWidget.h"
#include "VSLCoordConvert.h"
#include "VEditRecipeWidget.h"
#include "VFixWidget.h"
#include "VImportWidgetX.h"
#include "MeshReadyGate.h"
#include "VSLModel3D.h"
#include "VSaveWidgetX.h"
#include "VSupportWidgetX.h"
#include "VTransformEditWidget.h"
#include "frmDeviceInterfaceSettings.h"
#include "language.h"
#include "notices.h"

#include <QMimeData>
#include <QUrl>
#include <QDragEnterEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTranslator>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

class Stage : public MainWindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowTest::SetUp());
        qputenv("VEXMOR_LOG_DIR", work.filePath("log").toUtf8());
        m_w = std::make_unique<Vexmor>();
        ASSERT_NO_FATAL_FAILURE(open(*m_w, 10.f));
    }
    void TearDown() override
    {
        m_w.reset();
        qunsetenv("VEXMOR_LOG_DIR");
        MainWindowTest::TearDown();
    }

    VSLGLView* view() const { return m_w->ui.GLWidget; }
    VSL3DScene* scene() const { return view()->scene(); }

    // The 10 mm cube through the Load path, until the scene has checked it.
    void LoadCube()
    {
        m_w->navbarOpenFile();
        const auto& models = scene()->models();
        WAIT_TRUE(!models.isEmpty() && std::all_of(models.begin(), models.end(), [](auto* m) { return m->isReady(); }),
                  kHangMs);
    }
    void SliceAndWait()
    {
        m_w->m_pSliceWidget->slot_HandleSliceReq();
        WAIT_TRUE(m_w->m_pSliceWidget->sliceState() == 1 && !m_w->isWorking(), kHangMs);
    }
    void SelectFirst() { scene()->SetPickModelPainter(scene()->instances().first()->pickId()); }

    std::unique_ptr<Vexmor> m_w;
};

TEST_F(Stage, RepairAndSliceMarkTheEarlierStagesOnce)
{
    QSignalSpy fix(m_w.get(), &Vexmor::signal_FixDone);
    m_w->navbarRepair();
    m_w->navbarRepair();
    EXPECT_EQ(fix.count(), 1);
    EXPECT_EQ(fix.first(), (QVariantList{0, 0, 0, 0}));
    m_w->layoutBarClicked(0); // an edit drops the stages
    EXPECT_FALSE(m_w->m_bRepaired);
    m_w->navbarRepair();
    EXPECT_EQ(fix.count(), 2);

    // A fresh plate: Slice marks repair and support with one repair report.
    m_w->layoutBarClicked(1);
    fix.clear();
    m_w->navbarSlice();
    EXPECT_EQ(fix.count(), 1);
    EXPECT_TRUE(m_w->m_bRepaired && m_w->m_bSupported && m_w->m_bSliced);
    m_w->navbarSupport();
    EXPECT_EQ(fix.count(), 1);
}

TEST_F(Stage, SaveBeforeSlicingSlicesOnceThenOnlyMarksTheRequest)
{
    LoadCube();
    QSignalSpy request(m_w.get(), &Vexmor::signal_ReqSliceWidget);
    QSignalSpy slices(m_w->m_pSliceWidget, &VSliceWidgetX::sig_SliceScene);
    for (int round = 0; round < 2; ++round) {
        m_w->m_bPrintRequested = false;
        m_w->navbarPrint();
        EXPECT_TRUE(m_w->m_bPrintRequested && m_w->m_bSliced) << round;
        EXPECT_EQ((QList<int>{request.count(), slices.count()}), (QList<int>{1, 1})) << round;
        WAIT_TRUE(m_w->m_pSliceWidget->sliceState() == 1 && !m_w->isWorking(), kHangMs);
    }
}

// While any job runs the stage calls are refused; the print request and the
// duplicate still go through.
TEST_F(Stage, RefusalsWhileWorking)
{
    LoadCube();
    m_w->setTransformShow(true);
    m_w->navbarClicked(1);
    // As the job slots set them; the print (no overlay) leaves Delete to the view.
    struct Job { std::function<void()> start; bool overlay; };
    const Job jobs[] = {
        {[this] { m_w->SetGuiBusy("Support", true); }, true},
        {[this] { m_w->SetGuiBusy("Slice", true); m_w->m_bSlicing = true; }, true},
        {[this] { m_w->m_bPrinting = true; }, false},
        {[this] { m_w->SetGuiBusy("Save", true); }, true},
    };
    for (size_t job = 0; job < std::size(jobs); ++job) {
        m_w->m_bRepaired = m_w->m_bSupported = m_w->m_bSliced = m_w->m_bPrintRequested = false;
        SelectFirst();
        jobs[job].start();
        QSignalSpy fix(m_w.get(), &Vexmor::signal_FixDone);
        QSignalSpy nav(m_w.get(), &Vexmor::navIndexChanged);
        const int instances = scene()->instances().size();

        m_w->navbarClicked(3);
        m_w->navbarOpenFile();
        m_w->navbarRepair();
        m_w->navbarSupport();
        m_w->navbarSlice();
        m_w->setFixShow(true);
        m_w->ui.SetButton->click();
        m_w->ui.RemoveButton->click();
        if (jobs[job].overlay)
            QTest::keyClick(view(), Qt::Key_Delete);
        m_w->m_bSliced = true;
        m_w->layoutBarClicked(0);
        EXPECT_TRUE(m_w->m_bSliced) << job;
        m_w->m_bSliced = false;
        // Nav index and changes, chooser calls (the first load only), repair reports, instances.
        EXPECT_EQ((QList<int>{m_w->m_nNavIndex, nav.count(), opened, fix.count(), scene()->instances().size()}),
                  (QList<int>{1, 0, 1, 0, instances})) << job;
        EXPECT_TRUE(!m_w->m_bRepaired && !m_w->m_bSupported && m_w->bTransformShow && !m_w->bFixShow) << job;
        EXPECT_FALSE(m_w->m_pDeviceSettings->isVisible()) << job;

        m_w->navbarPrint();
        EXPECT_TRUE(m_w->m_bPrintRequested && !m_w->m_bSliced) << job;
        m_w->layoutBarClicked(3);
        EXPECT_EQ(scene()->instances().size(), instances + 1) << job;

        for (const char* key : {"Support", "Slice", "Save"})
            m_w->SetGuiBusy(key, false);
        m_w->m_bSlicing = m_w->m_bPrinting = false;
        EXPECT_FALSE(m_w->isWorking()) << job;
    }
    // Idle again: Delete removes the selected instance.
    const int instances = scene()->instances().size();
    SelectFirst();
    QTest::keyClick(view(), Qt::Key_Delete);
    EXPECT_EQ(scene()->instances().size(), instances - 1);
}

// A model loaded while the bar is at a later stage: the bar goes to Edit,
// a click on the new model selects it and Delete removes that one.
TEST_F(Stage, AModelLoadedFromTheSliceStageIsClickedAndDeleted)
{
    LoadCube();
    WAIT_TRUE(stageRowInPlace(*m_w), kHangMs);
    ASSERT_NO_FATAL_FAILURE(clickQml(m_w->m_pNavBar, "sliceButton"));
    WAIT_TRUE(m_w->m_pSliceWidget->isVisible(), kHangMs);
    ASSERT_EQ(scene()->m_strToolName, "Slice");
    SelectFirst();
    VSLModelPainter* first = scene()->selectedInstance();
    m_w->navbarOpenFile();
    WAIT_TRUE(scene()->instances().size() == 2, kHangMs);
    VSLModelPainter* second = scene()->instances().last();
    WAIT_TRUE(m_w->m_nNavIndex == 1, kHangMs);
    QTest::qWait(100);
    view()->LoadViewMatrices();
    QPoint at;
    UCToDC(at, QVector3D(second->m_center.x(), second->m_center.y(), second->m_maxBound.z()));
    QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(scene()->selectedInstance(), second);
    QTest::keyClick(view(), Qt::Key_Delete);
    ASSERT_EQ(scene()->instances().size(), 1);
    EXPECT_EQ(scene()->instances().first(), first);
}

// The repair panel follows the plate as models come and go: a model
// added or still being checked shows no count, a removal the counts of
// those left at once (a clean plate's "Fix completed" too), never the
// plate's before.
TEST_F(Stage, TheRepairPanelFollowsModelsAddedAndRemoved)
{
    QVector<VSLTriangle3D> holed = testmesh::Cube(10.f);
    holed.removeAt(4);
    auto stlOf = [&](const char* name, const QVector<VSLTriangle3D>& tris) {
        const QString path = work.filePath(name);
        EXPECT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(tris)));
        return path;
    };
    auto label = [&](const char* name) { return m_w->m_pFixWidget->findChild<QLabel*>(name)->text().toStdString(); };
    auto shown = [&] { return label("label_info") + " / " + label("label_info2") + " / " + label("label_info3"); };
    auto fix = [&] { QTest::mouseClick(m_w->m_pFixWidget->findChild<QPushButton*>("btn_AutoFix"), Qt::LeftButton); };
    const std::string pending = "\u2026 / \u2026 / \u2026";
    const std::string checking = "Checking the model: its defects are shown here as soon as the check ends.";
    MeshReadyGate firstHold, secondHold;
    struct LetGo {
        MeshReadyGate& a;
        MeshReadyGate& b;
        ~LetGo()
        {
            a.Open();
            b.Open();
            VSLModel3D::SetPassHold(nullptr);
        }
    } letGo{firstHold, secondHold};
    auto loadHeld = [&](const QString& path, MeshReadyGate* hold) {
        VSLModel3D::SetPassHold(hold);
        openAnswer = path;
        m_w->navbarOpenFile();
        return scene()->instances().last();
    };
    auto remove = [&](VSLModelPainter* instance) {
        scene()->SetPickModelPainter(instance->pickId());
        m_w->ui.RemoveButton->click();
    };

    VSLModelPainter* a = loadHeld(stlOf("a.stl", holed), nullptr);
    WAIT_TRUE(scene()->ModelsBeingChecked() == 0, kHangMs);
    m_w->setFixShow(true);
    m_w->navbarRepair();
    ASSERT_EQ(shown(), "1 / 0 / 0");

    VSLModelPainter* b = loadHeld(stlOf("b.stl", testmesh::Cube(8.f)), &firstHold);
    EXPECT_EQ(shown(), pending);
    EXPECT_EQ(label("label_result"), checking);
    firstHold.Open();
    WAIT_TRUE(scene()->ModelsBeingChecked() == 0 && shown() == "1 / 0 / 0", kHangMs);

    remove(a); // b alone, clean
    EXPECT_EQ(shown(), "0 / 0 / 0");
    fix();
    EXPECT_EQ(label("label_result"), "Fix completed");

    VSLModelPainter* c = loadHeld(stlOf("c.stl", holed), &secondHold);
    EXPECT_EQ(shown(), pending);
    remove(b); // c, still being checked
    EXPECT_EQ(shown(), pending);
    EXPECT_EQ(label("label_result"), checking);
    fix();
    EXPECT_EQ(label("label_result"), checking);
    secondHold.Open();
    WAIT_TRUE(scene()->ModelsBeingChecked() == 0 && shown() == "1 / 0 / 0", kHangMs);
    EXPECT_EQ(label("label_result"), "");
    EXPECT_EQ(scene()->instances().values(), QList<VSLModelPainter*>{c});
}

TEST_F(Stage, BusyTogglesTheSevenWidgetsOnly)
{
    const QList<QWidget*> seven = {m_w->m_pSupportWidget, m_w->m_pTransformWidget, m_w->m_pFixWidget,
                                   m_w->m_pSaveWidget,    m_w->m_pImportWidget,    m_w->m_pSliceWidget,
                                   m_w->m_pNavBar};
    const QList<QWidget*> untouched = {view(), m_w->m_pToolBar, m_w->ui.TitleWidget, m_w->ui.SetButton,
                                       m_w->ui.CloseButton, m_w->ui.ImportButton};
    // An unknown key shows the overlay too.
    for (auto [key, busy] : {std::pair{"Slice", true}, {"Slice", false}, {"Unknown", true}, {"Unknown", false}}) {
        m_w->SetGuiBusy(key, busy);
        EXPECT_EQ(m_w->m_pBusyWidget->isVisible(), busy) << key;
        EXPECT_EQ(view()->deleteEnabled(), !busy) << key;
        for (QWidget* w : seven)
            EXPECT_EQ(w->isEnabled(), !busy) << key << " " << w->metaObject()->className();
        for (QWidget* w : untouched)
            EXPECT_TRUE(w->isEnabled()) << key << " " << w->metaObject()->className();
    }
    // Two jobs behind the overlay: Delete and the working state last until both end.
    m_w->SetGuiBusy("Support", true);
    m_w->SetGuiBusy("Save", true);
    m_w->SetGuiBusy("Save", false);
    EXPECT_TRUE(!view()->deleteEnabled() && m_w->isWorking());
    m_w->SetGuiBusy("Support", false);
    EXPECT_TRUE(view()->deleteEnabled() && !m_w->isWorking());
}

// Opens maximised; restore gives the constructor's geometry, a drag moves
// the window, and the docked parts follow every size.
TEST_F(Stage, MaximiseRestoreMoveAndDocking)
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(m_w->geometry(), available);
    EXPECT_TRUE(m_w->ui.MaximizeButton_2->isVisible() && !m_w->ui.MaximizeButton->isVisible());
    m_w->Trigger_Clicked_CancelMaximizeButon();
    EXPECT_EQ(m_w->geometry(), QRect(50, 50, 1600, 900));
    m_w->slot_MoveWindow(QPoint(10, 5));
    EXPECT_EQ(m_w->geometry().topLeft(), QPoint(60, 55));
    m_w->setSupportShow(true);
    m_w->m_pSupportEditWidget->show();
    for (const QSize size : {QSize(800, 660), QSize(1300, 700), QSize(1024, 900)}) {
        m_w->resize(size);
        WAIT_TRUE(m_w->size() == size, kHangMs);
        const int W = m_w->width(), H = m_w->height();
        for (QWidget* p : panels(*m_w))
            EXPECT_EQ(p->pos(), QPoint(0, H - p->height())) << W << " " << p->metaObject()->className();
        EXPECT_EQ(m_w->m_pSupportEditWidget->geometry().bottomLeft(), QPoint(0, m_w->m_pSupportWidget->y() - 1));
        EXPECT_EQ(m_w->m_pBusyWidget->geometry().topRight(), QPoint(W - 11, 200)) << W;
        EXPECT_EQ(m_w->m_pHelpButton->pos(), QPoint(W - 35 - m_w->m_pHelpButton->width(), 177)) << W;
        EXPECT_TRUE(m_w->m_pNavBar->pos() == QPoint(0, 0) && m_w->m_pToolBar->pos() == QPoint(94, 70));
    }
    m_w->Trigger_Clicked_MaximizeButton();
    m_w->slot_MoveWindow(QPoint(10, 5)); // not while maximised
    EXPECT_EQ(m_w->geometry(), available);
}

TEST_F(Stage, ImportSetAndRecipeEditorAreReachable)
{
    m_w->ui.ImportButton->click();
    EXPECT_TRUE(m_w->m_pImportWidget->isVisible());
    m_w->ui.SetButton->click();
    EXPECT_TRUE(m_w->m_pDeviceSettings->isVisible());
    m_w->setPrintShow(true);
    m_w->m_pSaveWidget->findChild<QPushButton*>("NewEditButton")->click();
    EXPECT_TRUE(m_w->m_pRecipeWidget->isVisible());
}

// The tool column follows the stage and the selection; its buttons pick the edit mode.
TEST_F(Stage, ToolColumnFollowsStageAndSelection)
{
    WAIT_TRUE(m_w->m_pToolBar->status() == QQuickWidget::Ready, kHangMs);
    QObject* loader = m_w->m_pToolBar->rootObject()->findChild<QObject*>("rowLoader");
    ASSERT_NE(loader, nullptr);
    auto row = [&] { return loader->property("source").toUrl().fileName(); };
    WAIT_TRUE(row() == "blanktools.qml", kHangMs);
    LoadCube();
    WAIT_TRUE(row() == "layoutools.qml", kHangMs);
    QObject* tools = loader->property("item").value<QObject*>();
    for (bool shown : {true, false}) {
        emit view()->signal_ShowHideEditControl(shown);
        EXPECT_EQ(loader->property("visible").toBool(), shown);
    }
    EXPECT_EQ(loader->property("item").value<QObject*>(), tools); // not reloaded

    QSignalSpy mode(m_w->m_pEditMode, &VEditModeWidget::signal_SendEditMode);
    QMetaObject::invokeMethod(tools->findChild<QObject*>("rotateButton"), "clicked");
    ASSERT_EQ(mode.count(), 1);
    EXPECT_EQ(mode[0][0].toList(), (QVariantList{6, 3, 1}));
    m_w->navbarClicked(3);
    WAIT_TRUE(row() == "blanktools.qml", kHangMs);
}

// The tool row shows the view's edit mode: a click the window refuses
// (a support, save or export job runs) leaves the row as it was.
TEST_F(Stage, ToolRowFollowsTheEditModeTheWindowAccepts)
{
    WAIT_TRUE(m_w->m_pToolBar->status() == QQuickWidget::Ready, kHangMs);
    LoadCube();
    QObject* loader = m_w->m_pToolBar->rootObject()->findChild<QObject*>("rowLoader");
    ASSERT_NE(loader, nullptr);
    WAIT_TRUE(loader->property("source").toUrl().fileName() == "layoutools.qml", kHangMs);
    emit view()->signal_ShowHideEditControl(true);
    // Loaded, the row slides in from above and stops at the top.
    WAIT_TRUE(loader->property("y").toReal() == 0, kHangMs);
    auto shown = [&] {
        QList<bool> checked;
        for (const char* name : {"translateButton", "rotateButton", "scaleButton"})
            checked << m_w->m_pToolBar->rootObject()->findChild<QObject*>(name)->property("checked").toBool();
        return checked;
    };
    // Refused while a job runs, accepted after; a second click on the shown
    // mode keeps it shown.
    const struct { const char* button; bool busy; int mode; } clicks[] = {
        {"rotateButton", true, 0},  {"scaleButton", true, 0},   {"rotateButton", false, 1},
        {"scaleButton", true, 1},   {"scaleButton", false, 2},  {"scaleButton", false, 2}};
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.button);
        m_w->SetGuiBusy("Support", c.busy);
        ASSERT_NO_FATAL_FAILURE(clickQml(m_w->m_pToolBar, c.button));
        QTest::qWait(50);
        EXPECT_EQ(scene()->EditMode, c.mode);
        EXPECT_EQ(shown(), (QList<bool>{c.mode == 0, c.mode == 1, c.mode == 2}));
    }
    shot(*m_w, "tool_row_scale");
}

// Saving an edit with a click regenerates behind the busy notice, like
// Generate: the bar waits, and slicing after it starts.
TEST_F(Stage, SavingEditedSupportsShowsTheBusyNoticeUntilTheRunEnds)
{
    LoadCube();
    m_w->setSupportShow(true);
    QSignalSpy done(view(), &VSLGLView::sig_GenSupportDone);
    m_w->m_pSupportWidget->findChild<QPushButton*>("GenSptButton")->click();
    WAIT_TRUE(done.count() == 1 && !m_w->isWorking(), kHangMs);
    VSLModelPainter* cube = scene()->instances().first();
    ASSERT_TRUE(cube->m_bHasSupports);

    m_w->m_pSupportWidget->findChild<QPushButton*>("EditSptButton")->click();
    ASSERT_TRUE(m_w->m_pSupportEditWidget->isVisible());
    // A click on the lifted cube's top adds a support there.
    QTest::qWait(100);
    view()->LoadViewMatrices();
    QPoint top;
    UCToDC(top, QVector3D(cube->m_center.x(), cube->m_center.y(), cube->m_maxBound.z()));
    QTest::mouseClick(view(), Qt::LeftButton, Qt::NoModifier, top);
    ASSERT_TRUE(cube->m_bSupportChanged);

    done.clear();
    m_w->m_pSupportEditWidget->findChild<QPushButton*>("SaveButton")->click();
    EXPECT_EQ(scene()->runningSupportJobs(), 1);
    EXPECT_TRUE(m_w->m_pBusyWidget->isVisible() && !m_w->m_pNavBar->isEnabled());
    shot(*m_w, "support_save_busy");
    WAIT_TRUE(done.count() >= 1 && !m_w->isWorking(), kHangMs);
    ModalAnswers modal;
    SliceAndWait();
    EXPECT_TRUE(modal.texts.isEmpty()) << modal.texts.join('|').toStdString();
}

// An STL dropped on the view takes the Load button's road: stages reset,
// the bar's stage row, the job names; refused while a job runs.
TEST_F(Stage, ADroppedFileTakesTheOpenRoad)
{
    const QString dropped = work.filePath("ring.v2.stl");
    ASSERT_TRUE(testmesh::WriteFile(dropped, testmesh::BinaryStl(testmesh::Cube(8.f))));
    auto drop = [&] {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(dropped)});
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent e(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view(), &e);
    };
    // While a job runs nothing is opened.
    m_w->SetGuiBusy("Save", true);
    ASSERT_NO_FATAL_FAILURE(drop());
    EXPECT_TRUE(scene()->instances().isEmpty());
    m_w->SetGuiBusy("Save", false);

    m_w->m_bRepaired = m_w->m_bSupported = m_w->m_bSliced = true;
    QSignalSpy loaded(m_w.get(), &Vexmor::navbarFileLoaded);
    ASSERT_NO_FATAL_FAILURE(drop());
    EXPECT_EQ(scene()->instances().size(), 1);
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_FALSE(m_w->m_bRepaired || m_w->m_bSupported || m_w->m_bSliced);
    EXPECT_EQ(m_w->jobFolder(), work.filePath("ring"));
    EXPECT_EQ(m_w->gcodePath(), work.filePath("ring/ring.gcode"));
    EXPECT_EQ(view()->GetOpenFileName(), "ring.v2.stl");
    EXPECT_EQ(opened, 0); // no dialog
    WAIT_TRUE(navItem(*m_w, "saveButton") != nullptr, kHangMs);
    WAIT_TRUE(m_w->m_nNavIndex == 1, kHangMs);
}

// Closing while the print file is written waits for the writer: the file is
// then whole or not there.
TEST_F(Stage, ClosingWhileAPrintFileIsWrittenEndsCleanly)
{
    LoadCube();
    SliceAndWait();
    const QString out = work.filePath("out");
    ASSERT_TRUE(QDir().mkpath(out) && QDir().mkpath(m_w->jobFolder()));
    view()->SetSaveFilePath(out);
    view()->SetSaveFileName(out + "/cube." + view()->GetFileType());
    auto written = [&] { return QDir(out).entryList(QDir::Files); };

    QSignalSpy done(&m_w->m_dataThread, &MyThread2::signal_PrintDataReady);
    m_w->slot_GenPrintData();
    EXPECT_TRUE(m_w->isWorking());
    WAIT_TRUE(done.count() == 1, kHangMs);
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_w->isWorking());
    ASSERT_EQ(written().size(), 1) << written().join(' ').toStdString();
    const QString path = out + "/" + written().first();
    QFile whole(path);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray expected = whole.readAll();
    ASSERT_TRUE(expected.size() > 0 && whole.remove());

    m_w->slot_GenPrintData();
    m_w->close();
    m_w.reset();
    EXPECT_LE(written().size(), 1); // no temporary left behind either
    QFile after(path);
    EXPECT_TRUE(!after.open(QIODevice::ReadOnly) || after.readAll() == expected);
}

TEST_F(Stage, JobProgressCodesPickThePage)
{
    struct Row { int ch; int type; bool requested; QWidget* shown; };
    m_w->setTransformShow(true);
    // Finished jobs pick a page; a start (type 0), job 1 and unknown codes do nothing.
    QWidget* save = m_w->m_pSaveWidget;
    const Row rows[] = {{2, 1, false, m_w->m_pFixWidget}, {3, 1, false, m_w->m_pSupportWidget},
                        {4, 1, false, m_w->m_pSliceWidget}, {4, 1, true, save}, {5, 1, false, save},
                        {2, 0, false, save}, {7, 1, false, save}, {1, 1, false, save}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        m_w->m_bPrintRequested = rows[i].requested;
        m_w->slot_msg(rows[i].ch, rows[i].type);
        EXPECT_EQ(shownPanels(*m_w), QList<QWidget*>{rows[i].shown}) << i;
        EXPECT_FALSE(m_w->m_bPrintRequested && rows[i].ch == 4) << i;
    }
    // Panels off keeps the save panel; on again shows the page's panel.
    m_w->slot_CtlWidgetDisp(false);
    m_w->setFixShow(true); // flag kept, nothing shown while panels are off
    EXPECT_EQ(shownPanels(*m_w), QList<QWidget*>{save});
    m_w->slot_CtlWidgetDisp(true);
    EXPECT_EQ(shownPanels(*m_w), QList<QWidget*>{m_w->m_pFixWidget});
}

class Language : public ::testing::Test
{
protected:
    void SetUp() override { qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8()); }
    void TearDown() override { qunsetenv("VEXMOR_CONFIG_DIR"); }
    void choose(const char* value)
    {
        QFile::remove(dir.filePath("VexmorMachine.ini"));
        if (value)
            QSettings(dir.filePath("VexmorMachine.ini"), QSettings::IniFormat)
                .setValue("MachineConfig/Language", QString::fromUtf8(value));
    }
    QTemporaryDir dir;
};

TEST_F(Language, SettingsKeyChoosesTheTranslation)
{
    const std::pair<const char*, const char*> rows[] = {
        {nullptr, "en"}, {"", "en"}, {"English", "en"}, {"english", "zh-cn"}, {"Chinese", "zh-cn"}};
    for (auto [value, file] : rows) {
        choose(value);
        EXPECT_EQ(vexmorTranslationFile(), QString(":/Resources/lang/%1.qm").arg(file)) << (value ? value : "-");
    }
}

// With Chinese chosen the window comes up in Chinese, drawn in a CJK font.
TEST_F(Language, ChineseTransformPanelTitle)
{
    choose("Chinese");
    vexmorInitResources();
    QTranslator translator;
    ASSERT_TRUE(translator.load(vexmorTranslationFile()));
    QCoreApplication::installTranslator(&translator);
    {
        Vexmor w;
        w.show();
        ASSERT_TRUE(WaitUntilExposed(&w));
        w.setTransformShow(true);
        QStringList texts;
        for (QLabel* l : w.m_pTransformWidget->findChildren<QLabel*>())
            texts << l->text();
        EXPECT_TRUE(texts.contains(QString::fromUtf8("模型编辑"))) << texts.join('|').toStdString();
        EXPECT_EQ(w.m_mapBusyText.value("Slice"), QString::fromUtf8("正在生成切片"));
        EXPECT_FALSE(QFontDatabase().families(QFontDatabase::SimplifiedChinese).isEmpty());
        QTest::qWait(100);
        w.grab().save("main_window_chinese.png");
    }
    QCoreApplication::removeTranslator(&translator);
}

} // namespace
