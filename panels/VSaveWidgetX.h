#pragma once

#include "RecipeStore.h"
#include "WebForm.h"
#include "dlp/machineconfig.h"
#include "dlp/slicebuildconfig.h"

#include <QTime>
#include <QVector>
#include <QWidget>

#include <string>

#include "PrintTimeEstimate.h"

class QButtonGroup;
class QModelIndex;
class QSettings;
class VEditRecipeWidget;
class VImportWidgetX;
class VPrintMsgBox;
class VSLGLView;
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
    // The fields into the build configuration, as a job start copies them.
    void copyFieldsToConfig();
    void on_comboBox_currentIndexChanged(int) {}

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

private slots:
    void slot_EmitStartPrint();
    void on_printerSelect();
    void on_edit_tilt_dist1_editingFinished();
    void on_Laythick_clicked(const QModelIndex& index);
    void on_pushButton();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Ui::VSaveWidgetX* ui;
};
