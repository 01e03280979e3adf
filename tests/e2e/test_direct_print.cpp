// A direct print in the real main window against the printer simulator. Its
// own program: the printer is found once per process.
#include "hang_ceiling.h"
#include "JobThreads.h"
#include "RecipeStore.h"
#include "VSaveWidgetX.h"
#include "displaystandin.h"
#include "dlpserialport.h"
#include "e2e_fixture.h"
#include "frmDLP.h"
#include "modal_answer.h"
#include "printer_simulator.h"

#include <QComboBox>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QMessageBox>
#include <QSignalSpy>

#include <algorithm>

#include <memory>

namespace {

// One command of the job as the print loop sends it, and the frame the
// projector shows while the printer holds it: a layer, a blank (-1) or, when
// no slice marker came since the command before, none (-2).
struct Step {
    std::string sent, line; // as written, and without line ends
    int frame = -2, markers = 0; // markers: slice markers before it
};

// The job file by the print loop's rules: lines end at LF (a CR before it
// stays, text after the last LF is no line), empty lines are skipped, lines
// holding ";(" are markers or comments and never sent.
std::vector<Step> jobSteps(const QByteArray& text)
{
    std::vector<Step> steps;
    int frame = -2, markers = 0;
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        const int slice = line.indexOf(";(<Slice> ");
        if (slice >= 0) {
            frame = line.contains("Blank") ? -1 : line.mid(slice + 10).trimmed().split(' ').first().toInt();
            ++markers;
        }
        if (line.contains(";("))
            continue;
        steps.push_back(
            {line.toStdString() + "\r\n", QByteArray(line).replace('\r', "").toStdString(), frame, markers});
        frame = -2;
    }
    return steps;
}

class DirectPrint : public MainWindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowTest::SetUp());
        PrinterSimulator::Options o;
        o.grid.width = 854, o.grid.height = 480;
        o.grid.xs = {142, 427, 712}, o.grid.ys = {120, 360};
        sim = std::make_unique<PrinterSimulator>(o);
        ASSERT_TRUE(sim->ok()) << sim->error();
        // Answered freely through the hand-shake, then one command at a time.
        sim->setCommandListener([this](const std::string& c) {
            if (c == "M701")
                sim->setFaults(PrinterSimulator::Step);
        });
        const QString port = QString::fromStdString(sim->slavePath());
        DlpSerialPort::setPortEnumerator([port] { return QList<PrinterPortInfo>{{port, "USB serial", "VEXMOR3D."}}; });
        DisplayStandIn::setScreenSource([] {
            DisplayStandIn::Screens s;
            s.geometries << QRect(0, 0, 1920, 1080) << QRect(1920, 0, 854, 480);
            return s;
        });
        DisplayStandIn::setModeSwitch([] {});
        QSettings recipes(RecipeStore::recipeFilePath("Pellar10"), QSettings::IniFormat);
        for (auto [key, value] : {std::pair{"CuringTime", 10.}, {"BurninTime", 10}, {"StableTime", 10},
                                  {"BurninRange", 0.2}, {"LiftDist1", 4}, {"LiftSpeed1", 90}, {"LiftDist2", 2},
                                  {"LiftSpeed2", 150}})
            recipes.setValue(QString("Recipe/Quick 10 ms/") + key, value);
        recipes.sync();
        QFile grey(work.filePath("GreyTestFinal.dat"));
        ASSERT_TRUE(grey.open(QIODevice::WriteOnly));
        for (const char* line : {"0", "0.00392156862745098", "0", "0", "0", "0", "1", "7", "7", "7", "7", "7", "7"})
            grey.write(QByteArray(line) + "\r\n");
    }
    void TearDown() override
    {
        DlpSerialPort::shutdown();
        DlpSerialPort::setPortEnumerator({});
        DlpSerialPort::lightEnginePara.clear();
        DisplayStandIn::setScreenSource({});
        DisplayStandIn::setModeSwitch({});
        sim.reset();
        MainWindowTest::TearDown();
    }

    // The frame against the layer's polygons: lit wherever a pixel and its
    // neighbours are inside, black wherever they are all outside; the lit
    // square is the box's 1 mm.
    void checkFrame(const QImage& shown, int layer)
    {
        const QImage frame = shown.convertToFormat(QImage::Format_Grayscale8);
        QImage mask(frame.size(), QImage::Format_Grayscale8);
        mask.fill(0);
        if (layer >= 0) {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const SlicePolygon& p : view->GetSliceData().value(layer))
                path.addPolygon(p);
            QPainter painter(&mask);
            painter.fillPath(path, Qt::white);
        }
        int wrong = 0, lit = 0, inside = 0;
        QRect box;
        for (int y = 1; y + 1 < frame.height(); ++y)
            for (int x = 1; x + 1 < frame.width(); ++x) {
                int in = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        in += mask.scanLine(y + dy)[x + dx] != 0;
                const bool on = frame.scanLine(y)[x] != 0;
                lit += on;
                inside += in == 9;
                wrong += (in == 9 && !on) || (in == 0 && on);
                if (on)
                    box |= QRect(x, y, 1, 1);
            }
        EXPECT_EQ(wrong, 0) << "layer " << layer;
        if (layer < 0)
            EXPECT_EQ(lit, 0);
        else
            EXPECT_TRUE(inside > 20 && std::abs(box.width() / dpmm - 1.0) <= 0.3 &&
                        std::abs(box.height() / dpmm - 1.0) <= 0.3)
                << "layer " << layer << ": " << inside << " inside, lit box " << box.width() << "x" << box.height();
    }

    // The box sliced (the thickness slider at `thicknessStep` unless -1) and
    // "Save Job" shown with `recipe` chosen; `layers` is the announced count.
    void toSaveJob(Vexmor& w, const char* recipe, int& layers, int thicknessStep = -1)
    {
        ASSERT_NO_FATAL_FAILURE(open(w, 1.f));
        ASSERT_NO_FATAL_FAILURE(load(w));
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "sliceButton"));
        WAIT_TRUE(w.m_pSliceWidget->isVisible(), kHangMs);
        if (thicknessStep >= 0)
            w.m_pSliceWidget->findChild<QSlider*>("HSlider_Thick")->setValue(thicknessStep);
        layers = slice(w);
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "saveButton"));
        WAIT_TRUE(w.m_pSaveWidget->isVisible(), kHangMs);
        w.m_pSaveWidget->findChild<QComboBox*>("comboBox_Recipe")->setCurrentText(recipe);
    }
    // The window's projector, showing frames from the test's folder.
    void useProjectorOf(Vexmor& w)
    {
        view = w.ui.GLWidget;
        projector = w.m_printThread.m_runner.projector();
        projector->setDataFolder(work.path());
    }

    // Plays the held commands in turn, checking each frame after a layer
    // report; `until` steps (all when -1) are answered.
    void play(const std::vector<Step>& steps, int until, const char* shots)
    {
        const int end = until < 0 ? int(steps.size()) : until;
        for (int k = 0; k < end; ++k) {
            const Step& s = steps[size_t(k)];
            ASSERT_EQ(sim->waitForStep(20000), s.line) << "step " << k;
            if (s.frame != -2) {
                WAIT_TRUE(int(reports.size()) == s.markers, kHangMs);
                EXPECT_EQ(reports.back(),
                          (std::pair<int, int>{s.frame < 0 ? lastLayer : s.frame, s.frame < 0 ? -1 : 0}));
                lastLayer = reports.back().first;
                QApplication::processEvents();
                const QImage frame = projector->grab().toImage();
                ASSERT_NO_FATAL_FAILURE(checkFrame(frame, s.frame));
                if (shots && (s.frame == 0 || s.frame == 9 || (s.frame == -1 && lastLayer == 0)))
                    frame.save(QString("e2e_%1_frame%2.png")
                                   .arg(shots, s.frame < 0 ? "blank" : QString::number(s.frame)));
            }
            sim->release();
        }
    }

    std::unique_ptr<PrinterSimulator> sim;
    VSLGLView* view = nullptr;
    frmDLP* projector = nullptr;
    std::vector<std::pair<int, int>> reports;
    int lastLayer = 0;
    float dpmm = 0;
};

TEST_F(DirectPrint, LocalPrintPlaysTheSavedJobAndASecondSaveJobCancels)
{
    Vexmor w;
    int layers = 0;
    ASSERT_NO_FATAL_FAILURE(toSaveJob(w, "Quick 10 ms", layers, 20)); // 0.1 mm
    EXPECT_EQ(layers, 10);
    useProjectorOf(w);
    QStringList problems;
    projector->setReporter([&](const QString& t, const QString& x) { problems << t + "|" + x; });
    QObject::connect(&w.m_printThread.m_runner, &DLP::BuildManager::signal_curLayer, &w,
                     [this](int index, int type) { reports.emplace_back(index, type); });
    VSaveWidgetX* panel = w.m_pSaveWidget;
    dpmm = w.m_buildConfig.DotsPermmX;

    // The hidden local target: found, told to extend the desktop, started.
    std::vector<Step> steps;
    const std::string handshake = "M900M701";
    auto sent = [&](size_t n) { // the job's first n commands
        std::string bytes;
        for (size_t k = 0; k < n; ++k)
            bytes += steps[k].sent;
        return bytes;
    };
    {
        ModalAnswers modal;
        panel->findChild<QRadioButton*>("rbLocal")->click();
        EXPECT_EQ(modal.informative, QStringList{"Extern Display"});
        ASSERT_TRUE(problems.isEmpty() && w.m_printThread.isRunning()) << problems.join(';').toStdString();
        EXPECT_TRUE(projector->isVisible() && projector->pos() == QPoint(1920, 0)); // on the projector
        QFile job(QString::fromStdString(panel->m_strGcodePath));
        ASSERT_TRUE(job.open(QIODevice::ReadOnly)) << panel->m_strGcodePath;
        const QByteArray text = job.readAll();
        int delays = 0; // all of the test recipe's times
        for (const QByteArray& line : text.split('\n'))
            delays += line.contains(";(<Delay> ") &&
                      line.mid(line.indexOf('>') + 1).trimmed().split(' ').first().toInt() > 10;
        EXPECT_EQ(delays, 0);
        steps = jobSteps(text);
        ASSERT_GT(steps.size(), 50u);
        ASSERT_NO_FATAL_FAILURE(play(steps, -1, "print"));
        WAIT_TRUE(!w.m_printThread.isRunning() && modal.texts.size() == 2, kHangMs);
        EXPECT_EQ(modal.texts.last(), "Printing Complete");
    }
    EXPECT_TRUE(lastLayer == 9 && !projector->isVisible()) << lastLayer;
    EXPECT_EQ(sim->received(), handshake + sent(steps.size()));

    // Again through Save Job; a second click cancels while a command is held.
    ModalAnswers modal;
    reports.clear();
    lastLayer = 0;
    panel->findChild<QPushButton*>("btn_StartPrint")->click();
    ASSERT_TRUE(w.m_printThread.isRunning());
    ASSERT_NO_FATAL_FAILURE(play(steps, 12, nullptr));
    ASSERT_EQ(sim->waitForStep(20000), steps[12].line);
    panel->findChild<QPushButton*>("btn_StartPrint")->click();
    sim->release();
    for (const char* c : {"M220", "G1 Y0", "M220"}) {
        ASSERT_EQ(sim->waitForStep(20000), c);
        sim->release();
    }
    WAIT_TRUE(!w.m_printThread.isRunning() && modal.texts.size() == 2, kHangMs);
    EXPECT_EQ(modal.texts.last(), "Printing Cancelled");
    EXPECT_EQ(sim->received(), handshake + sent(steps.size()) + sent(13) + "M220G1 Y0M220");
}

} // namespace

namespace {

// Answers each message box as ModalAnswers does, after grabbing it into
// e2e_<name>_<n>.png for a person to look at.
class ShotAnswers : public QObject
{
public:
    explicit ShotAnswers(const char* name) : m_name(name)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box->property("answeredByTest").toBool() || !box->isVisible())
                return;
            box->setProperty("answeredByTest", true);
            texts << box->text();
            informative << box->informativeText();
            QTest::qWait(50);
            const QImage shot = box->grab().toImage();
            shot.save(QString("e2e_%1_%2.png").arg(m_name).arg(texts.size()));
            lit << std::count_if(reinterpret_cast<const QRgb*>(shot.constBits()),
                                 reinterpret_cast<const QRgb*>(shot.constBits()) + shot.width() * shot.height(),
                                 [](QRgb p) { return qGray(p) > 128; });
            box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->click()
                                          : box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click()
                                                                         : box->reject();
        });
        m_timer.start(10);
    }
    QStringList texts, informative;
    QList<int> lit;  // light pixels of each box: its text was drawn

private:
    QString m_name;
    QTimer m_timer;
};

} // namespace

// Through the window: a printer that hangs up in the middle of the print ends
// it with "Printing Failed" and the reason, and the projector goes away.
TEST_F(DirectPrint, APrinterLostMidPrintIsToldAsDisconnected)
{
    Vexmor w;
    int layers = 0;
    ASSERT_NO_FATAL_FAILURE(toSaveJob(w, "Quick 10 ms", layers));
    EXPECT_GT(layers, 0);
    useProjectorOf(w);
    VSaveWidgetX* panel = w.m_pSaveWidget;

    ShotAnswers boxes("lost");
    panel->findChild<QRadioButton*>("rbLocal")->click();
    ASSERT_TRUE(w.m_printThread.isRunning());
    for (int k = 0; k < 5; ++k) {
        ASSERT_NE(sim->waitForStep(20000), "");
        sim->release();
    }
    ASSERT_NE(sim->waitForStep(20000), "");
    sim->hangUpNow();
    WAIT_TRUE(!w.m_printThread.isRunning() && boxes.texts.size() == 2, kHangMs);
    EXPECT_EQ(boxes.texts.last(), "Printing Failed");
    EXPECT_EQ(boxes.informative.last(), QString("打印失败\nThe printer was disconnected"));
    EXPECT_GT(boxes.lit.last(), 500);
    EXPECT_FALSE(projector->isVisible());
    EXPECT_FALSE(panel->localPrintRunning());
}

// A recipe file edited by hand to a lift a printer cannot make: "Save Job"
// names the file and the key and starts nothing.
TEST_F(DirectPrint, AHandEditedRecipeValueIsRefusedWithItsFileAndKey)
{
    {
        QSettings recipes(RecipeStore::recipeFilePath("Pellar10"), QSettings::IniFormat);
        recipes.setValue("Recipe/Broken/CuringTime", 6000);
        recipes.setValue("Recipe/Broken/LiftDist1", "-9");
    }
    Vexmor w;
    int layers = 0;
    ASSERT_NO_FATAL_FAILURE(toSaveJob(w, "Broken", layers));
    EXPECT_GT(layers, 0);
    VSaveWidgetX* panel = w.m_pSaveWidget;
    QSignalSpy generate(panel, &VSaveWidgetX::signal_PrintDataGenerate);
    ShotAnswers boxes("refused");
    QTest::mouseClick(panel->findChild<QPushButton*>("btn_StartPrint"), Qt::LeftButton);
    WAIT_TRUE(boxes.texts.size() == 1, kHangMs);
    EXPECT_EQ(boxes.texts, QStringList{"Value Out of Range"});
    EXPECT_EQ(boxes.informative.first(),
              RecipeStore::recipeFilePath("Pellar10") + ": Recipe/Broken/LiftDist1 = -9 (allowed 0..99)");
    EXPECT_GT(boxes.lit.first(), 500);
    EXPECT_EQ(generate.count(), 0);
    EXPECT_TRUE(sim->received().empty());  // the printer was not even looked for
    EXPECT_TRUE(panel->findChild<QPushButton*>("btn_StartPrint")->isEnabled());
}
