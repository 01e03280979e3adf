// The built program started on configuration folders a hostile machine may
// hand it: a full disk, a FIFO in place of each file it reads, the log
// folder a regular file, a byte-order mark, a NUL in a comment. Each start
// must show the window, end on SIGTERM, say what it could not use, and
// leave every byte of the user's files as it was (or, where it writes, the
// user's lines around its own).

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#include <dlfcn.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_meshes.h"
// Brings in Xlib, whose macros clash with Qt's names: after every Qt header.
#include "program_on_x.h"

namespace {

using namespace programonx;

const QByteArray kMachineNoLanguage = "; printer notes: the tray is the blue one, keep at 25 degrees\n"
                                      "[MachineConfig]\n"
                                      "Machine=Pellar10\n"
                                      "size=0\n"
                                      "\n"
                                      "[MyOwnSection]\n"
                                      "owner=the user, who wrote this by hand\n"
                                      "; and a comment the program must not lose\n";
const QByteArray kLightMissingKeys = "; light settings measured on 2026-11-02, do not change\n"
                                     "[LightConfig]\n"
                                     "1\\longflip=true\n"
                                     "1\\light_pwm=42\n"
                                     "size=1\n"
                                     "\n"
                                     "[Workshop]\n"
                                     "bench=left window, second shelf, near the resin cupboard\n";
const QByteArray kBom = "\xEF\xBB\xBF";
// The file chooser's state as Qt wrote it on an earlier run, with a line of
// the user's.
const QByteArray kQtStateOfTheUser = "; kept by hand\n"
                                     "[FileDialog]\n"
                                     "history=file:///home/user/models\n"
                                     "lastVisited=file:///home/user/models\n"
                                     "viewMode=Detail\n";

// The folder made a small tmpfs of its own, in a mount namespace of this
// process, so nothing outside sees it; false where the test may not mount.
bool mountSmallTmpfs(const QString& folder)
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
           && ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") == 0;
}

// Fills the file system holding `folder` up to its last byte.
void fillUp(const QString& folder)
{
    QFile filler(QDir(folder).filePath("filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(512, 'f');
    while (filler.write(block) > 0) {
    }
    for (const QByteArray byte(1, 'f'); filler.write(byte) > 0;) {
    }
}

bool makeFifo(const QString& path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }

bool isFifo(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

const auto writeBytes = testmesh::WriteFile;
const auto readBytes = testmesh::ReadFile;

// Every regular file under `folder` with its bytes; FIFOs as "<fifo>", a
// link as where it leads followed by the bytes found there.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(folder).relativeFilePath(path);
        const QByteArray link = QFileInfo(path).isSymLink()
                                    ? "<link to " + QFile::encodeName(QFileInfo(path).symLinkTarget()) + ">"
                                    : QByteArray();
        files.insert(name, link + (isFifo(path) ? QByteArray("<fifo>") : readBytes(path)));
    }
    return files;
}

// A click as a person makes it, through the X server's XTEST extension (its
// library is installed with the server, its header is not).
bool clickAt(Display* d, const QPoint& at)
{
    static void* const xtest = ::dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!xtest)
        return false;
    using Motion = int (*)(Display*, int, int, int, unsigned long);
    using Button = int (*)(Display*, unsigned int, int, unsigned long);
    const auto motion = reinterpret_cast<Motion>(::dlsym(xtest, "XTestFakeMotionEvent"));
    const auto button = reinterpret_cast<Button>(::dlsym(xtest, "XTestFakeButtonEvent"));
    if (!motion || !button)
        return false;
    motion(d, -1, at.x(), at.y(), 0);
    button(d, 1, True, 0);
    button(d, 1, False, 0);
    XSync(d, False);
    return true;
}

// Asks every window over `main` (the notice boxes) to close, as a person
// closes them; false when there was none.
bool closeWindowsOver(Display* d, Window main)
{
    Window root = DefaultRootWindow(d), parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &count))
        return false;
    bool closed = false;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (children[i] != main && XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable
            && textProperty(d, children[i], "WM_NAME") != "Open Model")
            closed = askToClose(d, children[i]) || closed;
    }
    if (children)
        XFree(children);
    return closed;
}

// Where "Load Model" stands: the first button of the bar over the 3D view,
// under the title bar.
const QPoint kLoadModelInWindow(37, 94);

struct Folder
{
    const char* name;
    // Fills the configuration folder (and may point the log elsewhere).
    std::function<void(const QString& config, QString& logDir)> seed;
    qint64 fileSizeLimit; // 0: none; -1: the folder a small tmpfs, filled up
    QStringList said;     // on standard error
    QStringList notSaid;
    // Files the program may write, with what they must hold afterwards
    // (a check); every other file that was there stays byte for byte.
    QMap<QString, std::function<void(const QByteArray& after)>> written;
    // "Load Model" clicked once the window shows: the chooser must open and
    // close again on a cancel.
    bool openChooser = false;
    QStringList logged; // in the day's log (what is said after the window shows)
};

void PrintTo(const Folder& f, std::ostream* os) { *os << f.name; }

class HostileFolder : public ProgramOnOwnX<Folder>
{
protected:
    void TearDown() override
    {
        ProgramOnOwnX<Folder>::TearDown();
        if (mounted)
            ::umount2(QFile::encodeName(config.path()).constData(), MNT_DETACH);
    }

    bool mounted = false;
};

TEST_P(HostileFolder, TheProgramStartsSaysWhyAndKeepsEveryByte)
{
    const Folder& row = GetParam();
    QString logDir = log.path();
    if (row.fileSizeLimit < 0 && !(mounted = mountSmallTmpfs(config.path())))
        GTEST_SKIP() << "no tmpfs may be mounted here; the file-size limit stands for a full disk";
    row.seed(config.path(), logDir);
    if (row.fileSizeLimit < 0)
        fillUp(config.path());
    const QMap<QString, QByteArray> before = snapshot(config.path());
    // Files next to the log (the outside end of a link) stay as they were.
    const auto besideLog = [&] {
        QMap<QString, QByteArray> files;
        if (QFileInfo(logDir).isDir() && logDir != config.path())
            files = snapshot(logDir);
        for (const QString& name : files.keys())
            if (name.endsWith("log.txt"))
                files.remove(name);
        return files;
    };
    const QMap<QString, QByteArray> outsideBefore = besideLog();
    const QMap<QString, QByteArray> logBefore = QFileInfo(logDir).isFile() ? QMap<QString, QByteArray>{{"", readBytes(logDir)}}
                                                                           : QMap<QString, QByteArray>{};

    app.fileSizeLimit = row.fileSizeLimit;
    app.setProcessEnvironment(startScriptEnvironment(x.display(), config.path(), logDir));
    app.start(VEXMOR3D_PATH, QStringList());
    ASSERT_TRUE(app.waitForStarted(10000));
    const XConnection display = connectTo(x.display());
    ASSERT_TRUE(display);
    const ShownWindow shown = waitForDrawnWindow(display.get(), app, "Vexmor3D", 90000);
    // What the user sees a moment later: the notice over the window.
    QThread::msleep(1500);
    screenArea(display.get(), QRect(0, 0, 1920, 1080)).save(QString("hostile_folder_%1.png").arg(row.name));
    ASSERT_EQ(app.state(), QProcess::Running)
        << "exit code " << app.exitCode() << "\n" << app.readAllStandardError().toStdString();
    ASSERT_NE(shown.window, 0u) << "no window; the start hangs\n" << app.readAllStandardError().toStdString();

    if (row.openChooser) {
        // As a person would: "Load Model", then a cancel.
        QRect chooserAt;
        Window chooser = 0;
        QElapsedTimer waited;
        waited.start();
        for (int clicks = 0; !chooser && waited.elapsed() < 60000 && app.state() == QProcess::Running;) {
            if (closeWindowsOver(display.get(), shown.window)) {
                // The box first, as a person reads and closes it.
            } else if (clicks == 0 || waited.elapsed() > clicks * 10000) {
                ASSERT_TRUE(clickAt(display.get(), shown.geometry.topLeft() + kLoadModelInWindow)) << "no XTEST";
                ++clicks;
            }
            QThread::msleep(200);
            chooser = mappedWindow(display.get(), "Open Model", chooserAt);
        }
        for (waited.restart(); chooser && waited.elapsed() < 20000 && !looksDrawn(screenArea(display.get(), chooserAt));)
            QThread::msleep(200);
        screenArea(display.get(), QRect(0, 0, 1920, 1080)).save(QString("hostile_folder_%1_chooser.png").arg(row.name));
        ASSERT_NE(chooser, 0u) << "the chooser did not open\n" << app.readAllStandardError().toStdString();
        ASSERT_TRUE(askToClose(display.get(), chooser));
        QRect ignored;
        waited.restart();
        while (mappedWindow(display.get(), "Open Model", ignored) && waited.elapsed() < 30000)
            QThread::msleep(200);
        ASSERT_EQ(mappedWindow(display.get(), "Open Model", ignored), 0u) << "the chooser did not close";
    }

    // SIGTERM ends it, as it ends a healthy start.
    ASSERT_EQ(::kill(static_cast<pid_t>(app.processId()), SIGTERM), 0);
    ASSERT_TRUE(app.waitForFinished(30000)) << "SIGTERM did not end it";
    const QByteArray errors = app.readAllStandardError();
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << errors.toStdString();

    for (const QString& text : row.said) {
        EXPECT_TRUE(errors.contains(text.toUtf8())) << text.toStdString() << "\n--- stderr:\n" << errors.toStdString();
    }
    for (const QString& text : row.notSaid) {
        EXPECT_FALSE(errors.contains(text.toUtf8())) << text.toStdString() << "\n--- stderr:\n" << errors.toStdString();
    }

    const QMap<QString, QByteArray> after = snapshot(config.path());
    for (auto it = before.begin(); it != before.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        ASSERT_TRUE(after.contains(it.key())) << "gone";
        if (row.written.contains(it.key()))
            row.written[it.key()](after[it.key()]);
        else
            EXPECT_EQ(after[it.key()], it.value());
    }
    // Nothing the program made is left empty or half written.
    for (auto it = after.begin(); it != after.end(); ++it) {
        if (!before.contains(it.key()) && !it.key().endsWith("log.txt")) {
            EXPECT_FALSE(it.value().isEmpty()) << it.key().toStdString() << " made empty";
        }
    }
    if (!logBefore.isEmpty()) {
        EXPECT_EQ(readBytes(logDir), logBefore.first()) << "the file named as log folder";
    }
    EXPECT_EQ(besideLog(), outsideBefore) << "a file outside the configuration folder changed";
    const QByteArray logged = dayLog(logDir);
    for (const QString& text : row.logged) {
        EXPECT_TRUE(logged.contains(text.toUtf8())) << text.toStdString() << "\n--- log:\n" << logged.toStdString();
    }

}

// The machine file as the program completes it: the user's lines as they
// were, the language added once, inside the one section.
std::function<void(const QByteArray&)> completedMachineFile(const QByteArray& prefix)
{
    return [prefix](const QByteArray& after) {
        EXPECT_TRUE(after.startsWith(prefix + "[MachineConfig]\n")) << after.toStdString();
        EXPECT_EQ(after.count("[MachineConfig]"), 1) << after.toStdString();
        EXPECT_TRUE(after.contains("[MachineConfig]\nMachine=Pellar10\nsize=0\nLanguage=English\n"))
            << after.toStdString();
        EXPECT_TRUE(after.contains("[MyOwnSection]\nowner=the user, who wrote this by hand\n"
                                   "; and a comment the program must not lose\n"))
            << after.toStdString();
    };
}

// The user's printer and light files, each missing keys the start writes,
// and support presets the start fills in.
void seedUsersFiles(const QString& config, QString&)
{
    ASSERT_TRUE(writeBytes(QDir(config).filePath("VexmorMachine.ini"), kMachineNoLanguage));
    ASSERT_TRUE(writeBytes(QDir(config).filePath("Light.ini"), kLightMissingKeys));
    ASSERT_TRUE(QDir(config).mkpath("Unknown Organization"));
    ASSERT_TRUE(writeBytes(QDir(config).filePath("Unknown Organization/vexmor3d.conf"),
                           "[USERSUPPORTPARAMS]\nADDPRESETWEIGHT=HEAVY\nNOTE=tuned by hand for the grey resin\n"));
}

// Each file the program reads at start, in turn a FIFO.
Folder fifoInPlaceOf(const char* name, const char* file)
{
    return Folder{name,
                  [file](const QString& config, QString&) {
                      if (QString(file).contains('/'))
                          QDir(config).mkpath(QFileInfo(QDir(config).filePath(file)).path());
                      ASSERT_TRUE(makeFifo(QDir(config).filePath(file)));
                  },
                  0,
                  {QString(file).section('/', -1) + " is not a regular file"},
                  {},
                  {}};
}

INSTANTIATE_TEST_SUITE_P(
    Folders, HostileFolder,
    ::testing::Values(
        Folder{"full_disk",
               seedUsersFiles,
               200,
               {"VexmorMachine.ini: The file could not be written (File too large)",
                "Light.ini: The file could not be written (File too large)", "Unknown Organization/vexmor3d.conf",
                "left as it was"},
               {},
               {}},
        Folder{"full_tmpfs",
               seedUsersFiles,
               -1,
               {"VexmorMachine.ini: No space left on the device", "Light.ini: No space left on the device",
                "Unknown Organization/vexmor3d.conf: No space left on the device", "left as it was"},
               {},
               {}},
        // Qt's own file of the folder, which the chooser reads and writes.
        Folder{"qt_state_fifo",
               [](const QString& config, QString&) { ASSERT_TRUE(makeFifo(QDir(config).filePath("QtProject.conf"))); },
               0,
               {"QtProject.conf is not a regular file"},
               {},
               {},
               true},
        Folder{"qt_state_link_out",
               [](const QString& config, QString& logDir) {
                   const QString outside = QDir(logDir).filePath("mine.conf");
                   ASSERT_TRUE(writeBytes(outside, kQtStateOfTheUser));
                   ASSERT_TRUE(QFile::link(outside, QDir(config).filePath("QtProject.conf")));
               },
               0,
               {"QtProject.conf is a link to", "outside the folder"},
               {},
               {},
               true},
        Folder{"qt_state_dangling_link",
               [](const QString& config, QString& logDir) {
                   ASSERT_TRUE(QFile::link(QDir(logDir).filePath("gone/QtProject.conf"),
                                           QDir(config).filePath("QtProject.conf")));
                   ASSERT_TRUE(QDir(logDir).mkpath("gone"));
               },
               0,
               {"QtProject.conf is a link to", "which does not exist"},
               {},
               {},
               true},
        Folder{"qt_state_full_tmpfs",
               [](const QString& config, QString& logDir) {
                   seedUsersFiles(config, logDir);
                   ASSERT_TRUE(writeBytes(QDir(config).filePath("QtProject.conf"), kQtStateOfTheUser));
               },
               -1,
               {"Unknown Organization/vexmor3d.conf: No space left on the device"},
               {},
               {},
               true,
               {"QtProject.conf: No space left on the device", "left as it was"}},
        fifoInPlaceOf("fifo_machine", "VexmorMachine.ini"), fifoInPlaceOf("fifo_light", "Light.ini"),
        fifoInPlaceOf("fifo_recipes", "Pellar10Recipe.ini"),
        fifoInPlaceOf("fifo_plain_settings", "Unknown Organization/vexmor3d.conf"),
        Folder{"fifo_day_log",
               [](const QString& config, QString& logDir) {
                   logDir = config;
                   ASSERT_TRUE(makeFifo(QDir(config).filePath(QDate::currentDate().toString("yyyy_MM_dd") + "log.txt")));
               },
               0,
               {"log.txt is not a regular file; nothing is logged there"},
               {},
               {}},
        Folder{"log_folder_a_file",
               [](const QString& config, QString& logDir) {
                   logDir = QDir(config).filePath("notes.txt");
                   ASSERT_TRUE(writeBytes(logDir, "my own notes, not a folder\n"));
               },
               0,
               {"The daily log", "notes.txt/", "nothing is logged there"},
               {},
               {}},
        Folder{"byte_order_mark",
               [](const QString& config, QString&) {
                   // The mark right before the first section.
                   const QByteArray text = kMachineNoLanguage.mid(kMachineNoLanguage.indexOf('['));
                   ASSERT_TRUE(writeBytes(QDir(config).filePath("VexmorMachine.ini"), kBom + text));
               },
               0,
               {},
               {"could not be read", "could not be saved"},
               {{"VexmorMachine.ini", completedMachineFile(kBom)}}},
        Folder{"nul_in_a_comment",
               [](const QString& config, QString&) {
                   QByteArray text = kMachineNoLanguage;
                   text.replace("; and a comment", QByteArray("; and a\0 comment", 16));
                   text.replace("size=0\n", "size=0\nLanguage=English\n");
                   ASSERT_TRUE(writeBytes(QDir(config).filePath("VexmorMachine.ini"), text));
               },
               0,
               {},
               {"could not be read", "unreadable"},
               {}}),
    [](const ::testing::TestParamInfo<Folder>& info) { return std::string(info.param.name); });

} // namespace
