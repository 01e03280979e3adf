#include "DlpCtlDialog.h"
#include "VEditModeWidget.h"
#include "VEditRecipeWidget.h"
#include "VImportWidgetX.h"
#include "VSaveWidgetX.h"
#include "VSupportWidgetX.h"
#include "VTransformEditWidget.h"
#include "VViewControlFrame.h"
#include "displaystandin.h"
#include "e2e_fixture.h"
#include "frmDLP.h"
#include "frmDeviceInterfaceSettings.h"
#include "modal_answer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMetaMethod>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

namespace {

// QObject::receivers is protected; reached through a derived class's name.
struct ReceiverCount : QObject
{
    using QObject::receivers;
};

template <typename Signal>
int connections(const QObject* sender, Signal signal)
{
    const QByteArray name = "2" + QMetaMethod::fromSignal(signal).methodSignature();
    return (sender->*&ReceiverCount::receivers)(name.constData());
}

class Wiring : public MainWindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowTest::SetUp());
        DisplayStandIn::setModeSwitch([] {});
    }
    void TearDown() override
    {
        DisplayStandIn::setScreenSource({});
        DisplayStandIn::setModeSwitch({});
        MainWindowTest::TearDown();
    }
};

TEST_F(Wiring, EachSignalHasOneConnectionPerRow)
{
    Vexmor w;
    VSLGLView* view = w.ui.GLWidget;
    DLP::BuildManager* runner = &w.m_printThread.m_runner;
    struct Row { const char* rows; int expected, actual; };
    const Row table[] = {
        {"1", 1, connections(view, &VSLGLView::signal_DisableSlice)},
        {"2 3", 2, connections(w.m_pEditMode, &VEditModeWidget::signal_SendEditMode)},
        {"4", 1, connections(w.m_pTransformWidget, &VTransformEditWidget::signal_SendEditData)},
        {"5", 1, connections(view, &VSLGLView::signal_SendEditList)},
        {"6", 1, connections(view, &VSLGLView::signal_RequestScaleValue)},
        {"7", 1, connections(w.m_pTransformWidget, &VTransformEditWidget::signal_SendScaleValue)},
        {"8 21, and the tool bar's QML", 3, connections(view, &VSLGLView::signal_ShowHideEditControl)},
        {"9", 1, connections(w.m_pViewControl, &VViewControlFrame::signal_ViewControl)},
        {"10", 1, connections(view, &VSLGLView::signal_AllModelDel)},
        {"11 12 46a", 3, connections(&w, &Vexmor::signal_DlpEditStatChanged)},
        {"13", 1, connections(view, &VSLGLView::sig_LoadFileDone)},
        {"14", 1, connections(w.m_pSupportWidget, &VSupportWidgetX::sig_GenSupport)},
        {"15", 1, connections(view, &VSLGLView::sig_GenSupportDone)},
        {"16", 1, connections(w.m_pSupportWidget, &VSupportWidgetX::sig_RemoveSupport)},
        {"17 18", 2, connections(w.m_pSupportWidget, &VSupportWidgetX::sig_EditSupport)},
        {"19 20", 2, connections(w.m_pSupportEditWidget, &VSupportWidgetEditX::sig_EditSupport)},
        {"22", 1, connections(w.m_pSliceWidget, &VSliceWidgetX::sig_SliceScene)},
        {"23", 1, connections(view, &VSLGLView::sig_SliceSceneDone)},
        {"24", 1, connections(w.m_pSaveWidget, &VSaveWidgetX::signal_PrintDataGenerate)},
        {"25", 1, connections(&w.m_dataThread, &MyThread2::signal_PrintDataReady)},
        {"26", 1, connections(w.m_pImportWidget, &VImportWidgetX::signal_ExportData)},
        {"27", 1, connections(w.m_pImportWidget->m_pExportThread, &ExportThread::signal_ExportDataDone)},
        {"28", 1, connections(w.m_pSaveWidget, &VSaveWidgetX::signal_SendStartPrint)},
        {"29", 1, connections(w.m_pSaveWidget, &VSaveWidgetX::signal_SendCancelPrint)},
        {"30", 1, connections(w.m_pSaveWidget, &VSaveWidgetX::signal_emermencyStop)},
        {"31", 1, connections(w.m_pDlpCtlDialog, &DlpCtlDialog::signal_para)},
        {"32", 1, connections(runner, &DLP::BuildManager::signal_curLayer)},
        {"33 34", 2, connections(runner, &DLP::BuildManager::signal_printDone)},
        {"34a", 1, connections(runner, &DLP::BuildManager::signal_printEnded)},
        {"35", 1, connections(&w, &Vexmor::signal_SliceChanged)},
        {"36", 1, connections(&w, &Vexmor::signal_FixDone)},
        {"37", 1, connections(w.m_pSliceWidget, &VSliceWidgetX::signal_duplicateSelectedModel)},
        {"38", 1, connections(w.m_pTransformWidget, &VTransformEditWidget::signal_duplicateSelectedModel)},
        {"39", 1, connections(&w, &Vexmor::signal_DuplicateSelectedModelDone)},
        {"40", 1, connections(&w, &Vexmor::signal_ReqSliceWidget)},
        {"41", 1, connections(&w, &Vexmor::signal_slc_layerthick)},
        {"42", 1, connections(w.m_pDeviceSettings, &frmDeviceInterfaceSettings::signal_machineConfig)},
        {"43", 1, connections(w.m_pDlpCtlDialog, &DlpCtlDialog::signal_exposure_select)},
        {"44", 1, connections(w.m_pDlpCtlDialog, &DlpCtlDialog::signal_pictureOpen)},
        {"45", 1, connections(view, &VSLGLView::sig_SceneStatusChanged)},
        {"46 46a", 2, connections(&w, &Vexmor::signal_SliceStatChanged)},
        {"47", 1, connections(w.m_pHelpButton, &QAbstractButton::clicked)},
        {"edit mode to the tool row", 1, connections(view, &VSLGLView::signal_EditModeChanged)},
        {"a drop takes the open road", 1, connections(view, &VSLGLView::sig_FileDropped)},
    };
    for (const Row& r : table)
        EXPECT_EQ(r.actual, r.expected) << "rows " << r.rows;
}

// The links the assembly makes between the recipe editor, the save panel,
// the converter and the printer-model dialog.
TEST_F(Wiring, PanelsLearnEachOther)
{
    Vexmor w;
    const std::pair<const void*, const void*> links[] = {
        {w.m_pRecipeWidget->m_store.m_pSaveWidget, static_cast<RecipePanel*>(w.m_pSaveWidget)},
        {w.m_pRecipeWidget->m_store.m_pImportWidget, static_cast<RecipePanel*>(w.m_pImportWidget)},
        {w.m_pSaveWidget->m_pImportWidget, w.m_pImportWidget},
        {w.m_pImportWidget->m_pSaveWidget, w.m_pSaveWidget},
        {w.m_pImportWidget->m_pDeviceSettings, w.m_pDeviceSettings},
    };
    for (size_t i = 0; i < std::size(links); ++i) {
        EXPECT_NE(links[i].second, nullptr) << i;
        EXPECT_EQ(links[i].first, links[i].second) << i;
    }
}

TEST_F(Wiring, BothSupportEditRowsGetTheSameFlags)
{
    Vexmor w;
    w.show();
    QSignalSpy toView(w.ui.GLWidget, &VSLGLView::sig_EditSupport);
    for (bool freeze : {true, false}) {
        emit w.m_pSupportWidget->sig_EditSupport(freeze, !freeze, {});
        ASSERT_EQ(toView.count(), 1);
        EXPECT_EQ(toView.takeFirst().at(0).toBool(), freeze);
        // Row 18: the window freezes the panels with the same flag.
        EXPECT_EQ(w.m_pSupportEditWidget->isVisible(), freeze);
        EXPECT_EQ(w.m_pSupportWidget->isEnabled(), !freeze);
        EXPECT_EQ(w.m_pNavBar->isEnabled(), !freeze);
    }
}

TEST_F(Wiring, ThePanelHearsThePrintEndBeforeTheWindow)
{
    Vexmor w;
    w.m_pSaveWidget->m_nPrintTarget = 0;
    w.m_bPrinting = true;
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen << box->text() + (w.m_bPrinting ? "|printing" : "|done");
            box->reject();
        }
    });
    poll.start(1);
    emit w.m_printThread.m_runner.signal_printEnded(int(DLP::PrintEnd::Completed), QString());
    emit w.m_printThread.m_runner.signal_printDone();
    EXPECT_EQ(seen, QStringList{"Printing Complete|printing"}); // row 33 ran first
    EXPECT_FALSE(w.m_bPrinting);                                 // then row 34
}

TEST_F(Wiring, JobFolderAndGcodePathFollowTheOpenedFile)
{
    struct Case { const char* file; QString folder, gcode; };
    const Case cases[] = {
        {"a.b.c.stl", work.filePath("a"), work.filePath("a/a.gcode")},
        {".hidden.stl", QString(), QString()}, // no base name: no job path at all
    };
    for (const Case& c : cases) {
        openAnswer = work.filePath(c.file);
        ASSERT_TRUE(testmesh::WriteFile(openAnswer, testmesh::BinaryStl(testmesh::Cube(5.f))));
        Vexmor w;
        w.slot_OpenAction();
        ASSERT_EQ(w.ui.GLWidget->scene()->instances().size(), 1) << c.file;
        EXPECT_EQ(w.jobFolder(), c.folder) << c.file;
        EXPECT_EQ(w.gcodePath(), c.gcode) << c.file;
    }
}

TEST_F(Wiring, SaveLabelGetsMicrometresOfEachSliderThickness)
{
    Vexmor w;
    auto* slider = w.m_pSliceWidget->findChild<QSlider*>("HSlider_Thick");
    auto* label = w.m_pSaveWidget->findChild<QLabel*>("LayerThickLabel");
    int steps = 0;
    for (int v = slider->minimum(); v <= slider->maximum(); ++v, ++steps) {
        slider->setValue(v);
        w.slot_SliceSceneDone(3);
        EXPECT_EQ(label->text(), QString::number(v * 5) + "um") << v;
    }
    EXPECT_EQ(steps, 19);
}

TEST_F(Wiring, ModelSwitchReachesEveryPart)
{
    Vexmor w;
    w.show();
    QSignalSpy clickSlice(&w, &Vexmor::navbarClickSlice);
    ModalAnswers modal;
    const auto table = frmDeviceInterfaceSettings::machineParaTable();
    QStringList names = table.keys();
    names << "NoSuchPrinter";
    const QMap<QString, int> codes = {{"Pellar10", 10}, {"Pellar4Kmono", 4500}};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString applied = table.contains(name) ? name : QString("Pellar10");
        const auto row = table.value(applied);
        w.m_bSliced = true;
        // The save panel shown for one switch, the slice panel for the others.
        if (name == "Pellar30")
            w.setPrintShow(true);
        else
            w.setSliceShow(true);
        ASSERT_EQ(w.m_pSaveWidget->isVisible(), name == "Pellar30");
        const int clicksBefore = clickSlice.count();
        emit w.m_pDeviceSettings->signal_machineConfig(name);
        const DLP::SliceBuildConfig& c = w.m_buildConfig;
        EXPECT_TRUE(c.XResolution == int(row.xResolution) && c.YResolution == int(row.yResolution) &&
                    c.DotsPermmX > 0 && c.MachineHeight == float(row.zHeight));
        VSL3DScene* scene = w.ui.GLWidget->scene();
        EXPECT_TRUE(scene->m_strMachineName == applied && w.ui.label_sts->text() == applied);
        EXPECT_EQ(scene->m_nMachineCode, codes.value(applied, scene->m_nMachineCode));
        EXPECT_TRUE(scene->m_strFileType == row.fileType && scene->m_bImageRotate == row.rotate);
        EXPECT_EQ(w.ui.CtlButton->isVisible(), applied == "Pellar120");
        EXPECT_NE(w.m_pSliceWidget->sliceState(), 1);
        // With the save panel shown the bar is sent to the slice stage (which
        // marks the stage itself); otherwise the slice is only marked stale.
        EXPECT_EQ(clickSlice.count() - clicksBefore, name == "Pellar30" ? 1 : 0);
        EXPECT_TRUE(name == "Pellar30" || !w.m_bSliced);
    }
    // The bar's answer to the one switch with the save panel shown.
    EXPECT_EQ(modal.texts, QStringList{"Please slice before saving the job!"});
}

// The network printer page is a window of its own: it opens over the main
// window, below its title bar (with the button that hides it again), and it
// goes with the main window, or the program would run on with no window left.
TEST_F(Wiring, NetworkPrinterPageOpensOverTheMainWindowAndClosesWithIt)
{
    Vexmor w;
    w.setGeometry(0, 0, 1280, 720);
    w.show();
    emit w.m_pDeviceSettings->signal_machineConfig("Pellar120");
    ASSERT_TRUE(w.ui.CtlButton->isVisible());
    QWidget& page = w.m_pSaveWidget->m_webForm;
    QTest::mouseClick(w.ui.CtlButton, Qt::LeftButton);
    ASSERT_TRUE(page.isVisible());
    const QRect main = w.frameGeometry(), opened = page.frameGeometry();
    EXPECT_TRUE(main.contains(opened.center(), true)) << opened.x() << "," << opened.y();
    const QPoint button = w.ui.CtlButton->mapTo(&w, w.ui.CtlButton->rect().center()) + main.topLeft();
    EXPECT_FALSE(opened.contains(button));
    QTest::mouseClick(w.ui.CtlButton, Qt::LeftButton);
    EXPECT_FALSE(page.isVisible());
    QTest::mouseClick(w.ui.CtlButton, Qt::LeftButton);
    ASSERT_TRUE(page.isVisible());
    EXPECT_EQ(page.frameGeometry().topLeft(), opened.topLeft());
    // The main window moved: the page opens over it again.
    QTest::mouseClick(w.ui.CtlButton, Qt::LeftButton);
    w.move(w.pos() + QPoint(200, 150));
    QTest::mouseClick(w.ui.CtlButton, Qt::LeftButton);
    ASSERT_TRUE(page.isVisible());
    EXPECT_EQ(page.frameGeometry().topLeft(), opened.topLeft() + QPoint(200, 150));
    // A printer without the page takes the page away with its button.
    emit w.m_pDeviceSettings->signal_machineConfig("Pellar10");
    EXPECT_FALSE(w.ui.CtlButton->isVisible());
    EXPECT_FALSE(page.isVisible());
    emit w.m_pDeviceSettings->signal_machineConfig("Pellar120");
    QTest::mouseClick(w.ui.CtlButton, Qt::LeftButton);
    ASSERT_TRUE(page.isVisible());

    // The application ends when no window that quits on close is left shown.
    w.close();
    EXPECT_FALSE(page.isVisible());
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_FALSE(window->isVisible() && window->testAttribute(Qt::WA_QuitOnClose)) << window->objectName().toStdString();
}

TEST_F(Wiring, ProjectorGoesBesideThePrimaryScreen)
{
    struct Case { const char* name; DisplayStandIn::Screens screens; QPoint expected; };
    DisplayStandIn::Screens one;
    one.geometries << QRect(0, 0, 1920, 1080);
    DisplayStandIn::Screens two; // the primary listed second
    // Widths beyond the real Xvfb screen, which would otherwise take the window.
    two.geometries << QRect(0, 0, 1280, 1024) << QRect(1280, 0, 2560, 1440);
    two.primary = 1;
    DisplayStandIn::Screens twelve;
    for (int i = 0; i < 12; ++i)
        twelve.geometries << QRect(i * 2000, 0, 2000 + i, 700);
    twelve.primary = 11;
    const Case cases[] = {{"one", one, {1920, 0}}, {"two", two, {2560, 0}}, {"twelve", twelve, {2011, 0}}};
    for (const Case& c : cases) {
        DisplayStandIn::setScreenSource([&] { return c.screens; });
        Vexmor w;
        w.ShowDLPScreen();
        frmDLP* projector = w.m_printThread.m_runner.projector();
        EXPECT_TRUE(projector->isVisible() && projector->pos() == c.expected) << c.name;
        w.CloseDLPScreen();
        EXPECT_FALSE(projector->isVisible()) << c.name;
    }
}

} // namespace
