#include "VSaveWidgetX.h"
#include "StyledMessageBox.h"

#include "IniValues.h"
#include "MaterialList.h"
#include "ParasBlock.h"
#include "SlicePreview.h"

#include "FileChooser.h"
#include "VEditRecipeWidget.h"
#include "VImportWidgetX.h"
#include "VSLGLView.h"
#include "dlp/gcodegenerator.h"
#include "dlp/saturatingcast.h"
#include "dlp/valueranges.h"
#include "DlpCtlDialog.h"
#include "buildmanager.h"
#include "dlpserialport.h"
#include "notices.h"
#include "panelstyle.h"
#include "ownedfile.h"
#include "MaterialForm.h"
#include "ProjectorDesktop.h"
#include "printfile/filesafety.h"
#include "printfile/printermodels.h"
#include "RecipeFields.h"
#include "settingsrangecheck.h"
#include "ui_VSaveWidgetX.h"

#include <QButtonGroup>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QtDebug>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QInputDialog>
#include <QIntValidator>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace {

const char* const kMsgStyle =
    "*{color: rgb(255, 255, 255); background-color: rgb(0, 0, 0); font-size : 60px;}"
    "QPushButton{background-color: rgb(125, 125, 125); border: 2px outset rgb(125, 125, 125);"
    " border-radius: 10px; padding: 5px; font: 60pt;}";
const char* const kDelStyle =
    "*{font: bold 9pt \"Arial\"; color: rgb(255, 255, 255); background-color: rgb(100, 100, 100);}"
    "QPushButton{color: rgb(19, 29, 33); background-color: rgb(238, 236, 234); border-radius: 5px;"
    " min-width: 60px; max-width: 60px;}"
    "QPushButton:pressed{color: rgb(65, 65, 65); background-color: rgb(170, 170, 170);}";

} // namespace

VSaveWidgetX::VSaveWidgetX(VSLGLView* view, VEditRecipeWidget* recipes, DLP::SliceBuildConfig& config,
                           QWidget* parent)
    : QWidget(parent)
    , m_pEditRecipe(recipes)
    , m_config(config)
    , ui(new Ui::VSaveWidgetX)
{
    m_pPrintMsgBox = new VPrintMsgBox(parentWidget());
    m_pGLView = view;
    m_nPrintTarget = 0;
    m_strMsgStyle = QString::fromUtf8(kMsgStyle);
    m_strDelStyle = QString::fromUtf8(kDelStyle);
    ui->setupUi(this);
    PanelStyle::apply(this);

    m_pListMaterial = new QList<RecipePara>;
    const QStringList pages = {tr("Material"), tr("Exposure"), tr("Z Motor"), tr("Y Debond"),
                               tr("Y Return"), tr("Rotate"), tr("Advance"), tr("Printer Select")};
    ui->listWidget->addItems(pages);
    for (int row = 3; row <= 7; ++row)
        ui->listWidget->item(row)->setHidden(true);
    connect(ui->listWidget, &QListWidget::currentRowChanged, ui->stackedWidget, &QStackedWidget::setCurrentIndex);

    connect(ui->btn_StartPrint, &QPushButton::clicked, this, &VSaveWidgetX::slot_EmitStartPrint);
    connect(ui->pbSavePara, &QPushButton::clicked, this, &VSaveWidgetX::slot_SavePara);
    connect(ui->NewEditButton, &QPushButton::clicked, this, &VSaveWidgetX::slot_NewEditButtonClicked);
    connect(ui->DeleteButton, &QPushButton::clicked, this, &VSaveWidgetX::slot_DeleteButtonClicked);
    connect(ui->comboBox_Recipe, &QComboBox::currentTextChanged, this, &VSaveWidgetX::slot_cbRecipeTextChanged);

    ui->pushButton->hide();
    ui->listWidget->setCurrentRow(0);
    m_pPrintMsgBox->hide();
    ui->Laythick->clear();

    loadRecipe();

    MaterialForm::setValidators(ui, this);

    ui->checkBox_longside->setEnabled(false);
    ui->checkBox_shortSide->setEnabled(false);
    m_nCurLayer = 0;

    m_pTargetGroup = new QButtonGroup(this);
    m_pTargetGroup->addButton(ui->rbLocal, 0);
    m_pTargetGroup->addButton(ui->rbNet, 1);
    m_pTargetGroup->addButton(ui->rbUsbdisk, 2);
    for (QAbstractButton* b : m_pTargetGroup->buttons()) {
        connect(b, &QAbstractButton::clicked, this, &VSaveWidgetX::on_printerSelect);
        b->hide();
    }
    ui->rbUsbdisk->setChecked(true);

    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->label_4, ui->label_34, ui->label_35, ui->label_18, ui->label_39, ui->label_58, ui->label_37,
             ui->label_60, ui->label_61, ui->lEMaterialsStableTimeHigh, ui->label_59, ui->le_zbottomspeed,
             ui->LEMIDDELHigh, ui->le_zdivide, ui->edit_retract_speed, ui->label_26, ui->label_27, ui->edit_Dp})
        w->hide();

    m_nPrintTarget = 2;
    connect(&m_webForm, &WebForm::signal_dev_list, this, &VSaveWidgetX::slot_dev_list);
    connect(&m_webForm, &WebForm::signal_dev_connected, this, &VSaveWidgetX::slot_dev_connected);
    m_bSliceData = false;
    m_bSkipCancelConfirm = false;
}

VSaveWidgetX::~VSaveWidgetX()
{
    delete m_pSettings;
    delete m_pListMaterial;
    delete ui;
}

QComboBox* VSaveWidgetX::recipeComboBox()
{
    return ui->comboBox_Recipe;
}

void VSaveWidgetX::setMachine(const QString& name)
{
    m_strMachine = name;
    ui->MachineLabel->setText(name);
}

void VSaveWidgetX::setLayerThick(int um)
{
    ui->LayerThickLabel->setText(QString::number(um) + QStringLiteral("um"));
}

void VSaveWidgetX::slot_ReceiveNLayers(int layers)
{
    if (layers != 0)
        m_nLayers = layers;
    m_bSliceData = layers != 0;
}

void VSaveWidgetX::loadRecipe()
{
    ui->comboBox_Recipe->clear();
    if (!m_pEditRecipe)
        return;
    for (const RecipePara& r : qAsConst(m_pEditRecipe->m_listRecipe))
        ui->comboBox_Recipe->addItem(r.name);
    if (m_pEditRecipe->m_listRecipe.isEmpty())
        return;
    ui->comboBox_Recipe->setCurrentIndex(0);
    slot_cbRecipeTextChanged(m_pEditRecipe->m_listRecipe.first().name);
}

void VSaveWidgetX::updateUIX(const QString& name)
{
    if (!m_pEditRecipe)
        return;
    for (const RecipePara& r : qAsConst(m_pEditRecipe->m_listRecipe)) {
        if (r.name != name)
            continue;
        m_pEditRecipe->SetUI_Para(r);
        showRecipeFields(r, {ui->edit_exposure_tm, ui->edit_bottom_exposure, ui->edit_bottom_layers,
                             ui->edit_lift_dist, ui->le_zdist2, ui->edit_lift_speed, ui->lEMaterialsStableTimeLow,
                             ui->le_zfirstbottomspeed});
    }
}

void VSaveWidgetX::slot_cbRecipeTextChanged(const QString& arg1)
{
    updateUIX(arg1);
    ui->DeleteButton->setEnabled(!m_pEditRecipe || recipeDeletable(m_pEditRecipe->m_listRecipe, arg1));
}

void VSaveWidgetX::slot_NewEditButtonClicked()
{
    if (m_pEditRecipe)
        m_pEditRecipe->openFrom(this);
}

void VSaveWidgetX::slot_DeleteButtonClicked()
{
    const QString name = ui->comboBox_Recipe->currentText();
    QMessageBox box(QMessageBox::Warning, QString(), tr("Delete Recipe ") + name + QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No);
    box.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    box.setStyleSheet(m_strDelStyle);
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() == QMessageBox::Yes && m_pEditRecipe)
        m_pEditRecipe->deleteRecipe(name);
}

bool VSaveWidgetX::namesAModelFile(const QString& path) const
{
    return m_pGLView && m_pGLView->scene() && NamesAnyOf(path, m_pGLView->scene()->SourceFiles());
}

void VSaveWidgetX::msgOut(const QString& title, const QString& hint)
{
    execStyledBox(m_strMsgStyle, title, hint, QMessageBox::Yes, QMessageBox::Yes);
}

void VSaveWidgetX::updateUI()
{
    if (m_nCurMaterial < 0 || m_nCurMaterial >= m_pListMaterial->size())
        return;
    const RecipePara& r = m_pListMaterial->at(m_nCurMaterial);
    MaterialForm::show(r, ui);
    ui->label_material->setText(r.name);
    ui->label_materialdescription->setText(r.info);
    for (QLineEdit* e : {ui->edit_exposure_tm, ui->edit_bottom_exposure, ui->edit_bottom_layers,
                         ui->lEMaterialsStableTimeLow, ui->le_zdist2, ui->le_zfirstbottomspeed, ui->edit_lift_dist,
                         ui->edit_lift_speed, ui->edit_retract_speed, ui->edit_tilt_dist1, ui->edit_tilt_speed1,
                         ui->edit_tilt_dist2, ui->edit_tilt_speed2, ui->edit_retract_speed_2, ui->edit_Dp})
        e->setEnabled(r.editable);
}

void VSaveWidgetX::updateCurPara()
{
    if (m_nCurMaterial < 0 || m_nCurMaterial >= m_pListMaterial->size())
        return;
    RecipePara& r = (*m_pListMaterial)[m_nCurMaterial];
    const RecipePara before = r;
    MaterialForm::read(r, ui);
    MaterialList::keepRefusedUnlessEdited(before, r);
    // This panel keeps one stable time: the visible one.
    r.MaterialStable = r.bottomMaterialStable;
    r.info = ui->label_materialdescription->text();
}

void VSaveWidgetX::slot_SavePara()
{
    updateCurPara();
    if (!writeIniFile())
        msgOut(tr("Material Save Failed"), tr("Check the configuration folder please"));
    // The fields show the entry as stored (integers cut, floats re-formatted).
    updateUI();
}

bool VSaveWidgetX::reopenSettings(const QString& path)
{
    delete m_pSettings;
    m_pSettings = OwnedFile::openSettings(path).release();
    return m_pSettings != nullptr;
}

bool VSaveWidgetX::writeIniFile()
{
    if (!reopenSettings(MaterialList::filePath(m_strMachine)))
        return false;
    return MaterialList::write(*m_pSettings, *m_pListMaterial);
}

void VSaveWidgetX::readIniFile()
{
    RecipePara scratch;
    for (int um : {50, 25, 100}) {
        setDefaultParaX(scratch, um);
        m_listResin.append(scratch);
    }
    if (!reopenSettings(MaterialList::filePath(m_strMachine))) {
        // The file is not ours to read or write: the default in memory.
        if (m_pListMaterial->isEmpty()) {
            RecipePara material;
            setDefaultPara(material);
            m_pListMaterial->append(material);
        }
        return;
    }
    m_pSettings->beginGroup(QStringLiteral("Resin"));
    for (const QString& group : m_pSettings->childGroups()) {
        m_pSettings->beginGroup(group);
        scratch.editable = true;
        scratch.exposure_tm = IniValues::readInt(m_pSettings->value("exposure_tm"));
        scratch.bottom_exposure = IniValues::readInt(m_pSettings->value("bottom_exposure"));
        scratch.bottomMaterialStable = IniValues::readTruncated(m_pSettings->value("bottomMaterialStable"));
        scratch.MaterialStable = scratch.bottomMaterialStable;
        scratch.bottom_layers = IniValues::readFloat(m_pSettings->value("bottom_layers"));
        scratch.lift_dist1 = float(IniValues::readInt(m_pSettings->value("lift_dist1")));
        scratch.lift_first_bottom_speed = float(IniValues::readInt(m_pSettings->value("lift_speed1")));
        scratch.lift_dist2 = float(IniValues::readInt(m_pSettings->value("lift_dist2")));
        scratch.lift_speed = float(IniValues::readInt(m_pSettings->value("lift_speed2")));
        scratch.info = m_pSettings->value("info").toString();
        scratch.name = m_pSettings->value("name").toString();
        m_pSettings->endGroup();
        m_listResin.append(scratch);
    }
    m_pSettings->endGroup();
    if (m_pSettings->childGroups().isEmpty()) {
        setDefaultPara(scratch);
        m_pListMaterial->append(scratch);
        writeIniFile();
    }
    *m_pListMaterial = MaterialList::read(*m_pSettings, MaterialList::StableRule::FromBottom);
}

void VSaveWidgetX::readIniFileX()
{
    RecipePara scratch;
    for (int um : {25, 50, 100}) {
        setDefaultParaX(scratch, um);
        m_listResin.append(scratch);
    }
    if (!reopenSettings(RecipeStore::recipeFilePath(m_strMachine)))
        return;
    RecipeStore::readRecipeGroup(*m_pSettings, m_listResin, scratch);
}

bool VSaveWidgetX::writeIniFileX()
{
    if (!reopenSettings(RecipeStore::recipeFilePath(m_strMachine)))
        return false;
    return RecipeStore::writeRecipeFile(*m_pSettings, m_listResin);
}

void VSaveWidgetX::setDefaultParaX(RecipePara& para, int layerUm)
{
    MaterialList::setDefaultParaX(para, layerUm);
}

void VSaveWidgetX::setDefaultPara(RecipePara& para)
{
    MaterialList::setDefaultPara(para);
}

void VSaveWidgetX::on_pushButton()
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("New Material"), QStringLiteral("Material Name"),
                                               QLineEdit::Normal,
                                               QStringLiteral("New %1").arg(m_pListMaterial->size() + 1), &ok);
    if (!ok)
        return;
    const QString info = QInputDialog::getText(this, QStringLiteral("New Material"),
                                               QStringLiteral("Material illustration"), QLineEdit::Normal, QString(),
                                               &ok);
    if (!ok)
        return;
    RecipePara r;
    setDefaultPara(r);
    r.name = name;
    r.info = info;
    r.editable = true;
    m_pListMaterial->append(r);
    ui->Laythick->addItem(name);
}

void VSaveWidgetX::on_edit_tilt_dist1_editingFinished()
{
    MaterialForm::boundTiltDistance2(ui, this);
}

void VSaveWidgetX::on_Laythick_clicked(const QModelIndex&) {}

void VSaveWidgetX::copyFieldsTo(DLP::SliceBuildConfig& c) const
{
    MaterialForm::copyFields(c, ui);
    c.BottomMaterialStable = c.MaterialStable;
    c.LightPwm = ui->label_pwm->text().toFloat();
    c.HomeAdjustX = ui->le_homeadjx->text().toFloat();
    c.HomeAdjustY = ui->le_homeadjy->text().toFloat();
    c.HomeAdjustZ = ui->le_homeadjz->text().toFloat();
    c.UpdateblankTime();
}

void VSaveWidgetX::CalcTotalPrintTime()
{
    const PrintTimeEstimate e = estimatePrintTime(m_nLayers, m_config);
    m_nTotalSeconds = e.totalSeconds;
    m_nHours = e.hours;
    m_nMinutes = e.minutes;
}

const RecipePara* VSaveWidgetX::shownRecipe() const
{
    if (!m_pEditRecipe)
        return nullptr;
    const QString name = ui->comboBox_Recipe->currentText();
    const RecipePara* shown = nullptr;
    for (const RecipePara& r : qAsConst(m_pEditRecipe->m_listRecipe))
        if (r.name == name)
            shown = &r;
    return shown;
}

ValueSource VSaveWidgetX::valueSource(const std::string& field) const
{
    static const std::map<std::string, const char*> recipeKeys = {
        {"ExposureTimePerLayer", "CuringTime"}, {"BottomExposureTime", "BurninTime"},
        {"HighofBottomLayer", "BurninRange"},   {"ZLiftBottomSpeed", "LiftSpeed1"},
        {"ZLiftFirstBottomSpeed", "LiftSpeed1"}, {"ZLiftDistance2", "LiftDist2"},
        {"ZLiftDistance", "LiftDist1"},         {"ZLiftSpeed", "LiftSpeed2"},
        {"ZRetractSpeed", "LiftSpeed2"},        {"MaterialStable", "StableTime"},
        {"BottomMaterialStable", "StableTime"}};
    static const std::map<std::string, const char*> lightKeys = {
        {"LightPwm", "light_pwm"}, {"HomeAdjustX", "homeadjx"},  {"HomeAdjustY", "homeadjy"},
        {"HomeAdjustZ", "homeadjz"}, {"MirrorLongSide", "longflip"}, {"MirrorShortSide", "shortflip"}};
    const auto recipeKey = recipeKeys.find(field);
    const RecipePara* recipe = shownRecipe();
    if (recipeKey != recipeKeys.end() && recipe) {
        const QString key = QLatin1String(recipeKey->second);
        if (!recipe->editable)
            return {tr("built-in recipe %1").arg(recipe->name), key};
        return {RecipeStore::recipeFilePath(m_strMachine), QStringLiteral("Recipe/") + recipe->name + '/' + key};
    }
    const auto lightKey = lightKeys.find(field);
    if (lightKey != lightKeys.end())
        return {DlpCtlDialog::settingsFilePath(), QStringLiteral("LightConfig/1/") + QLatin1String(lightKey->second)};
    return {tr("the print settings"), QString::fromStdString(field)};
}

QString VSaveWidgetX::jobValueProblem(const DLP::SliceBuildConfig& job) const
{
    // A recipe whose file held a value out of range is shown with what could
    // be read of it; the file's own value is what is wrong.
    if (const RecipePara* recipe = shownRecipe(); recipe && !recipe->valueProblem.isEmpty())
        return recipe->valueProblem;
    // The light file drives a projector printer alone: a broken one must not
    // stop the print file of a printer that never reads it (a direct print
    // is a projector's, whatever the model).
    DLP::SliceBuildConfig checked = job;
    if (m_nPrintTarget == 2 && !PrinterModels::IsProjectorPrinter(m_strMachine)) {
        const DLP::SliceBuildConfig unused;
        checked.LightPwm = unused.LightPwm;
        checked.HomeAdjustX = unused.HomeAdjustX;
        checked.HomeAdjustY = unused.HomeAdjustY;
        checked.HomeAdjustZ = unused.HomeAdjustZ;
        checked.MirrorLongSide = unused.MirrorLongSide;
        checked.MirrorShortSide = unused.MirrorShortSide;
    }
    return jobValueProblemText(checked, [this](const std::string& field) { return valueSource(field); });
}

void VSaveWidgetX::refuseStart(const QString& title, const QString& hint)
{
    msgOut(title, hint);
    ui->btn_StartPrint->setEnabled(true);
}

void VSaveWidgetX::takeJob(const DLP::SliceBuildConfig& job)
{
    m_config = job;
    m_nLastLayer = 0;
    CalcTotalPrintTime();
    m_nCurMaterial = 0;
    m_nCurLayer = 0;
}

void VSaveWidgetX::slot_EmitStartPrint()
{
    // A local start while this panel's print runs is that print's cancel
    // (the main window stops it); the job file in use is left alone.
    if (m_nPrintTarget == 0 && m_bLocalPrintRunning) {
        m_bCancelled = true;
        emit signal_SendStartPrint();
        return;
    }
    m_bCancelled = false;
    if (!m_bSliceData)
        return refuseStart(tr("Slicing Data Error"), tr("Slicing again Please"));
    // Worked on a copy: only a start that goes ahead changes the shared
    // configuration. Values a printer cannot take stop it before the printer
    // is even looked for.
    DLP::SliceBuildConfig job = m_config;
    copyFieldsTo(job);
    if (m_nPrintTarget != 1) {
        const QString problem = jobValueProblem(job);
        if (!problem.isEmpty())
            return refuseStart(tr("Value Out of Range"), problem);
    }
    if (m_nPrintTarget == 0) {
        if (!printerOnline())
            return refuseStart(tr("Connection Abnormal"), tr("USB Cable abnormal,Check please"));
        if (!extendDesktopOntoProjector(m_strMsgStyle, tr("Extern Display")))
            return refuseStart(tr("Projector Error"), tr("Check The Projector Please"));
        // The job folder beside the model may not exist yet.
        if (!m_strGcodePath.empty())
            QDir().mkpath(QFileInfo(QString::fromStdString(m_strGcodePath)).absolutePath());
        if (!DLP::WriteGCodeJob(m_strGcodePath, m_nLayers, job, m_machineConfig))
            return refuseStart(tr("G-code Error"), tr("Check the output folder please"));
        takeJob(job);
        m_bLocalPrintRunning = true;
        m_nPrintEnd = -1;
        m_strPrintEndReason.clear();
        emit signal_SendStartPrint();
        return;
    }
    if (m_nPrintTarget != 2) {
        if (!m_bNetConnected)
            return refuseStart(tr("Network Error"), tr("Check the Network connection please"));
    }
    takeJob(job);
    const QString suffix = m_pImportWidget ? m_pImportWidget->m_mapSuffix.value(m_strMachine) : QString();
    QString base = m_pGLView ? m_pGLView->GetOpenFileName() : QString();
    const int dot = base.lastIndexOf('.');
    if (dot >= 0)
        base = base.left(dot);
    const QString folder = m_pGLView ? m_pGLView->GetSaveFilePath() : QString();
    QString answer = FileChooser::saveFileName(this, QStringLiteral("Save File"), folder + QStringLiteral("/") + base,
                                               QStringLiteral("(*.") + suffix + QStringLiteral(")"));
    // The printer lists only files that carry its own extension.
    answer = FileChooser::withExtension(answer, suffix, [this](const QString& p) {
        // A model's own file is never replaced: the job refuses it with its
        // reason, and a replace question first would promise otherwise.
        if (namesAModelFile(p))
            return true;
        return FileChooser::confirmReplace(this, p, m_strDelStyle); // the question style of the panel
    });
    if (answer.isEmpty())
        return;
    if (m_pGLView) {
        m_pGLView->SetSaveFileName(answer);
        m_pGLView->SetSaveFilePath(QFileInfo(answer).path());
    }
    emit signal_PrintDataGenerate();
}

void VSaveWidgetX::on_printerSelect()
{
    const quint8 id = static_cast<quint8>(m_pTargetGroup->checkedId());
    if (id == m_nPrintTarget)
        return;
    m_nPrintTarget = id;
    if (id != 1)
        slot_EmitStartPrint();
}

bool VSaveWidgetX::printerOnline()
{
    if (m_linkCheck)
        return m_linkCheck();
    DlpSerialPort::getInstance();
    return DlpSerialPort::m_bOnLine;
}

void VSaveWidgetX::setLinkCheck(LinkCheck check)
{
    m_linkCheck = std::move(check);
}

void VSaveWidgetX::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

QTime VSaveWidgetX::now() const
{
    return m_clock ? m_clock() : QTime::currentTime();
}

void VSaveWidgetX::slot_ReceiveIndexLayers(int index, int type)
{
    m_nCurLayer = index;
    update();
    if (type != 0)
        return;
    const int threshold = blankTimeThreshold(m_config);
    const QTime t = now();
    const int d = layerIntervalMs(m_lastLayerTime, t);
    m_lastLayerTime = t;
    if (m_nLastLayer > threshold && d - m_config.ExposureTimePerLayer > 0)
        m_config.BlankTime = d - m_config.ExposureTimePerLayer;
    m_nLastLayer = index;
}

void VSaveWidgetX::slot_ReceivePrintDone()
{
    for (QWidget* w : std::initializer_list<QWidget*>{ui->btn_StartPrint, ui->pbSavePara, ui->rbLocal, ui->rbNet,
                                                       ui->rbUsbdisk, ui->Laythick})
        w->setEnabled(true);
    if (m_pPrintMsgBox && m_pPrintMsgBox->isVisible())
        m_pPrintMsgBox->close();
    QString detail;
    std::swap(detail, m_strEndDetail);
    auto withDetail = [&](const QString& hint) { return detail.isEmpty() ? hint : hint + QStringLiteral("\n") + detail; };
    switch (m_nPrintTarget) {
    case 0: {
        m_bLocalPrintRunning = false;
        const int end = std::exchange(m_nPrintEnd, -1);
        const QString reason = std::exchange(m_strPrintEndReason, QString());
        const bool failed = end != int(DLP::PrintEnd::Completed) && end != int(DLP::PrintEnd::Cancelled);
        // Only a job the loop says it played to its end is complete; a
        // cancelled one is not reported as finished, a failed one says why.
        if (failed && !(m_bCancelled && end < 0))
            msgOut(tr("Printing Failed"),
                   tr("打印失败") + QStringLiteral("\n")
                       + (reason.isEmpty() ? tr("The print ended without a report") : reason));
        else if (m_bCancelled || end == int(DLP::PrintEnd::Cancelled))
            msgOut(tr("Printing Cancelled"), tr("打印已取消"));
        else
            msgOut(tr("Printing Complete"), tr("打印结束"));
        break;
    }
    case 1: msgOut(tr("File Transfer Complete"), tr("文件传输结束")); break;
    case 2:
        if (m_bCancelled)
            msgOut(tr("Failed to Save File"), withDetail(tr("文件保存失败")));
        else
            msgOut(tr("File SaveComplete"), tr("文件保存结束"));
        break;
    default: break;
    }
    if (m_bNetConnected)
        m_webForm.showType(false);
}

void VSaveWidgetX::slot_ReceivePrintEnd(int end, QString reason)
{
    m_nPrintEnd = end;
    m_strPrintEndReason = reason;
}

void VSaveWidgetX::reportSaveFailed(const QString& reason)
{
    m_bCancelled = true;
    m_strEndDetail = reason;
    const quint8 target = m_nPrintTarget;
    m_nPrintTarget = 2;
    slot_ReceivePrintDone();
    m_nPrintTarget = target;
}

void VSaveWidgetX::slot_EmitCancelPrint()
{
    if (!m_bSkipCancelConfirm) {
        if (execStyledBox(m_strMsgStyle, tr("Sure to Cancel Job"), QString(), QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    if (m_pPrintMsgBox && m_pPrintMsgBox->isHidden())
        m_pPrintMsgBox->show();
    ui->btn_StartPrint->setEnabled(false);
    switch (m_nPrintTarget) {
    case 0:
        m_bCancelled = true;
        emit signal_SendCancelPrint();
        break;
    case 1:
        m_bCancelled = false;
        slot_ReceivePrintDone();
        break;
    default: break;
    }
}

void VSaveWidgetX::on_pbStop()
{
    emit signal_emermencyStop();
    m_bSkipCancelConfirm = true;
    slot_EmitCancelPrint();
}

void VSaveWidgetX::on_pbConnect()
{
    if (m_bNetConnected && m_webForm.netConnect(QString(), false))
        m_bNetConnected = false;
}

void VSaveWidgetX::slot_para(bool longFlip, bool shortFlip, float pwm, float adjX, float adjY, float adjZ)
{
    MaterialForm::showPrinterValues(ui, longFlip, shortFlip, pwm, adjX, adjY, adjZ);
}

void VSaveWidgetX::showWebform(bool type)
{
    if (m_webForm.isVisible()) {
        m_webForm.hide();
        return;
    }
    // A frameless window of its own, which the user cannot move: without a
    // place it opens at the screen's corner, over the main window's title
    // bar and the button that hides it again; it follows the main window.
    const QRect main = window()->frameGeometry();
    const QPoint corner = main.center() - QPoint(m_webForm.width() / 2, m_webForm.height() / 2);
    m_webForm.move(qMax(corner.x(), main.left()), qMax(corner.y(), main.top()));
    m_webForm.showType(type);
}

void VSaveWidgetX::slot_bytesSended(qulonglong sent, qulonglong total)
{
    if (total != 0 && sent >= total)
        slot_ReceivePrintDone();
}

void VSaveWidgetX::slot_printDataSend(QString fileName)
{
    if (m_nPrintTarget != 2)
        return;
    m_bCancelled = false;
    qDebug() << "Save Success" << fileName << " -> ";
    slot_ReceivePrintDone();
}

bool VSaveWidgetX::WriteBinaryParas(QString fileName)
{
    return appendParasBlock(fileName, *this);
}

void VSaveWidgetX::slot_updSliceBrowser(int layer)
{
    m_nCurLayer = layer;
    update();
}

void VSaveWidgetX::paint(QPainter& painter)
{
    if (m_nPrintTarget != 0)
        return;
    painter.setPen(Qt::NoPen);
    painter.fillRect(QRect(QPoint(0, 0), QPoint(m_config.XResolution - 1, m_config.YResolution - 1)), Qt::black);
    painter.setBrush(Qt::white);
    if (!m_pGLView)
        return;
    paintPanelLayer(painter, *m_pGLView, m_nCurLayer);
}

void VSaveWidgetX::slot_dev_list(QVector<QString>) {}

void VSaveWidgetX::slot_dev_connected(QString) {}

void VSaveWidgetX::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40, 127));
    painter.drawRect(rect());
}
