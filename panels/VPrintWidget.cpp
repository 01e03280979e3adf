#include "VPrintWidget.h"
#include "StyledMessageBox.h"

#include "MaterialForm.h"
#include "ProjectorDesktop.h"

#include "MaterialList.h"
#include "settingsrangecheck.h"
#include "NetUI.h"
#include "ParasBlock.h"
#include "PrintTimeEstimate.h"
#include "SlicePreview.h"
#include "dlp/gcodegenerator.h"
#include "dlp/saturatingcast.h"
#include "dlpserialport.h"
#include "notices.h"
#include "ui_VPrintWidget.h"
#include "VSL3DScene.h"
#include "VSLGLView.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QInputDialog>
#include <QIntValidator>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QtDebug>

#include <cmath>
#include <map>

namespace {

const char* const kMsgStyle =
    "*{background-color: black; color: white; font-size: 60px;}"
    "QPushButton{font: 60pt; font-size: 60px; background-color: rgb(125, 125, 125); border: 2px outset;"
    " border-radius: 10px; padding: 5px 5px;}";

} // namespace

VPrintWidget::VPrintWidget(VSLGLView* view, DLP::SliceBuildConfig& config, QWidget* parent)
    : QWidget(parent)
    , m_buildConfig(config)
    , m_pView(view)
    , m_strMsgStyle(QString::fromUtf8(kMsgStyle))
    , ui(new Ui::VPrintWidget)
{
    ui->setupUi(this);
    m_pSettings = new QSettings(QStringLiteral("VXTLcdMaterial.ini"), QSettings::IniFormat);
    m_pListMaterial = new QList<RecipePara>;
    m_pMsgBox = new VPrintMsgBox(parentWidget());

    const QStringList pages = {tr("Material"), tr("Exposure"), tr("Z Motor"), tr("Y Debond"),
                               tr("Y Return"), tr("Rotate"), tr("Advance"), tr("Printer Select")};
    ui->listWidget->addItems(pages);
    for (int row = 3; row <= 7; ++row)
        ui->listWidget->item(row)->setHidden(true);
    connect(ui->listWidget, &QListWidget::currentRowChanged, ui->stackedWidget, &QStackedWidget::setCurrentIndex);

    connect(ui->btn_StartPrint, &QPushButton::clicked, this, &VPrintWidget::slot_EmitStartPrint);
    connect(ui->btn_CancelPrint, &QPushButton::clicked, this, &VPrintWidget::slot_EmitCancelPrint);
    connect(ui->pbSavePara, &QPushButton::clicked, this, &VPrintWidget::slot_SavePara);
    connect(ui->pushButton, &QPushButton::clicked, this, &VPrintWidget::on_pushButton);
    connect(ui->pushButton_2, &QPushButton::clicked, this, &VPrintWidget::on_pushButton_2);
    connect(ui->pushButton_3, &QPushButton::clicked, this, &VPrintWidget::on_pushButton_3);

    ui->listWidget->setCurrentRow(0);
    m_pMsgBox->hide();
    ui->Laythick->clear();
    ui->label_currentDevice->hide();
    readIniFile();
    updateUI();
    fillNames();

    MaterialForm::setValidators(ui, this);
    ui->checkBox_longside->setEnabled(false);
    ui->checkBox_shortSide->setEnabled(false);

    m_nCurLayer = 0;
    m_nPreviewWidth = width();
    m_nPreviewHeight = m_nPreviewWidth * m_nPreviewResY / m_nPreviewResX;

    m_pPrinterGroup = new QButtonGroup(this);
    m_pPrinterGroup->addButton(ui->rbLocal, 0);
    m_pPrinterGroup->addButton(ui->rbNet, 1);
    m_pPrinterGroup->addButton(ui->rbUsbdisk, 2);
    for (QAbstractButton* b : m_pPrinterGroup->buttons())
        connect(b, &QAbstractButton::clicked, this, &VPrintWidget::on_printerSelect);
    ui->rbUsbdisk->setChecked(true);
    for (QAbstractButton* b : m_pPrinterGroup->buttons())
        b->hide();

    // The hidden rows of the field table, each with its label and unit.
    for (QLineEdit* e : {ui->lEMaterialsStableTimeHigh, ui->LEMIDDELHigh, ui->edit_Dp, ui->le_zbottomspeed,
                         ui->le_zdivide, ui->edit_retract_speed}) {
        e->hide();
        const QRect row = e->geometry();
        for (QLabel* l : e->parentWidget()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            if (l->geometry().top() == row.top())
                l->hide();
    }

    connect(ui->pbSearch, &QPushButton::clicked, this, &VPrintWidget::on_pbSearch);
    connect(ui->pbConnect, &QPushButton::clicked, this, &VPrintWidget::on_pbConnect);
    m_nPrinterSelect = 2;
    m_pNetUI = nullptr;
    connect(&m_webForm, &WebForm::signal_dev_list, this, &VPrintWidget::slot_dev_list);
    connect(&m_webForm, &WebForm::signal_dev_connected, this, &VPrintWidget::slot_dev_connected);
    m_bSliceData = false;
    m_bStopRequested = 0;
    ui->widgetNet->setVisible(true);
}

VPrintWidget::~VPrintWidget()
{
    if (!m_pMsgBox->parent()) // without a host window nobody else owns it
        delete m_pMsgBox;
    delete m_pSettings;
    delete m_pListMaterial;
    delete ui;
}

void VPrintWidget::setDefaultPara(RecipePara& para)
{
    MaterialList::setPrintDefaultPara(para);
}

void VPrintWidget::readIniFile()
{
    if (m_pSettings->childGroups().isEmpty()) {
        RecipePara r;
        setDefaultPara(r);
        m_pListMaterial->append(r);
        writeIniFile();
    }
    *m_pListMaterial = MaterialList::read(*m_pSettings, MaterialList::StableRule::OwnKey);
}

bool VPrintWidget::writeIniFile()
{
    // The array is replaced; whatever else the file holds stays.
    return MaterialList::write(*m_pSettings, *m_pListMaterial);
}

QList<QLineEdit*> VPrintWidget::userFields() const
{
    return {ui->edit_exposure_tm, ui->edit_bottom_exposure, ui->edit_bottom_layers, ui->edit_Dp,
            ui->edit_lift_dist, ui->edit_lift_speed, ui->edit_retract_speed, ui->edit_tilt_dist1,
            ui->edit_tilt_speed1, ui->edit_tilt_dist2, ui->edit_tilt_speed2, ui->edit_retract_speed_2};
}

void VPrintWidget::updateUI()
{
    if (m_CurIndex < 0 || m_CurIndex >= m_pListMaterial->size())
        return;
    const RecipePara& r = m_pListMaterial->at(m_CurIndex);
    MaterialForm::show(r, ui);
    ui->label_material->setText(r.name);
    ui->label_materialdescription->setText(r.info);
    for (QLineEdit* e : userFields())
        e->setEnabled(r.editable);
}

void VPrintWidget::updateCurPara()
{
    if (m_CurIndex < 0 || m_CurIndex >= m_pListMaterial->size())
        return;
    RecipePara& r = (*m_pListMaterial)[m_CurIndex];
    const RecipePara before = r;
    MaterialForm::read(r, ui);
    MaterialList::keepRefusedUnlessEdited(before, r);
    r.info = ui->label_materialdescription->text();
}

void VPrintWidget::fillNames()
{
    for (const RecipePara& r : qAsConst(*m_pListMaterial))
        ui->Laythick->addItem(r.name);
}

void VPrintWidget::on_Laythick_clicked(const QModelIndex& index)
{
    on_comboBox_currentIndexChanged(index.row() < 0 ? 0 : index.row());
}

void VPrintWidget::on_comboBox_currentIndexChanged(int index)
{
    qDebug() << "m_CurIndex: " << m_CurIndex << "index: " << index;
    if (!m_bSkipSave)
        updateCurPara();
    m_bSkipSave = false;
    m_CurIndex = index;
    updateUI();
}

bool VPrintWidget::askNewMaterial(const QString& name, const QString& info, RecipePara& material)
{
    bool ok = false;
    const QString chosen = QInputDialog::getText(nullptr, tr("New Material"), tr("Material Name"), QLineEdit::Normal,
                                                 name, &ok);
    if (!ok)
        return false;
    const QString text = QInputDialog::getText(nullptr, tr("New Material"), tr("Material illustration"),
                                               QLineEdit::Normal, info.isNull() ? chosen : info, &ok);
    if (!ok)
        return false;
    material.name = chosen;
    material.info = text;
    material.editable = true;
    return true;
}

void VPrintWidget::on_pushButton()
{
    RecipePara r;
    setDefaultPara(r);
    if (!askNewMaterial(QStringLiteral("New %1").arg(m_pListMaterial->size() + 1), QString(), r))
        return;
    m_pListMaterial->append(r);
    ui->Laythick->addItem(r.name);
}

void VPrintWidget::on_pushButton_2()
{
    // After the last material was deleted the index may point past the end.
    if (m_CurIndex < 0 || m_CurIndex >= m_pListMaterial->size())
        return;
    RecipePara r = m_pListMaterial->at(m_CurIndex);
    if (!askNewMaterial(QStringLiteral("%1-Duplicate").arg(r.name), QStringLiteral("%1-Duplicate").arg(r.info), r))
        return;
    m_pListMaterial->append(r);
    ui->Laythick->addItem(r.name);
}

int VPrintWidget::showBox(const QString& text, int buttons, int defaultButton)
{
    return execStyledBox(m_strMsgStyle, text, QString(), QMessageBox::StandardButtons(buttons),
                         QMessageBox::StandardButton(defaultButton));
}

void VPrintWidget::on_pushButton_3()
{
    if (m_CurIndex < 0 || m_CurIndex >= m_pListMaterial->size())
        return;
    if (!m_pListMaterial->at(m_CurIndex).editable) {
        showBox(tr("Can not delete"), QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    if (showBox(tr("Sure to Delete this config"), QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    const RecipePara removed = m_pListMaterial->takeAt(m_CurIndex);
    if (!writeIniFile()) {
        // The file still holds it: keep the list in step with the file.
        m_pListMaterial->insert(m_CurIndex, removed);
        showBox(tr("Material Save Failed"), QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    m_bSkipSave = true;
    ui->Laythick->clear();
    readIniFile();
    fillNames();
    updateUI();
}

void VPrintWidget::slot_SavePara()
{
    updateCurPara();
    if (!writeIniFile())
        showBox(tr("Material Save Failed"), QMessageBox::Ok, QMessageBox::Ok);
    updateUI();
}

void VPrintWidget::on_edit_tilt_dist1_editingFinished()
{
    MaterialForm::boundTiltDistance2(ui, this);
}

void VPrintWidget::on_pbSearch()
{
    ui->listWidget_nethost->clear();
    m_webForm.netSearch(ui->widgetNet->isVisible());
}

void VPrintWidget::on_pbConnect()
{
    if (m_bConnected) {
        if (m_webForm.netConnect(QString(), false)) {
            m_bConnected = false;
            ui->pbConnect->setText(tr("Connect"));
            ui->label_currentDevice->hide();
        }
        return;
    }
    QListWidget* hosts = ui->listWidget_nethost;
    if (hosts->count() == 0)
        return;
    ui->pbConnect->setEnabled(false);
    const QString entry = hosts->item(hosts->currentRow() < 0 ? 0 : hosts->currentRow())->text();
    m_bConnected = m_webForm.netConnect(entry, true);
    ui->pbConnect->setEnabled(true);
    if (m_bConnected)
        ui->pbConnect->setText(tr("Disconnect"));
    else
        qDebug() << "Printer conenct Failed\r\n" << entry;
}

void VPrintWidget::slot_dev_list(QVector<QString> list)
{
    ui->listWidget_nethost->clear();
    QString last = QStringLiteral(" ");
    for (const QString& dev : list) {
        if (dev == last)
            continue;
        ui->listWidget_nethost->addItem(dev);
        last = dev;
    }
}

void VPrintWidget::slot_dev_connected(QString dev)
{
    ui->label_currentDevice->setText(tr("Current Dev:") + dev);
    ui->label_currentDevice->show();
    ui->pbConnect->setText(tr("Disconnect"));
}

void VPrintWidget::showWebform(bool type)
{
    if (m_webForm.isVisible())
        m_webForm.hide();
    else
        m_webForm.showType(type);
}

bool VPrintWidget::WriteBinaryParas(QString fileName)
{
    return appendParasBlock(fileName, *this);
}

void VPrintWidget::CalcTotalPrintTime()
{
    qDebug() << "PrintTM: ";
    const PrintTimeEstimate e = estimatePrintTime(m_nLayers, m_buildConfig);
    m_nTotalSeconds = e.totalSeconds;
    m_nHours = e.hours;
    m_nMinutes = e.minutes;
}

void VPrintWidget::slot_ReceiveNLayers(int layers)
{
    if (layers != 0)
        m_nLayers = layers;
    m_bSliceData = layers != 0;
}

void VPrintWidget::slot_updSliceBrowser(int layer)
{
    m_nCurLayer = layer;
    update();
}

void VPrintWidget::paintEvent(QPaintEvent*)
{
    if (m_nPrinterSelect != 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal scale = qreal(m_nPreviewWidth) / qreal(m_nPreviewResX);
    painter.scale(scale, scale);
    paint(painter);
}

void VPrintWidget::paint(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.fillRect(QRect(0, 0, m_buildConfig.XResolution, m_buildConfig.YResolution), Qt::black);
    painter.setBrush(Qt::white);
    if (!m_pView || (m_pView->scene() && m_pView->scene()->runningSliceJobs() > 0))
        return;
    paintPanelLayer(painter, *m_pView, m_nCurLayer);
}

void VPrintWidget::msgOut(const QString& text, const QString& info)
{
    execStyledBox(m_strMsgStyle, text, info, QMessageBox::Yes, QMessageBox::Yes);
}

void VPrintWidget::slot_printDataSend(QString fileName)
{
    if (m_nPrinterSelect != 2)
        return;
    m_bJobAborted = false;
    qDebug() << "Save Success" << fileName << " -> ";
    slot_ReceivePrintDone();
}

void VPrintWidget::slot_ReceivePrintDone()
{
    for (QWidget* w : std::initializer_list<QWidget*>{ui->pushButton, ui->pushButton_2, ui->pushButton_3,
                                                     ui->btn_StartPrint, ui->pbSavePara, ui->rbLocal, ui->rbNet,
                                                     ui->rbUsbdisk, ui->Laythick})
        w->setEnabled(true);
    ui->btn_CancelPrint->setEnabled(false);
    if (m_pMsgBox->isVisible())
        m_pMsgBox->close();
    switch (m_nPrinterSelect) {
    case 0:
        // A cancelled print must not read as a finished one.
        if (m_bJobAborted)
            msgOut(tr("Printing Cancelled"), QStringLiteral("打印已取消"));
        else
            msgOut(tr("Printing Complete"), QStringLiteral("打印结束"));
        break;
    case 1: msgOut(tr("File Transfer Complete"), QStringLiteral("文件传输结束")); break;
    default:
        if (m_bJobAborted)
            msgOut(tr("Failed to Save File"), QStringLiteral("文件保存失败"));
        else
            msgOut(tr("File SaveComplete"), QStringLiteral("文件保存结束"));
        break;
    }
    if (m_bConnected)
        m_webForm.showType(false);
}

void VPrintWidget::slot_bytesSended(qulonglong sent, qulonglong total)
{
    if (total == 0) {
        m_nProgress = 0;
        return;
    }
    const quint8 p = static_cast<quint8>(sent * 100 / total);
    if (p > m_nProgress)
        m_nProgress = p;
    if (sent >= total) {
        slot_ReceivePrintDone();
        m_nProgress = 0;
    }
}

void VPrintWidget::copyFieldsTo(DLP::SliceBuildConfig& c) const
{
    auto number = [](const QLabel* l) {
        const float v = l->text().toFloat();
        return std::isfinite(v) ? v : 0.0f;
    };
    MaterialForm::copyFields(c, ui);
    c.LightPwm = number(ui->label_pwm);
    c.HomeAdjustX = number(ui->le_homeadjx);
    c.HomeAdjustY = number(ui->le_homeadjy);
    c.HomeAdjustZ = number(ui->le_homeadjz);
    c.UpdateblankTime();
}

QString VPrintWidget::jobValueProblem(const DLP::SliceBuildConfig& job) const
{
    const bool listed = m_CurIndex >= 0 && m_CurIndex < m_pListMaterial->size();
    if (listed && !m_pListMaterial->at(m_CurIndex).valueProblem.isEmpty())
        return m_pListMaterial->at(m_CurIndex).valueProblem;
    // The material page's fields by their "Materials" keys.
    static const std::map<std::string, const char*> keys = {
        {"ExposureTimePerLayer", "exposure_tm"},       {"BottomExposureTime", "bottom_exposure"},
        {"HighofBottomLayer", "bottom_layers"},         {"HighofMiddleLayer", "middle_layers"},
        {"ZLiftBottomLayer", "lift_bottom_layer"},      {"ZLiftBottomSpeed", "lift_first_bottom_speed"},
        {"ZLiftFirstBottomSpeed", "lift_first_bottom_speed"}, {"ZLiftDistance2", "lift_dist2"},
        {"ZLiftDistance", "lift_dist1"},                {"ZLiftSpeed", "lift_speed"},
        {"ZRetractSpeed", "lift_speed"},                {"TiltDistance1", "tilt_dist1"},
        {"TiltSpeed1", "tilt_speed1"},                  {"TiltDistance2", "tilt_dist2"},
        {"TiltSpeed2", "tilt_speed2"},                  {"TiltRetractSpeed", "retract_speed_2"},
        {"TiltNearDistance", "tilt_near_dist"},         {"TiltNearDistance2", "tilt_near_dist2"},
        {"TiltNearSpeed", "tilt_near_speed"},           {"RotateDistance", "rotate_dist"},
        {"RotateSpeed", "rotate_speed"},                {"MaterialStable", "BottomMaterialStable"},
        {"BottomMaterialStable", "MaterialStable"}};
    return jobValueProblemText(job, [&](const std::string& field) -> ValueSource {
        const auto key = keys.find(field);
        if (key == keys.end() || !listed)
            return {tr("the print settings"), QString::fromStdString(field)};
        return {m_pSettings->fileName(), QStringLiteral("Materials/%1/").arg(m_CurIndex + 1) + QLatin1String(key->second)};
    });
}

bool VPrintWidget::printerOnline()
{
    if (m_linkCheck)
        return m_linkCheck();
    DlpSerialPort::getInstance();
    return DlpSerialPort::m_bOnLine;
}

void VPrintWidget::refuse(const QString& text, const QString& info)
{
    msgOut(text, info);
    ui->btn_StartPrint->setEnabled(true);
}

void VPrintWidget::slot_EmitStartPrint()
{
    // A new job: the last one's cancel must not colour this one's report.
    m_bJobAborted = false;
    if (!m_bSliceData)
        return refuse(tr("Slicing Data Error"), tr("Slicing again Please"));
    // Worked on a copy: a job that cannot be written leaves the host's
    // configuration as it was. The shown material stays the current one.
    DLP::SliceBuildConfig job = m_buildConfig;
    copyFieldsTo(job);
    // Values a printer cannot take stop it before the printer is looked for.
    const QString problem = jobValueProblem(job);
    if (!problem.isEmpty())
        return refuse(tr("Value Out of Range"), problem);
    if (m_nPrinterSelect == 1 && !m_bConnected)
        return refuse(tr("Network Error"), tr("Check the Network connection please"));
    if (m_nPrinterSelect == 0) {
        if (!printerOnline())
            return refuse(tr("Connection Abnormal"), tr("USB Cable abnormal,Check please"));
        if (!extendDesktopOntoProjector(m_strMsgStyle, tr("Extern Display")))
            return refuse(tr("Projector Error"), tr("Check The Projector Please"));
    }
    // The host names the job file; without one there is nothing to print.
    if (m_nPrinterSelect == 0 && !DLP::WriteGCodeJob(m_strGcodePath, m_nLayers, job, m_machineConfig))
        return refuse(tr("G-code Error"), tr("Check the output folder please"));
    m_nPrevIndex = 0;
    m_buildConfig = job;
    CalcTotalPrintTime();
    m_nCurLayer = 0;
    m_nIndexType = 0;
    if (m_nPrinterSelect == 0)
        emit signal_SendStartPrint();
    else
        emit signal_PrintDataGenerate();
}

void VPrintWidget::slot_EmitCancelPrint()
{
    if (m_bStopRequested != 1) {
        m_bStopRequested = 0;
        if (showBox(tr("Sure to Cancel Job"), QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
            return;
    }
    if (m_pMsgBox->isHidden())
        m_pMsgBox->show();
    for (QWidget* w : {ui->pushButton, ui->pushButton_2, ui->pushButton_3})
        w->setEnabled(true);
    ui->btn_StartPrint->setEnabled(false);
    ui->btn_CancelPrint->setEnabled(false);
    switch (m_nPrinterSelect) {
    case 1:
        if (m_pNetUI)
            m_pNetUI->netTransfer(1);
        m_bJobAborted = false;
        slot_ReceivePrintDone();
        break;
    case 0:
        m_bJobAborted = true;
        emit signal_SendCancelPrint();
        break;
    default: break;
    }
}

void VPrintWidget::on_pbStop()
{
    emit signal_emermencyStop();
    m_bStopRequested = 1;
    slot_EmitCancelPrint();
}

void VPrintWidget::on_printerSelect()
{
    const int id = m_pPrinterGroup->checkedId();
    if (id < 0 || id == m_nPrinterSelect)
        return;
    m_nPrinterSelect = static_cast<quint8>(id);
    if (id == 1) {
        ui->widgetNet->setVisible(true);
        on_pbSearch();
    } else {
        slot_EmitStartPrint();
    }
}

void VPrintWidget::slot_ReceiveIndexLayers(int index, int type)
{
    m_nCurLayer = index;
    update();
    m_nIndexType = type;
    if (type != 0)
        return;
    const int threshold = blankTimeThreshold(m_buildConfig);
    const QTime now = m_clock ? m_clock() : QTime::currentTime();
    const int d = layerIntervalMs(m_lastTime, now);
    m_nElapsedMs += d;
    m_lastTime = now;
    if (m_nPrevIndex > threshold && d - m_buildConfig.ExposureTimePerLayer > 0)
        m_buildConfig.BlankTime = d - m_buildConfig.ExposureTimePerLayer;
    m_nPrevIndex = index;
}

void VPrintWidget::slot_para(bool longSide, bool shortSide, float pwm, float x, float y, float z)
{
    MaterialForm::showPrinterValues(ui, longSide, shortSide, pwm, x, y, z);
}
