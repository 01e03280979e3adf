// The built program ended while it checks a large model: a person opens a
// file of 64,000 nested inside-out shells through "Load Model" and the
// chooser, and SIGTERM or a close request comes while the check works out
// which way those shells face. The program must end cleanly at once, not
// when the check is done (that took minutes).

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include "test_meshes.h"
// Xlib's macros after every Qt header.
#include "program_on_x.h"

#include <dlfcn.h>
#include <unistd.h>

namespace {

using namespace programonx;

// The XTEST extension's library comes with the server, its header does not.
struct FakeInput
{
    using Motion = int (*)(Display*, int, int, int, unsigned long);
    using Button = int (*)(Display*, unsigned int, int, unsigned long);
    using Key = int (*)(Display*, unsigned int, int, unsigned long);
    Motion motion = nullptr;
    Button button = nullptr;
    Key key = nullptr;

    FakeInput()
    {
        static void* const xtest = ::dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
        if (!xtest)
            return;
        motion = reinterpret_cast<Motion>(::dlsym(xtest, "XTestFakeMotionEvent"));
        button = reinterpret_cast<Button>(::dlsym(xtest, "XTestFakeButtonEvent"));
        key = reinterpret_cast<Key>(::dlsym(xtest, "XTestFakeKeyEvent"));
    }
    bool ok() const { return motion && button && key; }

    void click(Display* d, const QPoint& at) const
    {
        motion(d, -1, at.x(), at.y(), 0);
        button(d, 1, True, 0);
        button(d, 1, False, 0);
        XSync(d, False);
    }

    // Types `text` as keys of the server's keyboard map, with Shift where
    // the character is on a key's second level; false when a character is
    // on no key.
    bool type(Display* d, const QString& text) const
    {
        int minCode = 0, maxCode = 0, perCode = 0;
        XDisplayKeycodes(d, &minCode, &maxCode);
        KeySym* map = XGetKeyboardMapping(d, KeyCode(minCode), maxCode - minCode + 1, &perCode);
        if (!map)
            return false;
        const KeyCode shift = XKeysymToKeycode(d, XK_Shift_L);
        bool typed = true;
        for (const QChar c : text + QChar('\r')) {
            const KeySym wanted = c == '\r' ? XK_Return : KeySym(c.unicode());
            KeyCode code = 0;
            bool shifted = false;
            for (int k = minCode; k <= maxCode && !code; ++k)
                for (int level = 0; level < std::min(perCode, 2) && !code; ++level)
                    if (map[(k - minCode) * perCode + level] == wanted) {
                        code = KeyCode(k);
                        shifted = level == 1;
                    }
            if (!code || (shifted && !shift)) {
                typed = false;
                break;
            }
            if (shifted)
                key(d, shift, True, 0);
            key(d, code, True, 0);
            key(d, code, False, 0);
            if (shifted)
                key(d, shift, False, 0);
            XSync(d, False);
        }
        XFree(map);
        return typed;
    }
};

// Where "Load Model" stands: the first button of the bar over the 3D view.
const QPoint kLoadModelInWindow(37, 94);

// `depth` concentric cubes, every one wound inside out, the outermost 30 mm
// wide: the model fits the plate.
QVector<VSLTriangle3D> InsideOutNest(int depth)
{
    QVector<VSLTriangle3D> tris;
    tris.reserve(12 * depth);
    const QVector3D centre(0, 0, 15);
    for (int k = 0; k < depth; ++k) {
        const float half = 15.f * float(depth - k) / float(depth);
        for (VSLTriangle3D t : testmesh::Box(centre - QVector3D(half, half, half), centre + QVector3D(half, half, half))) {
            std::swap(t.vertices[1], t.vertices[2]);
            tris.append(t);
        }
    }
    return tris;
}

// Ended by SIGTERM, or by a close request as a window manager sends it.
using EndDuringCheck = ProgramOnOwnX<const char*>;

TEST_P(EndDuringCheck, TheProgramEndsAtOnceWhileItTurnsNestedShells)
{
    const FakeInput input;
    if (!input.ok())
        GTEST_SKIP() << "no XTEST library to click and type with";
    QTemporaryDir models;
    ASSERT_TRUE(models.isValid());
    const QString stl = models.filePath("nested.stl");
    ASSERT_TRUE(testmesh::WriteFile(stl, testmesh::BinaryStl(InsideOutNest(64000))));

    QProcessEnvironment env = startScriptEnvironment(x.display(), config.path(), log.path());
    env.insert("QT_LOGGING_RULES", "vexmor.shells.info=true");
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(models.path());
    app.start(VEXMOR3D_PATH, QStringList());
    ASSERT_TRUE(app.waitForStarted(kHangMs));
    const XConnection display = connectTo(x.display());
    ASSERT_TRUE(display);
    const ShownWindow shown = waitForDrawnWindow(display.get(), app, "Vexmor3D", kHangMs);
    ASSERT_NE(shown.window, 0u) << "no window\n" << app.readAllStandardError().toStdString();

    // "Load Model", as a person clicks it, until the chooser shows.
    QRect chooserAt;
    Window chooser = 0;
    QElapsedTimer waited;
    waited.start();
    for (int clicks = 0; !chooser && waited.elapsed() < kHangMs && app.state() == QProcess::Running;) {
        if (clicks == 0 || waited.elapsed() > clicks * 10000) {
            input.click(display.get(), shown.geometry.topLeft() + kLoadModelInWindow);
            ++clicks;
        }
        QThread::msleep(100);
        chooser = mappedWindow(display.get(), "Open Model", chooserAt);
    }
    ASSERT_NE(chooser, 0u) << "the chooser did not open\n" << app.readAllStandardError().toStdString();
    for (waited.restart(); waited.elapsed() < kHangMs && !looksDrawn(screenArea(display.get(), chooserAt));)
        QThread::msleep(100);
    // The file's whole path, into the name field that has the focus.
    ASSERT_TRUE(input.type(display.get(), stl)) << "a character of " << stl.toStdString() << " is on no key";

    // The shells are being turned once the log says so.
    const QByteArray checking = QFile::encodeName(stl) + ": checking which way its shells face";
    for (waited.restart(); waited.elapsed() < kHangMs && app.state() == QProcess::Running && !dayLog(log.path()).contains(checking);)
        QThread::msleep(50);
    ASSERT_TRUE(dayLog(log.path()).contains(checking)) << dayLog(log.path()).toStdString();
    const bool sigterm = QByteArray(GetParam()) == "sigterm";
    if (sigterm)
        ASSERT_EQ(::kill(static_cast<pid_t>(app.processId()), SIGTERM), 0);
    else
        ASSERT_TRUE(askToClose(display.get(), shown.window));

    ASSERT_TRUE(app.waitForFinished(60000)) << GetParam() << " did not end it during the check";
    const QByteArray errors = app.readAllStandardError();
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << errors.toStdString();
    EXPECT_EQ(app.exitCode(), 0) << errors.toStdString();
    EXPECT_EQ(dayLog(log.path()).contains("Termination signal received"), sigterm);
}

INSTANTIATE_TEST_SUITE_P(Endings, EndDuringCheck, ::testing::Values("sigterm", "close"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace
