#include "settings_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

class DialogTest : public MachineSettingsTest
{
protected:
    void SetUp() override
    {
        MachineSettingsTest::SetUp();
        dlg.reset(new frmDeviceInterfaceSettings);
        // The notice records what the file and the listeners had seen by then.
        dlg->setLanguageNotifier([this](const QString& message) {
            events << "box";
            notices << message;
            fileAtNotice = fileLines();
        });
        QObject::connect(dlg.get(), &frmDeviceInterfaceSettings::signal_machineConfig,
                         [this](QString name) {
                             events << "signal:" + name;
                             fileAtSignal = fileLines();
                         });
        backdateFile();
    }

    template <class T> T* child(const char* name)
    {
        T* w = dlg->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QStringList fields()
    {
        QStringList out;
        for (const char* n : {"lineEditXResolution", "lineEditYResolution", "lineEditXSize",
                              "lineEditYSize", "lineEditZHight"})
            out << child<QLineEdit>(n)->text();
        return out;
    }
    void open() { dlg->show(); }
    void choose(const char* model) { child<QComboBox>("comboBox")->setCurrentText(model); }
    void chooseLanguage(const char* lang) { child<QComboBox>("comboBoxLang")->setCurrentText(lang); }
    void click(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }

    std::unique_ptr<frmDeviceInterfaceSettings> dlg;
    QStringList events, notices, fileAtSignal, fileAtNotice;
};

const QStringList kPellar10Fields = {"854", "480", "98", "55", "140"};
const QStringList kPellar4KFields = {"3840", "6480", "120", "68", "190"};

} // namespace

TEST_F(DialogTest, ChoosingAModelShowsItsRowAndCancelReturnsToTheSavedOne)
{
    EXPECT_EQ(fields(), kPellar10Fields);
    open();
    choose("Pellar4K");
    EXPECT_EQ(fields(), kPellar4KFields);
    EXPECT_EQ(dlg->m_machineType, "Pellar4K");

    click("pushButtonCancel");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->m_machineType, "Pellar10");
    EXPECT_EQ(child<QComboBox>("comboBox")->currentText(), "Pellar10");
    EXPECT_EQ(fields(), kPellar10Fields);
    EXPECT_EQ(fileTime(), oldTime());
    EXPECT_TRUE(events.isEmpty());
}

TEST_F(DialogTest, OkWithNothingChangedWritesEmitsAndShowsNothing)
{
    open();
    choose("Pellar30");
    choose("Pellar10");  // back to the saved model
    click("pushButtonOK");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(fileTime(), oldTime());
    EXPECT_TRUE(events.isEmpty()) << qPrintable(events.join(','));
}

TEST_F(DialogTest, OkAfterNewModelAndLanguageWritesModelFirstAndSignalsBeforeTheNotice)
{
    open();
    choose("Pellar4K");
    chooseLanguage("Chinese");
    click("pushButtonOK");

    EXPECT_EQ(events, QStringList({"signal:Pellar4K", "box"}));
    EXPECT_EQ(notices, QStringList{"Please exit the program to apply the language setting!"});
    // First write, before listeners hear of it: the new model with the
    // language saved so far.
    EXPECT_EQ(fileAtSignal, expectedLines("English", "Pellar4K"));
    EXPECT_EQ(fileAtNotice, expectedLines("English", "Pellar4K"));
    EXPECT_EQ(fileLines(), expectedLines("Chinese", "Pellar4K"));
    EXPECT_EQ(startupLanguage(), "Chinese");

    // Applied: a second OK has nothing left to do.
    events.clear();
    open();
    click("pushButtonOK");
    EXPECT_TRUE(events.isEmpty()) << qPrintable(events.join(','));
}

TEST_F(DialogTest, LanguageChangeKeptThroughCancelIsAppliedByTheNextOk)
{
    open();
    chooseLanguage("Chinese");
    click("pushButtonCancel");
    EXPECT_EQ(child<QComboBox>("comboBoxLang")->currentText(), "Chinese");
    EXPECT_EQ(fileTime(), oldTime());
    EXPECT_EQ(startupLanguage(), "English");

    open();
    click("pushButtonOK");
    EXPECT_EQ(events, QStringList{"box"});
    EXPECT_EQ(fileLines(), expectedLines("Chinese", "Pellar10"));
}

TEST_F(DialogTest, FormCarriesItsNamesTextsAndFixedFields)
{
    EXPECT_EQ(dlg->windowTitle(), "frmDeviceInterfaceSettings");
    EXPECT_TRUE(dlg->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(dlg->windowModality(), Qt::WindowModal);
    EXPECT_EQ(child<QGroupBox>("groupBox")->title(), "Printer");
    const QPair<const char*, const char*> labels[] = {
        {"label_11", "Printer Select"}, {"label_3", "X-Size(mm)"},   {"label_9", "Y-Size(mm)"},
        {"label_4", "Z-Height(mm)"},    {"label_2", "X Resolution"}, {"label", "Y Resolution"},
        {"label_7", "Language"},        {"label_5", "Version:"},     {"label_6", "1.37"}};
    for (const auto& l : labels)
        EXPECT_EQ(child<QLabel>(l.first)->text(), l.second);
    EXPECT_EQ(child<QPushButton>("pushButtonOK")->text(), "OK");
    EXPECT_EQ(child<QPushButton>("pushButtonCancel")->text(), "Cancel");
    QStringList langs;
    for (int i = 0; i < child<QComboBox>("comboBoxLang")->count(); ++i)
        langs << child<QComboBox>("comboBoxLang")->itemText(i);
    EXPECT_EQ(langs, QStringList({"English", "Chinese"}));
    for (QLineEdit* e : dlg->findChildren<QLineEdit*>()) {
        if (e->parent() == child<QComboBox>("comboBox") || e->parent() == child<QComboBox>("comboBoxLang"))
            continue;
        EXPECT_FALSE(e->isEnabled()) << qPrintable(e->objectName());
        EXPECT_TRUE(e->alignment() & Qt::AlignRight) << qPrintable(e->objectName());
    }
}

TEST_F(DialogTest, ScreenshotShowsPellar4K)
{
    dlg->move(100, 100);
    open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    choose("Pellar4K");
    QTest::qWait(50);
    const QImage shot = dlg->grab().toImage().convertToFormat(QImage::Format_RGB32);
    shot.save(QStringLiteral(VSL_SHOT_DIR "/printersettings_pellar4k.png"));
    EXPECT_EQ(shot.size(), QSize(408, 392) * dlg->devicePixelRatioF());

    // Not a blank window: the light buttons stand on the dark dialog, and
    // the fields carry text.
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3)
            colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20);
    QPushButton* ok = child<QPushButton>("pushButtonOK");
    const QPoint inButton = ok->mapTo(dlg.get(), QPoint(6, ok->height() / 2));
    EXPECT_EQ(QColor(shot.pixel(inButton)), QColor(238, 236, 234));
    const QPoint corner(2, 2);
    EXPECT_LT(qGray(shot.pixel(corner)), 160);
    EXPECT_EQ(fields(), kPellar4KFields);
}

TEST_F(DialogTest, DefaultNoticeIsAFramelessInformationBoxWithOneOk)
{
    dlg->setLanguageNotifier(nullptr);
    QString seenText, seenStyle;
    bool frameless = false, info = false;
    int buttons = 0;
    bool found = false;
    // Answers the modal box from inside its own event loop.
    std::function<void()> answer = [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            found = true;
            seenText = box->text();
            seenStyle = box->styleSheet();
            frameless = box->windowFlags() & Qt::FramelessWindowHint;
            info = box->icon() == QMessageBox::Information;
            buttons = box->buttons().size();
            box->button(QMessageBox::Ok)->click();
            return;
        }
        QTimer::singleShot(20, answer);
    };
    QTimer::singleShot(0, answer);
    open();
    chooseLanguage("Chinese");
    click("pushButtonOK");
    ASSERT_TRUE(found);
    EXPECT_EQ(seenText, "Please exit the program to apply the language setting!");
    EXPECT_TRUE(frameless);
    EXPECT_TRUE(info);
    EXPECT_EQ(buttons, 1);
    EXPECT_TRUE(seenStyle.contains("rgb(100, 100, 100)"));
    EXPECT_EQ(startupLanguage(), "Chinese");
}
