#pragma once

#include "RecipeStore.h"
#include "WebForm.h"
#include "dlp/machineconfig.h"
#include "dlp/slicebuildconfig.h"

#include <QTime>
#include <QVector>
#include <QWidget>

#include <functional>
#include <string>

#include "PrintTimeEstimate.h"

class QButtonGroup;
class QModelIndex;
class QSettings;
class VEditRecipeWidget;
class VImportWidgetX;
class VPrintMsgBox;
class QPainter;
class VSLGLView;
struct ValueSource;
namespace Ui {
class VSaveWidgetX;
}

// The save stage's side panel: the chosen recipe of the current printer
// model, the model and layer thickness, and the "Save Job" button.
class VSaveWidgetX : public QWidget, public RecipePanel
{
    Q_OBJECT
public:
    VSaveWidgetX(VSLGLView* view, VEditRecipeWidget* recipes, DLP::SliceBuildConfig& config,
                 QWidget* parent = nullptr);
    ~VSaveWidgetX() override;

    void setMachine(const QString& name);
    void setLayerThick(int um);
    void loadRecipe();
    void updateUIX(const QString& name) override;
    QComboBox* recipeComboBox() override;
    void msgOut(const QString& title, const QString& hint);

    void updateUI();
    void updateCurPara();

    // The material list ("Materials" in "<config>/<model>Material.ini") and
    // the panel's own copy of the recipe store's file code on m_listResin.
    bool writeIniFile();
    void readIniFile();
    void readIniFileX();
    bool writeIniFileX();
    static void setDefaultParaX(RecipePara& para, int layerUm);
    static void setDefaultPara(RecipePara& para);
    // The fields into a build configuration, as a job start copies them.
    void copyFieldsTo(DLP::SliceBuildConfig& c) const;
    // Why the fields cannot make a job a printer takes, naming the file and
    // key each value came from; empty when they can.
    QString jobValueProblem(const DLP::SliceBuildConfig& job) const;
    void on_comboBox_currentIndexChanged(int) {}

    // Whether the projector printer is on line; by default the serial link
    // (which finds and opens the printer on first use). Empty restores it.
    using LinkCheck = std::function<bool()>;
    void setLinkCheck(LinkCheck check);
    // Time of day for the layer reports. Empty restores the system clock.
    using Clock = std::function<QTime()>;
    void setClock(Clock clock);
    // A print file that was not written: the save-file end report with the
    // writer's reason behind the hint.
    void reportSaveFailed(const QString& reason);
    // A direct print started by this panel has not reported its end yet.
    bool localPrintRunning() const { return m_bLocalPrintRunning; }
    void paint(QPainter& painter);

    VImportWidgetX* m_pImportWidget = nullptr;
    VEditRecipeWidget* m_pEditRecipe;
    QList<RecipePara> m_listResin;
    QString m_strMachine;
    WebForm m_webForm;
    std::string m_strGcodePath;
    DLP::SliceBuildConfig& m_config;
    DLP::MachineConfig m_machineConfig;
    QSettings* m_pSettings = nullptr;
    VPrintMsgBox* m_pPrintMsgBox = nullptr;
    QList<RecipePara>* m_pListMaterial = nullptr;
    QButtonGroup* m_pTargetGroup = nullptr;
    int m_nCurMaterial = 0;
    int m_nCurLayer = 0;
    bool m_bSkipCancelConfirm = false;
    VSLGLView* m_pGLView = nullptr;
    bool m_bSliceData = false;
    int m_nLayers = 0;
    int m_nLastLayer = 0;
    int m_nTotalSeconds = 0;
    int m_nHours = 0;
    int m_nMinutes = 0;
    QTime m_lastLayerTime;
    quint8 m_nPrintTarget = 2;
    bool m_bNetConnected = false;
    bool m_bCancelled = false;
    QString m_strMsgStyle;
    QString m_strDelStyle;

signals:
    void signal_SendStartPrint();
    void signal_SendCancelPrint();
    void signal_PrintDataGenerate();
    void signal_emermencyStop();

public slots:
    void CalcTotalPrintTime();
    void slot_ReceiveNLayers(int layers);
    void slot_cbRecipeTextChanged(const QString& arg1);
    void slot_NewEditButtonClicked();
    void slot_DeleteButtonClicked();
    void slot_SavePara();
    void slot_dev_list(QVector<QString> list);
    void slot_dev_connected(QString dev);
    void slot_ReceiveIndexLayers(int index, int type);
    void slot_ReceivePrintDone();
    // How the print loop's job ended (DLP::PrintEnd) and why; the next end
    // report tells it.
    void slot_ReceivePrintEnd(int end, QString reason);
    void slot_para(bool longFlip, bool shortFlip, float pwm, float adjX, float adjY, float adjZ);
    void showWebform(bool type);
    void slot_EmitCancelPrint();
    void on_pbStop();
    void on_pbConnect();
    void on_pbSearch() {}
    void slot_bytesSended(qulonglong sent, qulonglong total);
    void slot_printDataSend(QString fileName);
    bool WriteBinaryParas(QString fileName);
    void slot_updSliceBrowser(int layer);

private slots:
    void slot_EmitStartPrint();
    void on_printerSelect();
    void on_edit_tilt_dist1_editingFinished();
    void on_Laythick_clicked(const QModelIndex& index);
    void on_pushButton();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The settings object on `path` again; false (and none) when the file
    // may not be used.
    bool reopenSettings(const QString& path);
    // Whether `path` names the file a model on the plate was read from.
    bool namesAModelFile(const QString& path) const;
    bool printerOnline();
    QTime now() const;
    // The recipe the panel shows (the last of its name), or null.
    const RecipePara* shownRecipe() const;
    // Where a job field's value came from: a file and its key, or the form's field.
    ValueSource valueSource(const std::string& field) const;
    void refuseStart(const QString& title, const QString& hint);
    // A start goes ahead: the job's values become the panel's, its counters
    // and time estimate start over.
    void takeJob(const DLP::SliceBuildConfig& job);

    LinkCheck m_linkCheck;
    Clock m_clock;
    bool m_bLocalPrintRunning = false;
    int m_nPrintEnd = -1; // DLP::PrintEnd of the running print; -1 none reported
    QString m_strPrintEndReason;
    QString m_strEndDetail; // appended to the next end report's hint
    Ui::VSaveWidgetX* ui;
};
