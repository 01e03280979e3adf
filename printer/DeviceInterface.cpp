#include "DeviceInterface.h"

#include "dlpserialport.h"
#include "frmDeviceInterfaceSettings.h"
#include "printerports.h"
#include "ui_DeviceInterface.h"

#include <QLabel>
#include <QMessageBox>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace {

// A line whose other end has gone (a pseudo-terminal's master closed, some
// USB adapters pulled) reads as end of file, which the port reports as a
// read error on every notification instead of a resource error.
bool lineHungUp(QSerialPort* port)
{
#ifdef Q_OS_UNIX
    if (!port->isOpen())
        return false;
    pollfd fd{static_cast<int>(port->handle()), POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL));
#else
    Q_UNUSED(port);
    return false;
#endif
}

}  // namespace

DeviceInterface::DeviceInterface(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_DeviceInterface)
{
    ui->setupUi(this);
    m_port = new QSerialPort(this);
    m_settingsDialog = new frmDeviceInterfaceSettings;
    ui->connectBtn->setEnabled(true);
    ui->configureBtn->setEnabled(true);
    ui->disconnectBtn->setEnabled(false);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("connectLabel"));
    m_statusLabel->setGeometry(30, 250, 350, 31);

    initConnections();
    connect(m_port, &QSerialPort::errorOccurred, this, &DeviceInterface::handleError);
    // Unique, so the form's connection by name does not double them.
    for (const char* name : {"z1Btn", "zn1Btn", "y1Btn", "yn1Btn", "z10Btn", "zn10Btn", "y10Btn", "yn10Btn"}) {
        QPushButton* button = findChild<QPushButton*>(QLatin1String(name));
        const QByteArray slot = QByteArray("1on_") + name + "_clicked()";  // "1" marks a slot, as SLOT() does
        connect(button, SIGNAL(clicked()), this, slot.constData(), Qt::UniqueConnection);
    }
}

DeviceInterface::~DeviceInterface()
{
    delete m_settingsDialog;
    delete ui;
}

void DeviceInterface::initConnections()
{
    connect(ui->connectBtn, &QPushButton::clicked, this, &DeviceInterface::openSerialPort, Qt::UniqueConnection);
    connect(ui->disconnectBtn, &QPushButton::clicked, this, &DeviceInterface::closeSerialPort, Qt::UniqueConnection);
    connect(ui->configureBtn, &QPushButton::clicked, m_settingsDialog, &QWidget::show, Qt::UniqueConnection);
}

void DeviceInterface::openSerialPort()
{
    // The port printer discovery would take, at the printer link's settings.
    const QString name = printerPortName(DlpSerialPort::printerPorts());
    if (m_port->isOpen())
        m_port->close();
    m_port->setPortName(name);
    m_port->setBaudRate(QSerialPort::Baud115200);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (name.isEmpty() || !m_port->open(QIODevice::ReadWrite)) {
        showStatusMessage(name.isEmpty() ? tr("No printer port found") : m_port->errorString());
        return;
    }
    ui->connectBtn->setEnabled(false);
    ui->configureBtn->setEnabled(false);
    ui->disconnectBtn->setEnabled(true);
    showStatusMessage(name);
}

void DeviceInterface::closeSerialPort()
{
    if (m_port->isOpen())
        m_port->close();
    ui->connectBtn->setEnabled(true);
    ui->configureBtn->setEnabled(true);
    ui->disconnectBtn->setEnabled(false);
    showStatusMessage(tr("Disconnected"));
}

void DeviceInterface::writeData(QByteArray data)
{
    m_port->write(data);
}

void DeviceInterface::readData()
{
    m_port->readAll();
}

void DeviceInterface::showStatusMessage(const QString& message)
{
    m_statusLabel->setText(message);
}

void DeviceInterface::writeAndWait(const QByteArray& command, int waitMs)
{
    m_port->write(command);
    if (m_port->isOpen())
        m_port->waitForBytesWritten(waitMs);
}

void DeviceInterface::jog(const QByteArray& zero, const QByteArray& move)
{
    writeAndWait(zero);
    writeAndWait(move);
}

void DeviceInterface::on_z1Btn_clicked() { jog(b_G92Z0, b_Z1); }
void DeviceInterface::on_zn1Btn_clicked() { jog(b_G92Z0, b_Zn1); }
void DeviceInterface::on_y1Btn_clicked() { jog(b_G92Y0, b_Y1); }
void DeviceInterface::on_yn1Btn_clicked() { jog(b_G92Y0, b_Yn1); }
void DeviceInterface::on_z10Btn_clicked() { jog(b_G92Z0, b_Z10); }
void DeviceInterface::on_zn10Btn_clicked() { jog(b_G92Z0, b_Zn10); }
void DeviceInterface::on_y10Btn_clicked() { jog(b_G92Y0, b_Y10); }
void DeviceInterface::on_yn10Btn_clicked() { jog(b_G92Y0, b_Yn10); }

void DeviceInterface::HomePosition() { writeAndWait(b_Home); }
void DeviceInterface::UpPosition() { writeAndWait(b_Up); }
void DeviceInterface::LedOff() { writeAndWait(b_Off, 500); }
void DeviceInterface::LedON() { writeAndWait(b_On, 500); }

void DeviceInterface::handleError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && !(error == QSerialPort::ReadError && lineHungUp(m_port)))
        return;
    const QString title = tr("Critical Error");
    if (m_errorBox)
        m_errorBox(title, m_port->errorString());
    else
        QMessageBox::critical(this, title, m_port->errorString(), QMessageBox::Ok);
    closeSerialPort();
}
