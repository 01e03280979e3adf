#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class Ui_DeviceInterface;
class frmDeviceInterfaceSettings;

// The older jog panel: moves the printer's Z and Y axes by 1 or 10 mm over a
// serial port of its own, written as raw commands without a terminator.
class DeviceInterface : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceInterface(QWidget* parent = nullptr);
    ~DeviceInterface() override;

    void initConnections();
    void showStatusMessage(const QString& message);
    void LedOff();
    void LedON();

    // Replaces the "Critical Error" box (tests record it instead).
    using ErrorBox = std::function<void(const QString& title, const QString& text)>;
    void setErrorBox(ErrorBox box) { m_errorBox = std::move(box); }

    QSerialPort* port() const { return m_port; }
    QLabel* statusLabel() const { return m_statusLabel; }
    frmDeviceInterfaceSettings* settingsDialog() const { return m_settingsDialog; }
    Ui_DeviceInterface* form() const { return ui; }

public slots:
    void openSerialPort();
    void closeSerialPort();
    void writeData(QByteArray data);
    void readData();
    void on_z1Btn_clicked();
    void on_zn1Btn_clicked();
    void on_y1Btn_clicked();
    void on_yn1Btn_clicked();
    void on_z10Btn_clicked();
    void on_zn10Btn_clicked();
    void on_y10Btn_clicked();
    void on_yn10Btn_clicked();
    void HomePosition();
    void UpPosition();
    void handleError(QSerialPort::SerialPortError error);

private:
    void writeAndWait(const QByteArray& command, int waitMs = -1);
    void jog(const QByteArray& zero, const QByteArray& move);

    // The commands as text and as the bytes that go on the wire.
    QString m_G21 = QStringLiteral("G21"), m_G91 = QStringLiteral("G91"), m_G92Z0 = QStringLiteral("G92 Z0"),
            m_G92Y0 = QStringLiteral("G92 Y0"), m_M17 = QStringLiteral("M17"), m_Z1 = QStringLiteral("G1 Z1 F600"),
            m_Y1 = QStringLiteral("G1 Y1 F600"), m_Zn1 = QStringLiteral("G1 Z-1 F600"),
            m_Yn1 = QStringLiteral("G1 Y-1 F600"), m_Z10 = QStringLiteral("G1 Z10 F600"),
            m_Y10 = QStringLiteral("G1 Y10 F600"), m_Zn10 = QStringLiteral("G1 Z-10 F600"),
            m_Yn10 = QStringLiteral("G1 Y-10 F600"), m_Off = QStringLiteral("OFF"), m_On = QStringLiteral("ON"),
            m_Home = QStringLiteral("G28 Z0"), m_Up = QStringLiteral("G1 Z200 F600");
    QByteArray b_G21 = m_G21.toLatin1(), b_G91 = m_G91.toLatin1(), b_G92Z0 = m_G92Z0.toLatin1(),
               b_G92Y0 = m_G92Y0.toLatin1(), b_M17 = m_M17.toLatin1(), b_Z1 = m_Z1.toLatin1(),
               b_Y1 = m_Y1.toLatin1(), b_Zn1 = m_Zn1.toLatin1(), b_Yn1 = m_Yn1.toLatin1(),
               b_Z10 = m_Z10.toLatin1(), b_Y10 = m_Y10.toLatin1(), b_Zn10 = m_Zn10.toLatin1(),
               b_Yn10 = m_Yn10.toLatin1(), b_Off = m_Off.toLatin1(), b_On = m_On.toLatin1(),
               b_Home = m_Home.toLatin1(), b_Up = m_Up.toLatin1();

    Ui_DeviceInterface* ui;
    frmDeviceInterfaceSettings* m_settingsDialog;
    QLabel* m_statusLabel;
    QSerialPort* m_port;
    ErrorBox m_errorBox;
};
