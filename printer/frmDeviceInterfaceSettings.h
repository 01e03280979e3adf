#pragma once

#include "ui_frmDeviceInterfaceSettings.h"

#include <QDialog>
#include <QMap>
#include <QString>
#include <QVector>

#include <functional>

class QSettings;

// The printer-model and interface-language dialog. It owns the built-in table
// of printer models and "VexmorMachine.ini" in the configuration folder,
// which keeps the chosen model and language between runs.
class frmDeviceInterfaceSettings : public QDialog
{
    Q_OBJECT

public:
    struct MachinePara
    {
        float xResolution = 0;  // image width in pixels
        float yResolution = 0;  // image height in pixels
        float xSize = 0;        // build area width, mm
        float ySize = 0;        // build area depth, mm
        float pixelSizeX = 0;   // um
        float pixelSizeY = 0;   // um
        float zHeight = 0;      // build height, mm
        bool rotate = false;    // layer image turned a quarter turn
        QString fileType;       // print-file type and extension
        int pixelBits = 0;      // grey depth of the print file's pixels
        QString modelName;
        QString maker;
    };

    // The built-in models in their fixed order (also the combo box order).
    // Code without a dialog reads the same rows through these.
    static const QVector<MachinePara>& builtInMachineParas();
    static QMap<QString, MachinePara> machineParaTable();

    static const QString& defaultMachine();   // "Pellar10"
    static const QString& defaultLanguage();  // "English"
    static QString settingsFilePath();        // "VexmorMachine.ini" in the configuration folder

    // Shows a notice (the "exit to apply the language" one, or that the
    // choice could not be saved) and returns when the user has acknowledged
    // it. Replaceable so that tests record it instead of blocking on a modal
    // box; an empty function restores the default box.
    using Notifier = std::function<void(const QString& message)>;
    void setNotifier(Notifier notifier);

    explicit frmDeviceInterfaceSettings(QWidget* parent = nullptr);
    ~frmDeviceInterfaceSettings() override;

    void setChangedEnable(bool enable);

    // Read by other parts, never changed by them.
    QMap<QString, MachinePara> m_machineParas;
    QString m_machineType;

signals:
    void signal_machineConfig(QString MachineType);

private slots:
    void slot_MachineChaneged(QString MachineType);
    void on_pushButtonOK_clicked();
    void on_pushButtonCancel_clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Escape is Cancel: the model shown goes back to the one in use, or a
    // later OK would apply a choice the user dismissed.
    void reject() override;

private:
    void initMachineParas();
    void readIniFile();
    bool writeIniFile(QString* error = nullptr);
    bool writeKeys(bool machine, bool language, QString* error = nullptr);
    void saveChoice();
    QString savedValue(const char* key) const;
    void updateUI();
    void showNotice(const QString& message);

    QString m_machineInUse; // the model last handed to the application
    QString m_language;
    QString m_styleSheet;
    // Null when the file was refused (a link out of the configuration
    // folder, or no regular file): it is then neither read nor written.
    QSettings* m_settings = nullptr;
    Notifier m_notifier;
    Ui_frmDeviceInterfaceSettings ui;
};
