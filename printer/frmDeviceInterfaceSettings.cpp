#include "frmDeviceInterfaceSettings.h"

#include "app/core/configdir.h"
#include "app/core/panelstyle.h"
#include "app/core/inifileupdate.h"
#include "app/core/ownedfile.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDebug>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>

namespace {

const char* const kArray = "MachineConfig";
const char* const kMachineKey = "Machine";
const char* const kLanguageKey = "Language";

} // namespace

QMap<QString, frmDeviceInterfaceSettings::MachinePara> frmDeviceInterfaceSettings::machineParaTable()
{
    QMap<QString, MachinePara> table;
    for (const MachinePara& p : builtInMachineParas())
        table.insert(p.modelName, p);
    return table;
}

const QString& frmDeviceInterfaceSettings::defaultMachine()
{
    static const QString name = QStringLiteral("Pellar10");
    return name;
}

const QString& frmDeviceInterfaceSettings::defaultLanguage()
{
    static const QString name = QStringLiteral("English");
    return name;
}

QString frmDeviceInterfaceSettings::settingsFilePath()
{
    return vexmorConfigFile(QStringLiteral("VexmorMachine.ini"));
}

frmDeviceInterfaceSettings::frmDeviceInterfaceSettings(QWidget* parent)
    : QDialog(parent, Qt::WindowFlags())
{
    m_styleSheet = QStringLiteral(
        "QWidget{font: bold 9pt \"Arial\";background-color: rgb(100, 100, 100);color: white;}"
        "QPushButton{background-color: rgb(238,236,234);color: rgb(19,29,33);border-radius: 5px;"
        "min-width: 60px;max-width: 60px;}"
        "QPushButton:pressed{background-color: rgb(170,170,170);color: rgb(65,65,65);}");
    ui.setupUi(this);
    PanelStyle::apply(this);
    // The lists keep the dialog's grey selection, with text that reads on it.
    for (QComboBox* list : {ui.comboBox, ui.comboBoxLang})
        list->view()->setStyleSheet(
            QStringLiteral("selection-background-color: rgb(150, 150, 150); selection-color: rgb(19, 29, 33);"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowModality(Qt::WindowModal);

    // Connected before the combo is filled: the first name added becomes the
    // current model through the slot.
    connect(ui.comboBox, &QComboBox::currentTextChanged, this,
            &frmDeviceInterfaceSettings::slot_MachineChaneged);

    // Nothing opens a file refused here (a FIFO would hang the start).
    m_settings = OwnedFile::openSettings(settingsFilePath()).release();

    initMachineParas();
    setChangedEnable(false);

    readIniFile();
    updateUI();

    ui.comboBoxLang->addItem(tr("English"));
    ui.comboBoxLang->addItem(tr("Chinese"));
    ui.comboBoxLang->setCurrentText(m_language);

    m_machineInUse = m_machineType;
    emit signal_machineConfig(m_machineType);
}

frmDeviceInterfaceSettings::~frmDeviceInterfaceSettings()
{
    delete m_settings;
}

void frmDeviceInterfaceSettings::setNotifier(Notifier notifier)
{
    m_notifier = std::move(notifier);
}

void frmDeviceInterfaceSettings::initMachineParas()
{
    // The rows are all in place before the first name reaches the combo box,
    // whose change already looks the row up.
    for (const MachinePara& p : builtInMachineParas())
        m_machineParas.insert(p.modelName, p);
    for (const MachinePara& p : builtInMachineParas())
        ui.comboBox->addItem(p.modelName);
}

void frmDeviceInterfaceSettings::setChangedEnable(bool enable)
{
    ui.lineEditXSize->setEnabled(enable);
    ui.lineEditXResolution->setEnabled(enable);
    ui.lineEditYSize->setEnabled(enable);
    ui.lineEditYResolution->setEnabled(enable);
    ui.lineEditZHight->setEnabled(enable);
}

QString frmDeviceInterfaceSettings::savedValue(const char* key) const
{
    if (!m_settings)
        return QString();
    m_settings->beginReadArray(kArray);
    const QString value = m_settings->value(key).toString();
    m_settings->endArray();
    return value;
}

void frmDeviceInterfaceSettings::readIniFile()
{
    QString machine = savedValue(kMachineKey);
    QString language = savedValue(kLanguageKey);

    // Only what is missing is defaulted, and only that is written, so a
    // saved model survives a file without a language and the other way
    // round. A model without a row would leave its readers with zero pixel
    // sizes: it is replaced in memory, and left in the file for the user.
    bool missingMachine = machine.isEmpty();
    const bool missingLanguage = language.isEmpty();
    if (!machine.isEmpty() && !m_machineParas.contains(machine)) {
        qWarning() << "Unknown printer model" << machine << "in" << m_settings->fileName()
                   << "- using" << defaultMachine();
        machine.clear();
    }
    m_machineType = machine.isEmpty() ? defaultMachine() : machine;
    m_language = language.isEmpty() ? defaultLanguage() : language;
    if (missingMachine || missingLanguage)
        writeKeys(missingMachine, missingLanguage);
}

bool frmDeviceInterfaceSettings::writeIniFile(QString* error)
{
    return writeKeys(true, true, error);
}

bool frmDeviceInterfaceSettings::writeKeys(bool machine, bool language, QString* error)
{
    // Everything else in the file is the user's and stays as it is. A file
    // refused at start was reported then.
    if (!m_settings)
        return true;
    IniFileUpdate file(settingsFilePath());
    const QString array = QLatin1String(kArray) + QLatin1Char('/');
    if (machine)
        file.setValue(array + QLatin1String(kMachineKey), m_machineType);
    if (language)
        file.setValue(array + QLatin1String(kLanguageKey), m_language);
    // As QSettings closes an array written without an index.
    file.setValue(array + QStringLiteral("size"), 0);
    QString why;
    const bool written = file.commit(&why);
    // A caller that asks why tells the user itself.
    if (!written && !error)
        OwnedFile::tellWriteFailure(settingsFilePath(), why);
    else if (!written)
        qWarning().noquote() << why;
    m_settings->sync();
    if (error)
        *error = why;
    return written;
}

// The user's choice holds for this run either way; a choice that silently
// came back changed at the next start would be worse than the notice.
void frmDeviceInterfaceSettings::saveChoice()
{
    QString why;
    if (!writeIniFile(&why))
        showNotice(tr("The printer settings could not be saved; they hold until the program ends.") +
                   QStringLiteral("\n") + why);
}

void frmDeviceInterfaceSettings::updateUI()
{
    const MachinePara p = m_machineParas.value(m_machineType);
    ui.comboBox->setCurrentText(m_machineType);
    ui.lineEditXResolution->setText(QString::number(p.xResolution, 'g', 6));
    ui.lineEditYResolution->setText(QString::number(p.yResolution, 'g', 6));
    ui.lineEditXSize->setText(QString::number(static_cast<int>(p.xSize)));
    ui.lineEditYSize->setText(QString::number(static_cast<int>(p.ySize)));
    ui.lineEditZHight->setText(QString::number(p.zHeight, 'g', 6));
}

void frmDeviceInterfaceSettings::slot_MachineChaneged(QString MachineType)
{
    m_machineType = MachineType;
    updateUI();
}

void frmDeviceInterfaceSettings::on_pushButtonOK_clicked()
{
    hide();

    // Against the model in use, not the file's: a choice the file could not
    // take is still the one in use.
    if (m_machineType != m_machineInUse) {
        saveChoice();
        m_machineInUse = m_machineType;
        emit signal_machineConfig(m_machineType);
    }

    const QString language = ui.comboBoxLang->currentText();
    if (language != m_language) {
        showNotice(tr("Please exit the program to apply the language setting!"));
        m_language = language;
        saveChoice();
    }
}

void frmDeviceInterfaceSettings::on_pushButtonCancel_clicked()
{
    hide();
    // Back to the model in use, which the file may not hold.
    m_machineType = m_machineInUse;
    updateUI();
}

void frmDeviceInterfaceSettings::reject()
{
    on_pushButtonCancel_clicked();
    setResult(QDialog::Rejected);
}

void frmDeviceInterfaceSettings::showNotice(const QString& message)
{
    if (m_notifier) {
        m_notifier(message);
        return;
    }
    QMessageBox box;
    box.setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
    box.setStyleSheet(m_styleSheet);
    box.setIcon(QMessageBox::Information);
    box.setText(message);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void frmDeviceInterfaceSettings::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40, 127));
    painter.drawRect(rect());
    QDialog::paintEvent(event);
}
