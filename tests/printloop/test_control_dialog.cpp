#include "DlpCtlDialog.h"
#include "event_wait.h"
#include "notices.h"
#include "printloop_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateTime>
#include <QGroupBox>
#include <QRadioButton>
#include <QTabBar>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <QTranslator>

#include <cmath>
#include <limits>
#include <memory>

namespace {

const QString kCurrentRefusal = QString::fromUtf8("参数不对，请输入0~255之间的数据！");
const QString kHomeRefusal = QString::fromUtf8("参数不对，请输入以毫米为单位的具体数据！");

QVariantList values(bool l, bool s, float pwm, float x, float y, float z)
{
    return {l, s, pwm, x, y, z};
}
const QVariantList kDefaults = values(false, false, 30, 0, 10, 240);

class ControlDialogTest : public PrinterLinkTest
{
protected:
    void SetUp() override
    {
        PrinterLinkTest::SetUp();
        vexmorInitResources();  // the USB picture
        m_path = m_dir.filePath("Light.ini");
    }
    void TearDown() override
    {
        dialog.reset();
        PrinterLinkTest::TearDown();
    }

    void open(bool online)
    {
        if (online)
            ASSERT_NO_FATAL_FAILURE(connectPrinter());
        else
            ASSERT_NO_FATAL_FAILURE(goOffline());
        dialog = std::make_unique<DlpCtlDialog>();
        dialog->setInputNotifier([this](const QString& text) { boxes << text; });
        para = std::make_unique<QSignalSpy>(dialog.get(), &DlpCtlDialog::signal_para);
    }
    void click(const char* name)
    {
        auto* button = dialog->findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }
    template <typename T = QWidget>
    T* child(const char* name) const
    {
        T* widget = dialog->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void type(const char* name, const QString& text) { child<QLineEdit>(name)->setText(text); }

    QVariantList lastPara() const { return para->isEmpty() ? QVariantList() : para->last(); }
    QVariantList fileValues() const
    {
        QSettings s(m_path, QSettings::IniFormat);
        s.beginReadArray("LightConfig");
        s.setArrayIndex(0);
        QVariantList v{s.value("longflip").toBool(), s.value("shortflip").toBool()};
        for (const char* key : {"light_pwm", "homeadjx", "homeadjy", "homeadjz"})
            v << s.value(key).toFloat();
        return v;
    }
    // The last signal_para carries `want`, and the file was rewritten with it.
    void expectKept(const QVariantList& want)
    {
        EXPECT_EQ(lastPara(), want);
        EXPECT_EQ(fileValues(), want);
    }

    QString m_path;
    std::unique_ptr<DlpCtlDialog> dialog;
    std::unique_ptr<QSignalSpy> para;
    QStringList boxes;
};

}  // namespace

// The light file as a user may keep it: other sections and keys, comments.
// Writes touch the dialog's own keys only; a link out of the folder is
// neither read nor written; a file that cannot be parsed is set aside.
TEST_F(ControlDialogTest, TheLightFileKeepsWhatTheDialogDoesNotOwn)
{
    // No groups at all: the defaults are added, the general keys stay.
    const QByteArray general = "; my printer\nowner = me\n";
    ASSERT_TRUE(writeBytes(m_path, general));
    open(false);
    dialog->sendPara();
    expectKept(kDefaults);
    EXPECT_TRUE(readBytes(m_path).startsWith(general)) << readBytes(m_path).constData();

    // Other sections and keys of the entry survive a setting's write.
    const QByteArray mine = "[Mine]\nnote = keep me ; really\n";
    ASSERT_TRUE(writeBytes(m_path, general + mine + "[LightConfig]\n1\\longflip=false\n1\\extra=x\nsize=1\n"));
    open(false);
    child<QCheckBox>("checkBoxLongSide")->setChecked(true);
    click("pb_flip");
    const QByteArray after = readBytes(m_path);
    EXPECT_TRUE(after.startsWith(general + mine + "[LightConfig]\n1\\longflip=true\n1\\extra=x\n")) << after.constData();

    // A link out of the configuration folder: defaults, and the target untouched.
    QTemporaryDir elsewhere;
    const QByteArray system = "[LightConfig]\n1\\light_pwm=99\n";
    ASSERT_TRUE(writeBytes(elsewhere.filePath("hosts"), system));
    ASSERT_TRUE(QFile::remove(m_path));
    ASSERT_TRUE(QFile::link(elsewhere.filePath("hosts"), m_path));
    open(false);
    dialog->sendPara();
    EXPECT_EQ(lastPara(), kDefaults);
    click("pb_flip");
    EXPECT_EQ(readBytes(elsewhere.filePath("hosts")), system);
    EXPECT_TRUE(QFileInfo(m_path).isSymLink());

    // Unparsable: kept aside as it was; the dialog starts from its defaults.
    ASSERT_TRUE(QFile::remove(m_path));
    const QByteArray broken = "[LightConfig\n1\\light_pwm=77\n";
    ASSERT_TRUE(writeBytes(m_path, broken));
    open(false);
    dialog->sendPara();
    expectKept(kDefaults);
    const QStringList aside = QDir(m_dir.path()).entryList({"Light.ini.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readBytes(m_dir.filePath(aside[0])), broken);
}

TEST_F(ControlDialogTest, FirstStartWritesTheDefaultsAndLaterStartsReadThemBack)
{
    open(false);
    {
        QSettings s(m_path, QSettings::IniFormat);
        EXPECT_EQ(s.childGroups(), QStringList{"LightConfig"});
        EXPECT_EQ(s.value("LightConfig/size").toInt(), 1);
        EXPECT_EQ(s.value("LightConfig/1/NAME").toString(), "VEXMOR3D");
        for (const char* key : {"light_pwm", "homeadjx", "homeadjy", "homeadjz"})
            EXPECT_EQ(s.value(QString("LightConfig/1/") + key).userType(), int(QMetaType::Float)) << key;
    }
    dialog->sendPara();
    expectKept(kDefaults);
    EXPECT_EQ(child<QLineEdit>("lEHomeAdjustZ")->text(), "240");

    // Missing keys take their defaults; the keys present keep their values.
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[LightConfig]\n1\\longflip=true\n1\\homeadjz=12.5\nsize=1\n");
    }
    open(false);
    dialog->sendPara();
    EXPECT_EQ(lastPara(), values(true, false, 30, 0, 10, 12.5f));
    EXPECT_TRUE(child<QCheckBox>("checkBoxLongSide")->isChecked());
    child<QCheckBox>("checkBoxShortSide")->setChecked(true);
    click("pb_flip");
    dialog = std::make_unique<DlpCtlDialog>();
    EXPECT_TRUE(dialog->longFlip() && dialog->shortFlip());
    EXPECT_EQ(dialog->homeAdjZ(), 12.5f);
}

// A hand-edited or damaged "Light.ini": each value out of range is named with
// the file and the key, published as it was stored (text as not a number) so
// that a job start refuses it, and the file is not rewritten.
TEST_F(ControlDialogTest, LightValuesOutOfRangeAreNamedAndTheFileKept)
{
    open(false);  // writes the defaults, which are in range
    EXPECT_TRUE(dialog->valueProblem().isEmpty());
    const QString defaults = QString::fromLatin1(readBytes(m_path));
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    using Get = float (DlpCtlDialog::*)() const;
    const struct { const char *key, *stored; Get get; float published; const char* allowed; } rows[] = {
        {"light_pwm", "nan", &DlpCtlDialog::lightPwm, nan, "0..255"},
        {"light_pwm", "-1", &DlpCtlDialog::lightPwm, -1, "0..255"},
        {"light_pwm", "bright", &DlpCtlDialog::lightPwm, nan, "0..255"},
        {"homeadjx", "inf", &DlpCtlDialog::homeAdjX, inf, "-10000..10000"},
        {"homeadjy", "-inf", &DlpCtlDialog::homeAdjY, -inf, "-10000..10000"},
        {"homeadjz", "2147483647", &DlpCtlDialog::homeAdjZ, 2147483647.0f, "-10000..10000"},
        {"longflip", "maybe", nullptr, 0, "0..1"},
    };
    int tick = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.stored);
        QString text = defaults;
        text.replace(QRegularExpression(QStringLiteral("1\\\\%1=[^\n]*").arg(r.key)),
                     QStringLiteral("1\\%1=%2").arg(r.key, r.stored));
        ASSERT_NE(text, defaults);
        ASSERT_TRUE(writeBytes(m_path, text.toLatin1()));
        // Settings files are cached by size and time: two rows of one size
        // written within a tick would read the first.
        QFile written(m_path);
        ASSERT_TRUE(written.open(QIODevice::ReadWrite));
        ASSERT_TRUE(written.setFileTime(QDateTime::currentDateTime().addSecs(++tick), QFileDevice::FileModificationTime));
        written.close();
        open(false);
        EXPECT_EQ(dialog->valueProblem(),
                  QStringLiteral("%1: LightConfig/1/%2 = %3 (allowed %4)").arg(m_path, r.key, r.stored, r.allowed));
        if (r.get) {
            const float got = (dialog.get()->*r.get)();
            EXPECT_TRUE(std::isnan(r.published) ? std::isnan(got) : got == r.published) << got;
        }
        EXPECT_EQ(readBytes(m_path), text.toLatin1());
    }
}

TEST_F(ControlDialogTest, EachButtonWritesItsCommandsWithoutTerminators)
{
    open(true);
    const std::pair<const char*, std::string> rows[] = {
        {"zUPbtn", "G92 Z0G1 Z250 F600"}, {"zDOWNbtn", "G28 Z0"}, {"z1btn", "G92 Z0G1 Z1 F600"},
        {"zn1btn", "G92 Z0G1 Z-1 F600"}, {"z10btn", "G92 Z0G1 Z10 F600"}, {"zn10btn", "G92 Z0G1 Z-10 F600"},
        {"y01btn", "G92 Y0G1 Y0.1 F600"}, {"yn01btn", "G92 Y0G1 Y-0.1 F600"}, {"y1btn", "G92 Y0G1 Y1 F600"},
        {"yn1btn", "G92 Y0G1 Y-1 F600"}, {"y10btn", "G92 Y0G1 Y10 F600"}, {"yn10btn", "G92 Y0G1 Y-10 F600"},
        {"pbRotate1deg", "G92 X0G1 X-0.8 F1440"}, {"pbRotatem1deg", "G92 X0G1 X-72 F1440"},
        {"pbRotate1Circle", "G92 X0G1 X-144 F1440"}, {"pbRotatem1Circle", "G92 X0G1 X-288 F1440"},
        {"ledonbtn", "M219"}, {"ledoffbtn", "M220"}, {"pbCurrentSetRead", ""}, {"stopbtn", "M911"},
        {"pbLightInside", "M227M114"}, {"pb_flip", "M222  X0 Y0"}, {"pbLedCurrentSet", "M225 B30"},
        {"pbHomeAdjust", "M230 X0 Y10 Z240"}, {"pbHomeAdjustRead", "M231 "},
    };
    for (const auto& r : rows) {
        click(r.first);
        EXPECT_EQ(nextBytes(r.second.size()), r.second) << r.first;
    }
    dialog->slot_emergencyStop();
    EXPECT_EQ(nextBytes(4), "M911");
    // The mirror with the long side only.
    child<QCheckBox>("checkBoxLongSide")->setChecked(true);
    click("pb_flip");
    EXPECT_EQ(nextBytes(11), "M222  X1 Y0");
    expectKept(values(true, false, 30, 12, -5, 240));  // the adjust read's values
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(ControlDialogTest, LedCurrentOnlyAsAWholeNumberUpTo255)
{
    open(true);
    const struct { const char* entry; std::string sent; float stored; } rows[] = {  // sent empty: refused
        {"", "", 30},    {"300", "", 30}, {"abc", "", 30},           {"-1", "", 30},
        {"12.5", "", 30}, {"128", "M225 B128", 128}, {" 64 ", "M225 B64", 64}, {"255", "M225 B255", 255},
        {"256", "", 255}, {"0", "M225 B0", 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.entry);
        boxes.clear();
        QFile::remove(m_path);
        const int before = para->size();
        type("lECurrent", r.entry);
        click("pbLedCurrentSet");
        EXPECT_EQ(boxes, r.sent.empty() ? QStringList{kCurrentRefusal} : QStringList());
        EXPECT_EQ(nextBytes(r.sent.size()), r.sent);  // a refused entry before would show up here
        EXPECT_EQ(para->size(), before + 1);
        expectKept(values(false, false, r.stored, 0, 10, 240));  // the file is rewritten in every case
    }
}

TEST_F(ControlDialogTest, HomeAdjustOnlyWithPlainNumbers)
{
    open(true);
    const struct { const char *x, *y, *z; std::string sent; float sx, sy, sz; } rows[] = {
        {"0", "10", "240", "M230 X0 Y10 Z240", 0, 10, 240},
        {"", "10", "240", "", 0, 10, 240},
        {"1e3", "10", "240", "", 0, 10, 240},
        {"1", "2,5", "3", "", 0, 10, 240},
        {"1", "2", "inf", "", 0, 10, 240},
        {"1", "2.5.1", "3", "", 0, 10, 240},
        {"10001", "2", "3", "", 0, 10, 240},  // beyond what the printer takes
        {"1", "-10000.5", "3", "", 0, 10, 240},
        {" -5.5 ", "+.5", "7.", "M230 X-5.5 Y+.5 Z7.", -5.5f, 0.5f, 7},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.x) + "|" + r.y + "|" + r.z);
        boxes.clear();
        for (auto [field, text] : {std::pair{"lEHomeAdjustX", r.x}, {"lEHomeAdjustY", r.y}, {"lEHomeAdjustZ", r.z}})
            type(field, text);
        click("pbHomeAdjust");
        EXPECT_EQ(boxes, r.sent.empty() ? QStringList{kHomeRefusal} : QStringList());
        EXPECT_EQ(nextBytes(r.sent.size()), r.sent);
        expectKept(values(false, false, 30, r.sx, r.sy, r.sz));
    }
}

TEST_F(ControlDialogTest, AdjustReadTakesTheValuesOnlyFromTheEcho)
{
    open(true);
    const struct { const char* name; std::string reply; float x, y, z; } rows[] = {
        {"echo", "M231 X:12um Y:-5um Z:240um\nexecok\n", 12, -5, 240},
        {"no echo", "X:1um Y:2um Z:3um\nexecok\n", 12, -5, 240},
        {"Y missing", "M231 X:7um Z:9um\nexecok\n", 7, -5, 9},
        {"no unit after Z", "M231 X:1um Y:2um Z:3\nexecok\n", 1, 2, 9},
        {"not a number", "M231 X:abum Y:4um Z:5um\nexecok\n", 0, 4, 5},
        {"beyond what a printer takes", "M231 X:99999um Y:-1e30um Z:6um\nexecok\n", 0, 4, 6},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        sim->setReply("M231", r.reply);
        const int before = para->size();
        click("pbHomeAdjustRead");
        EXPECT_EQ(nextBytes(5), "M231 ");
        EXPECT_EQ(para->size(), before + 1);
        expectKept(values(false, false, 30, r.x, r.y, r.z));
        EXPECT_EQ(child<QLineEdit>("lEHomeAdjustY")->text(), QString::number(r.y, 'g', 6));
    }
}

TEST_F(ControlDialogTest, OfflineClicksLogAndChangeNoValue)
{
    PrinterTimings t = linkTimings();
    t.adjustRead = LookLoop{1, 20, false, 0};
    TimingsScope timings(t);
    open(false);
    for (const char* button : {"z1btn", "pbRotatem1deg", "pbHomeAdjustRead"})
        click(button);
    EXPECT_EQ(m_log.count("Device Offline, No Operate"), 3);
    EXPECT_EQ(lastPara(), kDefaults);
    child<QCheckBox>("checkBoxShortSide")->setChecked(true);
    click("pb_flip");
    EXPECT_EQ(fileValues(), values(false, true, 30, 0, 10, 240)) << "settings are kept offline too";
}

TEST_F(ControlDialogTest, TheFormAsAPersonSeesItAndItsChoices)
{
    open(false);
    EXPECT_EQ(child<QTabWidget>("tabWidget")->currentIndex(), 3);
    EXPECT_TRUE(child<QLabel>("labelVersion")->text().startsWith("SoftVersion:Kaltrix_"));
    EXPECT_FALSE(child<QLabel>("link_img")->pixmap(Qt::ReturnByValue).isNull());
    dialog->show();
    ASSERT_TRUE(WaitUntilExposed(dialog.get()));
    EXPECT_FALSE(child("pbLightInside")->isVisible());
    EXPECT_FALSE(child("rb_exposure_75")->isVisible());
    EXPECT_TRUE(child("lEHomeAdjustZ")->isVisible());
    const QImage shot = dialog->grab().toImage();
    shot.save(QString(VSL_SHOT_DIR) + "/printloop_control_dialog.png");
    // The emergency stop is red, the window is not one flat colour.
    QWidget* stop = child("stopbtn");
    const QColor red =
        shot.pixelColor(stop->mapTo(dialog.get(), QPoint(4, stop->height() / 2)) * shot.devicePixelRatio());
    EXPECT_TRUE(red.red() > 200 && red.green() < 40) << red.name().toStdString();
    EXPECT_NE(shot.pixel(5, 5), shot.pixel(shot.width() / 2, shot.height() / 2 + 40));

    // The picture and exposure choices.
    QSignalSpy pictures(dialog.get(), &DlpCtlDialog::signal_pictureOpen);
    QSignalSpy exposure(dialog.get(), &DlpCtlDialog::signal_exposure_select);
    for (const QString& chosen : {QString(), QString("/pictures/test.png")}) {  // a cancelled chooser too
        dialog->setPictureChooser([chosen] { return chosen; });
        click("pbImageShow");
        EXPECT_EQ(pictures.last().first().toString(), chosen);
    }
    click("rb_exposure_50");
    click("rb_exposure_25");
    ASSERT_EQ(exposure.size(), 2);
    EXPECT_EQ(std::make_pair(exposure[0][0].value<uchar>(), exposure[1][0].value<uchar>()),
              std::make_pair(uchar(2), uchar(1)));
}

// In Chinese every caption fits its widget as the English ones do.
TEST_F(ControlDialogTest, CaptionsFitTheirWidgetsInBothLanguages)
{
    for (const char* lang : {"en", "zh-cn"}) {
        SCOPED_TRACE(lang);
        QTranslator tr;
        ASSERT_TRUE(tr.load(QString(":/Resources/lang/%1.qm").arg(lang)));
        QCoreApplication::installTranslator(&tr);
        open(false);
        dialog->show();
        ASSERT_TRUE(WaitUntilExposed(dialog.get()));
        dialog->grab().save(QString(VSL_SHOT_DIR) + "/printloop_control_dialog_" + lang + ".png");
        QCoreApplication::removeTranslator(&tr);

        EXPECT_EQ(child<QGroupBox>("ctlBox")->title(),
                  QString::fromUtf8(lang == QLatin1String("en") ? "Printer Control" : "打印机控制"));
        QStringList clipped;
        auto check = [&](QWidget* w, const QString& text, int room) {
            if (w->isVisible() && w->fontMetrics().horizontalAdvance(text) > room)
                clipped << text;
        };
        for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
            const bool box = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b);
            check(b, b->text(), box ? b->width() - 20 : b->width() - 6);
        }
        for (QLabel* l : dialog->findChildren<QLabel*>())
            if (!Qt::mightBeRichText(l->text()))
                check(l, l->text(), l->contentsRect().width());
        for (QGroupBox* g : dialog->findChildren<QGroupBox*>())
            check(g, g->title(), g->width() - 10);
        QTabBar* tabs = child<QTabWidget>("tabWidget")->tabBar();
        for (int i = 0; i < tabs->count(); ++i)
            check(tabs, tabs->tabText(i), tabs->tabRect(i).width() - 8);
        EXPECT_TRUE(clipped.isEmpty()) << clipped.join(" | ").toStdString();
    }
}
