#include "VImportWidgetX.h"

#include "FileChooser.h"
#include "VEditRecipeWidget.h"
#include "VSLGLView.h"
#include "frmDeviceInterfaceSettings.h"
#include "ui_VImportWidgetX.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>

#include <cmath>

namespace {

const char* const kMsgStyle =
    "*{font: bold 9pt \"Arial\"; color: rgb(255, 255, 255); background-color: rgb(100, 100, 100);}"
    "QPushButton{color: rgb(19, 29, 33); background-color: rgb(238, 236, 234); border-radius: 5px;"
    " min-width: 60px; max-width: 60px;}"
    "QPushButton:pressed{color: rgb(65, 65, 65); background-color: rgb(170, 170, 170);}";

struct ArchiveRow { int machineX, machineY, machineZ, resolutionX, resolutionY; };

const QMap<QString, ArchiveRow>& archiveRows()
{
    static const QMap<QString, ArchiveRow> rows = {
        {"Pellar10", {55440, 98637, 140000, 960, 1708}},   {"R10", {55440, 98637, 140000, 960, 1708}},
        {"Pellar30", {68040, 120960, 170000, 1440, 2560}}, {"R20", {68040, 120960, 170000, 1440, 2560}},
        {"Pellar120", {68040, 120960, 150000, 1440, 2560}}, {"Pellar4K", {68040, 120960, 190000, 6480, 3840}},
        {"Pellar4Kmono", {68040, 120960, 190000, 6480, 3840}},
        {"Pellar200", {192000, 120000, 230000, 2560, 1600}},
        {"Pellar200Pro", {192000, 120000, 230000, 3840, 2400}},
        {"Pellar300", {293760, 165240, 360000, 3840, 2160}},
    };
    return rows;
}

// Millimetres to whole micrometres, in single precision, cut toward zero.
int micrometres(float mm)
{
    const float um = mm * 1000.0f;
    if (!std::isfinite(um) || std::fabs(um) > 2.0e9f)
        return 0;
    return static_cast<int>(um);
}

QString num(float v)
{
    return QString::number(v, 'g', 6);
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
    const struct { const char* model; const char* suffix; int code; } models[] = {
        {"R10", "vxs", 10},          {"Pellar10", "vxs", 10},          {"R20", "vxs30", 30},
        {"Pellar30", "vxs30", 30},   {"Pellar4K", "vxs4k", 4000},      {"Pellar4Kmono", "vxs4k", 4500},
        {"Pellar120", "vxs120", 120}, {"Pellar200", "vxs200", 200},    {"Pellar200Pro", "vxs200p", 240},
        {"Pellar300", "vxs300", 300},
    };
    for (const auto& m : models) {
        m_mapSuffix[m.model] = m.suffix;
        m_mapMachineCode[m.model] = m.code;
    }
    ui->Label_FileName->clear();
    ui->Label_LayerThick->clear();

    // The default block: the configuration as the panel finds it, three kept.
    ST_MachinePara& p = m_pExportThread->m_para;
    p.DotsPermmX = m_config.DotsPermmX;
    p.DotsPermmY = m_config.DotsPermmY;
    p.XResolution = float(m_config.XResolution);
    p.YResolution = float(m_config.YResolution);
    p.SliceThickness = m_config.SliceThickness;
    p.ExposureTimePerLayer = float(m_config.ExposureTimePerLayer);
    p.BottomExposureTime = float(m_config.BottomExposureTime);
    p.ZLiftBottomLayer = 10;
    p.BottomMaterialStable = float(m_config.BottomMaterialStable);
    p.MaterialStable = float(m_config.MaterialStable);
    p.HighofBottomLayer = m_config.HighofBottomLayer;
    p.HighofMiddleLayer = 0.6f;
    p.ZLiftDistance = m_config.ZLiftDistance;
    p.ZLiftDistance2 = m_config.ZLiftDistance2;
    p.ZLiftSpeed = m_config.ZLiftSpeed;
    p.ZRetractSpeed = m_config.ZRetractSpeed;
    p.ZLiftBottomSpeed = m_config.ZLiftBottomSpeed;
    p.ZLiftFirstBottomSpeed = m_config.ZLiftFirstBottomSpeed;
    p.TiltDistance1 = m_config.TiltDistance1;
    p.TiltSpeed1 = m_config.TiltSpeed1;
    p.TiltDistance2 = m_config.TiltDistance2;
    p.TiltSpeed2 = m_config.TiltSpeed2;
    p.TiltRetractSpeed = m_config.TiltRetractSpeed;
    p.TiltNearDistance = m_config.TiltNearDistance;
    p.TiltNearDistance2 = m_config.TiltNearDistance2;
    p.TiltNearSpeed = m_config.TiltNearSpeed;
    p.RotateDistance = m_config.RotateDistance;
    p.RotateSpeed = m_config.RotateSpeed;
    p.Dp = 150;
    p.MaterialID = float(m_config.MaterialID);
    p.MachineHeight = m_config.MachineHeight;
    p.BlankTime = float(m_config.BlankTime);
    p.XOffset = 0;
    p.YOffset = 0;
}

QComboBox* VImportWidgetX::recipeComboBox()
{
    return ui->comboBox_Recipe;
}

void VImportWidgetX::setMachine(const QString& name)
{
    m_strMachine = name;
    const int index = ui->comboBox_Machine->findText(name);
    if (index >= 0)
        ui->comboBox_Machine->setCurrentIndex(index);
    ui->comboBox_Machine->setEnabled(false);
}

void VImportWidgetX::setLayerThick(int um)
{
    ui->Label_LayerThick->setText(QString::number(um) + QStringLiteral("um"));
}

void VImportWidgetX::loadRecipe()
{
    ui->comboBox_Recipe->clear();
    if (!m_pRecipeWidget)
        return;
    for (const RecipePara& r : qAsConst(m_pRecipeWidget->m_listRecipe))
        ui->comboBox_Recipe->addItem(r.name);
    if (m_pRecipeWidget->m_listRecipe.isEmpty())
        return;
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
        ui->edit_exposure_tm->setText(QString::number(r.exposure_tm));
        ui->edit_bottom_exposure->setText(QString::number(r.bottom_exposure));
        ui->edit_bottom_layers->setText(num(r.bottom_layers));
        ui->edit_lift_dist->setText(num(r.lift_dist1));
        ui->le_zdist2->setText(num(r.lift_dist2));
        ui->edit_lift_speed->setText(num(r.lift_speed));
        ui->lEMaterialsStableTimeLow->setText(QString::number(r.bottomMaterialStable));
        ui->le_zfirstbottomspeed->setText(num(r.lift_first_bottom_speed));
    }
}

void VImportWidgetX::slot_cbRecipeTextChanged(const QString& name)
{
    updateUIX(name);
    bool deletable = true;
    if (m_pRecipeWidget)
        for (const RecipePara& r : qAsConst(m_pRecipeWidget->m_listRecipe))
            if (r.name == name) {
                deletable = r.editable;
                break;
            }
    ui->DeleteButton->setEnabled(deletable);
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
        m_pRecipeWidget->show();
}

void VImportWidgetX::resetSource()
{
    ui->btn_Save->setEnabled(false);
    ui->Label_FileName->clear();
    ui->Label_LayerThick->clear();
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

void VImportWidgetX::critical(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QString(), text, QMessageBox::Ok);
    box.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    box.setStyleSheet(m_strMsgStyle);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void VImportWidgetX::selectModelByExtension(const QString& fileName)
{
    const struct { const char* suffix; const char* model; } table[] = {
        {".vxs", "Pellar10"},   {".vxs30", "Pellar30"},   {".vxs120", "Pellar120"},     {".vxs4k", "Pellar4K"},
        {".vxs200", "Pellar200"}, {".vxs200p", "Pellar200Pro"}, {".vxs300", "Pellar300"},
    };
    for (const auto& row : table) {
        if (!fileName.endsWith(QLatin1String(row.suffix), Qt::CaseInsensitive))
            continue;
        const int index = ui->comboBox_Machine->findText(QLatin1String(row.model));
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
    auto fail = [this](const QString& text) {
        // A failed import leaves nothing to save.
        resetSource();
        critical(text);
    };
    if (source.contains(QLatin1String("Vexmor3D"))) {
        m_pExportThread->m_srcPath = file;
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return fail(tr("File error: unknown format!"));
        const QByteArray head = f.read(48);
        if (head.size() < 48 || !head.startsWith("Vexmor3D"))
            return fail(tr("File error: unknown format!"));
        QDataStream in(head);
        in.setByteOrder(QDataStream::LittleEndian);
        in.setFloatingPointPrecision(QDataStream::SinglePrecision);
        in.skipRawData(24);
        qint32 count = 0;
        in >> count;
        if (count != 34)
            return fail(tr("File error: unknown format!"));
        in.skipRawData(16);
        float thick = 0;
        in >> thick;
        m_fLayerThick = thick;
        const int um = micrometres(thick);
        if (um < 10 || um > 100)
            return fail(tr("Wrong layer thickness!"));
        ui->Label_LayerThick->setText(QString::number(um) + QStringLiteral(" um"));
        selectModelByExtension(QFileInfo(file).fileName());
    } else if (source.contains(QLatin1String("ChiTuBox"))) {
        m_pExportThread->m_zipPath = file;
        if (m_pExportThread->LoadGcode_ChiTuBox() != 0)
            return fail(tr("File error: unknown format!"));
        bool ok = false;
        const float thick = m_pExportThread->m_gcodeParas.value(QStringLiteral("layerHeight")).toFloat(&ok);
        m_fLayerThick = ok ? thick : 0.0f;
        const int um = micrometres(m_fLayerThick);
        if (um < 1)
            return fail(tr("Wrong layer thickness!"));
        ui->Label_LayerThick->setText(QString::number(um) + QStringLiteral(" um"));
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

bool VImportWidgetX::checkArchive(const QString& machine)
{
    const auto& rows = archiveRows();
    const auto it = rows.constFind(machine);
    if (it == rows.constEnd())
        return true;
    const auto& h = m_pExportThread->m_gcodeParas;
    const int mx = micrometres(h.value("machineX").toFloat());
    const int my = micrometres(h.value("machineY").toFloat());
    const int mz = micrometres(h.value("machineZ").toFloat());
    const int rx = h.value("resolutionX").toInt();
    const int ry = h.value("resolutionY").toInt();
    return mx == it->machineX && my == it->machineY && mz == it->machineZ && rx == it->resolutionX &&
           ry == it->resolutionY;
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
        selectModelByExtension(ui->Label_FileName->text());
        m_strMachine = ui->comboBox_Machine->currentText();
    }
    // A model without a table row has no pixel size to divide by.
    const auto table = frmDeviceInterfaceSettings::machineParaTable();
    const auto row = table.value(m_strMachine);
    if (row.pixelSizeX <= 0 || row.pixelSizeY <= 0 || row.xResolution <= 0 || row.yResolution <= 0) {
        critical(tr("Image setting does not match!"));
        return;
    }
    if (archive && !checkArchive(m_strMachine)) {
        critical(tr("Image setting does not match!"));
        return;
    }
    const QString folder = m_pView ? m_pView->GetSaveFilePath() : QString();
    const QString proposed = folder + QStringLiteral("/") + baseName() + (own ? QStringLiteral("_new") : QString());
    const QString out = FileChooser::saveFileName(this, QStringLiteral("Import File"), proposed,
                                                  QStringLiteral("(*.") + m_mapSuffix.value(m_strMachine) +
                                                      QStringLiteral(")"));
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
        t.m_nMachineX = micrometres(t.m_gcodeParas.value("machineX").toFloat());
        t.m_nMachineY = micrometres(t.m_gcodeParas.value("machineY").toFloat());
    }
    t.m_grayBits = 4;
    setMachinePara();
    emit signal_ExportData();
}

void VImportWidgetX::setMachinePara()
{
    const auto row = frmDeviceInterfaceSettings::machineParaTable().value(m_strMachine);
    ST_MachinePara& p = m_pExportThread->m_para;
    auto dots = [](float um) { return um > 0 ? 1000.0f / um : 0.0f; };
    if (!row.rotate) {
        p.DotsPermmX = dots(row.pixelSizeX);
        p.DotsPermmY = dots(row.pixelSizeY);
        p.XResolution = row.xResolution;
        p.YResolution = row.yResolution;
    } else {
        p.DotsPermmX = dots(row.pixelSizeY);
        p.DotsPermmY = dots(row.pixelSizeX);
        p.XResolution = row.yResolution;
        p.YResolution = row.xResolution;
    }
    p.MachineHeight = row.zHeight;
    auto f = [](QLineEdit* e) {
        const float v = e->text().toFloat();
        return std::isfinite(v) ? v : 0.0f;
    };
    p.ExposureTimePerLayer = float(ui->edit_exposure_tm->text().toInt());
    p.BottomExposureTime = float(ui->edit_bottom_exposure->text().toInt());
    p.BottomMaterialStable = f(ui->lEMaterialsStableTimeLow);
    p.MaterialStable = f(ui->lEMaterialsStableTimeLow);
    p.HighofBottomLayer = f(ui->edit_bottom_layers);
    p.ZLiftDistance = f(ui->edit_lift_dist);
    p.ZLiftDistance2 = f(ui->le_zdist2);
    p.ZLiftSpeed = f(ui->edit_lift_speed);
    p.ZRetractSpeed = f(ui->edit_lift_speed);
    p.ZLiftBottomSpeed = f(ui->le_zfirstbottomspeed);
    p.ZLiftFirstBottomSpeed = f(ui->le_zfirstbottomspeed);
    p.SliceThickness = m_fLayerThick;
}

void VImportWidgetX::slot_ExportDataDone(int result, const QString& message)
{
    if (result == 0)
        return;
    QString sentence;
    switch (result) {
    case ExportOutputFailed: sentence = tr("The converted file could not be written."); break;
    case ExportArchiveFailed: sentence = tr("The archive could not be opened."); break;
    case ExportGcodeMissing: sentence = tr("The archive holds no readable \"run.gcode\"."); break;
    case ExportLayerFailed: sentence = tr("A layer of the archive is missing or damaged."); break;
    case ExportBadArchiveData: sentence = tr("The archive's settings are out of range."); break;
    case ExportSourceInvalid: sentence = tr("The source is not a readable print file."); break;
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
