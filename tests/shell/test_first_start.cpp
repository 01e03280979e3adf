// The built program started as scripts/start.sh starts it: no web-engine
// sandbox variable in its environment, on an X server of its own. Its window
// must map and be drawn, as root too; it ends cleanly when closed or sent
// SIGTERM; and a start that fails says why on standard error and in the log.

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "hang_ceiling.h"
#include "program_on_x.h"

namespace {

using namespace programonx;

// Ended by a close request as a window manager sends it, or by SIGTERM.
using FirstStart = ProgramOnOwnX<const char*>;

TEST_P(FirstStart, WindowMapsIsDrawnAndEndsCleanly)
{
    app.setProcessEnvironment(startScriptEnvironment(x.display(), config.path(), log.path()));
    app.start(VEXMOR3D_PATH, QStringList());
    ASSERT_TRUE(app.waitForStarted(kHangMs));

    const XConnection display = connectTo(x.display());
    ASSERT_TRUE(display);
    const ShownWindow shown = waitForDrawnWindow(display.get(), app, "Vexmor3D", kHangMs);
    const Window window = shown.window;
    const QRect& geometry = shown.geometry;
    const QImage& shot = shown.shot;
    const bool close = QByteArray(GetParam()) == "close";
    shot.save(QString("first_start_%1.png").arg(GetParam()));
    ASSERT_EQ(app.state(), QProcess::Running)
        << "exit code " << app.exitCode() << "\n" << app.readAllStandardError().toStdString();
    ASSERT_NE(window, 0u) << "no mapped window";
    EXPECT_TRUE(geometry.width() >= 800 && geometry.height() >= 600);
    ASSERT_TRUE(looksDrawn(shot)) << "the window is not drawn";

    if (close)
        ASSERT_TRUE(askToClose(display.get(), window));
    else
        ASSERT_EQ(::kill(static_cast<pid_t>(app.processId()), SIGTERM), 0);
    ASSERT_TRUE(app.waitForFinished(kHangMs)) << "still running";
    const QByteArray errors = app.readAllStandardError();
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << errors.toStdString();
    EXPECT_EQ(app.exitCode(), 0) << errors.toStdString();

    const QByteArray logged = dayLog(log.path());
    const bool root = ::geteuid() == 0;
    EXPECT_EQ(logged.contains("Running as root: the web engine's sandbox is turned off"), root) << logged.toStdString();
    EXPECT_FALSE(logged.contains("ended before its window was shown")) << logged.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Endings, FirstStart, ::testing::Values("close", "sigterm"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// A start that ends before the window shows says why on standard error and
// in the day's log: the program with no X server to reach, and a probe that
// ends on purpose as a start can (a library calling exit(), an unhandled
// exception), or warns once its window is shown.
struct EarlyEnd
{
    const char* name;
    const char* program;
    const char* mode;
    int exitCode; // -1: a crash
    QStringList everywhere; // on standard error and in the log
    QStringList logOnly;
    QStringList nowhere;
};

void PrintTo(const EarlyEnd& e, std::ostream* os) { *os << e.name; }
using StartupReport = ::testing::TestWithParam<EarlyEnd>;

TEST_P(StartupReport, ReasonsGoToStandardErrorAndTheLog)
{
    QTemporaryDir log;
    ASSERT_TRUE(log.isValid());
    int unused = 4000; // a display number no server listens on
    while (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(unused)) || QFile::exists(QString("/tmp/.X%1-lock").arg(unused)))
        ++unused;
    QProcess app;
    app.setProcessEnvironment(startScriptEnvironment(QString(":%1").arg(unused), log.path(), log.path()));
    app.start(GetParam().program, *GetParam().mode ? QStringList{GetParam().mode} : QStringList());
    ASSERT_TRUE(app.waitForFinished(kHangMs));
    EXPECT_EQ(app.exitStatus() == QProcess::CrashExit ? -1 : app.exitCode(), GetParam().exitCode);
    const QByteArray errors = app.readAllStandardError();
    const QByteArray logged = dayLog(log.path());
    auto expect = [&](const QStringList& texts, bool onError, bool inLog) {
        for (const QString& text : texts) {
            EXPECT_EQ(errors.contains(text.toUtf8()), onError) << text.toStdString() << "\n" << errors.toStdString();
            EXPECT_EQ(logged.contains(text.toUtf8()), inLog) << text.toStdString() << "\n" << logged.toStdString();
        }
    };
    expect(GetParam().everywhere, true, true);
    expect(GetParam().logOnly, false, true);
    expect(GetParam().nowhere, false, false);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, StartupReport,
    ::testing::Values(
        EarlyEnd{"no_display", VEXMOR3D_PATH, "", -1,
                 {"could not connect to display", "no Qt platform plugin could be initialized"}, {}, {}},
        EarlyEnd{"exit", STARTUP_REPORT_PROBE_PATH, "exit", 3,
                 {"GL context made without multisampling",
                  "Vexmor3D ended before its window was shown; last warning: GL context made without multisampling"},
                 {}, {}},
        EarlyEnd{"throw", STARTUP_REPORT_PROBE_PATH, "throw", -1,
                 {"Vexmor3D stopped before its window was shown: unhandled exception: resources missing"}, {}, {}},
        EarlyEnd{"shown", STARTUP_REPORT_PROBE_PATH, "shown", 0, {"GL context made without multisampling"},
                 {"a warning once the window shows"}, {"before its window was shown"}}),
    [](const ::testing::TestParamInfo<EarlyEnd>& info) { return std::string(info.param.name); });

} // namespace

namespace {

// The exit hook writes its line to the day's log without Qt: a FIFO there
// must neither hold the exit nor take the line.
TEST(StartupReportLog, AnEarlyEndDoesNotWaitOnAFifoInPlaceOfTheLog)
{
    QTemporaryDir log;
    ASSERT_TRUE(log.isValid());
    const QString fifo = QDir(log.path()).filePath(QDate::currentDate().toString("yyyy_MM_dd") + "log.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess app;
    app.setProcessEnvironment(startScriptEnvironment(":0", log.path(), log.path()));
    app.start(STARTUP_REPORT_PROBE_PATH, {"exit"});
    const bool ended = app.waitForFinished(kHangMs);
    if (!ended) {
        app.kill(); // only the probe this test started
        app.waitForFinished(5000);
    }
    ASSERT_TRUE(ended) << "the exit waits on the FIFO";
    EXPECT_EQ(app.exitCode(), 3);
    const QByteArray errors = app.readAllStandardError();
    EXPECT_TRUE(errors.contains("Vexmor3D ended before its window was shown")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("is not a regular file; nothing is logged there")) << errors.toStdString();
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
}

} // namespace

namespace {

// A thread that a destructor stops during exit is gone before the last exit
// handler runs, where LeakSanitizer stops every thread and crashes on one
// half gone; left as Qt leaves it, the probe shows it is still there.
TEST(ExitThreads, AThreadStoppedDuringExitIsGoneBeforeTheLastLook)
{
    OwnXServer x;
    ASSERT_FALSE(x.display().isEmpty()) << "Xvfb did not start";
    auto threadsAtExit = [&](const QString& mode) {
        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", x.display());
        env.insert("QT_QPA_PLATFORM", "xcb");
        // What the software GL driver keeps after the window is not this
        // test's matter (the test programs pin that driver; the probe does not).
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        probe.setProcessEnvironment(env);
        probe.start(EXIT_THREADS_PROBE_PATH, {mode});
        if (!probe.waitForFinished(kHangMs)) {
            probe.kill(); // only the probe this test started
            probe.waitForFinished(5000);
        }
        EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
        return QString::fromLocal8Bit(probe.readAllStandardOutput());
    };
    EXPECT_TRUE(threadsAtExit("plain").contains("thread at exit: EndsDuringExit"));
    EXPECT_EQ(threadsAtExit("waited"), QString());
}

} // namespace
