#pragma once

#include "RecipeStore.h"
#include "frmDeviceInterfaceSettings.h"
#include "dlp/slicebuildconfig.h"
#include "printfile/ExportThread.h"
#include "printfile/printermodels.h"

#include <QDialog>
#include <QMap>

class VEditRecipeWidget;
class VSaveWidgetX;
class VSLGLView;
namespace Ui {
class VImportWidgetX;
}

// The converter panel: re-saves an own print file, or converts a foreign
// print archive, for the current printer model with a chosen recipe. The
// work runs on the panel's ExportThread, which the main window starts.
class VImportWidgetX : public QDialog, public RecipePanel
{
    Q_OBJECT
public:
    VImportWidgetX(VSLGLView* view, VEditRecipeWidget* recipes, DLP::SliceBuildConfig& config,
                   QWidget* parent = nullptr);
    ~VImportWidgetX() override;

    void setMachine(const QString& name);
    void loadRecipe();
    void updateUIX(const QString& name) override;
    QComboBox* recipeComboBox() override;
    void showPanel() override { show(); }
    void setLayerThick(int um);
    void setMachinePara();
    // Whether an archive header fits the model's check row; a model without
    // a row takes every archive.
    static bool archiveMatchesModel(const QMap<QString, QString>& header, const QString& model);

    VSLGLView* m_pView;
    VEditRecipeWidget* m_pRecipeWidget;
    DLP::SliceBuildConfig& m_config;
    frmDeviceInterfaceSettings* m_pDeviceSettings = nullptr;
    VSaveWidgetX* m_pSaveWidget = nullptr;  // the save panel, set by the main window
    QString m_strMachine;
    // The printer chosen in the title bar (setMachine): every new source
    // starts from it; an own file then selects its own model.
    QString m_strPrinter;
    QMap<QString, QString> m_mapFilter;
    QMap<QString, QString> m_mapSuffix;
    QMap<QString, int> m_mapMachineCode;
    ExportThread* m_pExportThread;
    float m_fLayerThick = 0;
    // Machine code in the header of the imported own print file.
    int m_nSourceMachineCode = 0;
    QString m_strMsgStyle;

signals:
    void signal_ExportData();

public slots:
    void slot_btnCloseClicked();
    void slot_btnImportClicked();
    void slot_btnSaveClicked();
    void slot_cbSourceTextChanged();
    void slot_cbRecipeTextChanged(const QString& name);
    void slot_NewEditButtonClicked();
    void slot_DeleteButtonClicked();
    // The converter's report: a failure is shown as a Critical box.
    void slot_ExportDataDone(int result, const QString& message);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void initPara();
    // A modal box; a warning rather than an error when the file was written.
    // `detail` goes under the text.
    void critical(const QString& text, bool written = false, const QString& detail = QString());
    // Why the own-format source cannot be re-saved for the model of `row`
    // (the command-line tool's message), or empty; `frame` is then the one
    // the re-save keeps.
    // The same for a source of another machine code than the model's, or
    // whose layers stand taller than the model builds.
    QString sourceProblem(const frmDeviceInterfaceSettings::MachinePara& row, PrinterModels::Frame& frame) const;
    // Why the imported archive's layers stand taller than the model of `row` builds, or empty.
    QString archiveHeightProblem(const frmDeviceInterfaceSettings::MachinePara& row) const;
    void resetSource();
    // Shows the title bar's printer in the machine list again.
    void selectTitleBarPrinter();
    // By the extension table; of the models sharing an extension, the one
    // whose machine code the file carries (a Pellar4Kmono file is no Pellar4K file).
    void selectModelByExtension(const QString& fileName, int machineCode = 0);
    // The model's row of the printer-model table; false when it has none usable.
    bool machineRow(const QString& model, frmDeviceInterfaceSettings::MachinePara& row) const;
    QString baseName() const;

    Ui::VImportWidgetX* ui;
};
