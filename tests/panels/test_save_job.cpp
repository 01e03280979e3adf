#include "FileChooser.h"
#include "PrintTimeEstimate.h"
#include "VEditRecipeWidget.h"
#include "VImportWidgetX.h"
#include "VSLGLView.h"
#include "VSaveWidgetX.h"
#include "DlpCtlDialog.h"
#include "MaterialList.h"
#include "RecipeStore.h"
#include "displaystandin.h"
#include "buildmanager.h"
#include "dlp/gcodegenerator.h"
#include "modal_answer.h"
#include "notices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>

namespace {

class SaveJob : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
        editor.setMachine("Pellar10");
        editor.readIniFileX();
        view = std::make_unique<VSLGLView>();
        importer = std::make_unique<VImportWidgetX>(view.get(), &editor, config);
        panel = std::make_unique<VSaveWidgetX>(view.get(), &editor, config);
        panel->m_pImportWidget = importer.get();
        panel->setMachine("Pellar10");
        panel->setLinkCheck([this] { return online; });
        panel->setClock([this] { return clock; });
        DisplayStandIn::setScreenSource([this] {
            DisplayStandIn::Screens s;
            for (int i = 0; i < screenCount; ++i)
                s.geometries << QRect(1920 * i, 0, 1920, 1080);
            return s;
        });
        DisplayStandIn::setModeSwitch([this] { ++switches; });
        config.SliceThickness = 0.05f;
        config.XResolution = 64;
        config.YResolution = 48;
        FileChooser::setSaveChooser([this](QWidget*, const QString& caption, const QString& start,
                                           const QString& filter) {
            asked << caption << start << filter;
            return answer;
        });
    }
    void TearDown() override
    {
        FileChooser::setSaveChooser({});
        DisplayStandIn::setScreenSource({});
        DisplayStandIn::setModeSwitch({});
        panel.reset();
        importer.reset();
        view.reset();
        qunsetenv("VEXMOR_CONFIG_DIR");
    }
    template <class T> T* w(const char* name) { return panel->findChild<T*>(name); }
    QPushButton* button() { return w<QPushButton>("btn_StartPrint"); }
    // Under a ModalAnswers of the caller.
    void start()
    {
        button()->setEnabled(false); // a refusal must enable it again
        QMetaObject::invokeMethod(panel.get(), "slot_EmitStartPrint");
    }

    QTemporaryDir dir;
    VEditRecipeWidget editor;
    DLP::SliceBuildConfig config;
    std::unique_ptr<VSLGLView> view;
    std::unique_ptr<VImportWidgetX> importer;
    std::unique_ptr<VSaveWidgetX> panel;
    bool online = true;
    int screenCount = 2;
    int switches = 0;
    QTime clock = QTime(10, 0);
    QString answer;
    QStringList asked;
};

TEST_F(SaveJob, StartCopiesTheRecipeAndProjectorValues)
{
    panel->slot_para(true, false, 180.5f, 1.25f, -2.0f, 240.0f);
    EXPECT_EQ(w<QLabel>("label_pwm")->text(), "180.5");
    EXPECT_EQ(w<QLabel>("le_homeadjy")->text(), "-2");
    panel->slot_ReceiveNLayers(10);
    config.BlankTime = 123456;
    config.TiltSpeed1 = 7; // hidden rows give 0
    config.ZLiftBottomLayer = 7;
    answer.clear(); // cancelled dialog
    QSignalSpy generate(panel.get(), &VSaveWidgetX::signal_PrintDataGenerate);
    view->SetSaveFileName("/keep/this");
    ModalAnswers modal;
    start();
    EXPECT_TRUE(modal.texts.isEmpty());
    // Projector values and the hidden rows' zeros, as copied (the recipe's
    // reach the print file, checked through the main window).
    const std::pair<float, float> copied[] = {
        {config.ExposureTimePerLayer, 6000}, {config.ZLiftFirstBottomSpeed, 90}, {config.LightPwm, 180.5f},
        {config.HomeAdjustX, 1.25f},         {config.HomeAdjustY, -2.0f},        {config.HomeAdjustZ, 240.0f},
        {config.MirrorLongSide, 1},          {config.MirrorShortSide, 0},        {config.TiltSpeed1, 0},
        {config.ZLiftBottomLayer, 0},        {config.Dp, 0}};
    for (const auto& c : copied)
        EXPECT_FLOAT_EQ(c.first, c.second) << &c - copied;
    DLP::SliceBuildConfig again = config;
    again.BlankTime = 123456;
    again.UpdateblankTime();
    EXPECT_NE(config.BlankTime, 123456);
    EXPECT_EQ(config.BlankTime, again.BlankTime);
    EXPECT_EQ(panel->m_nTotalSeconds, estimatePrintTime(10, config).totalSeconds);
    // The cancelled dialog stores and emits nothing.
    EXPECT_EQ(generate.count(), 0);
    EXPECT_EQ(view->GetSaveFileName(), "/keep/this");
}

TEST_F(SaveJob, RefusalsShowTheirTextsAndStartNothing)
{
    struct Case { const char* what; bool sliced; quint8 target; bool online; int screens; QStringList texts, hints; };
    const Case cases[] = {
        {"no slice data", false, 2, true, 2, {"Slicing Data Error"}, {"Slicing again Please"}},
        {"printer offline", true, 0, false, 2, {"Connection Abnormal"}, {"USB Cable abnormal,Check please"}},
        {"one screen", true, 0, true, 1, {"", "Projector Error"}, {"Extern Display", "Check The Projector Please"}},
        {"network", true, 1, true, 2, {"Network Error"}, {"Check the Network connection please"}},
        {"bad job path", true, 0, true, 2, {"", "G-code Error"}, {"Extern Display", "Check the output folder please"}},
    };
    ASSERT_TRUE(QFile(dir.path() + "/blocker").open(QIODevice::WriteOnly));
    panel->m_strGcodePath = (dir.path() + "/blocker/job.gcode").toStdString();
    for (const auto& c : cases) {
        panel->slot_ReceiveNLayers(c.sliced ? 10 : 0);
        panel->m_nPrintTarget = c.target;
        online = c.online;
        screenCount = c.screens;
        config.ExposureTimePerLayer = -5;
        config.BlankTime = 777;
        panel->m_nTotalSeconds = 4242;
        QSignalSpy s1(panel.get(), &VSaveWidgetX::signal_SendStartPrint);
        QSignalSpy s2(panel.get(), &VSaveWidgetX::signal_PrintDataGenerate);
        ModalAnswers modal;
        start();
        SCOPED_TRACE(c.what);
        EXPECT_EQ(modal.texts, c.texts);
        EXPECT_EQ(modal.informative, c.hints);
        EXPECT_TRUE(button()->isEnabled());
        // A refused start leaves the shared configuration (blank time
        // included) and the estimate as they were.
        EXPECT_EQ(config.ExposureTimePerLayer, -5);
        EXPECT_EQ(config.BlankTime, 777);
        EXPECT_EQ(panel->m_nTotalSeconds, 4242);
        EXPECT_EQ(s1.count() + s2.count(), 0);
    }
    EXPECT_EQ(switches, 2); // only the starts that passed the link check switch
}

// Hand-edited or damaged recipe and light values: the start is refused with
// the file and the key, before the printer is even looked for; no job file,
// no signal, the shared configuration untouched.
TEST_F(SaveJob, ValuesAPrinterCannotTakeRefuseTheStart)
{
    const QString recipes = RecipeStore::recipeFilePath("Pellar10");
    const QString light = DlpCtlDialog::settingsFilePath();
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    // A user recipe "Bad" of valid values with one key replaced; or the
    // light values the control dialog publishes.
    struct Row {
        const char* what; const char* key; QVariant stored; quint8 target; std::array<float, 4> light; QString message;
    };
    const std::array<float, 4> okLight{30, 0, 10, 240};
    const Row rows[] = {
        {"negative curing", "CuringTime", "-5", 0, okLight, recipes + ": Recipe/Bad/CuringTime = -5 (allowed 0..99999)"},
        {"huge curing", "CuringTime", "99999999999999999999", 0, okLight,
         recipes + ": Recipe/Bad/CuringTime = 99999999999999999999 (allowed 0..99999)"},
        {"text", "StableTime", "abc", 0, okLight, recipes + ": Recipe/Bad/StableTime = abc (allowed 0..99999)"},
        // Shown short and readable, whatever the file holds.
        {"a value of a million digits", "CuringTime", QString(1000000, '9'), 0, okLight,
         recipes + ": Recipe/Bad/CuringTime = " + QString(60, '9') + "... (1000000 characters) (allowed 0..99999)"},
        {"control bytes", "StableTime", QString("1\x01\x7f"), 0, okLight,
         recipes + ": Recipe/Bad/StableTime = 1\\x01\\x7f (allowed 0..99999)"},
        {"typed nan", "LiftDist1", QVariant::fromValue<float>(nan), 0, okLight,
         recipes + ": Recipe/Bad/LiftDist1 = nan (allowed 0..99)"},
        {"infinity", "LiftSpeed2", "inf", 2, okLight, recipes + ": Recipe/Bad/LiftSpeed2 = inf (allowed 0..600)"},
        {"negative lift", "LiftDist2", QVariant::fromValue<float>(-9), 2, okLight,
         recipes + ": Recipe/Bad/LiftDist2 = -9 (allowed 0..99)"},
        {"no feed for the slow lift", "LiftSpeed1", 0, 0, okLight,
         recipes + ": Recipe/Bad/LiftSpeed1 = 0 (allowed above 0)"},
        {"light level nan", nullptr, {}, 0, {nan, 0, 10, 240}, light + ": LightConfig/1/light_pwm = nan (allowed 0..255)"},
        {"home adjust inf", nullptr, {}, 0, {30, inf, 10, 240}, light + ": LightConfig/1/homeadjx = inf (allowed -10000..10000)"},
        {"home adjust -inf", nullptr, {}, 0, {30, 0, -inf, 240}, light + ": LightConfig/1/homeadjy = -inf (allowed -10000..10000)"},
        {"light level above 255", nullptr, {}, 0, {256, 0, 10, 240}, light + ": LightConfig/1/light_pwm = 256 (allowed 0..255)"},
    };
    int linkChecks = 0;
    panel->setLinkCheck([&] { return ++linkChecks, true; });
    panel->m_strGcodePath = (dir.path() + "/job.gcode").toStdString();
    answer = dir.path() + "/job.vxs";
    panel->slot_ReceiveNLayers(10);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        QFile::remove(recipes);
        {
            QSettings file(recipes, QSettings::IniFormat);
            const std::pair<const char*, QVariant> good[] = {
                {"CuringTime", 6000}, {"BurninTime", 60000}, {"StableTime", 1000},
                {"BurninRange", QVariant::fromValue<float>(0.3f)}, {"LiftDist1", QVariant::fromValue<float>(4)},
                {"LiftSpeed1", QVariant::fromValue<float>(90)}, {"LiftDist2", QVariant::fromValue<float>(2)},
                {"LiftSpeed2", QVariant::fromValue<float>(150)}};
            for (const auto& [key, value] : good)
                file.setValue(QStringLiteral("Recipe/Bad/") + key, r.key && !std::strcmp(key, r.key) ? r.stored : value);
        }
        editor.readIniFileX();
        panel->loadRecipe();
        w<QComboBox>("comboBox_Recipe")->setCurrentText("Bad");
        panel->slot_para(false, false, r.light[0], r.light[1], r.light[2], r.light[3]);
        panel->m_nPrintTarget = r.target;
        const DLP::SliceBuildConfig before = config;
        QSignalSpy started(panel.get(), &VSaveWidgetX::signal_SendStartPrint);
        QSignalSpy generate(panel.get(), &VSaveWidgetX::signal_PrintDataGenerate);
        asked.clear();
        ModalAnswers modal;
        start();
        EXPECT_EQ(modal.texts, QStringList{"Value Out of Range"});
        EXPECT_EQ(modal.informative, QStringList{r.message});
        EXPECT_TRUE(button()->isEnabled());
        EXPECT_EQ(started.count() + generate.count(), 0);
        EXPECT_TRUE(asked.isEmpty());  // no save dialog either
        EXPECT_FALSE(QFile::exists(QString::fromStdString(panel->m_strGcodePath)));
        EXPECT_EQ(config.ExposureTimePerLayer, before.ExposureTimePerLayer);
        EXPECT_EQ(config.LightPwm, before.LightPwm);
        EXPECT_EQ(config.BlankTime, before.BlankTime);
    }
    EXPECT_EQ(linkChecks, 0);  // the printer was never looked for
    EXPECT_EQ(switches, 0);

    // The print file of a printer that never reads the light file is not
    // held back by it.
    {
        panel->slot_para(false, false, nan, inf, -inf, 240);
        panel->m_nPrintTarget = 2;
        asked.clear();
        ModalAnswers modal;
        start();
        EXPECT_TRUE(modal.texts.isEmpty()) << modal.texts.join(", ").toStdString();
        EXPECT_FALSE(asked.isEmpty());  // the save dialog
    }

    // The same recipe with good values starts.
    QFile::remove(recipes);
    {
        QSettings file(recipes, QSettings::IniFormat);
        for (auto [key, value] : {std::pair{"CuringTime", 6000}, {"LiftSpeed1", 90}, {"LiftSpeed2", 150}})
            file.setValue(QStringLiteral("Recipe/Bad/") + key, value);
    }
    editor.readIniFileX();
    panel->loadRecipe();
    w<QComboBox>("comboBox_Recipe")->setCurrentText("Bad");
    panel->slot_para(false, false, 30, 0, 10, 240);
    panel->m_nPrintTarget = 0;
    ModalAnswers modal;
    start();
    EXPECT_EQ(modal.informative, QStringList{"Extern Display"});
    EXPECT_TRUE(QFile::exists(QString::fromStdString(panel->m_strGcodePath)));
}

TEST_F(SaveJob, SaveDialogProposal)
{
    panel->slot_ReceiveNLayers(10);
    const struct { const char* model; const char* machine; const char* start; const char* filter; } cases[] = {
        {"ring.stl", "Pellar10", "/parts/ring", "(*.vxs)"},
        {"a.b.stl", "Pellar10", "/parts/a.b", "(*.vxs)"},
        {"plain", "NoSuchPrinter", "/parts/plain", "(*.)"}};
    for (const auto& c : cases) {
        view->SetOpenFileName(c.model);
        view->SetSaveFilePath("/parts");
        panel->setMachine(c.machine);
        asked.clear();
        answer = dir.path() + "/out/job.vxs";
        QSignalSpy generate(panel.get(), &VSaveWidgetX::signal_PrintDataGenerate);
        ModalAnswers modal;
        start();
        EXPECT_EQ(asked, (QStringList{"Save File", c.start, c.filter})) << c.model;
        EXPECT_EQ(generate.count(), 1);
        EXPECT_EQ(view->GetSaveFileName(), answer);
        EXPECT_EQ(view->GetSaveFilePath(), dir.path() + "/out");
    }
}

// A name typed without an extension gets the printer's, which it lists files
// by; a file of the name made, typed with its extension or not, is only
// replaced when the user says so, and the one question names it.
TEST_F(SaveJob, ANameWithoutExtensionGetsThePrintersAndAReplaceIsAsked)
{
    panel->slot_ReceiveNLayers(10);
    view->SetOpenFileName("ring.stl");
    QFile existing(dir.path() + "/old.vxs");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.vxs"));
    struct Row {
        const char* typed;
        std::deque<QMessageBox::StandardButton> answers;
        const char* saved; // empty: nothing is generated
        int questions;
    };
    const Row rows[] = {
        {"/part", {}, "/part.vxs", 0},
        {"/part.", {}, "/part.vxs", 0},
        {"/part.vxs", {}, "/part.vxs", 0},
        {"/part.VXS", {}, "/part.VXS", 0},
        {"/part v1.2", {}, "/part v1.2.vxs", 0},
        {"/ring.stl", {}, "/ring.stl.vxs", 0}, // never the model's own name
        {"/old", {QMessageBox::No}, "", 1},
        {"/old", {QMessageBox::Yes}, "/old.vxs", 1},
        {"/old.vxs", {QMessageBox::No}, "", 1},
        {"/old.vxs", {QMessageBox::Yes}, "/old.vxs", 1},
        {"/folder", {}, "/folder.vxs", 0}, // no file to replace: the writer refuses it
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        view->SetSaveFileName("/keep/this");
        answer = dir.path() + row.typed;
        QSignalSpy generate(panel.get(), &VSaveWidgetX::signal_PrintDataGenerate);
        ModalAnswers modal(row.answers);
        start();
        EXPECT_EQ(modal.texts.size(), row.questions);
        if (row.questions > 0) {
            EXPECT_EQ(modal.texts.front(), dir.path() + "/old.vxs already exists. Replace it?");
        }
        if (*row.saved) {
            EXPECT_EQ(generate.count(), 1);
            EXPECT_EQ(view->GetSaveFileName(), dir.path() + row.saved);
        } else {
            EXPECT_EQ(generate.count(), 0);
            EXPECT_EQ(view->GetSaveFileName(), "/keep/this");
        }
    }
}

// The window's own save dialog: a typed name of an existing file (a model
// beside the job) is taken without a question of its own, since the file
// written is the name made from it.
TEST(SaveDialog, AsksNothingAboutReplacingTheNameTyped)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString typed = dir.path() + "/ring.stl";
    QFile model(typed);
    ASSERT_TRUE(model.open(QIODevice::WriteOnly));
    model.close();
    bool dialogSeen = false, confirms = true;
    QStringList boxes;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && !box->property("answered").toBool()) {
            box->setProperty("answered", true);
            boxes << box->text();
            if (QAbstractButton* yes = box->button(QMessageBox::Yes))
                yes->click(); // so that the dialog returns and the test ends
            else
                box->reject();
            return;
        }
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(top);
            if (!dialog || !dialog->isVisible())
                continue;
            if (!dialogSeen)
                confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialogSeen = true;
            // Typed into the name field: selectFile leaves the field alone
            // once it has the focus, which it may have by now.
            if (dialog->selectedFiles().value(0) != typed) {
                if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->setText(QFileInfo(typed).fileName());
                else
                    dialog->selectFile(typed);
                continue;
            }
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
    poll.start();
    const QString chosen = FileChooser::saveFileName(nullptr, "Save File", dir.path() + "/ring", "(*.vxs)");
    poll.stop();
    ASSERT_TRUE(dialogSeen);
    EXPECT_FALSE(confirms);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
    EXPECT_EQ(chosen, typed);
    EXPECT_EQ(FileChooser::withExtension(chosen, "vxs", {}), typed + ".vxs");
}

// The panel's messages in its large style, as a person sees them: the
// button's label whole inside it (the platform's button icon took the room
// and cut the label off at the right).
TEST_F(SaveJob, AMessageShowsItsButtonLabelWhole)
{
    QImage shot;
    QFont labelFont;
    QPushButton* seen = nullptr;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || seen)
            return;
        seen = qobject_cast<QPushButton*>(box->button(QMessageBox::Yes));
        if (!seen)
            return box->reject();
        QTest::qWait(100);
        EXPECT_TRUE(seen->icon().isNull());
        labelFont = seen->font();
        shot = seen->grab().toImage();
        box->grab().save("save_panel_message.png");
        seen->click();
    });
    poll.start();
    panel->msgOut("Failed to Save File", QString::fromUtf8("文件保存失败\nthe destination folder cannot be written to"));
    poll.stop();
    ASSERT_NE(seen, nullptr);
    ASSERT_FALSE(shot.isNull());
    // The white label lies clear of the button's 2 px border and 5 px
    // padding on both sides.
    int left = shot.width(), right = -1;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    ASSERT_GE(right, 0) << "no label drawn";
    const double r = shot.devicePixelRatio();
    EXPECT_GE(left, int(6 * r)) << shot.width();
    EXPECT_LE(right, shot.width() - 1 - int(6 * r)) << shot.width();
    // As wide as the word's ink: nothing of it cut off.
    const int ink = QFontMetrics(labelFont).tightBoundingRect("Yes").width();
    EXPECT_GE((right - left + 1) / r, ink - 2) << "ink " << ink;
}

TEST_F(SaveJob, LocalTargetWritesTheJobThenAsksForThePrint)
{
    panel->slot_ReceiveNLayers(4);
    panel->m_nPrintTarget = 0;
    const QString path = dir.path() + "/new/job.gcode"; // its folder is made
    panel->m_strGcodePath = path.toStdString();
    QSignalSpy started(panel.get(), &VSaveWidgetX::signal_SendStartPrint);
    {
        ModalAnswers modal;
        start();
        EXPECT_EQ(modal.informative, QStringList{"Extern Display"});
    }
    ASSERT_EQ(started.count(), 1);
    EXPECT_TRUE(panel->localPrintRunning());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toStdString(), DLP::GCodeGenerator().Generate(4, config, panel->m_machineConfig).text);
    f.close();

    // A second start while it runs is its cancel: one more request, the job
    // file in use stays as it is, and the end says cancelled.
    QFile::remove(path);
    {
        ModalAnswers modal;
        start();
        EXPECT_TRUE(modal.texts.isEmpty());
    }
    EXPECT_EQ(started.count(), 2);
    EXPECT_FALSE(QFile::exists(path));
    {
        ModalAnswers modal;
        panel->slot_ReceivePrintEnd(int(DLP::PrintEnd::Cancelled), QString());
        panel->slot_ReceivePrintDone();
        EXPECT_EQ(modal.texts, QStringList{"Printing Cancelled"});
    }
    EXPECT_FALSE(panel->localPrintRunning());
}

TEST_F(SaveJob, LayerReportsRetuneTheBlankTimeBeyondTheBottomLayers)
{
    config.HighofBottomLayer = 0.3f; // 0.05 mm layers
    config.ExposureTimePerLayer = 2000;
    EXPECT_EQ(blankTimeThreshold(config), 7);
    config.BlankTime = 111;
    panel->m_nLastLayer = 0;
    for (int layer = 0; layer <= 8; ++layer) {
        clock = clock.addMSecs(2500);
        panel->slot_ReceiveIndexLayers(layer, 0);
        EXPECT_EQ(config.BlankTime, 111) << layer;
    }
    // A blank frame moves only the current layer.
    clock = clock.addMSecs(60000);
    panel->slot_ReceiveIndexLayers(-1, -1);
    EXPECT_EQ(panel->m_nCurLayer, -1);
    EXPECT_EQ(panel->m_nLastLayer, 8);
    EXPECT_EQ(config.BlankTime, 111);
    clock = QTime(10, 0).addMSecs(9 * 2500 + 3200);
    panel->slot_ReceiveIndexLayers(9, 0);
    EXPECT_EQ(config.BlankTime, 3200 - 2000);
    // An interval not above the exposure (the clock passed midnight) keeps it.
    clock = QTime(0, 0, 1);
    panel->slot_ReceiveIndexLayers(10, 0);
    EXPECT_EQ(config.BlankTime, 1200);

    config.SliceThickness = 0;
    EXPECT_EQ(blankTimeThreshold(config), 1);
    EXPECT_EQ(layerIntervalMs(QTime(), QTime(0, 0)), 3600000 + 60000 + 1000 + 1);
}

TEST_F(SaveJob, EndReportPerTarget)
{
    // end: what the print loop reported before its done (-1 nothing).
    const int completed = int(DLP::PrintEnd::Completed), cancelled = int(DLP::PrintEnd::Cancelled);
    const struct { quint8 target; bool cancelled; int end; QString reason; const char* title; QString hint; } cases[] = {
        {0, false, completed, "", "Printing Complete", "打印结束"},
        {0, true, -1, "", "Printing Cancelled", "打印已取消"},
        {0, false, cancelled, "", "Printing Cancelled", "打印已取消"},
        {0, true, cancelled, "", "Printing Cancelled", "打印已取消"},
        {0, false, int(DLP::PrintEnd::Disconnected), "The printer was disconnected", "Printing Failed",
         "打印失败\nThe printer was disconnected"},
        {0, true, int(DLP::PrintEnd::NotAcknowledged), "no ok", "Printing Failed", "打印失败\nno ok"},
        {0, false, -1, "", "Printing Failed", "打印失败\nThe print ended without a report"},
        {1, false, -1, "", "File Transfer Complete", "文件传输结束"},
        {2, true, -1, "", "Failed to Save File", "文件保存失败"},
        {2, false, -1, "", "File SaveComplete", "文件保存结束"}};
    for (const auto& c : cases) {
        panel->m_nPrintTarget = c.target;
        panel->m_bCancelled = c.cancelled;
        if (c.end >= 0)
            panel->slot_ReceivePrintEnd(c.end, c.reason);
        button()->setEnabled(false);
        w<QPushButton>("pbSavePara")->setEnabled(false);
        panel->m_pPrintMsgBox->show();
        ModalAnswers modal;
        panel->slot_ReceivePrintDone();
        EXPECT_EQ(modal.texts, QStringList{c.title});
        EXPECT_EQ(modal.informative, QStringList{c.hint}) << c.title;
        EXPECT_TRUE(button()->isEnabled());
        EXPECT_TRUE(w<QPushButton>("pbSavePara")->isEnabled());
        EXPECT_FALSE(panel->m_pPrintMsgBox->isVisible());
    }
    // The next start clears the mark.
    answer.clear();
    panel->slot_ReceiveNLayers(3);
    ModalAnswers next;
    start();
    EXPECT_FALSE(panel->m_bCancelled);
}

TEST_F(SaveJob, CancelAsksThenStopsTheLocalPrint)
{
    panel->m_nPrintTarget = 0;
    QSignalSpy cancel(panel.get(), &VSaveWidgetX::signal_SendCancelPrint);
    QSignalSpy estop(panel.get(), &VSaveWidgetX::signal_emermencyStop);
    {
        ModalAnswers modal({QMessageBox::No});
        panel->slot_EmitCancelPrint();
        EXPECT_EQ(modal.texts, QStringList{"Sure to Cancel Job"});
        EXPECT_EQ(modal.defaults.value(0), QMessageBox::No);
    }
    EXPECT_EQ(cancel.count(), 0);
    EXPECT_TRUE(button()->isEnabled());
    // After the emergency stop no question is asked any more.
    ModalAnswers none;
    panel->on_pbStop();
    panel->slot_EmitCancelPrint();
    EXPECT_TRUE(none.texts.isEmpty());
    EXPECT_EQ(estop.count(), 1);
    EXPECT_EQ(cancel.count(), 2);
    EXPECT_TRUE(panel->m_bCancelled);
    EXPECT_FALSE(button()->isEnabled());
}

} // namespace

// A material file linked out of the configuration folder is not read or
// written; the panel goes on with the default material in memory.
TEST_F(SaveJob, AMaterialFileLinkedOutsideLeavesTheDefaultsInMemory)
{
    QTemporaryDir outside;
    const QString target = outside.filePath("elsewhere.ini");
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("[other]\nkept=1\n") > 0);
    }
    const QString own = MaterialList::filePath("Pellar10");
    QFile::remove(own);
    ASSERT_TRUE(QFile::link(target, own));
    panel->m_pListMaterial->clear();
    panel->readIniFile();
    RecipePara defaults;
    VSaveWidgetX::setDefaultPara(defaults);
    ASSERT_EQ(panel->m_pListMaterial->size(), 1);
    EXPECT_EQ(panel->m_pListMaterial->first().exposure_tm, defaults.exposure_tm);
    EXPECT_EQ(panel->m_pListMaterial->first().name, defaults.name);
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[other]\nkept=1\n"));
}
