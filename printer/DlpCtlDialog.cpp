#include "DlpCtlDialog.h"

#include "app/core/configdir.h"
#include "app/core/inifileupdate.h"
#include "app/core/ownedfile.h"
#include "dlpserialport.h"
#include "myserialport.h"
#include "printertimings.h"
#include "settingsrangecheck.h"
#include "ui_DlpCtlDialog.h"

#include <QButtonGroup>
#include <QDate>
#include <QDebug>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QTime>

#include <cmath>
#include <limits>

namespace {

const QString kArray = QStringLiteral("LightConfig");

void log(const QString& text)
{
    qDebug().noquote() << text;
}

// Reads a number of the form the firmware takes: an optional sign, digits
// and at most one point, blanks around removed. Anything else (an exponent,
// "inf", a value out of float range) is refused.
bool plainDecimal(const QString& entry, QString* text, float* value)
{
    static const QRegularExpression form(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    const QString t = entry.trimmed();
    if (!form.match(t).hasMatch())
        return false;
    bool ok = false;
    const float v = t.toFloat(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *text = t;
    *value = v;
    return true;
}

// A float from the printer's reply; 0 when it is not a number.
float replyNumber(const QString& text)
{
    bool ok = false;
    const float v = text.trimmed().toFloat(&ok);
    return ok && std::isfinite(v) ? v : 0.0f;
}

}  // namespace

QString DlpCtlDialog::settingsFilePath()
{
    return vexmorConfigFile(QStringLiteral("/Light.ini"));
}

QString DlpCtlDialog::versionText()
{
    static const QString text = [] {
        QString date = QStringLiteral(__DATE__);
        date.replace(QStringLiteral("  "), QStringLiteral(" 0"));
        const QDate buildDate = QLocale(QLocale::English).toDate(date, QStringLiteral("MMM dd yyyy"));
        const QTime buildTime = QTime::fromString(QStringLiteral(__TIME__), QStringLiteral("hh:mm:ss"));
        return QStringLiteral("SoftVersion:Kaltrix_") + buildDate.toString(Qt::TextDate)
               + buildTime.toString(QStringLiteral("hh:mm:ss"));
    }();
    return text;
}

DlpCtlDialog::DlpCtlDialog(QWidget* parent)
    : QDialog(parent)
{
    m_ui = new Ui_DlpCtlDialog;
    m_cmdZeroZ = "G92 Z0";
    m_cmdZeroY = "G92 Y0";
    m_cmdZeroX = "G92 X0";
    m_cmdZTop = "G1 Z250 F600";
    m_cmdZHome = "G28 Z0";
    m_cmdZUp1 = "G1 Z1 F600";
    m_cmdZDown1 = "G1 Z-1 F600";
    m_cmdZUp10 = "G1 Z10 F600";
    m_cmdZDown10 = "G1 Z-10 F600";
    m_cmdYUp01 = "G1 Y0.1 F600";
    m_cmdYDown01 = "G1 Y-0.1 F600";
    m_cmdYUp1 = "G1 Y1 F600";
    m_cmdYDown1 = "G1 Y-1 F600";
    m_cmdYUp10 = "G1 Y10 F600";
    m_cmdYDown10 = "G1 Y-10 F600";
    m_cmdRotate1 = "G1 X-0.8 F1440";
    m_cmdRotate90 = "G1 X-72 F1440";
    m_cmdRotate180 = "G1 X-144 F1440";
    m_cmdRotate360 = "G1 X-288 F1440";
    m_cmdLedOn = "M219";
    m_cmdLedOff = "M220";
    m_cmdStop = "M911";
    m_cmdInside = "M227";
    m_cmdPosition = "M114";
    m_cmdCurrent = "M225 B";
    m_cmdMirror = "M222 ";
    m_cmdHomeSet = "M230 ";
    m_cmdHomeRead = "M231 ";
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);

    m_ui->link_img->setPixmap(QPixmap(QStringLiteral(":/Resources/usb.png")));
    m_ui->labelVersion->setText(versionText());

    m_ui->pbLightInside->hide();
    m_ui->rb_exposure_75->hide();
    m_ui->rb_exposure_100->hide();

    m_exposureGroup = new QButtonGroup(this);
    m_exposureGroup->addButton(m_ui->rb_exposure_no, 0);
    m_exposureGroup->addButton(m_ui->rb_exposure_25, 1);
    m_exposureGroup->addButton(m_ui->rb_exposure_50, 2);
    m_ui->rb_exposure_no->setChecked(true);

    readIniFile();

    auto on = [this](QAbstractButton* button, void (DlpCtlDialog::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    on(m_ui->zUPbtn, &DlpCtlDialog::on_zUPBtn);
    on(m_ui->zDOWNbtn, &DlpCtlDialog::on_zDOWNBtn);
    on(m_ui->z1btn, &DlpCtlDialog::on_z1Btn);
    on(m_ui->zn1btn, &DlpCtlDialog::on_zn1Btn);
    on(m_ui->z10btn, &DlpCtlDialog::on_z10Btn);
    on(m_ui->zn10btn, &DlpCtlDialog::on_zn10Btn);
    on(m_ui->y01btn, &DlpCtlDialog::on_y01Btn);
    on(m_ui->yn01btn, &DlpCtlDialog::on_yn01Btn);
    on(m_ui->y1btn, &DlpCtlDialog::on_y1Btn);
    on(m_ui->yn1btn, &DlpCtlDialog::on_yn1Btn);
    on(m_ui->y10btn, &DlpCtlDialog::on_y10Btn);
    on(m_ui->yn10btn, &DlpCtlDialog::on_yn10Btn);
    on(m_ui->pbRotate1deg, &DlpCtlDialog::on_Rotate1deg);
    on(m_ui->pbRotatem1deg, &DlpCtlDialog::on_Rotatem1deg);
    on(m_ui->pbRotate1Circle, &DlpCtlDialog::on_Rotate1Circle);
    on(m_ui->pbRotatem1Circle, &DlpCtlDialog::on_Rotatem1Circle);
    on(m_ui->ledonbtn, &DlpCtlDialog::on_ledOn);
    on(m_ui->ledoffbtn, &DlpCtlDialog::on_ledOff);
    on(m_ui->stopbtn, &DlpCtlDialog::slot_emergencyStop);
    on(m_ui->pbLightInside, &DlpCtlDialog::on_pbLightInside);
    on(m_ui->pbLedCurrentSet, &DlpCtlDialog::on_ledCurrentSet);
    on(m_ui->pb_flip, &DlpCtlDialog::on_pbFlipSet);
    on(m_ui->pbHomeAdjust, &DlpCtlDialog::on_pbHomeAdjust);
    on(m_ui->pbHomeAdjustRead, &DlpCtlDialog::on_pbHomeAdjustRead);
    on(m_ui->pbCurrentSetRead, &DlpCtlDialog::on_pbCurrentSetRead);
    on(m_ui->pbImageShow, &DlpCtlDialog::on_pbImageShow);
    connect(m_ui->quitButton, &QAbstractButton::clicked, this, &QWidget::close);
    on(m_ui->rb_exposure_no, &DlpCtlDialog::on_ExposureSelect);
    on(m_ui->rb_exposure_25, &DlpCtlDialog::on_ExposureSelect);
    on(m_ui->rb_exposure_50, &DlpCtlDialog::on_ExposureSelect);
}

DlpCtlDialog::~DlpCtlDialog()
{
    delete m_settings;
    delete m_ui;
}

void DlpCtlDialog::setInputNotifier(InputNotifier notifier)
{
    m_inputNotifier = std::move(notifier);
}

void DlpCtlDialog::setPictureChooser(PictureChooser chooser)
{
    m_pictureChooser = std::move(chooser);
}

void DlpCtlDialog::sendPara()
{
    emit signal_para(m_longflip, m_shortflip, m_lightPwm, m_homeAdjX, m_homeAdjY, m_homeAdjZ);
}

void DlpCtlDialog::publish()
{
    sendPara();
    writeIniFile();
}

namespace {

// The keys of the array's entry, in write order; "NAME" is written with them.
const char* const kLightKeys[] = {"longflip", "shortflip", "light_pwm", "homeadjx", "homeadjy", "homeadjz"};

} // namespace

void DlpCtlDialog::readIniFile()
{
    delete m_settings;
    m_settings = nullptr;
    setDefaultPara();
    m_valueProblem.clear();
    m_settings = OwnedFile::openSettings(settingsFilePath()).release();
    if (!m_settings) {
        updateUI();
        sendPara();
        return;
    }
    // Only what is missing takes its default, and only that is written.
    QStringList missing;
    m_settings->beginReadArray(kArray);
    m_settings->setArrayIndex(0);
    RangeCheckedGroup checked(*m_settings, m_settings->fileName(), kArray + QStringLiteral("/1/"), &DLP::lightKeyRange);
    // A value outside its range is published as stored, text that is no
    // number as not a number: a job start names it and refuses to print.
    auto number = [](const QVariant& v) {
        const std::optional<double> n = storedNumber(v);
        return n ? float(*n) : std::numeric_limits<float>::quiet_NaN();
    };
    for (const char* key : kLightKeys) {
        const QVariant v = checked.value(QLatin1String(key));
        if (!v.isValid()) {
            missing << QLatin1String(key);
            continue;
        }
        const QString k = QLatin1String(key);
        if (k == QLatin1String("longflip"))
            m_longflip = v.toBool();
        else if (k == QLatin1String("shortflip"))
            m_shortflip = v.toBool();
        else if (k == QLatin1String("light_pwm"))
            m_lightPwm = number(v);
        else if (k == QLatin1String("homeadjx"))
            m_homeAdjX = number(v);
        else if (k == QLatin1String("homeadjy"))
            m_homeAdjY = number(v);
        else
            m_homeAdjZ = number(v);
    }
    m_valueProblem = checked.problem();
    const bool nameMissing = !m_settings->contains(QStringLiteral("NAME"));
    m_settings->endArray();
    if (!missing.isEmpty())
        writeKeys(missing, nameMissing);
    updateUI();
    sendPara();
}

void DlpCtlDialog::writeIniFile()
{
    QStringList all;
    for (const char* key : kLightKeys)
        all << QLatin1String(key);
    writeKeys(all, true);
}

void DlpCtlDialog::writeKeys(const QStringList& keys, bool withName)
{
    // The entry's own keys only: every other key and section is the user's.
    if (!m_settings)
        return;
    const QVariant values[] = {m_longflip, m_shortflip, m_lightPwm, m_homeAdjX, m_homeAdjY, m_homeAdjZ};
    IniFileUpdate file(m_settings->fileName());
    const QString entry = kArray + QStringLiteral("/1/");
    for (int i = 0; i < 6; ++i)
        if (keys.contains(QLatin1String(kLightKeys[i])))
            file.setValue(entry + QLatin1String(kLightKeys[i]), values[i]);
    if (withName)
        file.setValue(entry + QStringLiteral("NAME"), QStringLiteral("VEXMOR3D"));
    file.setValue(kArray + QStringLiteral("/size"), 1);
    file.commitAndReread(*m_settings);
}

void DlpCtlDialog::updateUI()
{
    m_ui->checkBoxLongSide->setChecked(m_longflip);
    m_ui->checkBoxShortSide->setChecked(m_shortflip);
    m_ui->lECurrent->setText(QString::number(m_lightPwm, 'g', 6));
    m_ui->lEHomeAdjustX->setText(QString::number(m_homeAdjX, 'g', 6));
    m_ui->lEHomeAdjustY->setText(QString::number(m_homeAdjY, 'g', 6));
    m_ui->lEHomeAdjustZ->setText(QString::number(m_homeAdjZ, 'g', 6));
}

void DlpCtlDialog::setDefaultPara()
{
    m_longflip = false;
    m_shortflip = false;
    m_lightPwm = 30;
    m_homeAdjX = 0;
    m_homeAdjY = 10;
    m_homeAdjZ = 240;
}

void DlpCtlDialog::sendDirect(const QList<QByteArray>& commands)
{
    DlpSerialPort::getInstance();
    MySerialPort* port = DlpSerialPort::m_pSerialPort;
    if (!port) {
        log(QStringLiteral("Offline, No Operate"));
        return;
    }
    for (const QByteArray& command : commands)
        port->write(command);
}

void DlpCtlDialog::sendCmd(const QString& command)
{
    sendCmd(command.toLatin1());
}

void DlpCtlDialog::sendCmd(const QByteArray& command)
{
    DlpSerialPort::getInstance();
    MySerialPort* port = DlpSerialPort::m_pSerialPort;
    if (!port) {
        log(QStringLiteral("Device Offline, No Operate"));
        return;
    }
    port->write(command);
}

void DlpCtlDialog::writeData(QByteArray data)
{
    sendDirect({data});
}

void DlpCtlDialog::readData()
{
}

void DlpCtlDialog::LedON()
{
    sendDirect({m_cmdLedOn});
}

void DlpCtlDialog::LedOff()
{
    sendDirect({m_cmdLedOff});
}

void DlpCtlDialog::on_zUPBtn() { sendDirect({m_cmdZeroZ, m_cmdZTop}); }
void DlpCtlDialog::on_zDOWNBtn() { sendDirect({m_cmdZHome}); }
void DlpCtlDialog::on_z1Btn() { sendDirect({m_cmdZeroZ, m_cmdZUp1}); }
void DlpCtlDialog::on_zn1Btn() { sendDirect({m_cmdZeroZ, m_cmdZDown1}); }
void DlpCtlDialog::on_z10Btn() { sendDirect({m_cmdZeroZ, m_cmdZUp10}); }
void DlpCtlDialog::on_zn10Btn() { sendDirect({m_cmdZeroZ, m_cmdZDown10}); }
void DlpCtlDialog::on_y01Btn() { sendDirect({m_cmdZeroY, m_cmdYUp01}); }
void DlpCtlDialog::on_yn01Btn() { sendDirect({m_cmdZeroY, m_cmdYDown01}); }
void DlpCtlDialog::on_y1Btn() { sendDirect({m_cmdZeroY, m_cmdYUp1}); }
void DlpCtlDialog::on_yn1Btn() { sendDirect({m_cmdZeroY, m_cmdYDown1}); }
void DlpCtlDialog::on_y10Btn() { sendDirect({m_cmdZeroY, m_cmdYUp10}); }
void DlpCtlDialog::on_yn10Btn() { sendDirect({m_cmdZeroY, m_cmdYDown10}); }

void DlpCtlDialog::on_Rotate1deg()
{
    sendCmd(m_cmdZeroX);
    sendCmd(m_cmdRotate1);
}

void DlpCtlDialog::on_Rotatem1deg()
{
    sendCmd(m_cmdZeroX);
    sendCmd(m_cmdRotate90);
}

void DlpCtlDialog::on_Rotate1Circle()
{
    sendCmd(m_cmdZeroX);
    sendCmd(m_cmdRotate180);
}

void DlpCtlDialog::on_Rotatem1Circle()
{
    sendCmd(m_cmdZeroX);
    sendCmd(m_cmdRotate360);
}

void DlpCtlDialog::on_ledOn() { sendDirect({m_cmdLedOn}); }
void DlpCtlDialog::on_ledOff() { sendDirect({m_cmdLedOff}); }
void DlpCtlDialog::slot_emergencyStop() { sendDirect({m_cmdStop}); }

void DlpCtlDialog::on_pbLightInside()
{
    sendCmd(m_cmdInside);
    sendCmd(m_cmdPosition);
}

void DlpCtlDialog::on_ledCurrentSet()
{
    // Only a whole number the LED driver takes reaches the firmware.
    static const QRegularExpression digits(QStringLiteral("^\\d{1,3}$"));
    const QString text = m_ui->lECurrent->text().trimmed();
    const bool valid = digits.match(text).hasMatch() && text.toInt() <= 255;
    if (!valid) {
        showInputBox(QString::fromUtf8("参数不对，请输入0~255之间的数据！"));
    } else {
        const int current = text.toInt();
        m_lightPwm = static_cast<float>(current);
        sendCmd(m_cmdCurrent + QByteArray::number(current));
    }
    publish();
}

void DlpCtlDialog::on_pbFlipSet()
{
    m_longflip = m_ui->checkBoxLongSide->isChecked();
    m_shortflip = m_ui->checkBoxShortSide->isChecked();
    sendCmd(m_cmdMirror + " X" + (m_longflip ? "1" : "0") + " Y" + (m_shortflip ? "1" : "0"));
    publish();
}

void DlpCtlDialog::on_pbHomeAdjust()
{
    QString x, y, z;
    float vx = 0, vy = 0, vz = 0;
    const DLP::ValueRange& range = DLP::Ranges::homeAdjustUm;
    const bool valid = plainDecimal(m_ui->lEHomeAdjustX->text(), &x, &vx)
                       && plainDecimal(m_ui->lEHomeAdjustY->text(), &y, &vy)
                       && plainDecimal(m_ui->lEHomeAdjustZ->text(), &z, &vz) && range.contains(vx)
                       && range.contains(vy) && range.contains(vz);
    if (!valid) {
        showInputBox(QString::fromUtf8("参数不对，请输入以毫米为单位的具体数据！"));
    } else {
        m_homeAdjX = vx;
        m_homeAdjY = vy;
        m_homeAdjZ = vz;
        sendCmd(m_cmdHomeSet + "X" + x.toLatin1() + " Y" + y.toLatin1() + " Z" + z.toLatin1());
    }
    publish();
}

void DlpCtlDialog::on_pbHomeAdjustRead()
{
    MySerialPort::clearResponse();
    sendCmd(m_cmdHomeRead);
    log(QString::fromLatin1(m_cmdHomeRead));
    const PrinterTimings& timings = printerTimings();
    waitForText(QByteArrayLiteral("execok"), timings.adjustRead, timings.sleep);

    QByteArray reply = MySerialPort::responseData();
    const int nul = reply.indexOf('\0');
    if (nul >= 0)
        reply.truncate(nul);
    QString text = QString::fromLatin1(reply);
    if (text.contains(QLatin1String("M231 "))) {
        // Each value lies between its marker and the next "um"; a value whose
        // marker or unit is missing, or that no printer takes, keeps what it was.
        auto take = [&text](const QString& marker, float* value) {
            const int at = text.indexOf(marker);
            if (at < 0)
                return;
            const int begin = at + marker.size();
            const int end = text.indexOf(QLatin1String("um"), begin);
            if (end < 0)
                return;
            const float read = replyNumber(text.mid(begin, end - begin));
            if (DLP::Ranges::homeAdjustUm.contains(read))
                *value = read;
            else
                log(QStringLiteral("Home adjust reply out of range: %1%2").arg(marker).arg(double(read)));
            text = text.mid(end + 2);
        };
        take(QStringLiteral("X:"), &m_homeAdjX);
        take(QStringLiteral("Y:"), &m_homeAdjY);
        take(QStringLiteral("Z:"), &m_homeAdjZ);
        m_ui->lEHomeAdjustX->setText(QString::number(m_homeAdjX, 'g', 6));
        m_ui->lEHomeAdjustY->setText(QString::number(m_homeAdjY, 'g', 6));
        m_ui->lEHomeAdjustZ->setText(QString::number(m_homeAdjZ, 'g', 6));
    }
    publish();
}

void DlpCtlDialog::on_pbCurrentSetRead()
{
}

void DlpCtlDialog::on_pbImageShow()
{
    const QString fileName = m_pictureChooser ? m_pictureChooser() : [this] {
        const QtStateGuard qtState;
        return QFileDialog::getOpenFileName(this, tr("Open Pictures"), QString(), tr("*.png *.jpeg *.jpg *.bmp *.svg"));
    }();
    emit signal_pictureOpen(fileName);
}

void DlpCtlDialog::on_ExposureSelect()
{
    emit signal_exposure_select(static_cast<uchar>(m_exposureGroup->checkedId()));
}

void DlpCtlDialog::handleError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::ResourceError)
        emit signal_DlpCtrlComErr();
}

void DlpCtlDialog::showInputBox(const QString& informative)
{
    if (m_inputNotifier) {
        m_inputNotifier(informative);
        return;
    }
    QMessageBox box;
    box.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    box.setStyleSheet(QStringLiteral("* { background-color: rgb(0, 0, 0); color: rgb(255, 255, 255); } "
                                     "QPushButton {background-color: rgb(125, 125, 125);}"));
    box.setText(QString::fromUtf8("参数输入异常"));
    box.setInformativeText(informative);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void DlpCtlDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
}
