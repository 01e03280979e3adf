#include "buildmanager.h"
#include "dlp/gcodegenerator.h"
#include "frmDLP.h"
#include "printloop_fixture.h"

#include <QDir>
#include <QThread>

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Layers = std::vector<std::pair<int, int>>;

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
                if (onLayer)
                    onLayer(index, type);
            },
            Qt::DirectConnection);
        QObject::connect(
            runner.get(), &DLP::BuildManager::signal_printDone, runner.get(), [this] { ++done; },
            Qt::DirectConnection);
    }
    void TearDown() override
    {
        if (printThread.joinable())
            printThread.join();
        runner.reset();
        PrinterLinkTest::TearDown();
    }

    void start(const std::string& job)
    {
        const std::string path = QDir(m_dir.path()).filePath("job.gcode").toStdString();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << job;
        runner->m_gcodePath = path;
        layers.clear();
        done = 0;
        printThread = std::thread([this] { runner->StartPrint(DLP::GCodeFile()); });
    }
    void play(const std::string& job)
    {
        start(job);
        printThread.join();
    }

    std::unique_ptr<DLP::BuildManager> runner;
    std::thread printThread;
    Layers layers;
    std::function<void(int, int)> onLayer;
    std::atomic<int> done{0};
};

}  // namespace

TEST_F(PrintLoopTest, EachJobLineGoesOutAsTheTableSays)
{
    connectPrinter();
    struct Row {
        const char* name;
        std::string job;
        std::string sent;
        bool answerByHand;  // the simulator sees no command in a bare CR
    } rows[] = {
        {"CR LF line keeps its CR", "G1 Z5\r\n", "G1 Z5\r\r\n", false},
        {"LF line", "G1 Z5\n", "G1 Z5\r\n", false},
        {"a lone CR is a command", "\r\n", "\r\r\n", true},
        {"a plain comment is sent", "; note\n", "; note\r\n", false},
        {"a command with a marker comment is not", "G1 Z1 ;(x)\n", "", false},
        {"empty lines are skipped", "\n\n", "", false},
        {"text after the last LF is no line", "G1 Z2\nG1 Z3", "G1 Z2\r\n", false},
        {"lines in order", "M219\nG1 X-288 F1728\r\nM220\n", "M219\r\nG1 X-288 F1728\r\r\nM220\r\n", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        start(r.job);
        if (r.answerByHand) {
            ASSERT_EQ(nextBytes(r.sent.size()), r.sent);
            sim->send("ok\n");
        }
        printThread.join();
        EXPECT_EQ(done.load(), 1);
        if (!r.answerByHand) {
            EXPECT_EQ(newBytes(), r.sent);
        }
        EXPECT_FALSE(runner->isBusy());
    }
    EXPECT_EQ(newBytes(), "");
}

TEST_F(PrintLoopTest, NextCommandWaitsForTheOkOfTheOneBefore)
{
    connectPrinter();
    sim->setFaults(PrinterSimulator::Held);
    const size_t base = sim->commands().size();
    start("G1 Z1\nG1 Z2\nG1 Z3\n");
    for (size_t k = 1; k <= 3; ++k) {
        ASSERT_TRUE(sim->waitForCommands(base + k, 20000));
        EXPECT_EQ(sim->commands().size(), base + k) << "written before the ok of the one before";
        sim->release(1);
    }
    printThread.join();
    EXPECT_EQ(newBytes(), "G1 Z1\r\nG1 Z2\r\nG1 Z3\r\n");
    EXPECT_EQ(done.load(), 1);
}

TEST_F(PrintLoopTest, GeneratedJobRunsToOneEndAndReportsItsLayers)
{
    connectPrinter();
    DLP::SliceBuildConfig config;
    config.ExposureTimePerLayer = config.BottomExposureTime = 2;
    config.MaterialStable = config.BottomMaterialStable = 1;
    config.BlankTime = 1;
    DLP::GCodeGenerator generator;
    const DLP::GCodeFile job = generator.Generate(2, config, DLP::MachineConfig());
    ASSERT_FALSE(job.text.empty());

    // Every line without a marker comment, ended by CR LF behind its own end.
    std::string expected;
    for (size_t begin = 0, end; (end = job.text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        const std::string line = job.text.substr(begin, end - begin);
        if (!line.empty() && line.find(";(") == std::string::npos)
            expected += line + "\r\n";
    }
    const Layers expectedLayers{{0, -1}, {0, 0}, {0, -1}, {0, -1}, {1, 0}, {1, -1}};
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "first job" : "second job on the same runner");
        play(job.text);
        EXPECT_EQ(done.load(), 1);
        EXPECT_EQ(newBytes(), expected);
        EXPECT_EQ(layers, expectedLayers);  // the second also starts with (0, -1)
        EXPECT_EQ(runner->projector()->m_layer.load(), -1);
        EXPECT_TRUE(runner->gcodeFile().text.empty());
    }
}

TEST_F(PrintLoopTest, CancelAfterABlankMarkerKeepsTheProjectorDark)
{
    connectPrinter();
    const size_t base = sim->commands().size();
    onLayer = [this](int, int type) {
        if (type == -1)
            runner->SetState(false, false);
    };
    play(";(<Slice> 7 )\r\n;(<Slice> Blank )\r\nG1 Z9\r\n");
    EXPECT_EQ(layers, (Layers{{7, 0}, {7, -1}}));
    EXPECT_EQ(runner->projector()->m_layer.load(), -1);
    EXPECT_EQ(newBytes(), "M220G1 Y0M220");
    const std::vector<std::string> commands = sim->commands();
    EXPECT_EQ(std::vector<std::string>(commands.begin() + long(base), commands.end()),
              (std::vector<std::string>{"M220", "G1 Y0", "M220"}));
    EXPECT_EQ(done.load(), 1);
    EXPECT_FALSE(runner->isBusy());
    EXPECT_TRUE(m_log.has("Print Cancell"));
}

namespace {

// A clock that moves 1 ms per reading and by each sleep's length; every
// reading, sleep and log line is kept in order. Sleeps are real as well, so
// the simulator's answers arrive as they would.
struct FakeClock {
    enum Kind { Read, Sleep, Log };
    struct Event {
        Kind kind;
        qint64 value;
        QString text;
    };
    std::mutex lock;
    std::vector<Event> events;
    qint64 now = 1000;
    std::function<void()> afterSleep;

    qint64 read()
    {
        std::lock_guard<std::mutex> l(lock);
        events.push_back({Read, now, {}});
        return now++;
    }
    void sleep(int ms)
    {
        QThread::msleep(static_cast<unsigned long>(ms));
        {
            std::lock_guard<std::mutex> l(lock);
            events.push_back({Sleep, ms, {}});
            now += ms;
        }
        if (afterSleep)
            afterSleep();
    }
    void log(const QString& text)
    {
        std::lock_guard<std::mutex> l(lock);
        events.push_back({Log, now, text});
    }
    size_t find(const QString& text, size_t from = 0)
    {
        std::lock_guard<std::mutex> l(lock);
        for (size_t i = from; i < events.size(); ++i)
            if (events[i].kind == Log && events[i].text.contains(text))
                return i;
        return std::string::npos;
    }
    qint64 lastReadBefore(size_t index)
    {
        for (size_t i = index; i-- > 0;)
            if (events[i].kind == Read)
                return events[i].value;
        return -1;
    }

    static FakeClock*& current()
    {
        static FakeClock* clock = nullptr;
        return clock;
    }
    static void handle(QtMsgType, const QMessageLogContext&, const QString& text) { current()->log(text); }
};

// Puts the fake clock into the link's timings and takes the log lines.
class FakeClockScope
{
public:
    explicit FakeClockScope(FakeClock& clock)
        : m_timings([&clock] {
              PrinterTimings t = PrinterTimings();
              t.nowMs = [&clock] { return clock.read(); };
              t.sleep = [&clock](int ms) { clock.sleep(ms); };
              return t;
          }())
    {
        FakeClock::current() = &clock;
        m_previous = qInstallMessageHandler(&FakeClock::handle);
    }
    ~FakeClockScope()
    {
        qInstallMessageHandler(m_previous);
        FakeClock::current() = nullptr;
    }

private:
    TimingsScope m_timings;
    QtMessageHandler m_previous = nullptr;
};

}  // namespace

TEST_F(PrintLoopTest, DelayEndsAtTheFirstPollPastItsLength)
{
    connectPrinter();
    FakeClock clock;
    {
        FakeClockScope scope(clock);
        play("G1 Z1\n;(<Delay> 1500 )\r\nG1 Z2\n");
    }
    EXPECT_EQ(newBytes(), "G1 Z1\r\nG1 Z2\r\n");
    EXPECT_EQ(done.load(), 1);

    const size_t begin = clock.find("Delay start");
    const size_t end = clock.find("G1 Z2", begin);
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    const qint64 started = clock.lastReadBefore(begin);
    qint64 lastRead = -1;
    int sleeps = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        const FakeClock::Event& e = clock.events[i];
        if (e.kind == FakeClock::Read) {
            lastRead = e.value - started;
            // 5 ms sleeps while more than 200 ms remain, polling after that.
            const bool sleepNext = i + 1 < end && clock.events[i + 1].kind == FakeClock::Sleep;
            if (lastRead <= 1500) {
                EXPECT_EQ(sleepNext, lastRead <= 1300) << "poll at " << lastRead;
            }
        } else if (e.kind == FakeClock::Sleep) {
            ++sleeps;
            EXPECT_EQ(e.value, 5);
        }
    }
    EXPECT_EQ(lastRead, 1501);  // the first poll past 1500 ms; the line follows at once
    EXPECT_GT(sleeps, 200);
    EXPECT_TRUE(clock.events[end - 1].kind == FakeClock::Log && clock.events[end - 1].text == "Delay end");
}

TEST_F(PrintLoopTest, CancelDuringADelayEndsItAtOnce)
{
    connectPrinter();
    FakeClock clock;
    bool cancelled = false;
    qint64 cancelAt = 0;
    clock.afterSleep = [&] {
        // Runs in the print thread, under no lock of the clock.
        if (cancelled || clock.find("Delay start") == std::string::npos)
            return;
        cancelled = true;
        cancelAt = clock.now;
        runner->SetState(false, false);
    };
    {
        FakeClockScope scope(clock);
        play("G1 Z1\n;(<Delay> 100000 )\nG1 Z2\n");
    }
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(newBytes(), "G1 Z1\r\nM220G1 Y0M220");
    EXPECT_EQ(done.load(), 1);
    const size_t at = clock.find("Print Cancell");
    ASSERT_NE(at, std::string::npos);
    EXPECT_LE(clock.events[at].value - cancelAt, 2) << "the delay went on after the cancel";
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
    // Written again while no cancel is pending.
    ASSERT_TRUE(sim->waitForCommands(base + 2, 20000));
    runner->SetState(false, false);
    for (int i = 0; i < 60000 && done.load() == 0; ++i)
        QThread::msleep(1);
    if (done.load() == 0) {
        ADD_FAILURE() << "the cancel did not end the job";
        sim->setFaults(PrinterSimulator::None);
    }
    printThread.join();
    EXPECT_EQ(done.load(), 1);
    const std::string sent = newBytes();
    ASSERT_GE(sent.size(), 14u + 13u);
    EXPECT_EQ(sent.substr(sent.size() - 13), "M220G1 Y0M220");
    const std::string head = sent.substr(0, sent.size() - 13);
    for (size_t i = 0; i < head.size(); i += 7)
        EXPECT_EQ(head.substr(i, 7), "G1 Z1\r\n");
    EXPECT_TRUE(m_log.has("No OK: "));
    EXPECT_FALSE(runner->isBusy());
}

TEST_F(PrintLoopTest, WithoutAPortTheJobEndsAndNothingIsWritten)
{
    goOffline();
    for (int run = 1; run <= 2; ++run) {
        play("G1 Z1\n;(<Slice> 0 )\n");
        EXPECT_EQ(done.load(), 1);
        EXPECT_TRUE(layers.empty());
        EXPECT_FALSE(runner->isBusy());
        EXPECT_EQ(countLines(m_log, "Offline, No Operate"), run);
    }
}

TEST_F(PrintLoopTest, AnUnreadableJobFileEndsAtOnce)
{
    connectPrinter();
    runner->m_gcodePath = QDir(m_dir.path()).filePath("missing.gcode").toStdString();
    // The job handed over does not stand in for the file that was asked for.
    printThread = std::thread([this] { runner->StartPrint(DLP::GCodeFile("G1 Z1\n")); });
    printThread.join();
    EXPECT_EQ(done.load(), 1);
    EXPECT_EQ(newBytes(), "");
    EXPECT_FALSE(runner->isBusy());
}

TEST_F(PrintLoopTest, MarkerNumbers)
{
    const struct {
        const char* line;
        int value;
    } rows[] = {
        {";(<Slice> 12 )", 12},   {";(<Slice> Blank )", -1}, {";(<Delay> 1500 )\r", 1500},
        {";(<Slice> )", 0},       {";(<Delay>  7   )", 7},   {";(<Delay> x )", 0},
        {";(<Slice> -3 )", -3},
    };
    for (const auto& r : rows)
        EXPECT_EQ(runner->getvarfromline(r.line), r.value) << r.line;
}
