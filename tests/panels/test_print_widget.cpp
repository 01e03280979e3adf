#include "event_wait.h"
#include "VPrintWidget.h"
#include "slice_polygons.h"
#include "../glview/glview_fixture.h"
#include "../netprinter/loopback_http.h"
#include "slice_layers.h"
#include "NetPrinterScan.h"
#include "PrintTimeEstimate.h"
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include "displaystandin.h"
#include "dlp/gcodegenerator.h"
#include "notices.h"

#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <deque>

namespace {

// The finder's page loads go through the browser: its profile lives in the
// test's scratch home, and nothing leaves 127.0.0.0/8.
struct LoopbackOnly : ::testing::Environment
{
    void SetUp() override { keepToLoopback(); }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new LoopbackOnly);

// Closes whatever opens modally: message boxes with the next scripted button
// (Ok when none is left), input dialogs accepted with their proposal or
// cancelled. Each answer closes its box at once, so an open box is a new one.
class Answers : public QObject
{
public:
    explicit Answers(std::deque<QMessageBox::StandardButton> buttons = {}, bool accept = true)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, buttons, accept]() mutable {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* d = qobject_cast<QInputDialog*>(modal); d && d->isVisible()) {
                proposals << d->textValue();
                accept ? d->accept() : d->reject();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->isVisible()) {
                texts << box->text();
                infos << box->informativeText();
                defaults << box->standardButton(box->defaultButton());
                QAbstractButton* b = box->button(buttons.empty() ? QMessageBox::Ok : buttons.front());
                if (!buttons.empty())
                    buttons.pop_front();
                b ? b->click() : box->reject();
            }
        });
        m_timer.start(5);
    }
    QStringList texts, infos, proposals;
    QList<QMessageBox::StandardButton> defaults;

private:
    QTimer m_timer;
};

const char* const kFile = "VXTLcdMaterial.ini";

// The projector picture the panel paints over a red field.
QImage painted(VPrintWidget& panel, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    panel.paint(painter);
    painter.end();
    return image;
}

QStringList items(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

class PrintWidget : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        DisplayStandIn::setScreenSource([this] {
            DisplayStandIn::Screens s;
            for (int i = 0; i < screens; ++i)
                s.geometries << QRect(1920 * i, 0, 1920, 1080);
            return s;
        });
        DisplayStandIn::setModeSwitch([this] { ++switches; });
    }
    void TearDown() override
    {
        panel.reset();
        DisplayStandIn::setScreenSource({});
        DisplayStandIn::setModeSwitch({});
        QDir::setCurrent(old);
    }
    void make()
    {
        panel = std::make_unique<VPrintWidget>(nullptr, config);
        panel->setLinkCheck([this] { return online; });
        panel->setClock([this] { return clock; });
    }
    template <class T> T* w(const char* name) { return panel->findChild<T*>(name); }
    QString text(const char* name) { return w<QLineEdit>(name)->text(); }
    void click(const char* name) { w<QAbstractButton>(name)->click(); }
    int storedCount() { return QSettings(kFile, QSettings::IniFormat).value("Materials/size").toInt(); }
    void select(int row) { panel->on_Laythick_clicked(w<QListWidget>("Laythick")->model()->index(row, 0)); }
    // Three materials in the file: the default and two user materials.
    void seedThree()
    {
        make();
        {
            Answers answers;
            click("pushButton");
            click("pushButton");
        }
        ASSERT_EQ(panel->m_pListMaterial->size(), 3);
        (*panel->m_pListMaterial)[2].exposure_tm = 7777;
        ASSERT_TRUE(panel->writeIniFile());
        panel.reset();
        make();
    }

    QTemporaryDir dir;
    QString old;
    DLP::SliceBuildConfig config;
    std::unique_ptr<VPrintWidget> panel;
    bool online = true;
    int screens = 2;
    int switches = 0;
    QTime clock = QTime(10, 0);
};

TEST_F(PrintWidget, FirstStartWritesAndShowsTheDefault)
{
    make();
    EXPECT_EQ(storedCount(), 1);
    for (auto [field, shown] : {std::pair{"edit_exposure_tm", "6000"}, {"edit_bottom_exposure", "80000"},
                                {"edit_bottom_layers", "0.3"}, {"lEMaterialsStableTimeLow", "80000"},
                                {"lEMaterialsStableTimeHigh", "6000"}})
        EXPECT_EQ(text(field), shown);
    EXPECT_EQ(w<QLabel>("label_material")->text(), "Vexmor3D Lcd Material 001");
    for (const char* user : {"edit_exposure_tm", "edit_bottom_exposure", "edit_bottom_layers", "edit_lift_dist"})
        EXPECT_FALSE(w<QLineEdit>(user)->isEnabled()) << user;
    EXPECT_TRUE(w<QLineEdit>("le_zdist2")->isEnabled());
    EXPECT_EQ(w<QListWidget>("Laythick")->count(), 1);
    EXPECT_EQ(w<QListWidget>("listWidget")->count(), 8);
    EXPECT_TRUE(w<QListWidget>("listWidget")->item(3)->isHidden());
    EXPECT_FALSE(w<QPushButton>("btn_CancelPrint")->isEnabled());
    // The first tilt distance bounds the second.
    w<QLineEdit>("edit_tilt_dist1")->setText("3");
    panel->on_edit_tilt_dist1_editingFinished();
    const auto* v = qobject_cast<const QIntValidator*>(w<QLineEdit>("edit_tilt_dist2")->validator());
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::pair(v->bottom(), v->top()), std::pair(4, 500));
    w<QLineEdit>("edit_tilt_dist1")->setText("7"); // the bound moves; no validator piles up per edit
    panel->on_edit_tilt_dist1_editingFinished();
    EXPECT_EQ(w<QLineEdit>("edit_tilt_dist2")->validator(), v);
    EXPECT_EQ(std::pair(v->bottom(), v->top()), std::pair(8, 500));

    panel->show();
    ASSERT_TRUE(WaitUntilExposed(panel.get()));
    const QImage shot = panel->grab().toImage();
    shot.save(old + "/print_widget_material_page.png"); // the build folder, not the scratch one
    const QPoint o = w<QListWidget>("Laythick")->mapTo(panel.get(), QPoint(0, 0));
    int distinct = 0;
    for (int x = 0; x < w<QListWidget>("Laythick")->width(); x += 3)
        distinct += shot.pixel(o.x() + x, o.y() + 8) != shot.pixel(o.x() + 1, o.y() + 1);
    EXPECT_GT(distinct, 3); // the material's name is drawn
}

TEST_F(PrintWidget, AddAndDuplicateOnlyTouchTheList)
{
    seedThree();
    {
        Answers answers;
        click("pushButton");
        EXPECT_EQ(answers.proposals, (QStringList{"New 4", "New 4"}));
    }
    ASSERT_EQ(panel->m_pListMaterial->size(), 4);
    EXPECT_TRUE(panel->m_pListMaterial->at(3).editable);
    EXPECT_EQ(panel->m_CurIndex, 0);
    EXPECT_EQ(storedCount(), 3);

    // Duplicate copies what is stored, not what is typed.
    select(2);
    w<QLineEdit>("edit_exposure_tm")->setText("1111");
    {
        Answers answers;
        click("pushButton_2");
        EXPECT_EQ(answers.proposals.value(0), "New 3-Duplicate");
    }
    ASSERT_EQ(panel->m_pListMaterial->size(), 5);
    EXPECT_EQ(panel->m_pListMaterial->at(4).exposure_tm, 7777);
    EXPECT_EQ(panel->m_pListMaterial->at(4).name, "New 3-Duplicate");
    Answers cancel({}, false);
    click("pushButton");
    EXPECT_EQ(panel->m_pListMaterial->size(), 5);
}

// A selection stores the fields into the material left; a start stores them
// into the shown one and leaves it current.
TEST_F(PrintWidget, SelectionAndStartStoreTheFields)
{
    seedThree();
    select(1);
    w<QLineEdit>("edit_exposure_tm")->setText("4242");
    w<QLineEdit>("lEMaterialsStableTimeLow")->setText("12.9");
    select(2);
    EXPECT_EQ(panel->m_pListMaterial->at(1).exposure_tm, 4242);
    EXPECT_EQ(panel->m_pListMaterial->at(1).bottomMaterialStable, 12);
    w<QLineEdit>("edit_exposure_tm")->setText("5555");
    panel->slot_ReceiveNLayers(20);
    QSignalSpy generates(panel.get(), &VPrintWidget::signal_PrintDataGenerate);
    click("btn_StartPrint");
    ASSERT_EQ(generates.count(), 1);
    EXPECT_EQ(panel->m_CurIndex, 2);
    click("pbSavePara");
    panel.reset();
    make();
    for (auto [i, exposure] : {std::pair{0, 6000}, {1, 4242}, {2, 5555}})
        EXPECT_EQ(panel->m_pListMaterial->at(i).exposure_tm, exposure) << i;
}

TEST_F(PrintWidget, DeleteRules)
{
    seedThree();
    // Rows: the material shown, the answer, the boxes, the materials left.
    struct Row { int shown; QMessageBox::StandardButton answer; QStringList texts; int left; };
    const Row rows[] = {
        {0, QMessageBox::Ok, {"Can not delete"}, 3},              // the default is not a user material
        {1, QMessageBox::No, {"Sure to Delete this config"}, 3},
        {1, QMessageBox::Yes, {"Sure to Delete this config"}, 2}, // "New 3" moves into the place
        {1, QMessageBox::Yes, {"Sure to Delete this config"}, 1}, // the index is now past the end
        {-1, QMessageBox::Yes, {}, 1},                           // ... so Delete does nothing
    };
    for (const Row& r : rows) {
        if (r.shown >= 0)
            select(r.shown);
        Answers answers({r.answer});
        click("pushButton_3");
        QTest::qWait(20);
        EXPECT_EQ(answers.texts, r.texts) << r.left;
        EXPECT_EQ(panel->m_pListMaterial->size(), r.left);
        EXPECT_EQ(storedCount(), r.left);
        EXPECT_EQ(w<QListWidget>("Laythick")->count(), r.left);
        if (r.left == 2) {
            EXPECT_EQ(w<QLabel>("label_material")->text(), "New 3");
            EXPECT_EQ(text("edit_exposure_tm"), "7777");
        }
    }
    Answers inputs;
    click("pushButton_2"); // nor Duplicate
    QTest::qWait(20);
    EXPECT_TRUE(inputs.proposals.isEmpty());
    EXPECT_EQ(panel->m_pListMaterial->size(), 1);
    select(0);
    EXPECT_EQ(text("edit_exposure_tm"), "6000");
}

TEST_F(PrintWidget, GroupsWithoutTheArrayGiveAnEmptyList)
{
    QSettings(kFile, QSettings::IniFormat).setValue("Other/x", 1);
    make();
    EXPECT_TRUE(panel->m_pListMaterial->isEmpty());
    EXPECT_EQ(w<QLabel>("label_material")->text(), "Vexmor3d red");
    Answers none;
    click("pushButton_3");
    QTest::qWait(20);
    EXPECT_TRUE(none.texts.isEmpty());
}

TEST_F(PrintWidget, FailedWritesAreToldAndKeepTheList)
{
    seedThree();
    select(1);
    // The file's place is taken by a folder: nothing can be written.
    ASSERT_TRUE(QFile::remove(kFile));
    ASSERT_TRUE(QDir().mkpath(QString(kFile) + "/x"));
    {
        Answers answers({QMessageBox::Yes, QMessageBox::Ok});
        click("pushButton_3");
        EXPECT_EQ(answers.texts.value(1), "Material Save Failed");
    }
    EXPECT_EQ(panel->m_pListMaterial->size(), 3);
    EXPECT_EQ(panel->m_pListMaterial->at(1).name, "New 2");
    Answers answers;
    click("pbSavePara");
    EXPECT_EQ(answers.texts, QStringList{"Material Save Failed"});
}

TEST_F(PrintWidget, JobStartPerTarget)
{
    make();
    panel->slot_para(true, false, 180.5f, 1.25f, -2.0f, 240.0f);
    EXPECT_EQ(w<QLabel>("label_pwm")->text(), "180.5");
    const QString job = dir.path() + "/job.gcode", none, noFolder = dir.path() + "/no/job.gcode", full = "/dev/full";
    const char *const folder = "Check the output folder please", *const usb = "USB Cable abnormal,Check please",
               *const net = "Check the Network connection please", *const projector = "Check The Projector Please";
    // The boxes shown ("" is the projector hint) and the last one's hint.
    struct Row { const char* what; quint8 target; bool sliced, connected, online; int screens; QString path;
                 float thickness; QStringList texts; const char* info; int starts, generates; };
    const Row rows[] = {
        {"no slice data", 2, false, true, true, 2, job, 0.1f, {"Slicing Data Error"}, "Slicing again Please", 0, 0},
        {"file", 2, true, false, true, 2, job, 0.1f, {}, "", 0, 1},
        {"net, unconnected", 1, true, false, true, 2, job, 0.1f, {"Network Error"}, net, 0, 0},
        {"net, connected", 1, true, true, true, 2, job, 0.1f, {}, "", 0, 1},
        {"local, offline", 0, true, false, false, 2, job, 0.1f, {"Connection Abnormal"}, usb, 0, 0},
        {"local, one screen", 0, true, false, true, 1, job, 0.1f, {"", "Projector Error"}, projector, 0, 0},
        {"local, no job path", 0, true, false, true, 2, none, 0.1f, {"", "G-code Error"}, folder, 0, 0},
        // A thickness no printer makes: refused before the printer is looked for.
        {"local, job refused", 0, true, false, true, 2, job, 0.0f, {"Value Out of Range"},
         "the print settings: SliceThickness = 0 (allowed 0.001..1)", 0, 0},
        {"local, no folder", 0, true, false, true, 2, noFolder, 0.1f, {"", "G-code Error"}, folder, 0, 0},
        {"local, disk full", 0, true, false, true, 2, full, 0.1f, {"", "G-code Error"}, folder, 0, 0},
        {"local, two screens", 0, true, false, true, 2, job, 0.1f, {""}, "Extern Display", 1, 0},
    };
    for (const Row& r : rows) {
        if (r.path == full && !QFile::exists(full))
            continue;
        config = DLP::SliceBuildConfig();
        config.SliceThickness = r.thickness;
        config.ExposureTimePerLayer = 1; // the fields give 6000
        panel->m_nPrinterSelect = r.target;
        panel->slot_ReceiveNLayers(20);
        panel->slot_ReceiveNLayers(r.sliced ? 20 : 0); // a zero count keeps the last one
        panel->m_bConnected = r.connected;
        panel->m_strGcodePath = r.path.toStdString();
        panel->m_bJobAborted = true;
        online = r.online;
        screens = r.screens;
        const int switchesBefore = switches;
        QFile::remove(job);
        w<QPushButton>("btn_StartPrint")->setEnabled(false); // a refusal enables it again
        QSignalSpy starts(panel.get(), &VPrintWidget::signal_SendStartPrint);
        QSignalSpy generates(panel.get(), &VPrintWidget::signal_PrintDataGenerate);
        Answers answers;
        panel->slot_EmitStartPrint();
        SCOPED_TRACE(r.what);
        EXPECT_EQ(answers.texts, r.texts);
        EXPECT_EQ(answers.infos.value(answers.infos.size() - 1), r.info);
        EXPECT_EQ(starts.count(), r.starts);
        EXPECT_EQ(generates.count(), r.generates);
        EXPECT_EQ(switches - switchesBefore, r.target == 0 && r.online && r.thickness > 0 ? 1 : 0);
        EXPECT_FALSE(panel->m_bJobAborted); // each start begins clean
        const bool accepted = r.starts + r.generates > 0;
        EXPECT_EQ(w<QPushButton>("btn_StartPrint")->isEnabled(), !accepted);
        EXPECT_EQ(config.ExposureTimePerLayer, accepted ? 6000 : 1); // refusals touch nothing
        EXPECT_EQ(panel->m_nLayers, 20);
        if (!accepted)
            continue;
        const std::pair<float, float> copied[] = {
            {config.BottomExposureTime, 80000}, {config.HighofBottomLayer, 0.3f}, {config.MaterialStable, 80000},
            {config.BottomMaterialStable, 6000}, {config.ZLiftDistance, 2},     {config.ZLiftDistance2, 5},
            {config.LightPwm, 180.5f},          {config.HomeAdjustY, -2.0f},    {config.MirrorLongSide, 1},
            {config.MirrorShortSide, 0}};
        for (const auto& c : copied)
            EXPECT_FLOAT_EQ(c.first, c.second) << &c - copied;
        EXPECT_EQ(panel->m_nTotalSeconds, estimatePrintTime(20, config).totalSeconds);
        if (r.starts) {
            // The job file is the generator's for the copied configuration.
            const QString mine = dir.path() + "/expected.gcode";
            ASSERT_TRUE(DLP::GCodeGenerator().Generate(20, config, DLP::MachineConfig()).Save(mine.toStdString()));
            QFile a(job), b(mine);
            ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            EXPECT_EQ(a.readAll(), b.readAll());
        }
    }
}

// A material file holding values no printer takes: its entry is named, with
// the file and the key, and nothing starts.
TEST_F(PrintWidget, MaterialValuesOutOfRangeRefuseTheStart)
{
    {
        QFile f(kFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Materials]\n1\\name=ok\n1\\exposure_tm=6000\n1\\lift_speed=300\n1\\retract_speed=300\n"
                "2\\name=negative\n2\\lift_dist1=-9\n"
                "3\\name=no feed\n3\\exposure_tm=6000\n3\\lift_dist1=4\n3\\lift_speed=0\nsize=3\n");
    }
    make();
    panel->slot_ReceiveNLayers(20);
    panel->m_nPrinterSelect = 2;
    const QString file = QDir(dir.path()).filePath(kFile);
    const std::pair<int, QString> rows[] = {
        {1, file + ": Materials/2/lift_dist1 = -9 (allowed 0..1000000)"},
        {2, file + ": Materials/3/lift_speed = 0 (allowed above 0)"},
    };
    for (const auto& [row, message] : rows) {
        select(row);
        QSignalSpy generates(panel.get(), &VPrintWidget::signal_PrintDataGenerate);
        Answers answers;
        panel->slot_EmitStartPrint();
        EXPECT_EQ(answers.texts, QStringList{"Value Out of Range"}) << row;
        EXPECT_EQ(answers.infos, QStringList{message});
        EXPECT_EQ(generates.count(), 0);
    }
}

TEST_F(PrintWidget, CancelAndEmergencyStop)
{
    make();
    struct Row { const char* what; quint8 target; bool stop; QMessageBox::StandardButton answer; QStringList texts;
                 int cancels; bool aborted; };
    const Row rows[] = {
        {"No keeps printing", 0, false, QMessageBox::No, {"Sure to Cancel Job"}, 0, false},
        {"local", 0, false, QMessageBox::Yes, {"Sure to Cancel Job"}, 1, true},
        {"network: ends now", 1, false, QMessageBox::Yes, {"Sure to Cancel Job", "File Transfer Complete"}, 0, false},
        {"emergency stop: no question", 0, true, QMessageBox::No, {}, 1, true},
        {"after a stop: none either", 0, false, QMessageBox::No, {}, 1, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        panel->m_nPrinterSelect = r.target;
        panel->m_bJobAborted = false;
        panel->m_pMsgBox->hide();
        w<QPushButton>("btn_CancelPrint")->setEnabled(true);
        w<QPushButton>("pushButton")->setEnabled(false);
        QSignalSpy cancels(panel.get(), &VPrintWidget::signal_SendCancelPrint);
        QSignalSpy stops(panel.get(), &VPrintWidget::signal_emermencyStop);
        Answers answers({r.answer});
        r.stop ? panel->on_pbStop() : click("btn_CancelPrint");
        EXPECT_EQ(answers.texts, r.texts);
        EXPECT_EQ(answers.defaults.value(0, QMessageBox::No), QMessageBox::No);
        EXPECT_EQ(cancels.count(), r.cancels);
        EXPECT_EQ(stops.count(), r.stop ? 1 : 0);
        EXPECT_EQ(panel->m_bJobAborted, r.aborted);
        const bool went = r.answer == QMessageBox::Yes || panel->m_bStopRequested;
        EXPECT_EQ(w<QPushButton>("btn_CancelPrint")->isEnabled(), !went);
        EXPECT_EQ(w<QPushButton>("pushButton")->isEnabled(), went);
        EXPECT_EQ(panel->m_pMsgBox->isVisible(), went && r.target == 0);
    }
}

TEST_F(PrintWidget, BlankTimeMeasuredAfterTheBottomLayers)
{
    make();
    config.SliceThickness = 0.1f;
    config.HighofBottomLayer = 1.0f; // layers up to 11 are bottom layers
    config.ExposureTimePerLayer = 6000;
    config.BlankTime = 777;
    struct Step { int layer, type, afterMs, blank; };
    std::vector<Step> steps;
    for (int layer = 1; layer <= 12; ++layer)
        steps.push_back({layer, 0, 9000, 777});
    steps.insert(steps.end(), {{13, 0, 9000, 3000},   // measured: 9000 - 6000
                               {14, 0, 5000, 3000},   // shorter than the exposure: kept
                               {15, 1, 20000, 3000}, // not an exposure report
                               {16, 0, 100, 14100}}); // timed from the last exposure report
    for (const Step& s : steps) {
        clock = clock.addMSecs(s.afterMs);
        panel->slot_ReceiveIndexLayers(s.layer, s.type);
        EXPECT_EQ(config.BlankTime, s.blank) << s.layer;
    }
}

TEST_F(PrintWidget, EndReportsAndTransferProgress)
{
    make();
    struct Case { quint8 target; bool aborted; const char* text; QString info; };
    const Case cases[] = {{0, false, "Printing Complete", "打印结束"}, {0, true, "Printing Cancelled", "打印已取消"},
                          {1, false, "File Transfer Complete", "文件传输结束"},
                          {2, true, "Failed to Save File", "文件保存失败"}, {2, false, "File SaveComplete", "文件保存结束"}};
    for (const Case& c : cases) {
        panel->m_nPrinterSelect = c.target;
        panel->m_bJobAborted = c.aborted;
        w<QPushButton>("btn_CancelPrint")->setEnabled(true);
        w<QPushButton>("btn_StartPrint")->setEnabled(false);
        Answers answers;
        panel->slot_ReceivePrintDone();
        EXPECT_EQ(answers.texts, QStringList{c.text}) << int(c.target);
        EXPECT_EQ(answers.infos, QStringList{c.info});
        EXPECT_FALSE(w<QPushButton>("btn_CancelPrint")->isEnabled());
        EXPECT_TRUE(w<QPushButton>("btn_StartPrint")->isEnabled());
    }
    panel->m_nPrinterSelect = 1;
    Answers answers;
    panel->slot_bytesSended(50, 200);
    panel->slot_bytesSended(40, 200);
    EXPECT_EQ(panel->m_nProgress, 25);
    EXPECT_TRUE(answers.texts.isEmpty());
    panel->slot_bytesSended(200, 200);
    EXPECT_EQ(answers.texts, QStringList{"File Transfer Complete"});
    EXPECT_EQ(panel->m_nProgress, 0);
    panel->slot_bytesSended(5, 0);
    EXPECT_EQ(panel->m_nProgress, 0);
}

TEST_F(PrintWidget, FinderListsAndConnectsALoopbackPrinter)
{
    make();
    auto* hosts = w<QListWidget>("listWidget_nethost");
    auto* connectButton = w<QPushButton>("pbConnect");
    auto* current = w<QLabel>("label_currentDevice");
    panel->slot_dev_list({"A", "A", "B", "A"});
    EXPECT_EQ(items(hosts), (QStringList{"A", "B", "A"}));
    panel->slot_dev_list({});
    click("pbConnect"); // nothing listed: nothing to connect
    EXPECT_FALSE(panel->m_bConnected);

    LoopbackHttp printer;
    printer.setPage(NetPrinterScan::requestPath, "\"SN1\",\"Pellar120\",\"Vat-7\",\"\"");
    printer.setPage("/", "<html><body>Vat-7</body></html>", "text/html");
    ASSERT_TRUE(printer.listen("127.0.0.37"));
    panel->scanner()->setSource({[] { return QVector<QString>{"127.0.0."}; }, {}, printer.port()});
    QSignalSpy handled(panel->scanner(), &NetPrinterScan::signal_reply_handled);
    hosts->addItem("stale");
    click("rbNet");
    EXPECT_EQ(panel->m_nPrinterSelect, 1);
    EXPECT_EQ(hosts->count(), 0);
    EXPECT_TRUE(w<QWidget>("widgetNet")->isVisibleTo(panel.get()));
    ASSERT_TRUE(WaitUntil([&] { return handled.count() >= 256; }, kHangMs));
    EXPECT_EQ(items(hosts), QStringList{"Vat-7=>127.0.0.37"});

    struct Step { bool connected; const char* button; bool shown; };
    const Step steps[] = {{true, "Disconnect", true}, {false, "Connect", false}};
    for (const Step& s : steps) {
        click("pbConnect");
        EXPECT_EQ(panel->m_bConnected, s.connected);
        EXPECT_EQ(connectButton->text(), s.button);
        EXPECT_TRUE(connectButton->isEnabled());
        EXPECT_EQ(current->isVisibleTo(panel.get()), s.shown);
        EXPECT_EQ(current->text(), "Current Dev:Vat-7=>127.0.0.37");
    }
}

class PrintPreview : public GLView {};

// Target 0: the current layer in printer pixels, holes black; all black while
// the scene's slice workers are still writing the layers.
TEST_F(PrintPreview, RingOfTheLayerAndBlackWhileSlicing)
{
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    DLP::SliceBuildConfig config;
    config.XResolution = 2560;
    config.YResolution = 1440;
    VPrintWidget panel(m_view.get(), config);
    QDir::setCurrent(cwd);
    panel.m_nPrinterSelect = 0;
    SetLayers(*m_view, ToSliceLayers({{}, {Square(220, 520, 620, 920), Square(320, 620, 520, 820)}}));
    panel.slot_updSliceBrowser(1);
    const QImage image = painted(panel, 2560, 1440);
    image.scaled(640, 360).save(cwd + "/print_widget_ring.png");
    EXPECT_EQ(qGray(image.pixel(420 - 150, 720)), 255); // the ring
    EXPECT_EQ(qGray(image.pixel(420, 720)), 0);         // its hole
    EXPECT_EQ(image.pixel(1500, 720), qRgb(0, 0, 0));   // outside, black not red
    panel.slot_updSliceBrowser(5); // no such layer: black only
    EXPECT_EQ(qGray(painted(panel, 2560, 1440).pixel(420 - 150, 720)), 0);

    SetLayers(*m_view, {});
    panel.slot_updSliceBrowser(1);
    const auto centre = [&] { return qGray(painted(panel, 2560, 1440).pixel(640, 400)); };
    Load(BoxFile("box.stl", {-5, -5, 0}, {5, 5, 2}));
    ASSERT_TRUE(SliceWrittenButRunning(*m_view, 1));
    EXPECT_EQ(centre(), 0);
    ASSERT_TRUE(WaitFor([this] { return m_view->scene()->runningSliceJobs() == 0; }));
    EXPECT_EQ(centre(), 255);
}

} // namespace
