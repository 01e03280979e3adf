#pragma once

#include "JobThreads.h"
#include "VSL3DScene.h"
#include "dlp/slicebuildconfig.h"
#include "dlp/typeconversion.h"
#include "ui_Vexmor.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QVariantList>

#include <string>

class BusyWidget;
class DlpCtlDialog;
class HelpDialog;
class QQuickWidget;
class QToolButton;
class VEditModeWidget;
class VEditRecipeWidget;
class VFixWidget;
class VImportWidgetX;
class VResizeHint;
class VSaveWidgetX;
class VSliceWidgetX;
class VSupportWidgetEditX;
class VSupportWidgetX;
class VTransformEditWidget;
class VViewControlFrame;
class frmDeviceInterfaceSettings;

// The application's one window: frameless, with its own title bar, the 3D
// view, the QML navigation and tool bars over it and the side panels of the
// stages edit, repair, support, slice and save.
class Vexmor : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(bool bSliceShow READ getSliceShow WRITE setSliceShow NOTIFY sliceWidgetChanged)
    Q_PROPERTY(bool bSupportShow READ getSupportShow WRITE setSupportShow NOTIFY supportWidgetChanged)
    Q_PROPERTY(bool bTransformShow READ getTransformShow WRITE setTransformShow NOTIFY transformWidgetChanged)
    Q_PROPERTY(bool bFixShow READ getFixShow WRITE setFixShow NOTIFY fixWidgetChanged)
    Q_PROPERTY(bool bPrintShow READ getPrintShow WRITE setPrintShow NOTIFY printWidgetChanged)
    // The view's edit mode (0 move, 1 rotate, 2 scale): the tool row shows it,
    // so a refused click leaves the row as it was.
    Q_PROPERTY(int nEditMode READ editMode NOTIFY editModeChanged)
public:
    explicit Vexmor(QWidget* parent = nullptr);
    ~Vexmor() override;

    // --- QML bridge ---
    Q_INVOKABLE void navbarClicked(int index);
    Q_INVOKABLE void navbarOpenFile();
    Q_INVOKABLE void navbarLayout() {}
    Q_INVOKABLE void navbarRepair();
    Q_INVOKABLE void navbarSupport();
    Q_INVOKABLE void navbarSlice();
    Q_INVOKABLE void navbarPrint();
    Q_INVOKABLE void layoutBarClicked(int index);
    Q_INVOKABLE bool sceneSliced() const;
    Q_INVOKABLE void notifyToSlice();
    Q_INVOKABLE void SetNavBtn(QString strNavBtn);

    bool getSliceShow() const { return bSliceShow; }
    bool getSupportShow() const { return bSupportShow; }
    bool getTransformShow() const { return bTransformShow; }
    bool getFixShow() const { return bFixShow; }
    bool getPrintShow() const { return bPrintShow; }
    int editMode() const { return m_nEditMode; }
    void setSliceShow(bool);
    void setSupportShow(bool);
    void setTransformShow(bool);
    void setFixShow(bool);
    void setPrintShow(bool);

    // Working: slicing, printing, or any job behind the busy overlay.
    bool isWorking() const;
    void updateCtlsWidget();
    void SetGuiBusy(QString key, bool busy);
    void InitButtonID();
    void InitConnections();

    // Job folder and G-code path of the model last opened; empty when there
    // is no model folder or base name.
    QString jobFolder() const;
    QString gcodePath() const;

    // --- members (names as the rest of the program knows them) ---
    DLP::TypeConversion m_typeConv;
    QFileInfo m_modelFileInfo;
    QString m_strModelFileName;
    QStringList m_listNameParts;
    QString m_strBaseName;
    QString m_strModelDir;
    QDir m_modelDir;
    std::string m_strGcodePath;
    QString m_strBoxStyle;
    Ui::VexmorClass ui;
    bool m_bMaximized = false;
    VResizeHint* m_pResizeHint = nullptr;
    VTransformEditWidget* m_pTransformWidget = nullptr;
    VViewControlFrame* m_pViewControl = nullptr;
    VSliceWidgetX* m_pSliceWidget = nullptr;
    VSupportWidgetX* m_pSupportWidget = nullptr;
    VSupportWidgetEditX* m_pSupportEditWidget = nullptr;
    VFixWidget* m_pFixWidget = nullptr;
    frmDeviceInterfaceSettings* m_pDeviceSettings = nullptr;
    VEditRecipeWidget* m_pRecipeWidget = nullptr;
    VImportWidgetX* m_pImportWidget = nullptr;
    VSaveWidgetX* m_pSaveWidget = nullptr;
    VEditModeWidget* m_pEditMode = nullptr;
    QQuickWidget* m_pNavBar = nullptr;
    QQuickWidget* m_pToolBar = nullptr;
    BusyWidget* m_pBusyWidget = nullptr;
    int m_nNavIndex = 0;
    bool bSliceShow = false;
    bool bSupportShow = false;
    bool bTransformShow = false;
    bool bFixShow = false;
    bool m_bShowPanels = true;
    bool bPrintShow = false;
    int m_nEditMode = 0;
    int m_nPenSelect = 0;
    DlpCtlDialog* m_pDlpCtlDialog = nullptr;
    MyThread1 m_printThread;
    // The view as the projector's layer source; swallows Delete while printing.
    QObject* m_pPrintViewBridge = nullptr;
    MyThread2 m_dataThread;
    bool m_bRepaired = false;
    bool m_bSupported = false;
    bool m_bSliced = false;
    bool m_bSlicing = false;
    bool m_bSlcLoaded = false;
    bool m_bPrintRequested = false;
    bool m_bPrinting = false;
    DLP::SliceBuildConfig m_buildConfig;
    HelpDialog* m_pHelpDialog = nullptr;
    QToolButton* m_pHelpButton = nullptr;
    QMap<QString, QString> m_mapBusyText;
    // Keys of the jobs now behind the busy overlay.
    QSet<QString> m_busyJobs;
    // A repair report was asked for while a model was still being checked:
    // it is sent again when the check ends.
    bool m_bDefectsPending = false;
    // The last report the repair panel got (result, holes, non-manifold,
    // inverted); empty before the first.
    QVector<int> m_shownDefects;

signals:
    void navbarFileLoaded();
    void navIndexChanged(int index);
    void toolbarSwitch();
    void allModelsDeleted();
    void navbarClickSlice();
    void printCancel();
    void printStart();
    void printDone();
    void NavBtnChanged(QString);
    void signal_DlpSerialStatChanged();
    void signal_SliceBrowserIndex(int);
    void sliceWidgetChanged(bool);
    void supportWidgetChanged(bool);
    void transformWidgetChanged(bool);
    void fixWidgetChanged(bool);
    void printWidgetChanged(bool);
    void editModeChanged(int mode);
    void signal_DlpEditStatChanged(emVexmorEditStat stat);
    void signal_SliceStatChanged(emVexmorEditStat stat);
    void signal_SliceChanged(int layers);
    void signal_FixDone(int result, int holes, int manifold, int normal);
    void signal_DuplicateSelectedModelDone();
    void signal_ReqSliceWidget();
    void signal_slc_layerthick(float thick);

public slots:
    void slot_CtlWidgetDisp(bool isShow);
    void slot_Button_Clicked(int buttonID);
    void slot_Maximize();
    void slot_MoveWindow(QPoint delta);
    void slot_ImportAction();
    void slot_SaveAction() {}
    void Trigger_Clicked_SettingButton();
    void Trigger_Clicked_MinimizeButton();
    void Trigger_Clicked_MaximizeButton();
    void Trigger_Clicked_CancelMaximizeButon();
    void Trigger_Clicked_CloseButton();
    void slot_VexmorUpdateStatus(int NewSceneStatus);
    void slot_OpenAction();
    // A file dropped on the view takes the open road of slot_OpenAction
    // without its dialog.
    void slot_FileDropped(QString path);
    void slot_LoadFileDone(bool fileLoaded);
    // The end of an open: a loaded SLC file marks the stages before Save done
    // (its layers are the slice) and keeps STL files out; a failure is told.
    void slot_openFileDone(bool sts, QString filePath);
    // Logs a debug line; the help button opens the help dialog itself.
    void slot_ShowHelpDialog();
    void slot_RemoveActioin();
    void slot_DuplicateSelectedModel();
    void slot_EditSupport(bool Freeze, bool SaveResult);
    void slot_GenSupport(QVector<double> Para);
    void slot_GenSupportDone();
    void slot_SliceScene(float layerThick, int xres, int yres, float dpmmX, float dpmmY, int layers);
    void slot_SliceSceneDone(int nLayers);
    void slot_GenPrintData();
    // result: the writer's PrintFileResult; a failure is reported to the user.
    void slot_GenPrintDataDone(QString fn, int result = 0);
    void slot_ExportData();
    void slot_ExportDataDone(int result, const QString& message);
    void slot_updateMachineConfig(const QString& MachineType);
    void slot_PenSet(int sel) { m_nPenSelect = sel; }
    void slot_StartPrint();
    void slot_CancelPrint();
    void slot_DonePrint();
    void slot_DlpCtrlAction();
    void ShowDLPScreen();
    void CloseDLPScreen();
    // Job progress by code; nothing is connected to it.
    void slot_msg(int ch, int type);
    // Stage logic on flags passed in; no caller.
    void slot_RepairAction(bool& repaired);
    void slot_SupportAction(bool& repaired, bool& supported);
    void slot_SliceAction(bool& repaired, bool& supported, bool& sliced);
    void slot_PrintAction(bool& repaired, bool& supported, bool& sliced);
    void StatusChanged(int) { m_bPrinting = false; }
    void updateCtlsStat() {}

protected:
    void keyPressEvent(QKeyEvent*) override {}
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray&, void*, long*) override { return false; }

private:
    void repairStep();
    // Sends the plate's defect counts to the repair panel; false while a
    // model is still being checked.
    bool reportDefects();
    // The repair panel follows the plate: when a model was added or removed
    // or its check ended, it gets the plate's report (still checking, or
    // the counts) in place of the one it shows.
    void followPlateDefects();
    bool sendPlateDefects();
    // Steps after the file is chosen: the SLC guard, the job names, the load.
    void openChosenFile(const QString& name);
    void showBox(const QString& text, const QString& informative = QString());
    void showSettingsNotice(const QStringList& messages);
    // Waits for a job thread while running the scene calls it is waiting on.
    void waitServingScene(QThread* job);
    void dockWidgets();
    void placeBusyWidget();
    // The overlay tells that a model is still being checked while no job's
    // notice is up; the window stays usable meanwhile.
    void updateCheckingNotice();

    QMap<int, void (Vexmor::*)()> m_mapButtons;
};
