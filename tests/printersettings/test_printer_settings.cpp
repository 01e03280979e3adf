#include "event_wait.h"
#include "frmDeviceInterfaceSettings.h"
#include "modal_answer.h"

#include <QComboBox>
#include <QDir>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

using Para = frmDeviceInterfaceSettings::MachinePara;

namespace {

// Each test gets a configuration folder of its own, so neither the user's
// settings nor another test's (or QSettings' per-path cache) is touched.
class MachineSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", m_dir.path().toLocal8Bit());
        m_path = m_dir.filePath("VexmorMachine.ini");
        ASSERT_EQ(frmDeviceInterfaceSettings::settingsFilePath(), m_path);
    }
    void TearDown() override { qunsetenv("VEXMOR_CONFIG_DIR"); }

    QByteArray fileBytes(const QString& path = QString()) const
    {
        QFile f(path.isEmpty() ? m_path : path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool writeBytes(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    // Non-empty lines, line ends stripped.
    QStringList fileLines() const
    {
        return QString::fromUtf8(fileBytes()).split(QRegularExpression("\\s*\\n\\s*"), Qt::SkipEmptyParts);
    }
    static QStringList expectedLines(const QString& language, const QString& machine)
    {
        return {"[MachineConfig]", "Language=" + language, "Machine=" + machine, "size=0"};
    }
    // Backdates the file so that any later write shows in its time.
    void backdateFile()
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(oldTime(), QFileDevice::FileModificationTime));
    }
    bool written() const { return QFileInfo(m_path).lastModified() != oldTime(); }
    static QDateTime oldTime() { return QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC); }

    // How start-up reads the language before any window exists.
    QString startupLanguage() const
    {
        QSettings s(m_path, QSettings::IniFormat);
        s.beginReadArray("MachineConfig");
        return s.value("Language").toString();
    }

    QTemporaryDir m_dir;
    QString m_path;
};

// The dialog lists the table's models in their order; each row's area is
// its resolution times its pixel size.
TEST_F(MachineSettingsTest, TableRowsInTheDialogsOrder)
{
    const QStringList names = {"Pellar10", "Pellar30", "Pellar120", "Pellar4K", "Pellar4Kmono"};
    const QMap<QString, Para> table = frmDeviceInterfaceSettings::machineParaTable();
    frmDeviceInterfaceSettings dlg;
    auto* combo = dlg.findChild<QComboBox*>("comboBox");
    QStringList listed;
    for (int i = 0; i < combo->count(); ++i)
        listed << combo->itemText(i);
    EXPECT_EQ(listed, names);
    EXPECT_EQ(table.keys().size(), names.size());
    for (const QString& name : names) {
        const Para p = table.value(name);
        EXPECT_EQ(p.modelName, name);
        EXPECT_GT(p.xResolution * p.yResolution * p.zHeight, 0) << qPrintable(name);
        EXPECT_NEAR(p.xResolution * p.pixelSizeX / 1000.0, p.xSize, 1e-3) << qPrintable(name);
        EXPECT_NEAR(p.yResolution * p.pixelSizeY / 1000.0, p.ySize, 1e-3) << qPrintable(name);
    }
    EXPECT_EQ(table.value("Pellar120").fileType, "vxt");
}

// `before` empty: no file. `after`: the file's bytes when they are not the
// two keys alone.
struct FileCase
{
    const char* what;
    QByteArray before;
    const char *machine, *language;
    bool rewritten;
    QByteArray after = {};
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.what; }

class SavedFile : public MachineSettingsTest, public ::testing::WithParamInterface<FileCase>
{
};

TEST_P(SavedFile, DefaultsOnlyWhatIsMissingOrUnknown)
{
    const FileCase& c = GetParam();
    if (!c.before.isEmpty()) {
        {
            QFile f(m_path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(c.before) == c.before.size());
        }
        backdateFile();
    }
    frmDeviceInterfaceSettings dlg;
    EXPECT_EQ(QStringList({dlg.m_machineType, dlg.findChild<QComboBox*>("comboBox")->currentText(),
                           dlg.findChild<QComboBox*>("comboBoxLang")->currentText(), startupLanguage()}),
              QStringList({c.machine, c.machine, c.language, c.language}));
    EXPECT_EQ(written(), c.rewritten);
    if (!c.after.isEmpty())
        EXPECT_EQ(fileBytes(), c.after);
    else if (c.rewritten)
        EXPECT_EQ(fileLines(), expectedLines(c.language, c.machine));
    else
        EXPECT_EQ(fileBytes(), c.before);

    // Readers divide by the current row's pixel sizes; an unknown saved name
    // must not leave them a zero row, nor add one to the table.
    EXPECT_EQ(dlg.m_machineParas.size(), 5);
    const Para p = dlg.m_machineParas.value(dlg.m_machineType);
    EXPECT_TRUE(p.pixelSizeX > 0 && p.pixelSizeY > 0 && std::isfinite(1000.0 / p.pixelSizeX * 1000.0 / p.pixelSizeY));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SavedFile,
    ::testing::Values(
        FileCase{"first start", "", "Pellar10", "English", true},
        FileCase{"complete", "[MachineConfig]\nLanguage=Chinese\nMachine=Pellar4K\nsize=0\n", "Pellar4K", "Chinese", 0},
        FileCase{"model only", "[MachineConfig]\nMachine=Pellar30\n", "Pellar30", "English", true,
                 "[MachineConfig]\nMachine=Pellar30\nLanguage=English\nsize=0\n"},
        FileCase{"language only", "[MachineConfig]\nLanguage=Chinese\n", "Pellar10", "Chinese", true},
        FileCase{"empty model", "[MachineConfig]\nLanguage=Chinese\nMachine=\nsize=0\n", "Pellar10", "Chinese", 1},
        // The unknown name is replaced in memory only; the file stays the user's.
        FileCase{"unknown model", "[MachineConfig]\nLanguage=English\nMachine=PellarX\nsize=0\n", "Pellar10",
                 "English", 0},
        FileCase{"other keys stay", "[Other]\n; mine\nkey = 1,2\n[MachineConfig]\nMachine=Pellar120\n", "Pellar120",
                 "English", 1,
                 "[Other]\n; mine\nkey = 1,2\n[MachineConfig]\nMachine=Pellar120\nLanguage=English\nsize=0\n"},
        // A line QSettings reads as a key of its own: kept as it is.
        FileCase{"garbage", QByteArray("\xff[[=\n", 5), "Pellar10", "English", true,
                 QByteArray("\xff[[=\n\n[MachineConfig]\nLanguage=English\nMachine=Pellar10\nsize=0\n", 63)},
        // No text (a NUL byte): set aside, and a file of the defaults written.
        FileCase{"binary", QByteArray("\x00\xff[[=\n", 6), "Pellar10", "English", true, QByteArray()}),
    [](const ::testing::TestParamInfo<FileCase>& info) {
        return QString::fromLatin1(info.param.what).replace(' ', '_').toStdString();
    });

// A link out of the configuration folder is neither read nor written, even
// by OK; a file that cannot be parsed is set aside and a fresh one written.
TEST_F(MachineSettingsTest, LinkedOrUnparsableFilesAreNotClobbered)
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("passwd");
    const QByteArray system = "[MachineConfig]\nMachine=Pellar30\nLanguage=Chinese\n";
    ASSERT_TRUE(writeBytes(target, system));
    ASSERT_TRUE(QFile::link(target, m_path));
    {
        frmDeviceInterfaceSettings dlg;
        EXPECT_EQ(dlg.m_machineType, "Pellar10"); // not read through the link
        dlg.findChild<QComboBox*>("comboBox")->setCurrentText("Pellar4K");
        QTest::mouseClick(dlg.findChild<QPushButton*>("pushButtonOK"), Qt::LeftButton);
    }
    EXPECT_EQ(fileBytes(target), system);
    EXPECT_TRUE(QFileInfo(m_path).isSymLink());

    ASSERT_TRUE(QFile::remove(m_path));
    const QByteArray broken = "[MachineConfig\nMachine=Pellar30\n";
    ASSERT_TRUE(writeBytes(m_path, broken));
    frmDeviceInterfaceSettings dlg;
    EXPECT_EQ(dlg.m_machineType, "Pellar10");
    const QStringList aside = QDir(m_dir.path()).entryList({"VexmorMachine.ini.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(fileBytes(m_dir.filePath(aside[0])), broken);
    EXPECT_EQ(fileLines(), expectedLines("English", "Pellar10"));
}

class DialogTest : public MachineSettingsTest
{
protected:
    void SetUp() override
    {
        MachineSettingsTest::SetUp();
        dlg.reset(new frmDeviceInterfaceSettings);
        // The notice records what the file and the listeners had seen by then.
        dlg->setNotifier([this](const QString& message) {
            events << "box";
            notices << message;
            fileAtNotice = fileLines();
        });
        QObject::connect(dlg.get(), &frmDeviceInterfaceSettings::signal_machineConfig, [this](QString name) {
            events << "signal:" + name;
            fileAtSignal = fileLines();
        });
        backdateFile();
        dlg->show();
    }
    QStringList fields()
    {
        QStringList out;
        for (const char* n : {"XResolution", "YResolution", "XSize", "YSize", "ZHight"})
            out << dlg->findChild<QLineEdit*>(QString("lineEdit") + n)->text();
        return out;
    }
    QComboBox* combo(const char* name) { return dlg->findChild<QComboBox*>(name); }
    void click(const char* button) { QTest::mouseClick(dlg->findChild<QPushButton*>(button), Qt::LeftButton); }

    std::unique_ptr<frmDeviceInterfaceSettings> dlg;
    QStringList events, notices, fileAtSignal, fileAtNotice;
};

const QStringList kPellar10Fields = {"854", "480", "98", "55", "140"};
const QStringList kPellar4KFields = {"3840", "6480", "120", "68", "190"};

TEST_F(DialogTest, ChoosingAModelShowsItsRowCancelAndOkReturnToTheSavedOne)
{
    EXPECT_EQ(fields(), kPellar10Fields);
    combo("comboBox")->setCurrentText("Pellar4K");
    EXPECT_EQ(fields(), kPellar4KFields);
    EXPECT_EQ(dlg->m_machineType, "Pellar4K");

    // The dialog as a person sees it: not blank, light buttons on the dark form.
    ASSERT_TRUE(WaitUntilExposed(dlg.get()));
    QTest::qWait(50);
    const QImage shot = dlg->grab().toImage().convertToFormat(QImage::Format_RGB32);
    shot.save(QStringLiteral(VSL_SHOT_DIR "/printersettings_pellar4k.png"));
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3)
            colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20);
    QPushButton* ok = dlg->findChild<QPushButton*>("pushButtonOK");
    EXPECT_EQ(QColor(shot.pixel(ok->mapTo(dlg.get(), QPoint(6, ok->height() / 2)))), QColor(238, 236, 234));
    EXPECT_LT(qGray(shot.pixel(2, 2)), 160);

    click("pushButtonCancel");
    EXPECT_TRUE(!dlg->isVisible() && !written() && events.isEmpty());
    EXPECT_EQ(dlg->m_machineType + " " + combo("comboBox")->currentText(), "Pellar10 Pellar10");
    EXPECT_EQ(fields(), kPellar10Fields);

    // Escape is Cancel: a later OK does not apply the model dismissed.
    dlg->show();
    combo("comboBox")->setCurrentText("Pellar4K");
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_TRUE(!dlg->isVisible() && !written() && events.isEmpty());
    EXPECT_EQ(dlg->m_machineType + " " + combo("comboBox")->currentText(), "Pellar10 Pellar10");
    dlg->show();
    click("pushButtonOK");
    EXPECT_TRUE(!written() && events.isEmpty()) << qPrintable(events.join(','));

    // OK after going back to the saved model writes, emits and shows nothing.
    dlg->show();
    combo("comboBox")->setCurrentText("Pellar30");
    combo("comboBox")->setCurrentText("Pellar10");
    click("pushButtonOK");
    EXPECT_TRUE(!dlg->isVisible() && !written() && events.isEmpty()) << qPrintable(events.join(','));
}

TEST_F(DialogTest, OkAfterNewModelAndLanguageWritesModelFirstAndSignalsBeforeTheNotice)
{
    combo("comboBox")->setCurrentText("Pellar4K");
    combo("comboBoxLang")->setCurrentText("Chinese");
    click("pushButtonOK");

    EXPECT_EQ(events, QStringList({"signal:Pellar4K", "box"}));
    EXPECT_EQ(notices, QStringList{"Please exit the program to apply the language setting!"});
    // First write, before listeners hear of it: the new model with the
    // language saved so far.
    EXPECT_TRUE(fileAtSignal == expectedLines("English", "Pellar4K") && fileAtNotice == fileAtSignal);
    EXPECT_EQ(fileLines(), expectedLines("Chinese", "Pellar4K"));
    EXPECT_EQ(startupLanguage(), "Chinese");

    // Applied: a second OK has nothing left to do.
    events.clear();
    dlg->show();
    click("pushButtonOK");
    EXPECT_TRUE(events.isEmpty()) << qPrintable(events.join(','));
}

TEST_F(DialogTest, LanguageChangeKeptThroughCancelIsAppliedByTheNextOk)
{
    combo("comboBoxLang")->setCurrentText("Chinese");
    click("pushButtonCancel");
    EXPECT_EQ(combo("comboBoxLang")->currentText() + " " + startupLanguage(), "Chinese English");
    EXPECT_FALSE(written());

    // Without a notifier of its own the dialog shows the notice itself.
    dlg->setNotifier(nullptr);
    ModalAnswers modal;
    dlg->show();
    click("pushButtonOK");
    EXPECT_EQ(modal.texts, QStringList{"Please exit the program to apply the language setting!"});
    EXPECT_EQ(modal.defaults, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    EXPECT_EQ(fileLines(), expectedLines("Chinese", "Pellar10"));
}

// A choice that cannot be stored still holds for the run, and the user
// hears that the next start will not have it.
TEST_F(DialogTest, ModelThatCannotBeSavedIsUsedAndSaidSo)
{
    ASSERT_TRUE(QFile::remove(m_path));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("VexmorMachine.ini")); // no file can be written there
    combo("comboBox")->setCurrentText("Pellar30");
    click("pushButtonOK");
    EXPECT_EQ(events, QStringList({"box", "signal:Pellar30"}));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith("The printer settings could not be saved; they hold until the program ends."))
        << qPrintable(notices[0]);
    EXPECT_TRUE(notices[0].contains("VexmorMachine.ini")) << qPrintable(notices[0]);
    EXPECT_EQ(dlg->m_machineType, "Pellar30");
    EXPECT_TRUE(QFileInfo(m_path).isDir());

    // Opened again and cancelled, or confirmed untouched: the model in use
    // stays, though the file never took it.
    events.clear();
    combo("comboBox")->setCurrentText("Pellar120");
    click("pushButtonCancel");
    EXPECT_EQ(combo("comboBox")->currentText(), "Pellar30");
    click("pushButtonOK");
    EXPECT_EQ(events, QStringList());
    EXPECT_EQ(dlg->m_machineType, "Pellar30");
}

} // namespace
