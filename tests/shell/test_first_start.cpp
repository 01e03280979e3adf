// The built program started as scripts/start.sh starts it: no web-engine
// sandbox variable in its environment, on an X server of its own. Its window
// must map and be drawn, as root too; it ends cleanly when closed or sent
// SIGTERM; and a start that fails says why on standard error and in the log.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

// Xlib's macros (None, Bool, Status ...) clash with Qt's names: after Qt.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// The X server looked at from outside, as a person in front of it would.
using XConnection = std::unique_ptr<Display, int (*)(Display*)>;

XConnection connectTo(const QString& display)
{
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; }); // a window gone between two requests
    return XConnection(XOpenDisplay(display.toLocal8Bit().constData()), XCloseDisplay);
}

QByteArray textProperty(Display* d, Window w, const char* name)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    QByteArray out;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1024, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success
        && data && format == 8)
        out = QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(count));
    if (data)
        XFree(data);
    return out;
}

// The mapped (viewable) top-level window with this title and where it
// stands on the screen, or 0.
Window mappedWindow(Display* d, const QByteArray& title, QRect& geometry)
{
    Window root = DefaultRootWindow(d), parent = 0, found = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable
            && (textProperty(d, children[i], "_NET_WM_NAME") == title || textProperty(d, children[i], "WM_NAME") == title)) {
            found = children[i];
            geometry = QRect(a.x, a.y, a.width, a.height);
        }
    }
    if (children)
        XFree(children);
    return found;
}

// What the screen shows inside `area`.
QImage screenArea(Display* d, const QRect& area)
{
    XImage* shot = area.isEmpty() ? nullptr
                                  : XGetImage(d, DefaultRootWindow(d), area.x(), area.y(), unsigned(area.width()),
                                              unsigned(area.height()), AllPlanes, ZPixmap);
    if (!shot)
        return QImage();
    QImage out(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x) {
            const unsigned long p = XGetPixel(shot, x, y);
            out.setPixel(x, y, qRgb(int((p & shot->red_mask) >> 16), int((p & shot->green_mask) >> 8),
                                    int(p & shot->blue_mask)));
        }
    XDestroyImage(shot);
    return out;
}

// WM_DELETE_WINDOW, as a window manager's close button sends it.
bool askToClose(Display* d, Window window)
{
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(d, window, False, NoEventMask, &e) != 0;
    XFlush(d);
    return sent;
}

// An Xvfb on a display number it picks itself; stopped by its pid.
class OwnXServer
{
public:
    OwnXServer()
    {
        m_server.setProgram(QStringLiteral("Xvfb"));
        m_server.setArguments({"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1920x1080x24"});
        m_server.start();
        if (!m_server.waitForStarted(10000))
            return;
        QByteArray number;
        QElapsedTimer waited;
        waited.start();
        while (!number.contains('\n') && waited.elapsed() < 20000 && m_server.waitForReadyRead(1000))
            number += m_server.readAllStandardOutput();
        if (number.contains('\n'))
            m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    }
    ~OwnXServer()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(10000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

// The environment the start script hands on, minus what only the tests set,
// with the test's own configuration and log folders.
QProcessEnvironment startScriptEnvironment(const QString& display, const QString& config, const QString& log)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QTWEBENGINE_DISABLE_SANDBOX", "QTWEBENGINE_CHROMIUM_FLAGS", "QT_QPA_PLATFORM"})
        env.remove(name);
    // Sanitizer runs: Mesa's software driver is unloaded before the leak
    // check, so what it keeps till exit has no module a suppression could
    // name; the leak report stays, it only no longer sets the exit code.
    if (env.contains("LSAN_OPTIONS"))
        env.insert("LSAN_OPTIONS", env.value("LSAN_OPTIONS") + ":exitcode=0");
    env.insert("DISPLAY", display);
    env.insert("VEXMOR_CONFIG_DIR", config);
    env.insert("VEXMOR_LOG_DIR", log);
    return env;
}

QByteArray dayLog(const QString& folder)
{
    QByteArray all;
    for (const QString& name : QDir(folder).entryList({"*log.txt"}, QDir::Files)) {
        QFile f(QDir(folder).filePath(name));
        if (f.open(QIODevice::ReadOnly))
            all += f.readAll();
    }
    return all;
}

// A window that is up but not yet painted is one colour (mostly black).
bool looksDrawn(const QImage& shot)
{
    if (shot.isNull())
        return false;
    QSet<QRgb> colours;
    int black = 0, seen = 0;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3) {
            const QRgb p = shot.pixel(x, y);
            colours.insert(p);
            black += qGray(p) < 8;
            ++seen;
        }
    return colours.size() >= 64 && black * 2 < seen;
}

// Ended by a close request as a window manager sends it, or by SIGTERM.
class FirstStart : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid() && log.isValid());
        ASSERT_FALSE(x.display().isEmpty()) << "Xvfb did not start";
    }
    void TearDown() override
    {
        // Only the program this test started, by its pid.
        if (app.state() != QProcess::NotRunning) {
            app.kill();
            app.waitForFinished(10000);
        }
    }

    OwnXServer x;
    QTemporaryDir config, log;
    QProcess app;
};

TEST_P(FirstStart, WindowMapsIsDrawnAndEndsCleanly)
{
    app.setProcessEnvironment(startScriptEnvironment(x.display(), config.path(), log.path()));
    app.start(VEXMOR3D_PATH, QStringList());
    ASSERT_TRUE(app.waitForStarted(10000));

    const XConnection display = connectTo(x.display());
    ASSERT_TRUE(display);
    Window window = 0;
    QRect geometry;
    QImage shot;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 90000 && app.state() == QProcess::Running) {
        window = mappedWindow(display.get(), "Vexmor3D", geometry);
        if (window) {
            shot = screenArea(display.get(), geometry);
            if (looksDrawn(shot))
                break;
        }
        QThread::msleep(200);
    }
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
    ASSERT_TRUE(app.waitForFinished(30000)) << "still running";
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
    ASSERT_TRUE(app.waitForFinished(60000));
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
