#pragma once
// The built program on an X server of the test's own, looked at from
// outside as a person in front of it would: its windows, what they show.

#include "hang_ceiling.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSet>
#include <QThread>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

#include <signal.h>
#include <sys/resource.h>

// Xlib's macros (None, Bool, Status ...) clash with Qt's names: after Qt.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace programonx {

// The X server looked at from outside, as a person in front of it would.
using XConnection = std::unique_ptr<Display, int (*)(Display*)>;

inline XConnection connectTo(const QString& display)
{
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; }); // a window gone between two requests
    return XConnection(XOpenDisplay(display.toLocal8Bit().constData()), XCloseDisplay);
}

inline QByteArray textProperty(Display* d, Window w, const char* name)
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
inline Window mappedWindow(Display* d, const QByteArray& title, QRect& geometry)
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
inline QImage screenArea(Display* d, const QRect& area)
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
inline bool askToClose(Display* d, Window window)
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
        if (!m_server.waitForStarted(kHangMs))
            return;
        QByteArray number;
        QElapsedTimer waited;
        waited.start();
        // A busy machine can take seconds to bring the server up: wait for its
        // display number as long as it runs, up to a ceiling only a hang reaches.
        while (!number.contains('\n') && waited.elapsed() < kHangMs && m_server.state() == QProcess::Running) {
            m_server.waitForReadyRead(1000);
            number += m_server.readAllStandardOutput();
        }
        if (number.contains('\n'))
            m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    }
    ~OwnXServer()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(kHangMs)) {
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
inline QProcessEnvironment startScriptEnvironment(const QString& display, const QString& config, const QString& log)
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

inline QByteArray dayLog(const QString& folder)
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
inline bool looksDrawn(const QImage& shot)
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

// Waits while `app` runs until its window titled `title` is mapped and
// drawn; what the screen showed last is in `shot` either way.
struct ShownWindow
{
    Window window = 0;
    QRect geometry;
    QImage shot;
};
inline ShownWindow waitForDrawnWindow(Display* d, QProcess& app, const QByteArray& title, int timeoutMs)
{
    ShownWindow shown;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs && app.state() == QProcess::Running) {
        shown.window = mappedWindow(d, title, shown.geometry);
        if (shown.window) {
            shown.shot = screenArea(d, shown.geometry);
            if (looksDrawn(shown.shot))
                break;
        }
        QThread::msleep(200);
    }
    return shown;
}

// The program, with a limit on the size of any file it writes when one is
// set, SIGXFSZ ignored: a write past it fails with EFBIG, as on a full disk.
class LimitedProcess : public QProcess
{
public:
    qint64 fileSizeLimit = 0;

protected:
    void setupChildProcess() override
    {
        if (fileSizeLimit <= 0)
            return;
        const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
    }
};

// A test that starts the program on an X server of its own, with
// configuration and log folders of its own.
template <class Param>
class ProgramOnOwnX : public ::testing::TestWithParam<Param>
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
    LimitedProcess app;
};

} // namespace programonx
