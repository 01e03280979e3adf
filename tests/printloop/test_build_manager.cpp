#include "buildmanager.h"
#include "dlp/gcodegenerator.h"
#include "frmDLP.h"
#include "event_wait.h"
#include "printloop_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Layers = std::vector<std::pair<int, int>>;
const std::string kCancel = "M220G1 Y0M220";

class PrintLoopTest : public PrinterLinkTest
{
protected:
    void SetUp() override
    {
        PrinterLinkTest::SetUp();
        runner = std::make_unique<DLP::BuildManager>();
        // Direct: recorded in the print thread, read after it is joined.
        QObject::connect(
            runner.get(), &DLP::BuildManager::signal_curLayer, runner.get(),
            [this](int index, int type) {
                layers.emplace_back(index, type);
                if (type == -1 && cancelAtBlank)
                    runner->SetState(false, false);
            },
            Qt::DirectConnection);
        QObject::connect(
            runner.get(), &DLP::BuildManager::signal_printEnded, runner.get(),
            [this](int end, const QString& reason) {
                std::lock_guard<std::mutex> l(endLock);
                ends.emplace_back(end, reason);
            },
            Qt::DirectConnection);
        QObject::connect(
            runner.get(), &DLP::BuildManager::signal_printDone, runner.get(), [this] { ++done; },
            Qt::DirectConnection);
    }
    // The one end reported since the last start, and its reason.
    std::pair<int, QString> end()
    {
        std::lock_guard<std::mutex> l(endLock);
        EXPECT_EQ(ends.size(), 1u);
        return ends.empty() ? std::pair<int, QString>{-1, QString()} : ends.back();
    }
    void TearDown() override
    {
        if (printThread.joinable())
            printThread.join();
        runner.reset();
        PrinterLinkTest::TearDown();
    }

    // `job` as a whole job file: between the header's and the footer's
    // markers, lines of their own that send nothing. A job whose last line is
    // cut short is no file the check lets through: it is handed over as it is.
    void start(const std::string& job)
    {
        if (job.empty())
            startFile(job);
        else if (job.back() == '\n')
            startFile(kHeader + job + kFooter);
        else
            launch(std::string(), DLP::GCodeFile(job));
    }
    void startFile(const std::string& bytes)
    {
        const std::string path = QDir(m_dir.path()).filePath("job.gcode").toStdString();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        launch(path, DLP::GCodeFile());
    }
    static inline const std::string kHeader = ";(********** Header End **********)\r\n";
    static inline const std::string kFooter = ";(<Completed>)\r\n";
    // The job file at `path`; `handed` is what the caller hands over besides.
    void launch(const std::string& path, const DLP::GCodeFile& handed)
    {
        runner->m_gcodePath = path;
        layers.clear();
        done = 0;
        {
            std::lock_guard<std::mutex> l(endLock);
            ends.clear();
        }
        printThread = std::thread([this, handed] { runner->StartPrint(handed); });
    }
    void finish()
    {
        printThread.join();
        EXPECT_EQ(done.load(), 1);
        EXPECT_FALSE(runner->isBusy());
    }
    void play(const std::string& job)
    {
        start(job);
        finish();
    }
    // `job` played to a printer with `faults`, each command written up to
    // `writes` times and its reply looked for `looks` times.
    void playToAFaultyPrinter(unsigned faults, int writes, int looks, const std::string& job)
    {
        connectPrinter();
        PrinterTimings t = linkTimings();
        t.commandWrites = writes;
        t.command = LookLoop{1, looks, true, 10};
        TimingsScope timings(t);
        sim->setFaults(faults);
        play(job);
    }

    // A job of the generator's with waits of a few milliseconds.
    static DLP::GCodeFile generatedJob(int layers)
    {
        DLP::SliceBuildConfig config;
        config.ExposureTimePerLayer = config.BottomExposureTime = 2;
        config.MaterialStable = config.BottomMaterialStable = 1;
        config.BlankTime = 1;
        return DLP::GCodeGenerator().Generate(layers, config, DLP::MachineConfig());
    }

    std::unique_ptr<DLP::BuildManager> runner;
    std::thread printThread;
    Layers layers;
    bool cancelAtBlank = false;
    std::atomic<int> done{0};
    std::mutex endLock;
    std::vector<std::pair<int, QString>> ends;
};

// For its lifetime, a clock in the link's timings that moves 1 ms per reading
// and by each sleep; log lines are kept with their time. Sleeps are real too,
// so the simulator's answers arrive as they would.
class FakeClock
{
public:
    FakeClock()
    {
        PrinterTimings t;
        t.nowMs = [this] {
            std::lock_guard<std::mutex> l(lock);
            return now++;
        };
        t.sleep = [this](int ms) {
            QThread::msleep(static_cast<unsigned long>(ms));
            {
                std::lock_guard<std::mutex> l(lock);
                sleeps.emplace_back(ms, now);
                now += ms;
            }
            if (afterSleep)
                afterSleep();
        };
        m_timings = std::make_unique<TimingsScope>(t);
        s_current = this;
        m_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            std::lock_guard<std::mutex> l(s_current->lock);
            s_current->logs.emplace_back(text, s_current->now);
        });
    }
    ~FakeClock()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    qint64 at(const QString& text)
    {
        std::lock_guard<std::mutex> l(lock);
        for (const auto& e : logs)
            if (e.first.contains(text))
                return e.second;
        return -1;
    }

    std::mutex lock;
    qint64 now = 1000;
    std::vector<std::pair<QString, qint64>> logs;
    std::vector<std::pair<int, qint64>> sleeps;  // length, and when it began
    std::function<void()> afterSleep;

private:
    static inline FakeClock* s_current = nullptr;
    std::unique_ptr<TimingsScope> m_timings;
    QtMessageHandler m_previous = nullptr;
};

}  // namespace

TEST_F(PrintLoopTest, EachJobLineGoesOutAsTheTableSays)
{
    connectPrinter();
    struct { const char* name; std::string job, sent; } rows[] = {
        {"CR LF line keeps its CR", "G1 Z5\r\n", "G1 Z5\r\r\n"},
        // A printer sees no command in a bare CR, and no "ok" would answer it.
        {"a lone CR is skipped as an empty line is", "\r\n \t\r\n", ""},
        {"a plain comment is sent", "; note\n", "; note\r\n"},
        {"a command with a marker comment is not", "G1 Z1 ;(x)\n", ""},
        {"empty lines are skipped", "\n\n", ""},
        {"text after the last LF is no line", "G1 Z2\nG1 Z3", "G1 Z2\r\n"},
        {"lines in order", "M219\nG1 X-288 F1728\r\nM220\n", "M219\r\nG1 X-288 F1728\r\r\nM220\r\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        start(r.job);
        printThread.join();
        EXPECT_EQ(done.load(), 1);
        EXPECT_EQ(newBytes(), r.sent);
    }
}

TEST_F(PrintLoopTest, NextCommandWaitsForTheOkOfTheOneBefore)
{
    connectPrinter();
    sim->setFaults(PrinterSimulator::Held);
    const size_t base = sim->commands().size();
    start("G1 Z1\nG1 Z2\nG1 Z3\n");
    for (size_t k = 1; k <= 3; ++k) {
        ASSERT_TRUE(sim->waitForCommands(base + k, kHangMs));
        EXPECT_EQ(sim->commands().size(), base + k) << "written before the ok of the one before";
        sim->release(1);
    }
    printThread.join();
    EXPECT_EQ(newBytes(), "G1 Z1\r\nG1 Z2\r\nG1 Z3\r\n");
}

// Serial links hand replies over in pieces; the next command goes out on the
// "ok" even before its line end, and no command is written twice.
TEST_F(PrintLoopTest, RepliesInPiecesAcknowledgeEachCommandOnce)
{
    PrinterSimulator::Options pieces;
    pieces.chunkGapMs = 20; // several looks of the loop apart
    connectPrinter(pieces);
    sim->setFaults(PrinterSimulator::Chunked);
    const std::string job = "G1 Z1\nG1 Z2\nM220\n";
    start(job);
    printThread.join();
    EXPECT_EQ(done.load(), 1);
    EXPECT_EQ(newBytes(), "G1 Z1\r\nG1 Z2\r\nM220\r\n");
}

TEST_F(PrintLoopTest, GeneratedJobRunsToOneEndAndReportsItsLayers)
{
    connectPrinter();
    const DLP::GCodeFile job = generatedJob(2);
    ASSERT_FALSE(job.text.empty());

    // Every line without a marker comment, ended by CR LF behind its own end.
    std::string expected;
    for (size_t begin = 0, end; (end = job.text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        const std::string line = job.text.substr(begin, end - begin);
        if (!line.empty() && line.find(";(") == std::string::npos)
            expected += line + "\r\n";
    }
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "first job" : "second job on the same runner");
        play(job.text);
        EXPECT_EQ(newBytes(), expected);
        EXPECT_EQ(layers, (Layers{{0, -1}, {0, 0}, {0, -1}, {0, -1}, {1, 0}, {1, -1}}));
        EXPECT_EQ(runner->projector()->m_layer.load(), -1);
        EXPECT_TRUE(runner->gcodeFile().text.empty());
        EXPECT_EQ(end().first, int(DLP::PrintEnd::Completed));
    }
}

TEST_F(PrintLoopTest, CancelAfterABlankMarkerKeepsTheProjectorDark)
{
    connectPrinter();
    cancelAtBlank = true;
    play(";(<Slice> 7 )\r\n;(<Slice> Blank )\r\nG1 Z9\r\n");
    EXPECT_EQ(layers, (Layers{{7, 0}, {7, -1}}));
    EXPECT_EQ(runner->projector()->m_layer.load(), -1);
    EXPECT_EQ(newBytes(), kCancel);
    EXPECT_TRUE(m_log.has("Print Cancell"));
    EXPECT_EQ(end().first, int(DLP::PrintEnd::Cancelled));
}

TEST_F(PrintLoopTest, DelayEndsAtTheFirstPollPastItsLength)
{
    connectPrinter();
    FakeClock clock;
    play("G1 Z1\n;(<Delay> 1500 )\r\nG1 Z2\n");
    EXPECT_EQ(newBytes(), "G1 Z1\r\nG1 Z2\r\n");
    const qint64 start = clock.at("Delay start"), end = clock.at("Delay end");
    ASSERT_GE(start, 0);
    // Logged 1 ms after its start reading, and 1 ms after the first reading past 1500.
    EXPECT_EQ(end - start, 1501);
    // 5 ms sleeps while more than 200 ms remain, polling without sleep after that.
    int sleeps = 0;
    for (auto [ms, at] : clock.sleeps)
        if (at > start && at < end) {
            ++sleeps;
            EXPECT_EQ(ms, 5);
            EXPECT_LE(at - start, 1300);
        }
    EXPECT_GT(sleeps, 200);
}

TEST_F(PrintLoopTest, CancelDuringADelayEndsItAtOnce)
{
    connectPrinter();
    FakeClock clock;
    qint64 cancelAt = -1;
    clock.afterSleep = [&] {
        // Runs in the print thread, under no lock of the clock.
        if (cancelAt < 0 && clock.at("Delay start") >= 0) {
            cancelAt = clock.now;
            runner->SetState(false, false);
        }
    };
    play("G1 Z1\n;(<Delay> 100000 )\nG1 Z2\n");
    ASSERT_GE(cancelAt, 0);
    EXPECT_EQ(newBytes(), "G1 Z1\r\n" + kCancel);
    EXPECT_LE(clock.at("Print Cancell") - cancelAt, 2) << "the delay went on after the cancel";
}

TEST_F(PrintLoopTest, MutePrinterStillLetsACancelEndTheJob)
{
    PrinterTimings t = linkTimings();
    t.command = LookLoop{1, 50, true, 10};
    TimingsScope timings(t);
    connectPrinter();
    sim->setFaults(PrinterSimulator::Mute);
    const size_t base = sim->commands().size();
    start("G1 Z1\nG1 Z2\n");
    ASSERT_TRUE(sim->waitForCommands(base + 2, kHangMs));  // written again while no cancel is pending
    runner->SetState(false, false);
    for (int i = 0; i < 60000 && done.load() == 0; ++i)
        QThread::msleep(1);
    if (done.load() == 0) {
        ADD_FAILURE() << "the cancel did not end the job";
        sim->setFaults(PrinterSimulator::None);
    }
    printThread.join();
    const std::string sent = newBytes();
    ASSERT_GE(sent.size(), 14u + kCancel.size());
    EXPECT_EQ(sent.substr(sent.size() - kCancel.size()), kCancel);
    for (size_t i = 0; i + kCancel.size() < sent.size(); i += 7)
        EXPECT_EQ(sent.substr(i, 7), "G1 Z1\r\n");
    EXPECT_TRUE(m_log.has("No OK: "));
    EXPECT_FALSE(runner->isBusy());
}

TEST_F(PrintLoopTest, WithoutAPortOrJobFileTheJobEndsFailedAndNothingIsWritten)
{
    goOffline();
    for (int run = 1; run <= 2; ++run) {
        play("G1 Z1\n;(<Slice> 0 )\n");
        EXPECT_TRUE(layers.empty());
        EXPECT_EQ(m_log.count("Offline, No Operate"), run);
        EXPECT_EQ(end(), (std::pair<int, QString>{int(DLP::PrintEnd::NoPrinter), "No printer is connected"}));
    }
    dropLink();
    connectPrinter();
    // A file that cannot be read, and an empty one: neither is a printed job.
    const QString missing = QDir(m_dir.path()).filePath("missing.gcode");
    const QString empty = QDir(m_dir.path()).filePath("empty.gcode");
    ASSERT_TRUE(writeBytes(empty, ""));
    // A FIFO nobody writes to would hold the loop for good; a folder is no job.
    const QString fifo = QDir(m_dir.path()).filePath("fifo.gcode");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Larger than any job: refused unread, and the reason says so.
    const QString huge = QDir(m_dir.path()).filePath("huge.gcode");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(DLP::GCodeFile::kMaxLoadBytes + 1));
    }
    for (const auto& [path, reason] : {std::pair{missing, "The job file %1 cannot be read"},
                                       std::pair{empty, "The job file %1 is empty"},
                                       std::pair{fifo, "The job file %1 cannot be read"},
                                       std::pair{huge, "The job file %1 is larger than 64 MB, more than a job holds"},
                                       std::pair{m_dir.path(), "The job file %1 cannot be read"}}) {
        // The job handed over does not stand in for the file that was asked for.
        launch(path.toStdString(), DLP::GCodeFile("G1 Z1\n"));
        finish();
        EXPECT_EQ(end(), (std::pair<int, QString>{int(DLP::PrintEnd::JobUnreadable), QString(reason).arg(path)}));
        EXPECT_EQ(newBytes(), "");
    }
}

// A job file cut short, or one whose numbers no printer takes: nothing of it
// reaches the printer, and the reason is told.
TEST_F(PrintLoopTest, AJobFileCutShortOrWithAbsurdValuesSendsNothing)
{
    connectPrinter();
    const std::string body = ";(<Slice> 0 )\nG1 Z1 F600\n;(<Delay> 1000 )\n;(<Slice> 1 )\nG1 Z1.05 F600\n";
    const std::string job = kHeader + body;
    const struct { const char* name; std::string bytes; const char* reason; } cases[] = {
        {"cut short", job, "it does not end with the job's footer; it was cut short"},
        {"footer before the header", kFooter + job, "it was cut short"},
        {"start missing", body + kFooter, "it has no header: its start is missing"},
        {"Z 1e30", job + "G1 Z1e30 F600\n" + kFooter, "line 7 (\"G1 Z1e30 F600\") has a value no printer takes"},
        {"Z beyond", job + "G1 Z25000000\n" + kFooter, "line 7 (\"G1 Z25000000\") has a value no printer takes"},
        {"Z nan", job + "G1 Znan F48\n" + kFooter, "line 7 (\"G1 Znan F48\") has a word that is no capital letter and number"},
        {"speed inf", job + "G1 Z2 Finf\n" + kFooter, "has a word that is no capital letter and number"},
        {"speed -inf", job + "G1 Z2 F-inf\n" + kFooter, "has a word that is no capital letter and number"},
        {"negative speed", job + "G1 Z2 F-600\n" + kFooter, "line 7 (\"G1 Z2 F-600\") has a negative speed"},
        {"below the plate", job + "G1 Z-600 F48\n" + kFooter, "moves below the plate"},
        {"hex", job + "G1 Z0x10\n" + kFooter, "has a word that is no capital letter and number"},
        {"wait nan", job + ";(<Delay> nan )\n" + kFooter, "line 7 (\";(<Delay> nan )\") has a wait no printer takes"},
        {"wait negative", job + ";(<Delay> -1000 )\n" + kFooter, "has a wait no printer takes"},
        {"wait 1e30", job + ";(<Delay> 1e30 )\n" + kFooter, "has a wait no printer takes"},
        {"CR only", kHeader + "G1 Z1\rG1 Z2\r" + kFooter, "holds a carriage return inside it"},
        {"CR inside a line", job + "G1 Z5.1 F600\rM112\n" + kFooter, "line 7 (\"G1 Z5.1 F600\\x0dM112\") holds a carriage return"},
        {"NUL inside a line", job + std::string("G1 Z5\0-5 F600\n", 15) + kFooter,
         "line 7 (\"G1 Z5\\x00-5 F600\") has a word"},
        // The controller starts a command at every G or M: each is checked as such.
        {"a move behind another command", job + "M219 G1 Z-50 F600\n" + kFooter, "moves below the plate"},
        {"a move in a comment", job + "G1 Z5 F600 ;lift, then G1 Z-50 F600\n" + kFooter, "moves below the plate"},
        {"a move in a comment line", job + "; G1 Z-50\n" + kFooter, "moves below the plate"},
        {"G01", job + "G01 Z-50\n" + kFooter, "moves below the plate"},
        {"G00", job + "G00 Z-50 F600\n" + kFooter, "moves below the plate"},
        {"an arc", job + "G2 X0 Y0 Z-5 I1 J0 F600\n" + kFooter, "moves below the plate"},
        // The footer ends the job: what follows it was cut from another one.
        {"a job cut short behind a whole one", job + kFooter + kHeader + body, "it was cut short"},
        {"a footer marker copied into the body", job + kFooter + "G1 Z3 F600\n", "it was cut short"},
        {"a command after the footer with no line end", job + kFooter + "M220", "it was cut short"},
        {"height set", job + "G92 Z100\nG1 Z0 F600\n" + kFooter, "line 7 (\"G92 Z100\") sets the plate's height"},
        {"relative moves", job + "G91\n" + kFooter, "switches to relative moves"},
        {"line number", job + "N1 G1 Z-50\n" + kFooter, "is no command"},
        {"small letters", job + "g1 z-50\n" + kFooter, "has a word that is no capital letter and number"},
        {"slash", job + "/G1 Z-50\n" + kFooter, "has a word that is no capital letter and number"},
        {"digit first", job + "1G1 Z-50\n" + kFooter, "has a word that is no capital letter and number"},
        {"form feed", job + "\fG1 Z-50\n" + kFooter, "has a word that is no capital letter and number"},
        {"NUL first", job + std::string("\0G1 Z-50\n", 10) + kFooter, "has a word that is no capital letter and number"},
        {"byte order mark", job + "\xEF\xBB\xBFG1 Z-50\n" + kFooter, "has a word that is no capital letter and number"},
        {"half a command", job + "G1.5 Z1\n" + kFooter, "is no command"},
        {"Z beyond the ranges", job + "G1 Z9999999 F600\n" + kFooter, "has a value no printer takes"},
        {"speed beyond the ranges", job + "G1 Z2 F9999999\n" + kFooter, "has a value no printer takes"},
        {"wait beyond the ranges", job + ";(<Delay> 9999999 )\n" + kFooter, "has a wait no printer takes"},
        {"wait unclosed", job + ";(<Delay> 1000\n" + kFooter, "has a wait no printer takes"},
        {"layer negative", job + ";(<Slice> -3 )\n" + kFooter, "line 7 (\";(<Slice> -3 )\") names no layer"},
        {"layer not a number", job + ";(<Slice> 2x )\n" + kFooter, "names no layer"},
        // The player keeps a line with ";(" to itself: the light would stay on.
        {"a command before a comment", job + "M220 ;(light off)\n" + kFooter,
         "line 7 (\"M220 ;(light off)\") holds a command before its comment; the printer would not get it"},
        {"a command before a layer marker", job + "G1 Z5 F600 ;(<Slice> 2 )\n" + kFooter, "holds a command before"},
        // Commands no job of ours holds, though their numbers are in bounds.
        {"inches", job + "G20\n" + kFooter, "line 7 (\"G20\") is a command no job of this program holds"},
        {"steps per mm", job + "M92 Z1\n" + kFooter, "is a command no job of this program holds"},
        {"end stops off", job + "M211 S0\n" + kFooter, "is a command no job of this program holds"},
        {"a word a move does not take", job + "G1 Z5 S3 F600\n" + kFooter, "has a word its command does not take"},
        {"LED current", job + "M225 B99999\n" + kFooter, "has a value outside its setting's range (0..255)"},
        {"home adjustment", job + "M230 X0 Y0 Z-999999\n" + kFooter, "outside its setting's range (-10000..10000)"},
        {"mirror flag", job + "M222 X2 Y0\n" + kFooter, "outside its setting's range (0..1)"},
        {"homing to a distance", job + "G28 Z-50\n" + kFooter, "homes or sets an axis at a position other than 0"},
        {"tilt position set", job + "G92 Y5\n" + kFooter, "homes or sets an axis at a position other than 0"},
        {"a line a controller cuts", job + "G1 Z" + std::string(200, '0') + "5 F600\n" + kFooter,
         "is longer than a controller's line (96 characters)"},
        {"the light left on", job + "M219\nG1 Z2 F600\n" + kFooter, "it leaves the light on at its end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startFile(c.bytes);
        finish();
        const auto [how, why] = end();
        EXPECT_EQ(how, int(DLP::PrintEnd::JobUnreadable));
        EXPECT_TRUE(why.contains(c.reason)) << why.toStdString();
        EXPECT_TRUE(layers.empty());
        EXPECT_EQ(newBytes(), "");
    }
    // The same job, whole, prints; so do comments that hide no command (a
    // material name before one is no command), and a wait written with an
    // exponent lasts what the check read.
    QElapsedTimer clock;
    clock.start();
    play(body + "; note\nG1 Z2 F600 ;lift\n;(<Delay> 1.5e+02 )\nM17 black;(Materials ID : 2G21\nM219\nM220\n");
    EXPECT_GE(clock.elapsed(), 150) << "the wait was read as 1 ms";
    EXPECT_EQ(end().first, int(DLP::PrintEnd::Completed));
    EXPECT_EQ(layers.size(), 2u);
    EXPECT_EQ(newBytes(), "G1 Z1 F600\r\nG1 Z1.05 F600\r\n; note\r\nG1 Z2 F600 ;lift\r\nM219\r\nM220\r\n");
    EXPECT_TRUE(m_log.has("Delay end"));

    // Blank lines of a CR LF job are skipped as an LF job's are: sent, such
    // a line is no command, and no "ok" would ever answer it.
    startFile(kHeader + ";(<Slice> 0 )\r\nG1 Z1 F600\r\n\r\n \t\r\n" + kFooter + ";(footer end)\r\n\r\n");
    finish();
    EXPECT_EQ(end().first, int(DLP::PrintEnd::Completed));
    EXPECT_EQ(newBytes(), "G1 Z1 F600\r\r\n");
}

// A controller that answers every line with an error holding "ok" in a word
// prints nothing: the job ends failed once the command has been written its
// allowed times, and the light goes off.
TEST_F(PrintLoopTest, AnErrorReplyHoldingOkAcknowledgesNothing)
{
    playToAFaultyPrinter(PrinterSimulator::ErrorReply, 3, 30, ";(<Slice> 0 )\nG1 Z1\nG1 Z2\n");
    EXPECT_EQ(nextBytes(25), "G1 Z1\r\nG1 Z1\r\nG1 Z1\r\nM220");
    EXPECT_EQ(newBytes(), "");
    const auto [how, why] = end();
    EXPECT_EQ(how, int(DLP::PrintEnd::NotAcknowledged));
    EXPECT_TRUE(why.contains("G1 Z1") && why.contains("3 times")) << why.toStdString();
    EXPECT_TRUE(m_log.has("Reply is no acknowledgement: error: command broken"));
    EXPECT_EQ(runner->projector()->m_layer.load(), -1);  // nothing stays lit
}

// A printer that never ends its reply (4 KB lines, as fast as the link
// goes) leaves its command unacknowledged, and the log keeps a few short
// lines of it rather than every kilobyte.
TEST_F(PrintLoopTest, AReplyThatNeverEndsFillsNoLog)
{
    playToAFaultyPrinter(PrinterSimulator::EndlessReply, 1, 60, ";(<Slice> 0 )\nG1 Z1\n");
    EXPECT_EQ(end().first, int(DLP::PrintEnd::NotAcknowledged));
    int others = 0;
    for (const QString& line : m_log.lines()) {
        EXPECT_LT(line.size(), 400) << line.left(80).toStdString();
        others += line.startsWith("Reply is no acknowledgement");
    }
    EXPECT_GT(others, 0);
    EXPECT_LE(others, 2 * 5); // the command and the light-off sent after it
    EXPECT_TRUE(m_log.has("more replies were no acknowledgement"));
}

// A printer that hangs up in the middle of a job, while a command waits for
// its "ok" or during an exposure: the job ends at once as disconnected, the
// projector goes dark and nothing more is written.
TEST_F(PrintLoopTest, APrinterLostMidJobEndsItAsDisconnected)
{
    PrinterTimings t = linkTimings();
    t.commandWrites = 2;  // a loop blind to the loss would end "not acknowledged"
    TimingsScope timings(t);
    const std::string job = ";(<Slice> 0 )\nG1 Z1\nG1 Z2\n;(<Delay> 100000 )\nG1 Z3\nG1 Z4\n";
    for (bool duringDelay : {false, true}) {
        SCOPED_TRACE(duringDelay ? "during the delay" : "waiting for an ok");
        connectPrinter();
        // After the hand-shake's two commands: at the second job command.
        if (!duringDelay)
            sim->setHangUpAfter(4);
        start(job);
        if (duringDelay) {
            ASSERT_TRUE(WaitUntil([this] { return m_log.has("Delay start"); }, kHangMs));
            sim->hangUpNow();
        }
        finish();
        EXPECT_EQ(sim->commands().size(), 4u);
        EXPECT_EQ(end(), (std::pair<int, QString>{int(DLP::PrintEnd::Disconnected), "The printer was disconnected"}));
        EXPECT_EQ(runner->projector()->m_layer.load(), -1);
        EXPECT_FALSE(m_log.has("Delay end"));
        // The connection followed the loss: offline, the port given up.
        ASSERT_TRUE(WaitUntil([] { return !DlpSerialPort::m_bOnLine; }, kHangMs));
        EXPECT_TRUE(m_log.has("Printer port lost"));
        dropLink();
    }
}

TEST_F(PrintLoopTest, MarkerNumbers)
{
    const std::pair<const char*, int> rows[] = {{";(<Slice> 12 )", 12}, {";(<Slice> Blank )", -1},
        {";(<Delay> 1500 )\r", 1500}, {";(<Slice> )", 0}, {";(<Delay>  7   )", 7}, {";(<Delay> x )", 0},
        {";(<Slice> -3 )", -3}};
    for (const auto& r : rows)
        EXPECT_EQ(runner->getvarfromline(r.first), r.second) << r.first;
}

// Every form of reply a controller may give to a job line, played through
// the simulator. One that acknowledges lets the job print to its end, each
// command received once; one that does not ends the job failed once its
// first command was written its allowed times, and the light goes off.
TEST_F(PrintLoopTest, EveryReplyFormIsAcknowledgedOrRefused)
{
    using Commands = std::vector<std::string>;
    const std::string job = ";(<Slice> 0 )\nM219\nG92 Z0\nG1 Z1 F600\nM220\n";
    const Commands played{"M219", "G92 Z0", "G1 Z1 F600", "M220"};
    const Commands refused{"M219", "M219", "M220"};
    const struct { const char* name; std::string reply; bool acknowledged; } rows[] = {
        {"ok", "ok\n", true},
        {"ok without a line end", "ok", true},
        {"ok with CR LF", "ok\r\n", true},
        {"ok after a line end, with a temperature", "\nok T:25", true},
        {"execok", "execok\n", true},
        {"text ending in ok", "X:1 Y:2 ok\n", true},
        {"a busy line, then ok", "echo:busy\nok\n", true},
        {"okay, then an error", "okay, error: command refused\n", false},
        {"an error holding ok", "error: ok\n", false},
        {"an Error holding ok", "Error:ok\n", false},
        {"an alarm holding ok", "!! ok\n", false},
        {"capitals", "OK\n", false},
        {"ok inside a word", "broken\n", false},
        {"a bare line end", "\n", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        PrinterSimulator::Options options;
        options.commandReply = r.reply;
        connectPrinter(options);
        PrinterTimings t = linkTimings();
        t.commandWrites = 2;
        // An acknowledgement ends the wait; a long one keeps a loaded machine
        // from writing a command twice. A refusal is waited for briefly.
        t.command = r.acknowledged ? LookLoop{1, 5000, true, 1000} : LookLoop{1, 40, true, 10};
        TimingsScope timings(t);
        play(job);
        const Commands all = sim->commands();
        ASSERT_GE(all.size(), 2u);
        EXPECT_EQ(Commands(all.begin() + 2, all.end()), r.acknowledged ? played : refused);
        const auto [how, why] = end();
        if (r.acknowledged) {
            EXPECT_EQ(how, int(DLP::PrintEnd::Completed)) << why.toStdString();
            EXPECT_EQ(layers, (Layers{{0, 0}}));
        } else {
            EXPECT_EQ(how, int(DLP::PrintEnd::NotAcknowledged));
            EXPECT_EQ(why, "The printer did not acknowledge M219 (written 2 times)");
            EXPECT_EQ(runner->projector()->m_layer.load(), -1);
        }
        dropLink();
    }
}

// A controller that answers a move only once it has run (the simulator's
// move mode, on the link's own scale) gets every command of a job exactly
// once, though many moves run longer than the acknowledgement window: the
// homing from the top, the rotation, the slow tilt and the final lift.
TEST_F(PrintLoopTest, AMoveLongerThanTheWindowIsNotWrittenAgain)
{
    constexpr double scale = 0.1;
    PrinterSimulator::Options options;
    options.moveScale = scale;
    options.startZ = 150;  // where the last job left the plate
    connectPrinter(options);
    PrinterTimings t = linkTimings();
    t.moveScale = scale;
    t.command = LookLoop{2, 100, true, 50};  // about 0.2 s
    TimingsScope timings(t);

    const DLP::GCodeFile job = generatedJob(2);
    ASSERT_FALSE(job.text.empty());
    std::vector<std::string> expected;
    for (size_t begin = 0, end; (end = job.text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        std::string line = job.text.substr(begin, end - begin);
        if (DLP::JobLineKind(line) != DLP::JobLine::Sent)
            continue;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        expected.push_back(line);
    }
    ASSERT_GT(expected.size(), 30u);

    QElapsedTimer clock;
    clock.start();
    play(job.text);
    EXPECT_EQ(end().first, int(DLP::PrintEnd::Completed));
    const std::vector<std::string> all = sim->commands();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(all.begin() + 2, all.end()), expected);
    // The moves ran: the final lift alone takes almost 2 s at this scale.
    EXPECT_GT(clock.elapsed(), 2000);
}
