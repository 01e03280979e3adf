#include "shell_fixture.h"

#include "../support/modal_answer.h"
#include "VEditRecipeWidget.h"
#include "VFixWidget.h"
#include "VImportWidgetX.h"
#include "VSaveWidgetX.h"
#include "VSliceWidgetX.h"
#include "VSupportWidgetX.h"
#include "VTransformEditWidget.h"
#include "frmDeviceInterfaceSettings.h"
#include "language.h"
#include "notices.h"

#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTranslator>

namespace {

using Stage = ShellFixture;

void setLanguage(const QTemporaryDir& dir, const QString& value)
{
    QSettings s(dir.filePath("VexmorMachine.ini"), QSettings::IniFormat);
    s.setValue("MachineConfig/Language", value);
}

TEST_F(Stage, EachSetterShowsExactlyItsPanel)
{
    struct Row { void (Vexmor::*setter)(bool); int panel; };
    // Panels(): slice, support, transform, repair, save.
    const Row rows[] = {{&Vexmor::setTransformShow, 2}, {&Vexmor::setFixShow, 3}, {&Vexmor::setSupportShow, 1},
                        {&Vexmor::setSliceShow, 0},     {&Vexmor::setPrintShow, 4}, {&Vexmor::setSliceShow, 0},
                        {&Vexmor::setTransformShow, 2}};
    for (const Row& r : rows) {
        (m_w.get()->*r.setter)(false);  // the argument is not read
        QWidget* panel = Panels()[r.panel];
        EXPECT_EQ(VisiblePanels(), QList<QWidget*>{panel}) << r.panel;
        // Still a child docked at the bottom-left corner (the slice panel too,
        // after its flag change).
        EXPECT_FALSE(panel->isWindow()) << r.panel;
        EXPECT_EQ(panel->pos(), QPoint(0, m_w->height() - panel->height())) << r.panel;
    }
    EXPECT_EQ(m_w->m_pSliceWidget->parentWidget(), m_w.get());

    // Panels off keeps the save panel; on again shows the page's panel.
    m_w->setPrintShow(true);
    m_w->slot_CtlWidgetDisp(false);
    EXPECT_EQ(VisiblePanels(), QList<QWidget*>{m_w->m_pSaveWidget});
    m_w->setFixShow(true);  // flag kept, nothing shown while panels are off
    EXPECT_EQ(VisiblePanels(), QList<QWidget*>{m_w->m_pSaveWidget});
    m_w->slot_CtlWidgetDisp(true);
    EXPECT_EQ(VisiblePanels(), QList<QWidget*>{m_w->m_pFixWidget});
}

TEST_F(Stage, RepairAndSliceMarkTheEarlierStagesOnce)
{
    QSignalSpy fix(m_w.get(), &Vexmor::signal_FixDone);
    m_w->navbarRepair();
    m_w->navbarRepair();
    EXPECT_EQ(fix.count(), 1);
    EXPECT_EQ(fix.first(), (QVariantList{0, 0, 0, 0}));
    m_w->layoutBarClicked(0);  // an edit drops the stages
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
    m_w->navbarPrint();
    EXPECT_TRUE(m_w->m_bPrintRequested);
    EXPECT_TRUE(m_w->m_bSliced);
    EXPECT_EQ(request.count(), 1);
    EXPECT_EQ(slices.count(), 1);
    ASSERT_TRUE(WaitFor([this] { return m_w->m_pSliceWidget->sliceState() == 1 && !m_w->isWorking(); }, 60000));
    m_w->m_bPrintRequested = false;
    m_w->navbarPrint();
    EXPECT_TRUE(m_w->m_bPrintRequested);
    EXPECT_EQ(request.count(), 1);
    EXPECT_EQ(slices.count(), 1);
}

// While any job runs the stage calls are refused; the print request, the
// duplicate and the stage name still go through.
TEST_F(Stage, RefusalsWhileWorking)
{
    LoadCube();
    m_w->setTransformShow(true);
    m_w->navbarClicked(1);
    int chooserCalls = 0;
    FileChooser::setOpenChooser([&](QWidget*, const QString&, const QString&, const QString&) {
        ++chooserCalls;
        return QString();
    });
    view()->scene()->SetPickModelPainter(view()->scene()->instances().first()->m_nNumber * 10);
    ASSERT_NE(view()->scene()->selectedInstance(), nullptr);

    // As the job slots set them; the print (no overlay) leaves Delete to the view.
    struct Job { std::function<void()> start; bool overlay; };
    const Job jobs[] = {
        {[this] { m_w->SetGuiBusy("Support", true); }, true},
        {[this] { m_w->SetGuiBusy("Slice", true); m_w->m_bSlicing = true; }, true},
        {[this] { m_w->m_bPrinting = true; }, false},
        {[this] { m_w->SetGuiBusy("Save", true); }, true},
    };
    for (size_t job = 0; job < std::size(jobs); ++job) {
        m_w->m_bRepaired = m_w->m_bSupported = m_w->m_bSliced = false;
        m_w->m_bPrintRequested = false;
        view()->scene()->SetPickModelPainter(view()->scene()->instances().first()->m_nNumber * 10);
        jobs[job].start();
        ASSERT_TRUE(m_w->isWorking()) << job;
        QSignalSpy fix(m_w.get(), &Vexmor::signal_FixDone);
        QSignalSpy nav(m_w.get(), &Vexmor::navIndexChanged);
        const int instances = view()->scene()->instances().size();

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
        EXPECT_EQ(m_w->m_nNavIndex, 1) << job;
        EXPECT_EQ(nav.count(), 0) << job;
        EXPECT_EQ(chooserCalls, 0) << job;
        EXPECT_EQ(fix.count(), 0) << job;
        EXPECT_FALSE(m_w->m_bRepaired || m_w->m_bSupported) << job;
        EXPECT_TRUE(m_w->bTransformShow && !m_w->bFixShow) << job;
        EXPECT_FALSE(m_w->m_pDeviceSettings->isVisible()) << job;
        EXPECT_EQ(view()->scene()->instances().size(), instances) << job;

        m_w->navbarPrint();
        EXPECT_TRUE(m_w->m_bPrintRequested) << job;
        EXPECT_FALSE(m_w->m_bSliced) << job;
        m_w->layoutBarClicked(3);
        EXPECT_EQ(view()->scene()->instances().size(), instances + 1) << job;
        m_w->SetNavBtn("Support");

        for (const char* key : {"Support", "Slice", "Save"})
            m_w->SetGuiBusy(key, false);
        m_w->m_bSlicing = m_w->m_bPrinting = false;
        EXPECT_FALSE(m_w->isWorking()) << job;
    }
    // Idle again: Delete removes the selected instance.
    const int instances = view()->scene()->instances().size();
    view()->scene()->SetPickModelPainter(view()->scene()->instances().first()->m_nNumber * 10);
    ASSERT_NE(view()->scene()->selectedInstance(), nullptr);
    QTest::keyClick(view(), Qt::Key_Delete);
    EXPECT_EQ(view()->scene()->instances().size(), instances - 1);
}

TEST_F(Stage, BusyTogglesTheSevenWidgetsOnly)
{
    const QList<QWidget*> seven = {m_w->m_pSupportWidget, m_w->m_pTransformWidget, m_w->m_pFixWidget,
                                   m_w->m_pSaveWidget,    m_w->m_pImportWidget,    m_w->m_pSliceWidget,
                                   m_w->m_pNavBar};
    const QList<QWidget*> untouched = {view(), m_w->m_pToolBar, m_w->ui.TitleWidget, m_w->ui.SetButton,
                                       m_w->ui.CloseButton, m_w->ui.ImportButton};
    struct Row { const char* key; bool busy; };
    for (const Row& r : {Row{"Slice", true}, Row{"Slice", false}, Row{"Unknown", true}, Row{"Unknown", false}}) {
        m_w->SetGuiBusy(r.key, r.busy);
        EXPECT_EQ(m_w->m_pBusyWidget->isVisible(), r.busy) << r.key;
        EXPECT_EQ(view()->deleteEnabled(), !r.busy) << r.key;
        for (QWidget* w : seven)
            EXPECT_EQ(w->isEnabled(), !r.busy) << r.key << " " << w->metaObject()->className();
        for (QWidget* w : untouched)
            EXPECT_TRUE(w->isEnabled()) << r.key << " " << w->metaObject()->className();
    }
    // Two jobs behind the overlay: Delete and the working state last until both end.
    m_w->SetGuiBusy("Support", true);
    m_w->SetGuiBusy("Save", true);
    m_w->SetGuiBusy("Save", false);
    EXPECT_FALSE(view()->deleteEnabled());
    EXPECT_TRUE(m_w->isWorking());
    m_w->SetGuiBusy("Support", false);
    EXPECT_TRUE(view()->deleteEnabled());
    EXPECT_FALSE(m_w->isWorking());
    // An unknown key shows the overlay with an empty text (and adds it to the map).
    EXPECT_TRUE(m_w->m_mapBusyText.contains("Unknown"));
    EXPECT_TRUE(m_w->m_mapBusyText.value("Unknown").isEmpty());
    EXPECT_EQ(m_w->m_mapBusyText.value("Slice"), "Slicing the scene");
}

TEST_F(Stage, DockingFollowsEveryResize)
{
    m_w->Trigger_Clicked_CancelMaximizeButon();
    m_w->setSupportShow(true);
    m_w->m_pSupportEditWidget->show();
    for (const QSize size : {QSize(800, 660), QSize(1300, 700), QSize(1024, 900)}) {
        m_w->resize(size);
        ASSERT_TRUE(WaitFor([&] { return m_w->size() == size; })) << size.width();
        const int W = m_w->width(), H = m_w->height();
        for (QWidget* p : Panels())
            EXPECT_EQ(p->pos(), QPoint(0, H - p->height())) << W << " " << p->metaObject()->className();
        EXPECT_EQ(m_w->m_pSupportEditWidget->geometry().bottom() + 1, m_w->m_pSupportWidget->y()) << W;
        EXPECT_EQ(m_w->m_pSupportEditWidget->x(), 0);
        EXPECT_EQ(m_w->m_pBusyWidget->pos(), QPoint(W + 10 - m_w->m_pBusyWidget->width(), 200)) << W;
        EXPECT_EQ(m_w->m_pNavBar->pos(), QPoint(0, 0));
        EXPECT_EQ(m_w->m_pToolBar->pos(), QPoint(94, 70));
    }
}

TEST_F(Stage, ImportSetAndRecipeEditorAreReachable)
{
    m_w->ui.ImportButton->click();
    EXPECT_TRUE(m_w->m_pImportWidget->isVisible());
    m_w->ui.SetButton->click();
    EXPECT_TRUE(m_w->m_pDeviceSettings->isVisible());
    m_w->setPrintShow(true);
    auto* newEdit = m_w->m_pSaveWidget->findChild<QPushButton*>("NewEditButton");
    ASSERT_NE(newEdit, nullptr);
    newEdit->click();
    EXPECT_TRUE(m_w->m_pRecipeWidget->isVisible());
}

// A cube walked through the stages by clicks on the navigation bar.
TEST_F(Stage, NavigationBarWalksACubeThroughEveryStage)
{
    LoadCube();
    ASSERT_TRUE(WaitFor([this] { return NavItem("saveButton") != nullptr; }));
    QTest::qWait(400);  // the row's slide-in
    ModalAnswers answers;

    // A few pixels: the stage row over the light view, the translucent plate
    // darker than the view at the bottom left.
    auto shoot = [this](const char* name, QWidget* panel) {
        const QImage shot = m_w->grab().toImage();
        shot.save(QString("stage_%1.png").arg(name));
        QQuickItem* save = NavItem("saveButton");
        const QPoint onSave = m_w->m_pNavBar->mapTo(
            m_w.get(), save->mapToScene(QPointF(save->width() / 2, save->height() / 2)).toPoint());
        const QPoint viewTop = view()->mapTo(m_w.get(), QPoint(view()->width() / 2, 5));
        EXPECT_GT(qGray(shot.pixel(viewTop)), 200) << name;
        int dark = 0;
        for (int dy = -20; dy <= 20; dy += 4)
            for (int dx = -20; dx <= 20; dx += 4)
                dark += qGray(shot.pixel(onSave + QPoint(dx, dy))) < 120;
        EXPECT_GT(dark, 40) << name;  // the Save button's dark picture
        const QPoint inPlate = panel->mapTo(m_w.get(), QPoint(panel->width() - 6, panel->height() - 6));
        EXPECT_LT(qGray(shot.pixel(inPlate)), 190) << name;
        EXPECT_GT(qGray(shot.pixel(inPlate)), 40) << name;  // translucent, not black
    };

    struct Row { const char* button; QWidget* panel; const char* stage; };
    const Row rows[] = {{"editButton", m_w->m_pTransformWidget, "edit"}, {"fixButton", m_w->m_pFixWidget, "fix"},
                        {"supportButton", m_w->m_pSupportWidget, "support"},
                        {"sliceButton", m_w->m_pSliceWidget, "slice"}};
    for (const Row& r : rows) {
        ASSERT_TRUE(ClickNav(r.button)) << r.button;
        EXPECT_EQ(VisiblePanels(), QList<QWidget*>{r.panel}) << r.button;
        shoot(r.stage, r.panel);
    }
    EXPECT_TRUE(m_w->m_bRepaired && m_w->m_bSupported);

    // Save before slicing: back to Slice with the notice.
    ASSERT_TRUE(ClickNav("saveButton"));
    ASSERT_TRUE(WaitFor([&] { return !answers.texts.isEmpty(); }));
    EXPECT_EQ(answers.texts, QStringList{"Please slice before saving the job!"});
    EXPECT_EQ(VisiblePanels(), QList<QWidget*>{m_w->m_pSliceWidget});
    EXPECT_FALSE(NavItem("saveButton")->property("checked").toBool());
    EXPECT_TRUE(NavItem("sliceButton")->property("checked").toBool());

    m_w->m_pSliceWidget->slot_HandleSliceReq();
    ASSERT_TRUE(WaitFor([this] { return m_w->m_pSliceWidget->sliceState() == 1 && !m_w->isWorking(); }, 60000));
    ASSERT_TRUE(ClickNav("saveButton"));
    EXPECT_EQ(VisiblePanels(), QList<QWidget*>{m_w->m_pSaveWidget});
    EXPECT_TRUE(m_w->m_bPrintRequested);
    EXPECT_TRUE(NavItem("saveButton")->property("checked").toBool());
    shoot("save", m_w->m_pSaveWidget);
    EXPECT_EQ(answers.texts.size(), 1);
}

// Closing while the print file is written waits for the writer: the file is
// then whole or not there.
TEST_F(Stage, ClosingWhileAPrintFileIsWrittenEndsCleanly)
{
    LoadCube();
    m_w->m_pSliceWidget->slot_HandleSliceReq();
    ASSERT_TRUE(WaitFor([this] { return m_w->m_pSliceWidget->sliceState() == 1 && !m_w->isWorking(); }, 60000));
    const QString out = m_dir.filePath("out");
    ASSERT_TRUE(QDir().mkpath(out));
    ASSERT_TRUE(QDir().mkpath(m_w->jobFolder()));
    view()->SetSaveFilePath(out);
    view()->SetSaveFileName(out + "/cube." + view()->GetFileType());
    auto written = [&] { return QDir(out).entryList(QDir::Files); };

    QSignalSpy done(&m_w->m_dataThread, &MyThread2::signal_PrintDataReady);
    m_w->slot_GenPrintData();
    EXPECT_TRUE(m_w->isWorking());
    ASSERT_TRUE(WaitFor([&] { return done.count() == 1; }, 60000));
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_w->isWorking());
    ASSERT_EQ(written().size(), 1) << written().join(' ').toStdString();
    const QString path = out + "/" + written().first();
    QFile whole(path);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray expected = whole.readAll();
    whole.close();
    ASSERT_GT(expected.size(), 0);
    ASSERT_TRUE(QFile::remove(path));

    m_w->slot_GenPrintData();
    m_w->close();
    m_w.reset();
    // No temporary left behind either.
    EXPECT_LE(written().size(), 1);
    QFile after(path);
    if (after.open(QIODevice::ReadOnly))
        EXPECT_EQ(after.readAll(), expected);
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
        EXPECT_EQ(VisiblePanels(), QList<QWidget*>{rows[i].shown}) << i;
        EXPECT_FALSE(m_w->m_bPrintRequested && rows[i].ch == 4) << i;
    }
}

TEST(Language, SettingsKeyChoosesTheTranslation)
{
    QTemporaryDir dir;
    qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
    struct Row { const char* value; const char* file; };
    const Row rows[] = {{nullptr, "en"}, {"", "en"}, {"English", "en"}, {"english", "zh-cn"}, {"Chinese", "zh-cn"}};
    for (const Row& r : rows) {
        QFile::remove(dir.filePath("VexmorMachine.ini"));
        if (r.value)
            setLanguage(dir, QString::fromUtf8(r.value));
        EXPECT_EQ(vexmorTranslationFile(), QString(":/Resources/lang/%1.qm").arg(r.file)) << (r.value ? r.value : "-");
    }
    qunsetenv("VEXMOR_CONFIG_DIR");
}

// With Chinese chosen the window comes up in Chinese.
TEST(Language, ChineseTransformPanelTitle)
{
    QTemporaryDir dir;
    qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
    setLanguage(dir, "Chinese");
    vexmorInitResources();
    QTranslator translator;
    ASSERT_TRUE(translator.load(vexmorTranslationFile()));
    QCoreApplication::installTranslator(&translator);
    {
        Vexmor w;
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.setTransformShow(true);
        QStringList texts;
        for (QLabel* l : w.m_pTransformWidget->findChildren<QLabel*>())
            texts << l->text();
        EXPECT_TRUE(texts.contains(QString::fromUtf8("模型编辑"))) << texts.join('|').toStdString();
        EXPECT_EQ(w.m_mapBusyText.value("Slice"), QString::fromUtf8("正在生成切片"));
        // A CJK font draws the texts (fonts-wqy-microhei), not empty boxes.
        EXPECT_FALSE(QFontDatabase().families(QFontDatabase::SimplifiedChinese).isEmpty());
        QTest::qWait(100);
        w.grab().save("main_window_chinese.png");
    }
    QCoreApplication::removeTranslator(&translator);
    qunsetenv("VEXMOR_CONFIG_DIR");
}

} // namespace
