#pragma once

#include <QByteArray>
#include <QDialog>
#include <QSerialPort>
#include <QString>

#include <functional>

class QButtonGroup;
class QSettings;
class Ui_DlpCtlDialog;

// Direct control of a projector printer over the serial link: jogs of the
// three motors, the projector LED, the emergency stop, the LED current, the
// image mirroring and the motors' home adjustment. It keeps the light settings
// in "Light.ini" in the configuration folder and publishes them with
// signal_para. The application creates it and never shows it.
class DlpCtlDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DlpCtlDialog(QWidget* parent = nullptr);
    ~DlpCtlDialog() override;

    // "Light.ini" in the configuration folder.
    static QString settingsFilePath();
    // "SoftVersion:Kaltrix_" with the build date and time.
    static QString versionText();

    // The refusal box of a bad entry (its informative text); replaceable so
    // that tests record it instead of blocking. Empty restores the box.
    using InputNotifier = std::function<void(const QString& informative)>;
    void setInputNotifier(InputNotifier notifier);
    // The picture file choice; returns a null text when cancelled. Empty
    // restores the file dialog.
    using PictureChooser = std::function<QString()>;
    void setPictureChooser(PictureChooser chooser);

    void sendPara();
    void readIniFile();
    void writeIniFile();
    void updateUI();
    void setDefaultPara();

    void sendCmd(const QString& command);
    void sendCmd(const QByteArray& command);
    void LedON();
    void LedOff();

    // The controls' handlers (connected in the constructor).
    void on_zUPBtn();
    void on_zDOWNBtn();
    void on_z1Btn();
    void on_zn1Btn();
    void on_z10Btn();
    void on_zn10Btn();
    void on_y01Btn();
    void on_yn01Btn();
    void on_y1Btn();
    void on_yn1Btn();
    void on_y10Btn();
    void on_yn10Btn();
    void on_Rotate1deg();
    void on_Rotatem1deg();
    void on_Rotate1Circle();
    void on_Rotatem1Circle();
    void on_ledOn();
    void on_ledOff();
    void on_pbLightInside();
    void on_ledCurrentSet();
    void on_pbFlipSet();
    void on_pbHomeAdjust();
    void on_pbHomeAdjustRead();
    void on_pbCurrentSetRead();
    void on_pbImageShow();
    void on_ExposureSelect();

    // The first value of "Light.ini" outside its range at the last reading
    // (file, key, value, range); empty when all were in range.
    const QString& valueProblem() const { return m_valueProblem; }

    bool longFlip() const { return m_longflip; }
    bool shortFlip() const { return m_shortflip; }
    float lightPwm() const { return m_lightPwm; }
    float homeAdjX() const { return m_homeAdjX; }
    float homeAdjY() const { return m_homeAdjY; }
    float homeAdjZ() const { return m_homeAdjZ; }

signals:
    void signal_para(bool longflip, bool shortflip, float light_pwm, float homeadjx, float homeadjy, float homeadjz);
    void signal_exposure_select(uchar id);
    void signal_pictureOpen(QString fileName);
    void signal_DlpCtrlComErr();

public slots:
    void slot_emergencyStop();
    void handleError(QSerialPort::SerialPortError error);
    void writeData(QByteArray data);
    void readData();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Fixed commands written straight to the port; one offline line per click.
    void sendDirect(const QList<QByteArray>& commands);
    void showInputBox(const QString& informative);
    void publish();
    void writeKeys(const QStringList& keys, bool withName);

    Ui_DlpCtlDialog* m_ui = nullptr;
    // Null when the file was refused (a link out of the configuration
    // folder, or no regular file): it is then neither read nor written.
    QSettings* m_settings = nullptr;
    bool m_longflip = false;
    bool m_shortflip = false;
    float m_lightPwm = 30;
    float m_homeAdjX = 0;
    float m_homeAdjY = 10;
    float m_homeAdjZ = 240;
    QButtonGroup* m_exposureGroup = nullptr;
    InputNotifier m_inputNotifier;
    QString m_valueProblem;
    PictureChooser m_pictureChooser;

    // Fixed command texts.
    QByteArray m_cmdZeroZ, m_cmdZeroY, m_cmdZeroX;
    QByteArray m_cmdZTop, m_cmdZHome, m_cmdZUp1, m_cmdZDown1, m_cmdZUp10, m_cmdZDown10;
    QByteArray m_cmdYUp01, m_cmdYDown01, m_cmdYUp1, m_cmdYDown1, m_cmdYUp10, m_cmdYDown10;
    QByteArray m_cmdRotate1, m_cmdRotate90, m_cmdRotate180, m_cmdRotate360;
    QByteArray m_cmdLedOn, m_cmdLedOff, m_cmdStop, m_cmdInside, m_cmdPosition;
    QByteArray m_cmdCurrent, m_cmdMirror, m_cmdHomeSet, m_cmdHomeRead;
};
