#include "VImportWidgetX.h"

#include "FileChooser.h"
#include "VEditRecipeWidget.h"
#include "VSLGLView.h"
#include "frmDeviceInterfaceSettings.h"
#include "printfile/filesafety.h"
#include "printfile/gcodeheader.h"
#include "printfile/printermodels.h"
#include "printfile/vxsresave.h"
#include "RecipeFields.h"
#include "panelstyle.h"
#include "ui_VImportWidgetX.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QtEndian>

#include <climits>
#include <cmath>

namespace {

const char* const kMsgStyle =
    "*{font: bold 9pt \"Arial\"; color: rgb(255, 255, 255); background-color: rgb(100, 100, 100);}"
    "QPushButton{color: rgb(19, 29, 33); background-color: rgb(238, 236, 234); border-radius: 5px;"
    " min-width: 60px; max-width: 60px;}"
    "QPushButton:pressed{color: rgb(65, 65, 65); background-color: rgb(170, 170, 170);}";

// A thickness as the label shows it: "50 um", "50.5 um".
QString thicknessText(float micrometres)
{
    return QString::number(double(micrometres), 'g', 4) + QStringLiteral(" um");
}

PrinterModels::Frame frameOf(const frmDeviceInterfaceSettings::MachinePara& row)
{
    return {row.xResolution, row.yResolution, row.pixelSizeX, row.pixelSizeY, row.zHeight, row.rotate};
}

} // namespace

VImportWidgetX::VImportWidgetX(VSLGLView* view, VEditRecipeWidget* recipes, DLP::SliceBuildConfig& config,
                               QWidget* parent)
    : QDialog(parent)
    , m_pView(view)
    , m_pRecipeWidget(recipes)
    , m_config(config)
    , m_strMsgStyle(QString::fromUtf8(kMsgStyle))
    , ui(new Ui::VImportWidgetX)
{
    ui->setupUi(this);
    PanelStyle::apply(this);
    ui->btn_Save->setEnabled(false);
    m_pExportThread = new ExportThread;
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowModality(Qt::WindowModal);
    initPara();
    loadRecipe();
    connect(ui->btn_Close, &QPushButton::clicked, this, &VImportWidgetX::slot_btnCloseClicked);
    connect(ui->btn_Import, &QPushButton::clicked, this, &VImportWidgetX::slot_btnImportClicked);
    connect(ui->btn_Save, &QPushButton::clicked, this, &VImportWidgetX::slot_btnSaveClicked);
    connect(ui->comboBox_Source, &QComboBox::currentTextChanged, this, &VImportWidgetX::slot_cbSourceTextChanged);
    connect(ui->comboBox_Recipe, &QComboBox::currentTextChanged, this, &VImportWidgetX::slot_cbRecipeTextChanged);
    connect(ui->NewEditButton, &QPushButton::clicked, this, &VImportWidgetX::slot_NewEditButtonClicked);
    connect(ui->DeleteButton, &QPushButton::clicked, this, &VImportWidgetX::slot_DeleteButtonClicked);
}

VImportWidgetX::~VImportWidgetX()
{
    m_pExportThread->wait();
    delete m_pExportThread;
    delete ui;
}

void VImportWidgetX::initPara()
{
    m_mapFilter["Vexmor3D vxs files"] =
        "Vexmor3D vxs files (*.vxs *.vxs30 *.vxs120 *.vxs4k *.vxs200 *.vxs200p *.vxs300)";
    m_mapFilter["ChiTuBox zip files"] = "ChiTuBox zip files (*.zip)";
    for (const QString& model : PrinterModels::Names()) {
        m_mapSuffix[model] = PrinterModels::Extension(model);
        m_mapMachineCode[model] = PrinterModels::MachineCode(model);
    }
    ui->Label_FileName->clear();
    ui->Label_LayerThick->clear();

    // The default block: the configuration as the panel finds it, with the
    // converter's three own values.
    const ST_MachinePara fixed = PrinterModels::ConverterDefaultPara();
    ST_MachinePara& p = m_pExportThread->m_para;
    p = DLP::machineParaFrom(m_config);
    p.ZLiftBottomLayer = fixed.ZLiftBottomLayer;
    p.HighofMiddleLayer = fixed.HighofMiddleLayer;
    p.Dp = fixed.Dp;
}

QComboBox* VImportWidgetX::recipeComboBox()
{
    return ui->comboBox_Recipe;
}

void VImportWidgetX::setMachine(const QString& name)
{
    m_strMachine = name;
    m_strPrinter = name;
    selectTitleBarPrinter();
    ui->comboBox_Machine->setEnabled(false);
}

void VImportWidgetX::selectTitleBarPrinter()
{
    const int index = ui->comboBox_Machine->findText(m_strPrinter);
    if (index >= 0)
        ui->comboBox_Machine->setCurrentIndex(index);
}

void VImportWidgetX::setLayerThick(int um)
{
    ui->Label_LayerThick->setText(QString::number(um) + QStringLiteral("um"));
}

void VImportWidgetX::loadRecipe()
{
    ui->comboBox_Recipe->clear();
    if (!m_pRecipeWidget || m_pRecipeWidget->m_listRecipe.isEmpty()) {
        // No recipe to show: nothing of an earlier model's recipe stays.
        for (QLineEdit* e : {ui->edit_exposure_tm, ui->edit_bottom_exposure, ui->edit_bottom_layers,
                             ui->edit_lift_dist, ui->le_zfirstbottomspeed, ui->le_zdist2, ui->edit_lift_speed,
                             ui->lEMaterialsStableTimeLow})
            e->clear();
        return;
    }
    for (const RecipePara& r : qAsConst(m_pRecipeWidget->m_listRecipe))
        ui->comboBox_Recipe->addItem(r.name);
    ui->comboBox_Recipe->setCurrentIndex(0);
    slot_cbRecipeTextChanged(m_pRecipeWidget->m_listRecipe.first().name);
}

void VImportWidgetX::updateUIX(const QString& name)
{
    if (!m_pRecipeWidget)
        return;
    for (const RecipePara& r : qAsConst(m_pRecipeWidget->m_listRecipe)) {
        if (r.name != name)
            continue;
        m_pRecipeWidget->SetUI_Para(r);
        showRecipeFields(r, {ui->edit_exposure_tm, ui->edit_bottom_exposure, ui->edit_bottom_layers,
                             ui->edit_lift_dist, ui->le_zdist2, ui->edit_lift_speed, ui->lEMaterialsStableTimeLow,
                             ui->le_zfirstbottomspeed});
    }
}

void VImportWidgetX::slot_cbRecipeTextChanged(const QString& name)
{
    updateUIX(name);
    ui->DeleteButton->setEnabled(!m_pRecipeWidget || recipeDeletable(m_pRecipeWidget->m_listRecipe, name));
}

void VImportWidgetX::slot_DeleteButtonClicked()
{
    const QString name = ui->comboBox_Recipe->currentText();
    QMessageBox box(QMessageBox::Warning, QString(), tr("Delete Recipe ") + name + QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No);
    box.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    box.setStyleSheet(m_strMsgStyle);
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() == QMessageBox::Yes && m_pRecipeWidget)
        m_pRecipeWidget->deleteRecipe(name);
}

void VImportWidgetX::slot_NewEditButtonClicked()
{
    hide();
    if (m_pRecipeWidget)
        m_pRecipeWidget->openFrom(this);
}

void VImportWidgetX::resetSource()
{
    ui->btn_Save->setEnabled(false);
    ui->Label_FileName->clear();
    ui->Label_LayerThick->clear();
    // The model an own file selected belongs to that file alone.
    selectTitleBarPrinter();
}

void VImportWidgetX::slot_btnCloseClicked()
{
    hide();
    resetSource();
}

void VImportWidgetX::slot_cbSourceTextChanged()
{
    resetSource();
}

void VImportWidgetX::critical(const QString& text, bool written, const QString& detail)
{
    QMessageBox box(written ? QMessageBox::Warning : QMessageBox::Critical, QString(), text, QMessageBox::Ok);
    box.setInformativeText(detail);
    box.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    box.setStyleSheet(m_strMsgStyle);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void VImportWidgetX::selectModelByExtension(const QString& fileName, int machineCode)
{
    const struct { const char* suffix; const char* model; } table[] = {
        {".vxs", "Pellar10"},   {".vxs30", "Pellar30"},   {".vxs120", "Pellar120"},     {".vxs4k", "Pellar4K"},
        {".vxs200", "Pellar200"}, {".vxs200p", "Pellar200Pro"}, {".vxs300", "Pellar300"},
    };
    for (const auto& row : table) {
        if (!fileName.endsWith(QLatin1String(row.suffix), Qt::CaseInsensitive))
            continue;
        QString model = QLatin1String(row.model);
        for (int i = 0; i < ui->comboBox_Machine->count(); ++i) {
            const QString item = ui->comboBox_Machine->itemText(i);
            if (machineCode != 0 && PrinterModels::MachineCode(item) == machineCode &&
                PrinterModels::Extension(item) == PrinterModels::Extension(model))
                model = item;
        }
        const int index = ui->comboBox_Machine->findText(model);
        if (index >= 0)
            ui->comboBox_Machine->setCurrentIndex(index);
        return;
    }
}

void VImportWidgetX::slot_btnImportClicked()
{
    // The job fields belong to the running conversion until it ends.
    if (m_pExportThread->isRunning()) {
        critical(tr("A conversion is still running."));
        return;
    }
    const QString source = ui->comboBox_Source->currentText();
    const QString file = FileChooser::openFileName(this, QStringLiteral("Import File"),
                                                   m_pView ? m_pView->GetOpenFilePath() : QString(),
                                                   m_mapFilter.value(source));
    if (file.isEmpty())
        return;
    // A new source is for the title bar's printer, whatever the last own
    // file selected; an own file selects its model below.
    selectTitleBarPrinter();
    // A failed import leaves nothing to save; why it failed is shown and
    // kept in the log.
    auto fail = [this, &file](const QString& text, const QString& why = QString()) {
        resetSource();
        qWarning().noquote() << "Import failed:" << file << text << why;
        critical(why.isEmpty() ? text : text + QLatin1Char('\n') + why);
    };
    if (source.contains(QLatin1String("Vexmor3D"))) {
        m_pExportThread->m_srcPath = file;
        // A FIFO or device would block the reader; a folder is no print file.
        QFile f(file);
        const QString unreadable = InputFileProblem(file);
        if (!unreadable.isEmpty())
            return fail(tr("File error: unknown format!"), unreadable);
        if (!f.open(QIODevice::ReadOnly))
            return fail(tr("File error: unknown format!"), f.errorString());
        const QByteArray head = f.read(kVxsMinHeaderBytes);
        if (!IsVxsHeader(head))
            return fail(tr("File error: unknown format!"),
                        QStringLiteral("%1 is no Vexmor3D print file (its header is missing or cut short)").arg(file));
        m_fLayerThick = qFromLittleEndian<float>(head.constData() + kVxsParaOffset + 4 * 4);
        m_nSourceMachineCode = qFromLittleEndian<qint32>(head.constData() + 16);
        float um = 0;
        if (!IsPrintableLayerThickness(m_fLayerThick, &um))
            return fail(tr("Wrong layer thickness!"));
        ui->Label_LayerThick->setText(thicknessText(um));
        selectModelByExtension(QFileInfo(file).fileName(), m_nSourceMachineCode);
    } else if (source.contains(QLatin1String("ChiTuBox"))) {
        m_pExportThread->m_zipPath = file;
        if (m_pExportThread->LoadGcode_ChiTuBox() != 0)
            return fail(tr("File error: unknown format!"), m_pExportThread->lastMessage());
        double thick = 0; // missing or not a number: 0
        GcodeHeaderReal(m_pExportThread->m_gcodeParas, QStringLiteral("layerHeight"), -1e9, 1e9, thick);
        m_fLayerThick = float(thick);
        // As for an own file: a layer height no printer takes (500 mm, say)
        // would become the print's lift per layer.
        float um = 0;
        if (!IsPrintableLayerThickness(m_fLayerThick, &um))
            return fail(tr("Wrong layer thickness!"));
        ui->Label_LayerThick->setText(thicknessText(um));
    }
    const QFileInfo info(file);
    if (m_pView) {
        m_pView->SetOpenFilePath(info.absolutePath());
        m_pView->SetOpenFileName(info.fileName());
    }
    ui->Label_FileName->setText(info.fileName());
    ui->btn_Save->setEnabled(true);
}

QString VImportWidgetX::baseName() const
{
    const QString name = m_pView ? m_pView->GetOpenFileName() : ui->Label_FileName->text();
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? name : name.left(dot);
}

bool VImportWidgetX::archiveMatchesModel(const QMap<QString, QString>& header, const QString& model)
{
    return PrinterModels::ArchiveFrameProblem(header, model).isEmpty();
}

bool VImportWidgetX::machineRow(const QString& model, frmDeviceInterfaceSettings::MachinePara& row) const
{
    row = m_pDeviceSettings ? m_pDeviceSettings->m_machineParas.value(model)
                            : frmDeviceInterfaceSettings::machineParaTable().value(model);
    // A model without a row has no pixel size to divide by.
    return row.pixelSizeX > 0 && row.pixelSizeY > 0 && row.xResolution > 0 && row.yResolution > 0;
}

void VImportWidgetX::slot_btnSaveClicked()
{
    if (m_pExportThread->isRunning()) {
        critical(tr("A conversion is still running."));
        return;
    }
    m_strMachine = ui->comboBox_Machine->currentText();
    const QString source = ui->comboBox_Source->currentText();
    const bool own = source.contains(QLatin1String("Vexmor3D"));
    const bool archive = !own && source.contains(QLatin1String("ChiTuBox"));
    if (!own && !archive)
        return;
    if (own) {
        selectModelByExtension(ui->Label_FileName->text(), m_nSourceMachineCode);
        m_strMachine = ui->comboBox_Machine->currentText();
    }
    // A recipe whose file held a value no printer takes goes into no print file.
    if (m_pRecipeWidget) {
        QString problem;
        for (const RecipePara& r : qAsConst(m_pRecipeWidget->m_listRecipe))
            if (r.name == ui->comboBox_Recipe->currentText())
                problem = r.valueProblem;
        if (!problem.isEmpty()) {
            critical(tr("Value Out of Range") + QStringLiteral("\n") + problem);
            return;
        }
    }
    frmDeviceInterfaceSettings::MachinePara row;
    if (!machineRow(m_strMachine, row)) {
        critical(tr("Image setting does not match!"));
        return;
    }
    if (archive) {
        // Both frames, so that the user sees which printer the archive is for.
        const QString frames = PrinterModels::ArchiveFrameProblem(m_pExportThread->m_gcodeParas, m_strMachine);
        if (!frames.isEmpty()) {
            qWarning().noquote() << "Conversion refused:" << ui->Label_FileName->text() << "-" << frames;
            critical(tr("Image setting does not match!"), false, frames);
            return;
        }
    }
    PrinterModels::Frame resaveFrame;
    // As the command-line tool: layers only print on the frame they were
    // made for, a file only on the printer of its code, and no print taller
    // than the printer.
    const QString problem = own ? sourceProblem(row, resaveFrame) : archiveHeightProblem(row);
    if (!problem.isEmpty()) {
        qWarning().noquote() << "Conversion refused:" << ui->Label_FileName->text() << "for" << m_strMachine << "-"
                             << problem;
        critical(problem);
        return;
    }
    const QString folder = m_pView ? m_pView->GetSaveFilePath() : QString();
    const QString proposed = folder + QStringLiteral("/") + baseName() + (own ? QStringLiteral("_new") : QString());
    const QString extension = m_mapSuffix.value(m_strMachine);
    QString out = FileChooser::saveFileName(this, QStringLiteral("Import File"), proposed,
                                            QStringLiteral("(*.") + extension + QStringLiteral(")"));
    if (out.isEmpty())
        return;
    // The name as kept from the proposal has no extension.
    out = FileChooser::withExtension(out, extension,
                                     [this](const QString& p) { return FileChooser::confirmReplace(this, p, m_strMsgStyle); });
    if (out.isEmpty())
        return;
    if (m_pView)
        m_pView->SetSaveFilePath(QFileInfo(out).absolutePath());
    ExportThread& t = *m_pExportThread;
    t.m_exportType = own ? QStringLiteral("Vexmor3D") : QStringLiteral("ChiTuBox");
    if (own)
        t.m_dstPath = out;
    else
        t.m_exportPath = out;
    t.m_machineName = m_strMachine;
    t.m_machineCode = m_mapMachineCode.value(m_strMachine);
    if (archive) {
        const PrinterModels::ArchiveCheck frame = PrinterModels::ArchiveFrameOf(t.m_gcodeParas);
        t.m_nMachineX = frame.machineX;
        t.m_nMachineY = frame.machineY;
    }
    t.m_grayBits = 4;
    setMachinePara();
    // A re-save keeps the frame its source states, of those the model takes.
    if (own)
        PrinterModels::ApplyFrame(t.m_para, resaveFrame);
    emit signal_ExportData();
}

QString VImportWidgetX::archiveHeightProblem(const frmDeviceInterfaceSettings::MachinePara& row) const
{
    int layers = 0;
    // A count no archive can hold is the converter's to refuse, with its reason.
    if (!GcodeHeaderInt(m_pExportThread->m_gcodeParas, QStringLiteral("totalLayer"), 1, INT_MAX, layers))
        return QString();
    return PrinterModels::PrintHeightProblem(layers, m_fLayerThick, double(row.zHeight), m_strMachine);
}

QString VImportWidgetX::sourceProblem(const frmDeviceInterfaceSettings::MachinePara& row,
                                      PrinterModels::Frame& frame) const
{
    VxsLayout source;
    QString error;
    if (!ReadVxsLayout(m_pExportThread->m_srcPath, source, error))
        return tr("File error: unknown format!") + QLatin1Char('\n') + error;
    frame = PrinterModels::ResaveFrame(source.para, frameOf(row));
    ST_MachinePara target = PrinterModels::ConverterDefaultPara();
    PrinterModels::ApplyFrame(target, frame);
    QString problem = PrinterModels::SourceFrameProblem(source.para, target, m_strMachine);
    if (problem.isEmpty())
        problem = PrinterModels::MachineCodeProblem(source.machineCode, m_strMachine,
                                                    m_mapMachineCode.value(m_strMachine));
    if (problem.isEmpty())
        problem = PrinterModels::PrintHeightProblem(source.layerCount, m_fLayerThick, double(row.zHeight),
                                                    m_strMachine);
    return problem;
}

void VImportWidgetX::setMachinePara()
{
    frmDeviceInterfaceSettings::MachinePara row;
    machineRow(m_strMachine, row);
    ST_MachinePara& p = m_pExportThread->m_para;
    PrinterModels::ApplyFrame(p, frameOf(row));
    auto real = [](QLineEdit* e) {
        const double v = e->text().toDouble();
        return std::isfinite(v) ? v : 0.0;
    };
    PrinterModels::Recipe recipe;
    recipe.exposureMs = ui->edit_exposure_tm->text().toInt();
    recipe.bottomExposureMs = ui->edit_bottom_exposure->text().toInt();
    recipe.stableMs = real(ui->lEMaterialsStableTimeLow);
    recipe.bottomMm = real(ui->edit_bottom_layers);
    recipe.lift1Mm = real(ui->edit_lift_dist);
    recipe.lift2Mm = real(ui->le_zdist2);
    recipe.liftSpeed2 = real(ui->edit_lift_speed);
    recipe.liftSpeed1 = real(ui->le_zfirstbottomspeed);
    PrinterModels::ApplyRecipe(p, recipe);
    p.SliceThickness = m_fLayerThick;
}

void VImportWidgetX::slot_ExportDataDone(int result, const QString& message)
{
    // Written, but not all of the source made it (a layer picture past the
    // header's count, an unusable preview): the user is told what.
    if (result == 0 && !message.isEmpty())
        critical(tr("The print file was written, but:") + QStringLiteral("\n") + message, true);
    if (result == 0)
        return;
    if (result == ExportNothingLit) {
        // As the slice says it, in the interface language.
        critical(tr("Nothing to print.") + QStringLiteral("\n") + tr("No layer of the file lights a pixel."));
        return;
    }
    QString sentence;
    switch (result) {
    case ExportOutputFailed: sentence = tr("The converted file could not be written."); break;
    case ExportArchiveFailed: sentence = tr("The archive could not be opened."); break;
    case ExportGcodeMissing: sentence = tr("The archive holds no readable \"run.gcode\"."); break;
    case ExportLayerFailed: sentence = tr("A layer of the archive is missing or damaged."); break;
    case ExportBadArchiveData: sentence = tr("The archive's settings are out of range."); break;
    case ExportSourceInvalid: sentence = tr("The source is not a readable print file."); break;
    case ExportWrongPrinter: sentence = tr("The source is a print file for another printer."); break;
    case ExportTooTall: sentence = tr("The print is taller than the printer builds."); break;
    default: sentence = tr("The conversion was not started."); break;
    }
    critical(message.isEmpty() ? sentence : sentence + QStringLiteral("\n") + message);
}

void VImportWidgetX::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40, 127));
    painter.drawRect(rect());
}
