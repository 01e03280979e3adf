#include "Vexmor.h"

#include "FileChooser.h"
#include "HelpDialog.h"
#include "VEditModeWidget.h"
#include "VEditRecipeWidget.h"
#include "VFixWidget.h"
#include "VImportWidgetX.h"
#include "VResizeHint.h"
#include "VSLGLView.h"
#include "VSaveWidgetX.h"
#include "VSliceWidgetX.h"
#include "VSupportWidgetX.h"
#include "VTransformEditWidget.h"
#include "VViewControlFrame.h"
#include "DlpCtlDialog.h"
#include "displaystandin.h"
#include "frmDLP.h"
#include "frmDeviceInterfaceSettings.h"
#include "notices.h"
#include "panelstyle.h"
#include "ownedfile.h"
#include "printfile/printermodels.h"
#include "printfile/printjobinput.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QQmlContext>
#include <QQuickWidget>
#include <QScreen>
#include <QSurfaceFormat>
#include <QTimer>
#include <QToolButton>
#include <QtDebug>

Vexmor::Vexmor(QWidget* parent)
    : QDialog(parent)
{
    vexmorInitResources();
    qRegisterMetaType<emVexmorEditStat>("emVexmorEditStat");
    m_strBoxStyle = QStringLiteral(
        "*{ font:bold 9pt \"Arial\"; background-color:rgb(100, 100, 100); color:rgb(255,255,255); }"
        "                         QPushButton {background-color:rgb(238,236,234); color:rgb(19,29,33); "
        "border-radius:5px; min-width:60px; max-width:60px;}"
        "                         QPushButton:pressed{background-color:rgb(170,170,170); color:rgb(65,65,65);}");

    // 2. Geometry keeper and edit-mode object.
    m_pResizeHint = new VResizeHint;
    m_pEditMode = new VEditModeWidget(nullptr);
    m_pDlpCtlDialog = new DlpCtlDialog(this);
    m_pDlpCtlDialog->hide();

    // 3. The view's context takes the default format. Start-up has set it
    // already; setting it again once the shared context exists only warns.
    if (QSurfaceFormat::defaultFormat() != VSLGLView::ViewSurfaceFormat())
        QSurfaceFormat::setDefaultFormat(VSLGLView::ViewSurfaceFormat());

    // 4-7. Frame.
    setMouseTracking(true);
    setWindowIcon(QIcon(QStringLiteral(":/Resources/DunewayPng.png")));
    ui.setupUi(this);
    ui.label_LOGO->setStyleSheet(QStringLiteral("border-image: url(:/Resources/Vexmor.png);"));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    setGeometry(50, 50, 1600, 900);
    setMinimumSize(800, 660);
    setMouseTracking(true);
    // A hidden window gets no resize event before it is maximised: seed the
    // normal geometry with the one just set.
    m_pResizeHint->m_rcNormal = QRect(50, 50, 1600, 900);
    ui.TitleWidget->setResizeHint(m_pResizeHint);
    ui.MaximizeButton_2->hide();
    connect(ui.TitleWidget, &VTitleWidget::signal_MaxiumWindow, this, &Vexmor::slot_Maximize);
    connect(ui.TitleWidget, &VTitleWidget::signal_MoveWindow, this, &Vexmor::slot_MoveWindow);

    // 8-9. View controls and help button.
    m_pViewControl = new VViewControlFrame(this);
    m_pViewControl->show();
    m_pHelpButton = new QToolButton(this);
    m_pHelpButton->setText(QStringLiteral("?"));
    m_pHelpButton->setToolTip(tr("Help"));
    m_pHelpButton->setStyleSheet(QStringLiteral(
        "QToolButton {min-width: 38px;max-width: 38px;min-height: 38px;max-height: 38px;border-radius: 19px;"
        "background-color: green;background-color: rgb(65, 65, 65);font: bold 20pt 'Microsoft YaHei UI';"
        "color: rgb(112, 111, 111);}QToolButton:hover{color: white;}QToolButton:pressed{background-color: rgb(40, "
        "40, 40);}"));
    m_pHelpButton->show();

    // 10. Panels, hidden.
    VSLGLView* view = ui.GLWidget;
    // Slice tells of what would start in mid-air.
    view->scene()->setCountSliceIslands(true);
    m_pTransformWidget = new VTransformEditWidget(this);
    m_pSliceWidget = new VSliceWidgetX(view, m_buildConfig, this);
    m_pSliceWidget->hide();
    m_pSupportWidget = new VSupportWidgetX(this);
    m_pSupportWidget->hide();
    m_pSupportEditWidget = new VSupportWidgetEditX(this);
    m_pSupportEditWidget->hide();
    m_pFixWidget = new VFixWidget(this);
    m_pFixWidget->hide();
    m_pDeviceSettings = new frmDeviceInterfaceSettings(this);
    m_pDeviceSettings->hide();
    m_pRecipeWidget = new VEditRecipeWidget(this);
    m_pRecipeWidget->hide();
    m_pRecipeWidget->setMachine(m_pDeviceSettings->m_machineType);
    m_pRecipeWidget->readIniFileX();
    m_pImportWidget = new VImportWidgetX(view, m_pRecipeWidget, m_buildConfig, this);
    m_pImportWidget->hide();
    m_pSaveWidget = new VSaveWidgetX(view, m_pRecipeWidget, m_buildConfig, this);
    m_pSaveWidget->hide();

    // 11. Links.
    m_pRecipeWidget->setPanels(m_pSaveWidget, m_pImportWidget);
    m_pSaveWidget->m_pImportWidget = m_pImportWidget;
    m_pImportWidget->m_pSaveWidget = m_pSaveWidget;
    m_pImportWidget->m_pDeviceSettings = m_pDeviceSettings;

    // 12-13.
    ui.SetButton->show();
    ui.SaveButton->hide();
    ui.CtlButton->hide();
    m_pHelpDialog = new HelpDialog(this, m_pDeviceSettings);

    // 14. The current printer model, before any connection exists.
    slot_updateMachineConfig(m_pDeviceSettings->m_machineType);

    // 15-16.
    m_pBusyWidget = new BusyWidget(this);
    m_pBusyWidget->hide();
    m_bPrinting = false;
    m_bShowPanels = true;
    QFile qss(QStringLiteral(":/Resources/qss/widget.qss"));
    if (qss.open(QIODevice::ReadOnly))
        PanelStyle::apply(m_pSaveWidget, QString::fromUtf8(qss.readAll()));

    // 17. The QML bars over the view.
    m_pNavBar = new QQuickWidget(view);
    m_pNavBar->rootContext()->setContextProperty(QStringLiteral("dlpUI"), this);
    m_pToolBar = new QQuickWidget(view);
    m_pToolBar->rootContext()->setContextProperty(QStringLiteral("dlpUI"), this);
    m_pToolBar->rootContext()->setContextProperty(QStringLiteral("dlpView"), view);
    for (auto [bar, source] : {std::pair{m_pNavBar, "qrc:/Resources/Qml/navbar.qml"},
                               std::pair{m_pToolBar, "qrc:/Resources/Qml/toolbar.qml"}}) {
        bar->setAttribute(Qt::WA_AlwaysStackOnTop);
        bar->setClearColor(Qt::transparent);
        bar->setResizeMode(QQuickWidget::SizeViewToRootObject);
        bar->setSource(QUrl(QString::fromLatin1(source)));
    }

    // 18-20.
    InitButtonID();
    InitConnections();
    m_pDlpCtlDialog->sendPara();
    Trigger_Clicked_MaximizeButton();
    m_bSlicing = false;
    m_bSlcLoaded = false;
    m_mapBusyText[QStringLiteral("Load")] = tr("Loading model file");
    m_mapBusyText[QStringLiteral("Save")] = tr("Saving slice file");
    m_mapBusyText[QStringLiteral("Support")] = tr("Generating supports");
    m_mapBusyText[QStringLiteral("Slice")] = tr("Slicing the scene");
    m_mapBusyText[QStringLiteral("Check")] = tr("Checking the model");

    // Settings files refused or set aside, before and after the window is
    // up: told once the event loop runs, never from inside a reader.
    OwnedFile::setUserNotifier([this](const QString& message) {
        QMetaObject::invokeMethod(this, [this, message] { showSettingsNotice({message}); }, Qt::QueuedConnection);
    });
    QTimer::singleShot(0, this, [this] { showSettingsNotice(OwnedFile::takeUntoldMessages()); });
}

void Vexmor::showSettingsNotice(const QStringList& messages)
{
    if (!messages.isEmpty())
        showBox(tr("A settings file was not used as it is."), messages.join(QStringLiteral("\n\n")));
}

void Vexmor::waitServingScene(QThread* job)
{
    // A job hands its scene reads to this thread and blocks until they ran:
    // a plain wait here would never return.
    QObject* scene = ui.GLWidget->scene();
    while (!job->wait(10))
        QCoreApplication::sendPostedEvents(scene, QEvent::MetaCall);
}

Vexmor::~Vexmor()
{
    OwnedFile::setUserNotifier({});
    // Jobs end before what they use goes. The print gets its normal cancel
    // and a bounded wait (a printer that stopped answering must not hang the
    // exit); the print-data job is waited for while its scene calls are served.
    if (m_printThread.m_runner.projector())
        m_printThread.m_runner.projector()->close();
    m_printThread.stopAndWait(10000);
    waitServingScene(&m_dataThread);
    if (m_pImportWidget && m_pImportWidget->m_pExportThread)
        waitServingScene(m_pImportWidget->m_pExportThread);
    delete m_pResizeHint;
    delete m_pEditMode;
}

void Vexmor::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    if (!event->isAccepted())
        return;
    // The program ends with its last window: a window of its own left open
    // (the network printer page) would keep it running with no way back.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible())
            window->close();
}

void Vexmor::InitButtonID()
{
    const std::pair<QAbstractButton*, int> ids[] = {
        {ui.SetButton, 0},    {ui.MinimizeButton, 1}, {ui.MaximizeButton, 2}, {ui.MaximizeButton_2, 3},
        {ui.CloseButton, 4},  {ui.ImportButton, 6},   {ui.SaveButton, 7},     {ui.RemoveButton, 8},
        {ui.CtlButton, 9},
    };
    for (auto [button, id] : ids)
        ui.buttonGroup->setId(button, id);
    m_mapButtons[0] = &Vexmor::Trigger_Clicked_SettingButton;
    m_mapButtons[1] = &Vexmor::Trigger_Clicked_MinimizeButton;
    m_mapButtons[2] = &Vexmor::Trigger_Clicked_MaximizeButton;
    m_mapButtons[3] = &Vexmor::Trigger_Clicked_CancelMaximizeButon;
    m_mapButtons[4] = &Vexmor::Trigger_Clicked_CloseButton;
    m_mapButtons[6] = &Vexmor::slot_ImportAction;
    m_mapButtons[7] = &Vexmor::slot_SaveAction;
    m_mapButtons[8] = &Vexmor::slot_RemoveActioin;
    m_mapButtons[9] = &Vexmor::slot_DlpCtrlAction;
    connect(ui.buttonGroup, &QButtonGroup::idClicked, this, &Vexmor::slot_Button_Clicked);
}

void Vexmor::InitConnections()
{
    VSLGLView* view = ui.GLWidget;
    auto check = [](const QMetaObject::Connection& c, const char* row) {
        if (!c)
            qCritical() << "connection failed:" << row;
    };
    check(connect(view, &VSLGLView::signal_DisableSlice, this, &Vexmor::allModelsDeleted), "1");
    check(connect(m_pEditMode, &VEditModeWidget::signal_SendEditMode, view, &VSLGLView::slot_ReceiveEditList), "2");
    check(connect(m_pEditMode, &VEditModeWidget::signal_SendEditMode, m_pTransformWidget,
                  &VTransformEditWidget::slot_ReceiveEditList), "3");
    check(connect(m_pTransformWidget, &VTransformEditWidget::signal_SendEditData, view,
                  &VSLGLView::slot_ReceiveEditList), "4");
    check(connect(view, &VSLGLView::signal_SendEditList, m_pTransformWidget,
                  &VTransformEditWidget::slot_ReceiveEditList), "5");
    check(connect(view, &VSLGLView::signal_RequestScaleValue, m_pTransformWidget,
                  &VTransformEditWidget::slot_EmitScaleValue), "6");
    check(connect(m_pTransformWidget, &VTransformEditWidget::signal_SendScaleValue, view,
                  &VSLGLView::slot_ReceiveScaleValue), "7");
    check(connect(view, &VSLGLView::signal_ShowHideEditControl, m_pTransformWidget,
                  &VTransformEditWidget::slot_ModelSelected), "8");
    check(connect(m_pViewControl, &VViewControlFrame::signal_ViewControl, view, &VSLGLView::slot_ControlView), "9");
    check(connect(view, &VSLGLView::signal_AllModelDel, this, &Vexmor::allModelsDeleted), "10");
    check(connect(this, &Vexmor::signal_DlpEditStatChanged, view,
                  [view](emVexmorEditStat s) { view->slot_EditStatChanged(int(s)); }), "11");
    check(connect(this, &Vexmor::signal_DlpEditStatChanged, m_pSliceWidget, &VSliceWidgetX::slot_EditStatChanged),
          "12");
    check(connect(view, &VSLGLView::sig_LoadFileDone, this, &Vexmor::slot_LoadFileDone), "13");
    check(connect(m_pSupportWidget, &VSupportWidgetX::sig_GenSupport, this, &Vexmor::slot_GenSupport), "14");
    check(connect(view, &VSLGLView::sig_GenSupportDone, this, &Vexmor::slot_GenSupportDone), "15");
    check(connect(m_pSupportWidget, &VSupportWidgetX::sig_RemoveSupport, view, &VSLGLView::sig_RemoveSupport), "16");
    check(connect(m_pSupportWidget, &VSupportWidgetX::sig_EditSupport, view, &VSLGLView::sig_EditSupport), "17");
    check(connect(m_pSupportWidget, &VSupportWidgetX::sig_EditSupport, this,
                  [this](bool freeze, bool save, QVector<double>) { slot_EditSupport(freeze, save); }), "18");
    check(connect(m_pSupportEditWidget, &VSupportWidgetEditX::sig_EditSupport, view, &VSLGLView::sig_EditSupport),
          "19");
    check(connect(m_pSupportEditWidget, &VSupportWidgetEditX::sig_EditSupport, this,
                  [this](bool freeze, bool save, QVector<double>) { slot_EditSupport(freeze, save); }), "20");
    check(connect(view, &VSLGLView::signal_ShowHideEditControl, m_pSupportWidget, &VSupportWidgetX::slot_ModelSelected),
          "21");
    check(connect(m_pSliceWidget, &VSliceWidgetX::sig_SliceScene, this, &Vexmor::slot_SliceScene), "22");
    check(connect(view, &VSLGLView::sig_SliceSceneDone, this, &Vexmor::slot_SliceSceneDone), "23");
    check(connect(m_pSaveWidget, &VSaveWidgetX::signal_PrintDataGenerate, this, &Vexmor::slot_GenPrintData), "24");
    check(connect(&m_dataThread, &MyThread2::signal_PrintDataReady, this, &Vexmor::slot_GenPrintDataDone), "25");
    check(connect(m_pImportWidget, &VImportWidgetX::signal_ExportData, this, &Vexmor::slot_ExportData), "26");
    check(connect(m_pImportWidget->m_pExportThread, &ExportThread::signal_ExportDataDone, this,
                  &Vexmor::slot_ExportDataDone), "27");
    check(connect(m_pSaveWidget, &VSaveWidgetX::signal_SendStartPrint, this, &Vexmor::slot_StartPrint), "28");
    check(connect(m_pSaveWidget, &VSaveWidgetX::signal_SendCancelPrint, this, &Vexmor::slot_CancelPrint), "29");
    check(connect(m_pSaveWidget, &VSaveWidgetX::signal_emermencyStop, m_pDlpCtlDialog,
                  &DlpCtlDialog::slot_emergencyStop), "30");
    check(connect(m_pDlpCtlDialog, &DlpCtlDialog::signal_para, m_pSaveWidget, &VSaveWidgetX::slot_para), "31");
    DLP::BuildManager* runner = &m_printThread.m_runner;
    check(connect(runner, &DLP::BuildManager::signal_curLayer, m_pSaveWidget, &VSaveWidgetX::slot_ReceiveIndexLayers),
          "32");
    check(connect(runner, &DLP::BuildManager::signal_printDone, m_pSaveWidget, &VSaveWidgetX::slot_ReceivePrintDone),
          "33");
    check(connect(runner, &DLP::BuildManager::signal_printDone, this, &Vexmor::slot_DonePrint), "34");
    // How the job ended reaches the panel before its end report.
    check(connect(runner, &DLP::BuildManager::signal_printEnded, m_pSaveWidget, &VSaveWidgetX::slot_ReceivePrintEnd),
          "34a");
    check(connect(this, &Vexmor::signal_SliceChanged, m_pSaveWidget, &VSaveWidgetX::slot_ReceiveNLayers), "35");
    check(connect(this, &Vexmor::signal_FixDone, m_pFixWidget, &VFixWidget::slot_FixDone), "36");
    check(connect(m_pSliceWidget, &VSliceWidgetX::signal_duplicateSelectedModel, this,
                  &Vexmor::slot_DuplicateSelectedModel), "37");
    check(connect(m_pTransformWidget, &VTransformEditWidget::signal_duplicateSelectedModel, this,
                  &Vexmor::slot_DuplicateSelectedModel), "38");
    check(connect(this, &Vexmor::signal_DuplicateSelectedModelDone, m_pTransformWidget,
                  &VTransformEditWidget::slot_DuplicateSelectedModelDone), "39");
    check(connect(this, &Vexmor::signal_ReqSliceWidget, m_pSliceWidget, &VSliceWidgetX::slot_HandleSliceReq), "40");
    check(connect(this, &Vexmor::signal_slc_layerthick, m_pSliceWidget, &VSliceWidgetX::slot_slc_layerthick), "41");
    check(connect(m_pDeviceSettings, &frmDeviceInterfaceSettings::signal_machineConfig, this,
                  &Vexmor::slot_updateMachineConfig), "42");
    check(connect(m_pDlpCtlDialog, &DlpCtlDialog::signal_exposure_select, this,
                  [this](uchar sel) { slot_PenSet(int(sel)); }), "43");
    check(connect(m_pDlpCtlDialog, &DlpCtlDialog::signal_pictureOpen, runner->projector(), &frmDLP::slot_showImage,
                  Qt::DirectConnection), "44");
    check(connect(view, &VSLGLView::sig_SceneStatusChanged, this, &Vexmor::slot_VexmorUpdateStatus), "45");
    check(connect(this, &Vexmor::signal_SliceStatChanged, m_pSliceWidget, &VSliceWidgetX::slot_EditStatChanged), "46");
    // An edit outdates the layers for the save panel as for the slice
    // panel: made on the Save stage itself, Save Job would write them.
    for (auto editStat : {&Vexmor::signal_SliceStatChanged, &Vexmor::signal_DlpEditStatChanged})
        check(connect(this, editStat, m_pSaveWidget,
                      [this](emVexmorEditStat s) {
                          if (int(s) >= 1 && int(s) <= 3)
                              m_pSaveWidget->slot_ReceiveNLayers(0);
                      }),
              "46a");
    check(connect(m_pHelpButton, SIGNAL(clicked(bool)), m_pHelpDialog, SLOT(show_dialog())), "47");
    // The scene announces a mode before it takes it: the value travels along.
    check(connect(view, &VSLGLView::signal_EditModeChanged, this,
                  [this](int mode) {
                      m_nEditMode = mode;
                      emit editModeChanged(mode);
                  }),
          "edit mode");
    check(connect(view, &VSLGLView::sig_FileDropped, this, &Vexmor::slot_FileDropped), "drop");
}

// --- window handling ---

void Vexmor::slot_Button_Clicked(int buttonID)
{
    const auto it = m_mapButtons.constFind(buttonID);
    if (it != m_mapButtons.constEnd())
        (this->*it.value())();
}

void Vexmor::Trigger_Clicked_SettingButton()
{
    if (!isWorking())
        m_pDeviceSettings->show();
}

void Vexmor::Trigger_Clicked_MinimizeButton()
{
    showMinimized();
}

void Vexmor::Trigger_Clicked_MaximizeButton()
{
    if (isWorking())
        return;
    m_bMaximized = true;
    m_pResizeHint->m_bEnabled = false;
    ui.MaximizeButton_2->show();
    ui.MaximizeButton->hide();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
}

void Vexmor::Trigger_Clicked_CancelMaximizeButon()
{
    m_bMaximized = false;
    m_pResizeHint->m_bEnabled = true;
    ui.MaximizeButton->show();
    ui.MaximizeButton_2->hide();
    setGeometry(m_pResizeHint->m_rcNormal);
}

void Vexmor::Trigger_Clicked_CloseButton()
{
    close();
}

void Vexmor::slot_Maximize()
{
    if (m_bMaximized)
        Trigger_Clicked_CancelMaximizeButon();
    else
        Trigger_Clicked_MaximizeButton();
}

void Vexmor::slot_MoveWindow(QPoint delta)
{
    if (isWorking() || m_bMaximized)
        return;
    move(pos() + delta);
    m_pResizeHint->m_rcNormal = geometry();
}

void Vexmor::slot_ImportAction()
{
    m_pImportWidget->show();
}

void Vexmor::resizeEvent(QResizeEvent* event)
{
    if (!m_bMaximized && m_pResizeHint)
        m_pResizeHint->m_rcNormal = geometry();
    const int W = width();
    if (m_pViewControl)
        m_pViewControl->move(W - 10 - m_pViewControl->width(), 85);
    if (m_pHelpButton)
        m_pHelpButton->move(W - 35 - m_pHelpButton->width(), 177);
    dockWidgets();
    QDialog::resizeEvent(event);
}

void Vexmor::dockWidgets()
{
    const int H = height();
    for (QWidget* w : std::initializer_list<QWidget*>{m_pTransformWidget, m_pSupportWidget, m_pSliceWidget,
                                                       m_pFixWidget, m_pSaveWidget})
        if (w)
            w->move(0, H - w->height());
    if (m_pSupportEditWidget && m_pSupportWidget)
        m_pSupportEditWidget->move(0, H - m_pSupportWidget->height() - m_pSupportEditWidget->height());
    placeBusyWidget();
    if (m_pNavBar)
        m_pNavBar->move(0, 0);
    if (m_pToolBar)
        m_pToolBar->move(94, 70);
}

// Right-aligned under the help button, its text wholly on screen.
void Vexmor::placeBusyWidget()
{
    if (m_pBusyWidget)
        m_pBusyWidget->move(width() - 10 - m_pBusyWidget->width(), 200);
}

// --- stages and busy state ---

bool Vexmor::isWorking() const
{
    return m_bSlicing || m_bPrinting || !m_busyJobs.isEmpty() ||
           (m_pImportWidget && m_pImportWidget->m_pExportThread->isRunning()) || m_dataThread.isRunning();
}

void Vexmor::navbarClicked(int index)
{
    if (isWorking())
        return;
    m_nNavIndex = index;
    // The view follows every stage change, also the bar's own move to Edit
    // after a load, which names no stage to the view.
    static const char* const stages[] = {nullptr, "Edit", "Repair", "Support", "Slice", "Save"};
    if (index >= 1 && index <= 5)
        SetNavBtn(QString::fromLatin1(stages[index]));
    emit navIndexChanged(index);
    emit toolbarSwitch();
}

void Vexmor::navbarOpenFile()
{
    if (!isWorking())
        slot_OpenAction();
}

bool Vexmor::reportDefects()
{
    const bool checked = sendPlateDefects();
    m_bDefectsPending = !checked;
    return checked;
}

bool Vexmor::sendPlateDefects()
{
    // Counted by each model's topology pass on the mesh as loaded; nothing
    // is changed here. Result 0: nothing left to repair, 1: defects found,
    // -1: a model is still being checked (sent again when the check ends).
    MeshDefectCounts found;
    const bool checked = ui.GLWidget->scene()->CountDefects(found);
    const int result = !checked ? VFixWidget::kStillChecking : found.Clean() ? 0 : 1;
    m_shownDefects = {result, found.holes, found.nonManifoldEdges, found.invertedFaces};
    emit signal_FixDone(result, found.holes, found.nonManifoldEdges, found.invertedFaces);
    return checked;
}

void Vexmor::followPlateDefects()
{
    const VSL3DScene* scene = ui.GLWidget ? ui.GLWidget->scene() : nullptr;
    if (!scene || (m_shownDefects.isEmpty() && scene->models().isEmpty()))
        return; // nothing shown, nothing to show
    MeshDefectCounts found;
    const bool checked = scene->CountDefects(found);
    const int result = !checked ? VFixWidget::kStillChecking : found.Clean() ? 0 : 1;
    // Unchanged, the report stands (and a "Fix completed" under it).
    if (m_shownDefects != QVector<int>{result, found.holes, found.nonManifoldEdges, found.invertedFaces})
        sendPlateDefects();
}

void Vexmor::repairStep()
{
    m_bRepaired = reportDefects();
}

void Vexmor::navbarRepair()
{
    if (isWorking() || m_bRepaired)
        return;
    repairStep();
}

void Vexmor::navbarSupport()
{
    if (isWorking())
        return;
    if (!m_bRepaired)
        repairStep();
    m_bSupported = true;
}

void Vexmor::navbarSlice()
{
    if (isWorking())
        return;
    if (!m_bSupported) {
        if (!m_bRepaired)
            repairStep();
        m_bSupported = true;
    }
    m_bSliced = true;
}

void Vexmor::navbarPrint()
{
    m_bPrintRequested = true;
    if (isWorking() || m_bSliced)
        return;
    m_pSliceWidget->setSliceStarted(false);
    if (!m_bSupported) {
        if (!m_bRepaired)
            repairStep();
        m_bSupported = true;
    }
    m_bSliced = true;
    emit signal_ReqSliceWidget();
}

void Vexmor::layoutBarClicked(int index)
{
    if (index == 3) {
        slot_DuplicateSelectedModel();
        return;
    }
    if (isWorking())
        return;
    m_pEditMode->layoutBarClicked(index);
    m_bSliced = false;
    m_bRepaired = false;
    m_bSupported = false;
    m_bPrinting = false;
}

bool Vexmor::sceneSliced() const
{
    return m_pSliceWidget->sliceState() == 1;
}

void Vexmor::notifyToSlice()
{
    QMessageBox box(QMessageBox::Warning, QString(), tr("Please slice before saving the job!"), QMessageBox::Ok);
    box.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    box.setStyleSheet(m_strBoxStyle);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void Vexmor::SetNavBtn(QString strNavBtn)
{
    ui.GLWidget->SetNavBtn(strNavBtn);
    ui.GLWidget->update();
}

static void setOnly(bool& flag, bool* flags[5])
{
    for (int i = 0; i < 5; ++i)
        *flags[i] = flags[i] == &flag;
}

#define VEXMOR_PAGE_SETTER(name, flag)                                                                       \
    void Vexmor::name(bool)                                                                                  \
    {                                                                                                        \
        if (!isWorking()) {                                                                                  \
            bool* flags[5] = {&bSliceShow, &bSupportShow, &bTransformShow, &bFixShow, &bPrintShow};          \
            setOnly(flag, flags);                                                                            \
        }                                                                                                    \
        if (m_bShowPanels)                                                                                   \
            updateCtlsWidget();                                                                              \
    }
VEXMOR_PAGE_SETTER(setSliceShow, bSliceShow)
VEXMOR_PAGE_SETTER(setSupportShow, bSupportShow)
VEXMOR_PAGE_SETTER(setTransformShow, bTransformShow)
VEXMOR_PAGE_SETTER(setFixShow, bFixShow)
VEXMOR_PAGE_SETTER(setPrintShow, bPrintShow)
#undef VEXMOR_PAGE_SETTER

void Vexmor::updateCtlsWidget()
{
    if (m_bPrinting)
        return;
    QWidget* panels[5] = {m_pSliceWidget, m_pSupportWidget, m_pTransformWidget, m_pFixWidget, m_pSaveWidget};
    const bool flags[5] = {bSliceShow, bSupportShow, bTransformShow, bFixShow, bPrintShow};
    for (int i = 0; i < 5; ++i) {
        if (!flags[i])
            continue;
        for (int j = 0; j < 5; ++j)
            if (j != i)
                panels[j]->hide();
        // No window type: the slice panel stays a child of the window.
        if (i == 0)
            m_pSliceWidget->setWindowFlags(Qt::WindowStaysOnTopHint);
        panels[i]->show();
        panels[i]->raise();
    }
}

void Vexmor::slot_CtlWidgetDisp(bool isShow)
{
    m_bShowPanels = isShow;
    if (!isShow) {
        m_pSliceWidget->hide();
        m_pSupportWidget->hide();
        m_pTransformWidget->hide();
        m_pFixWidget->hide();
    } else {
        updateCtlsWidget();
    }
}

void Vexmor::SetGuiBusy(QString key, bool busy)
{
    if (busy)
        m_busyJobs.insert(key);
    else
        m_busyJobs.remove(key);
    QWidget* widgets[7] = {m_pSupportWidget, m_pTransformWidget, m_pFixWidget, m_pSaveWidget,
                           m_pImportWidget,  m_pSliceWidget,     m_pNavBar};
    if (busy) {
        m_pBusyWidget->setText(m_mapBusyText[key]);
        placeBusyWidget();
        m_pBusyWidget->show();
        m_pBusyWidget->raise();
        // On the screen now: the job's first frame (the slice's plate
        // pictures) can keep the window's thread for seconds.
        m_pBusyWidget->repaint();
    } else {
        m_pBusyWidget->hide();
    }
    for (QWidget* w : widgets)
        if (w)
            w->setEnabled(!busy);
    // Delete stays off until the last job behind the overlay has ended.
    ui.GLWidget->SetDeleteEnabled(m_busyJobs.isEmpty());
    if (!busy)
        updateCheckingNotice();
}

void Vexmor::updateCheckingNotice()
{
    if (!m_pBusyWidget || !m_busyJobs.isEmpty())
        return;
    const VSL3DScene* scene = ui.GLWidget ? ui.GLWidget->scene() : nullptr;
    if (!scene || scene->ModelsBeingChecked() == 0) {
        m_pBusyWidget->hide();
        return;
    }
    // Repair counts, supports and slices all wait for the check: the user
    // sees why a stage does not answer at once.
    if (m_pBusyWidget->isVisible())
        return; // no job's notice is up: this one is
    m_pBusyWidget->setText(m_mapBusyText.value(QStringLiteral("Check")));
    placeBusyWidget();
    m_pBusyWidget->show();
    m_pBusyWidget->raise();
    m_pBusyWidget->repaint();
}

void Vexmor::slot_msg(int ch, int type)
{
    if (type == 0 || ch < 1 || ch > 6)
        return;
    switch (ch) {
    case 2:
        setFixShow(true);
        break;
    case 3:
        setSupportShow(true);
        break;
    case 4:
        if (m_bPrintRequested) {
            setPrintShow(true);
            m_bPrintRequested = false;
        } else {
            setSliceShow(true);
        }
        break;
    case 5:
    case 6:
        setPrintShow(true);
        break;
    default:
        break;
    }
}

void Vexmor::slot_RepairAction(bool& repaired)
{
    if (repaired)
        return;
    repaired = reportDefects();
}

void Vexmor::slot_SupportAction(bool& repaired, bool& supported)
{
    slot_RepairAction(repaired);
    supported = true;
}

void Vexmor::slot_SliceAction(bool& repaired, bool& supported, bool& sliced)
{
    if (!supported)
        slot_SupportAction(repaired, supported);
    sliced = true;
}

void Vexmor::slot_PrintAction(bool& repaired, bool& supported, bool& sliced)
{
    if (sliced)
        return;
    m_pSliceWidget->setSliceStarted(false);
    slot_SliceAction(repaired, supported, sliced);
    emit signal_ReqSliceWidget();
}

void Vexmor::slot_VexmorUpdateStatus(int NewSceneStatus)
{
    // A repair report made during the check shows its counts once it ends.
    // First: the notice below paints at once, and no paint may show the
    // panel as it was.
    if (m_bDefectsPending && ui.GLWidget->scene()->ModelsBeingChecked() == 0)
        m_bRepaired = reportDefects();
    else
        followPlateDefects();
    updateCheckingNotice();
    // "Ready" is a topology pass ending. Slices wait for every model's pass,
    // so layers being made or made already came from the finished mesh: the
    // pass's signal, queued behind them on a busy machine, outdates nothing.
    if (NewSceneStatus == VexmorEditStatReady && (m_bSlicing || m_pSaveWidget->m_bSliceData))
        return;
    emit signal_SliceStatChanged(static_cast<emVexmorEditStat>(NewSceneStatus));
}

void Vexmor::showBox(const QString& text, const QString& informative)
{
    QMessageBox box(this);
    box.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    box.setStyleSheet(QStringLiteral(
        "* { background-color: rgb(0, 0, 0); color: rgb(255, 255, 255); } QPushButton {background-color: rgb(125, "
        "125, 125);}"));
    box.setText(text);
    box.setInformativeText(informative);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

// --- job actions ---

void Vexmor::slot_OpenAction()
{
    if (isWorking())
        return;
    m_bRepaired = false;
    m_bSupported = false;
    m_bSliced = false;
    VSLGLView* view = ui.GLWidget;
    const QString name = FileChooser::openFileName(this, QStringLiteral("Open Model"), view->GetOpenFilePath(),
                                                   QStringLiteral("*.stl *.slc"));
    openChosenFile(name);
}

void Vexmor::slot_FileDropped(QString path)
{
    if (isWorking())
        return;
    m_bRepaired = false;
    m_bSupported = false;
    m_bSliced = false;
    openChosenFile(path);
}

void Vexmor::openChosenFile(const QString& name)
{
    VSLGLView* view = ui.GLWidget;
    // Once its model is gone the SLC file no longer holds the plate.
    if (m_bSlcLoaded && !view->isModelExist())
        m_bSlcLoaded = false;
    // The layers of an SLC file do not mix with models; a cancelled choice
    // is no model at all.
    if (m_bSlcLoaded && !name.isEmpty() && !VSLGLView::IsSlcFileName(name)) {
        showBox(tr("Slc File is Loaded,Cannot accept new model"));
        return;
    }
    if (name.isEmpty())
        return;
    if (!view->OpenSTLFile(name)) {
        const QString reason = view->scene() ? view->scene()->lastLoadError() : QString();
        qWarning().noquote() << "Open File Failed:" << reason;
        showBox(tr("Open File Failed,check model please"), reason);
        return;
    }
    // A refused file names no job: the folder and name stay the last model's.
    m_modelFileInfo = QFileInfo(name);
    m_strModelFileName = m_modelFileInfo.fileName();
    m_listNameParts = m_strModelFileName.split('.');
    m_strBaseName = m_listNameParts.value(0);
    m_strModelDir = m_modelFileInfo.absolutePath();
    m_modelDir = QDir(m_strModelDir);
    view->SetOpenFilePath(m_modelFileInfo.absolutePath());
    view->SetOpenFileName(m_strModelFileName);
    // An SLC model's check is told only when it ends.
    followPlateDefects();
    if (VSLGLView::IsSlcFileName(name)) {
        slot_openFileDone(true, name);
        return;
    }
    // A cut download is kept as far as it goes, but never without a word.
    const QString warning = view->scene() ? view->scene()->lastLoadWarning() : QString();
    if (!warning.isEmpty())
        showBox(tr("The model file is incomplete"), warning);
    emit navbarFileLoaded();
    emit signal_DlpEditStatChanged(VexmorEditStatEdited);
}

void Vexmor::slot_openFileDone(bool sts, QString filePath)
{
    if (!sts || filePath.isEmpty()) {
        showBox(tr("Open File Failed,check model please"));
        return;
    }
    emit navbarFileLoaded();
    if (!VSLGLView::IsSlcFileName(filePath))
        return;
    m_bSliced = true;
    m_bRepaired = true;
    m_bSupported = true;
    m_bSlcLoaded = true;
    // The file's layers are the slice: its thickness fixes the slice
    // panel's, and both panels get the layers as a finished slice.
    emit signal_slc_layerthick(ui.GLWidget->GetLayerThick());
    slot_SliceSceneDone(ui.GLWidget->GetSliceData().size());
}

void Vexmor::slot_ShowHelpDialog() { qDebug() << "hello"; }

void Vexmor::slot_LoadFileDone(bool fileLoaded)
{
    if (fileLoaded) {
        emit navbarFileLoaded();
        emit signal_DlpEditStatChanged(VexmorEditStatEdited);
    }
    SetGuiBusy(QStringLiteral("Load"), false);
    setGeometry(geometry());
}

void Vexmor::slot_RemoveActioin()
{
    if (isWorking())
        return;
    const SceneOp result = ui.GLWidget->RemoveCurrentModel();
    ui.RemoveButton->setChecked(false);
    ui.GLWidget->update();
    if (result == SceneOp::JobRunning)
        showBox(tr("The model is in use by a running job."));
    emit signal_DlpEditStatChanged(VexmorEditStatEdited);
}

void Vexmor::slot_DuplicateSelectedModel()
{
    // An SLC plate prints the file's layers: a copy would show a model the
    // print does not have.
    const bool slcPlate = m_bSlcLoaded && ui.GLWidget->isModelExist();
    const bool ok = !slcPlate && ui.GLWidget->DuplicateSelectedModel() == SceneOp::Done;
    qDebug() << (ok ? "Duplicate Model Success" : "Duplicate Model Failed");
    emit signal_DuplicateSelectedModelDone();
}

void Vexmor::slot_EditSupport(bool Freeze, bool SaveResult)
{
    m_pSupportEditWidget->setVisible(Freeze);
    m_pSupportWidget->setEnabled(!Freeze);
    if (m_pNavBar)
        m_pNavBar->setEnabled(!Freeze);
    // A save regenerates the edited instances like Generate does: behind
    // the busy notice, until the view's support-done ends it. The view has
    // already started them (its connection comes first); when it started
    // none it has already said so.
    if (!Freeze && SaveResult && ui.GLWidget->scene()->runningSupportJobs() > 0)
        SetGuiBusy(QStringLiteral("Support"), true);
}

void Vexmor::slot_GenSupport(QVector<double> Para)
{
    SetGuiBusy(QStringLiteral("Support"), true);
    ui.GLWidget->GenSupport(Para);
}

void Vexmor::slot_GenSupportDone()
{
    SetGuiBusy(QStringLiteral("Support"), false);
}

QString Vexmor::jobFolder() const
{
    if (m_strModelDir.isEmpty() || m_strBaseName.isEmpty())
        return QString();
    return m_strModelDir + QStringLiteral("/") + m_strBaseName;
}

QString Vexmor::gcodePath() const
{
    const QString folder = jobFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/") + m_strBaseName + QStringLiteral(".gcode");
}

void Vexmor::slot_SliceScene(float layerThick, int xres, int yres, float dpmmX, float dpmmY, int layers)
{
    VSL3DScene* scene = ui.GLWidget->scene();
    // Sliced all the same (the load already warned), but a model moved or
    // pushed off the plate since, or supports that stand past its edge,
    // would be cut there without a word.
    if (const int off = scene->CountLeavingPlate()) {
        const QString why = tr("%1 of %2 models stand partly or wholly off the build plate, or their supports do: "
                               "what lies outside it is not printed, and what stands on a support cut there starts "
                               "in mid-air. Move or scale them onto the plate, or generate their supports again "
                               "there, to print them whole.")
                                .arg(off)
                                .arg(ui.GLWidget->scene()->instances().size());
        qWarning().noquote() << "Slice:" << why;
        showBox(tr("Some models leave the build plate."), why);
    }
    if (scene->hasSlcPlate()) {
        // The SLC file's layers are the slice, taken to where its model
        // stands and to the printer now chosen; cutting the model that shows
        // them (every third layer's outline) would replace them.
        if (!scene->MapSlcPlate()) {
            m_pSliceWidget->slot_SliceSceneDone(0);
            m_pSliceWidget->slot_EditStatChanged(VexmorEditStatEdited);
            m_bSliced = false;
            qWarning().noquote() << "Slice:" << scene->lastSliceError();
            showBox(tr("Slicing cannot start now."), scene->lastSliceError());
            return;
        }
        slot_SliceSceneDone(ui.GLWidget->GetSliceData().size());
        return;
    }
    SetGuiBusy(QStringLiteral("Slice"), true);
    m_strGcodePath = gcodePath().toStdString();
    m_pSaveWidget->m_strGcodePath = m_strGcodePath;
    ui.GLWidget->setDirName(jobFolder());
    const SceneOp result = ui.GLWidget->SliceScene(layerThick, xres, yres, dpmmX, dpmmY, layers);
    if (result != SceneOp::Done) {
        // Nothing started: no completion will come.
        SetGuiBusy(QStringLiteral("Slice"), false);
        m_pSliceWidget->slot_SliceSceneDone(0);
        QString why;
        if (result == SceneOp::TooTall || result == SceneOp::NoThreads) {
            // Nothing was sliced: the panel must not offer a result to save.
            m_pSliceWidget->slot_EditStatChanged(VexmorEditStatEdited);
            why = ui.GLWidget->scene()->lastSliceError();
        }
        showBox(tr("Slicing cannot start now."), why);
        return;
    }
    m_bSlicing = true;
}

void Vexmor::slot_SliceSceneDone(int nLayers)
{
    const QString stopped = ui.GLWidget->scene() ? ui.GLWidget->scene()->lastSliceError() : QString();
    // A slice to no layer leaves nothing to save either.
    m_bSliced = stopped.isEmpty() && nLayers > 0;
    m_bSlicing = false;
    m_pSliceWidget->slot_SliceSceneDone(nLayers);
    m_pSaveWidget->slot_ReceiveNLayers(nLayers);
    m_pSaveWidget->setLayerThick(static_cast<int>(m_pSliceWidget->layerThickness() * 1000.0f));
    SetGuiBusy(QStringLiteral("Slice"), false);
    if (!m_bSliced)
        m_pSliceWidget->slot_EditStatChanged(VexmorEditStatEdited); // the panel offers no result to save
    if (!stopped.isEmpty()) {
        showBox(tr("Slicing stopped."), stopped);
    } else if (nLayers == 0) {
        // Save would only say the slice data is wrong.
        const QString why = tr("No layer was sliced: the models on the plate are lower than one layer. Scale "
                               "them up or choose thinner layers.");
        qWarning().noquote() << "Slice:" << why;
        showBox(tr("Nothing to print."), why);
    } else if (const SliceMidAir midAir = ui.GLWidget->scene()->LastSliceMidAir(); midAir.any()) {
        // What rests on nothing cures loose in the resin: the slice is kept,
        // but the user must know before spending the resin on it.
        const QString why = tr("Regions resting on nothing in the layer below them: %1 in the models, %2 in their "
                               "supports. The lowest is at layer %3, in %4. They cure loose in the resin, or not "
                               "where they are drawn. Generate supports for that model, or turn it so that those "
                               "regions face up, before printing.")
                                .arg(midAir.model)
                                .arg(midAir.support)
                                .arg(midAir.lowestLayer)
                                .arg(midAir.lowestModel);
        qWarning().noquote() << "Slice:" << why;
        showBox(tr("Some regions start in mid-air."), why);
    }
}

void Vexmor::slot_GenPrintData()
{
    SetGuiBusy(QStringLiteral("Save"), true);
    m_strGcodePath = gcodePath().toStdString();
    m_pSaveWidget->m_strGcodePath = m_strGcodePath;
    if (m_dataThread.generatePrintableData()) {
        m_dataThread.m_pView = ui.GLWidget;
        m_dataThread.m_pConfig = &m_buildConfig;
        m_dataThread.m_strDirName = jobFolder();
        m_dataThread.m_strFileName = m_strBaseName;
        m_dataThread.start(QThread::HighPriority);
    }
}

void Vexmor::slot_GenPrintDataDone(QString, int result)
{
    const QString path = ui.GLWidget->GetSaveFileName();
    SetGuiBusy(QStringLiteral("Save"), false);
    // A file that was not written must not look saved; success stays silent
    // in the window, and both are in the log.
    if (result != PrintFileOk) {
        qWarning().noquote() << "Print file not written:" << path << PrintFileResultText(result);
        m_pSaveWidget->reportSaveFailed(PrintFileResultShown(result));
        return;
    }
    qDebug().noquote() << "Print file written:" << path;
}

namespace {

// The 3D view as the projector's layer source during a direct print; it also
// keeps Delete from removing a model whose layers the projector is showing.
class PrintViewBridge : public QObject, public ProjectorLayerSource
{
public:
    PrintViewBridge(VSLGLView* view, MyThread1* thread, QObject* parent)
        : QObject(parent)
        , m_view(view)
        , m_thread(thread)
    {
        view->installEventFilter(this);
    }
    SliceLayers GetSliceData() const override { return m_view->GetSliceData(); }
    SliceLayers GetSliceDataSup() const override { return m_view->GetSliceDataSup(); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete && m_thread->isRunning())
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    VSLGLView* m_view;
    MyThread1* m_thread;
};

} // namespace

void Vexmor::slot_StartPrint()
{
    emit printStart();
    // A second start while printing is that print's cancel, never a new job.
    if (m_printThread.isRunning()) {
        m_printThread.stop();
        return;
    }
    frmDLP* projector = m_printThread.m_runner.projector();
    const bool tables = projector->frmDLP_init(25, m_buildConfig.SliceThickness, m_buildConfig.Dp,
                                               m_buildConfig.XResolution, m_buildConfig.YResolution);
    projector->m_layer = -1;
    if (!tables) {
        // Without complete light tables the projector stays black: the job
        // would cure nothing. The panel's job ends here, failed, with the reason.
        emit m_printThread.m_runner.signal_printEnded(int(DLP::PrintEnd::ProjectorNotReady), projector->lastProblem());
        emit m_printThread.m_runner.signal_printDone();
        return;
    }
    ShowDLPScreen();
    if (!m_pPrintViewBridge)
        m_pPrintViewBridge = new PrintViewBridge(ui.GLWidget, &m_printThread, this);
    projector->m_view = static_cast<PrintViewBridge*>(m_pPrintViewBridge);
    projector->m_jobDir = m_strModelDir;
    projector->m_jobName = m_strBaseName;
    m_printThread.m_runner.m_jobDir = m_strModelDir;
    m_printThread.m_runner.m_jobName = m_strBaseName;
    m_printThread.m_runner.m_gcodePath = m_strGcodePath;
    projector->setPenSelect(m_nPenSelect);
    m_printThread.startJob(QThread::HighPriority);
    m_bPrinting = true;
    bSliceShow = true;
}

void Vexmor::slot_CancelPrint()
{
    if (!m_printThread.isRunning())
        return;
    // The print thread owns the job while it runs: only ask it to stop; the
    // loop empties its job itself once it has stopped.
    m_printThread.stop();
    m_bPrinting = false;
}

void Vexmor::slot_DonePrint()
{
    if (m_printThread.isRunning()) {
        emit printDone();
        m_printThread.stop();
    }
    m_printThread.m_runner.projector()->close();
    m_bPrinting = false;
}

void Vexmor::slot_DlpCtrlAction()
{
    m_pSaveWidget->showWebform(true);
}

void Vexmor::ShowDLPScreen()
{
    frmDLP* projector = m_printThread.m_runner.projector();
    // Looked up at each showing (a picture later included): the screens may
    // have changed since.
    projector->setTargetProvider([] { return DisplayStandIn::projectorPoint(DisplayStandIn::screens()); });
    projector->showOnProjector();
}

void Vexmor::CloseDLPScreen()
{
    m_printThread.m_runner.projector()->close();
}

void Vexmor::slot_ExportData()
{
    SetGuiBusy(QStringLiteral("Save"), true);
    m_pImportWidget->m_pExportThread->start(QThread::HighPriority);
}

void Vexmor::slot_ExportDataDone(int result, const QString& message)
{
    SetGuiBusy(QStringLiteral("Save"), false);
    const QString out = m_pImportWidget->m_pExportThread->outputPath();
    if (result == 0 && !message.isEmpty())
        qWarning().noquote() << "Converted print file written:" << out << "-" << message; // the preview dropped
    else if (result == 0)
        qDebug().noquote() << "Converted print file written:" << out;
    else
        qWarning().noquote() << "Converted print file not written:" << out << message;
    m_pImportWidget->slot_ExportDataDone(result, message);
}

void Vexmor::slot_updateMachineConfig(const QString& MachineType)
{
    const auto table = frmDeviceInterfaceSettings::machineParaTable();
    // A name without a row has no pixel size: it is taken as the default model.
    const QString name = table.contains(MachineType) ? MachineType : frmDeviceInterfaceSettings::defaultMachine();
    const auto row = table.value(name);
    m_buildConfig.XResolution = int(row.xResolution);
    m_buildConfig.YResolution = int(row.yResolution);
    m_buildConfig.UpdateMachineConfig(row.xResolution, row.yResolution, row.pixelSizeX, row.pixelSizeY, row.zHeight);
    m_pSliceWidget->updateMachineCfg(m_buildConfig.XResolution, m_buildConfig.YResolution, m_buildConfig.DotsPermmX,
                                     m_buildConfig.DotsPermmY);
    VSLGLView* view = ui.GLWidget;
    view->SetBound(row.xResolution, row.yResolution, row.pixelSizeX, row.pixelSizeY, row.zHeight);
    view->SetImageRotate(row.rotate);
    view->SetFileType(row.fileType);
    view->SetPixelBits(row.pixelBits);
    view->SetMachineType(name, m_pImportWidget->m_mapMachineCode.value(name));
    ui.label_sts->setText(name);
    m_pSaveWidget->m_webForm.setWindowTitle(name);
    static const QStringList lcd = {"Pellar10", "Pellar20", "Pellar30", "Pellar40", "Pellar4K", "Pellar4Kmono"};
    if (PrinterModels::IsProjectorPrinter(name))
        ui.CtlButton->show();
    else if (lcd.contains(name)) {
        ui.CtlButton->hide();
        // Its page would stay with no button left to close it.
        m_pSaveWidget->m_webForm.hide();
    }
    m_bSliced = false;
    m_pSliceWidget->setNotSlice();
    m_pSaveWidget->setMachine(name);
    m_pImportWidget->setMachine(name);
    m_pRecipeWidget->setMachine(name);
    m_pRecipeWidget->readIniFileX();
    m_pSaveWidget->loadRecipe();
    m_pImportWidget->loadRecipe();
    if (m_pSaveWidget->isVisible())
        emit navbarClickSlice();
}
