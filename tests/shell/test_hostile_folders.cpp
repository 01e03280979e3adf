// The built program started on configuration folders a hostile machine may
// hand it: a full disk, a FIFO in place of each file it reads, the log
// folder a regular file, a byte-order mark, a NUL in a comment, lock files
// of every kind beside the files QSettings writes, Qt's logging file led
// out of the folder or too large to read. Each start
// must show the window, end on SIGTERM, say what it could not use, and
// leave every byte of the user's files as it was (or, where it writes, the
// user's lines around its own). Qt's list of the user's folders
// ("user-dirs.dirs") a FIFO or huge, lock files left by a crash or too large
// to be a lock, the organisation's file refused with the program's own file
// kept across two starts; each notice in the interface's language.

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include <dlfcn.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "hang_ceiling.h"
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

// A file far larger than any settings file, without a byte on the disk.
constexpr qint64 kHugeFileSize = 3LL << 30;
bool makeSparse(const QString& path, qint64 size)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.resize(size);
}

// A Unix socket's file, left when the socket is closed.
bool makeSocket(const QString& path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

// Every regular file under `folder` with its bytes; FIFOs as "<fifo>", a
// link as where it leads followed by the bytes found there, a file too
// large to hold in memory as its size and first bytes.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(folder).relativeFilePath(path);
        const QFileInfo info(path);
        const QByteArray link =
            info.isSymLink() ? "<link to " + QFile::encodeName(info.symLinkTarget()) + ">" : QByteArray();
        QByteArray bytes;
        if (isFifo(path)) {
            bytes = "<fifo>";
        } else if (info.size() > (64 << 20)) {
            QFile f(path);
            bytes = "<" + QByteArray::number(info.size()) + " bytes>" + (f.open(QIODevice::ReadOnly) ? f.read(1 << 16) : "");
        } else {
            bytes = readBytes(path);
        }
        files.insert(name, link + bytes);
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

// As a person would: any box over the window closed, "Load Model", then a
// cancel; the chooser must open and close again.
void openAndCancelChooser(Display* d, QProcess& app, const ShownWindow& shown, const QString& png)
{
    QRect chooserAt;
    Window chooser = 0;
    QElapsedTimer waited;
    waited.start();
    for (int clicks = 0; !chooser && waited.elapsed() < kHangMs && app.state() == QProcess::Running;) {
        if (closeWindowsOver(d, shown.window)) {
            // The box first, as a person reads and closes it.
        } else if (clicks == 0 || waited.elapsed() > clicks * 10000) {
            ASSERT_TRUE(clickAt(d, shown.geometry.topLeft() + kLoadModelInWindow)) << "no XTEST";
            ++clicks;
        }
        QThread::msleep(200);
        chooser = mappedWindow(d, "Open Model", chooserAt);
    }
    for (waited.restart(); chooser && waited.elapsed() < kHangMs && !looksDrawn(screenArea(d, chooserAt));)
        QThread::msleep(200);
    screenArea(d, QRect(0, 0, 1920, 1080)).save(png);
    ASSERT_NE(chooser, 0u) << "the chooser did not open\n" << app.readAllStandardError().toStdString();
    ASSERT_TRUE(askToClose(d, chooser));
    QRect ignored;
    waited.restart();
    while (mappedWindow(d, "Open Model", ignored) && waited.elapsed() < kHangMs)
        QThread::msleep(200);
    ASSERT_EQ(mappedWindow(d, "Open Model", ignored), 0u) << "the chooser did not close";
}

// SIGTERM ends the program as it ends a healthy start: false when it did
// not; what it said on standard error in `errors`.
bool endBySigterm(QProcess& app, QByteArray& errors)
{
    if (::kill(static_cast<pid_t>(app.processId()), SIGTERM) != 0)
        return false;
    const bool ended = app.waitForFinished(kHangMs);
    errors = app.readAllStandardError();
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << errors.toStdString();
    return ended;
}

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
    QStringList logged = {}; // in the day's log (what is said after the window shows)
    // The folder the user's standard configuration location (no
    // VEXMOR_CONFIG_DIR), where Qt also looks for its own files.
    bool standardLocation = false;
    // Files the program may take away (a lock left by no running program).
    QStringList mayGo = {};
    // The user's configuration location, where Qt looks for its own files,
    // the folder "home" beside the log, with VEXMOR_CONFIG_DIR set.
    bool configHomeBesideLog = false;
    // What the start told is shown in a box over the window.
    bool noticeShown = false;
};

// A program's most memory at any moment so far, in KiB.
qint64 peakMemoryKib(qint64 pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}
// No start comes near this (a lock or list read whole took 2 to 3 GB).
constexpr qint64 kPeakMemoryCeilingKib = 1536 * 1024;

// A window mapped over `main` (a notice box), besides the chooser.
bool windowOver(Display* d, Window main)
{
    Window root = DefaultRootWindow(d), parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &count))
        return false;
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes a;
        found = children[i] != main && XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable
                && textProperty(d, children[i], "WM_NAME") != "Open Model";
    }
    if (children)
        XFree(children);
    return found;
}

// A lock file held, as a running program holds it, by this test.
std::unique_ptr<QLockFile> heldLock;

void PrintTo(const Folder& f, std::ostream* os) { *os << f.name; }

class HostileFolder : public ProgramOnOwnX<Folder>
{
protected:
    void TearDown() override
    {
        ProgramOnOwnX<Folder>::TearDown();
        heldLock.reset();
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
    if (row.configHomeBesideLog) {
        ASSERT_TRUE(QDir(logDir).mkpath("home"));
    }
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
    QProcessEnvironment env = startScriptEnvironment(x.display(), config.path(), logDir);
    if (row.standardLocation) {
        env.remove("VEXMOR_CONFIG_DIR");
        env.insert("XDG_CONFIG_HOME", config.path());
    }
    if (row.configHomeBesideLog)
        env.insert("XDG_CONFIG_HOME", QDir(logDir).filePath("home"));
    app.setProcessEnvironment(env);
    app.start(VEXMOR3D_PATH, QStringList());
    ASSERT_TRUE(app.waitForStarted(kHangMs));
    const XConnection display = connectTo(x.display());
    ASSERT_TRUE(display);
    const ShownWindow shown = waitForDrawnWindow(display.get(), app, "Vexmor3D", kHangMs);
    bool noticeSeen = false;
    if (row.noticeShown && shown.window) {
        QElapsedTimer waited;
        waited.start();
        while (!(noticeSeen = windowOver(display.get(), shown.window)) && waited.elapsed() < kHangMs
               && app.state() == QProcess::Running)
            QThread::msleep(100);
    }
    // What the user sees a moment later: the notice over the window.
    QThread::msleep(1500);
    screenArea(display.get(), QRect(0, 0, 1920, 1080)).save(QString("hostile_folder_%1.png").arg(row.name));
    ASSERT_EQ(app.state(), QProcess::Running)
        << "exit code " << app.exitCode() << "\n" << app.readAllStandardError().toStdString();
    ASSERT_NE(shown.window, 0u) << "no window; the start hangs\n" << app.readAllStandardError().toStdString();
    EXPECT_EQ(noticeSeen, row.noticeShown) << "the notice box over the window";

    if (row.openChooser) {
        openAndCancelChooser(display.get(), app, shown, QString("hostile_folder_%1_chooser.png").arg(row.name));
        if (HasFatalFailure())
            return;
    }
    // Nothing was read whole into memory.
    const qint64 peak = peakMemoryKib(app.processId());
    RecordProperty("peak_memory_kib", QString::number(peak).toStdString());
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, kPeakMemoryCeilingKib);

    // SIGTERM ends it, as it ends a healthy start.
    QByteArray errors;
    ASSERT_TRUE(endBySigterm(app, errors)) << "SIGTERM did not end it";

    for (const QString& text : row.said) {
        EXPECT_TRUE(errors.contains(text.toUtf8())) << text.toStdString() << "\n--- stderr:\n" << errors.toStdString();
    }
    for (const QString& text : row.notSaid) {
        EXPECT_FALSE(errors.contains(text.toUtf8())) << text.toStdString() << "\n--- stderr:\n" << errors.toStdString();
    }

    const QMap<QString, QByteArray> after = snapshot(config.path());
    for (auto it = before.begin(); it != before.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        if (row.mayGo.contains(it.key()) && !after.contains(it.key()))
            continue;
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

// Each kind of file a lock file may be that QSettings must not open.
enum class LockKind { Fifo, Folder, Socket, DanglingLink, LinkOut, Held, Huge, Empty, NoNumber };

// The lock file QSettings writes `file` through, made of `kind`: the window
// shows, the chooser opens and closes, SIGTERM ends it, the user is told,
// and the file and what the lock leads to stay as they were.
Folder lockBeside(const char* name, const char* file, LockKind kind, QStringList said)
{
    const auto seed = [file, kind](const QString& config, QString& logDir) {
        const QString lock = QDir(config).filePath(QString(file) + ".lock");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(lock).path()));
        // The user's own values beside it, which the program may read.
        ASSERT_TRUE(writeBytes(QDir(config).filePath(file), QByteArray(file).endsWith("QtProject.conf")
                                                               ? kQtStateOfTheUser
                                                               : QByteArray("[USERSUPPORTPARAMS]\nADDPRESETWEIGHT=HEAVY\n")));
        switch (kind) {
        case LockKind::Fifo: ASSERT_TRUE(makeFifo(lock)); break;
        case LockKind::Folder:
            ASSERT_TRUE(QDir().mkpath(lock));
            ASSERT_TRUE(writeBytes(QDir(lock).filePath("note.txt"), "a folder of the user's\n"));
            break;
        case LockKind::Socket: ASSERT_TRUE(makeSocket(lock)); break;
        case LockKind::DanglingLink:
            ASSERT_TRUE(QDir(logDir).mkpath("gone"));
            ASSERT_TRUE(QFile::link(QDir(logDir).filePath("gone/held.lock"), lock));
            break;
        case LockKind::LinkOut: {
            const QString outside = QDir(logDir).filePath("system.lock");
            ASSERT_TRUE(writeBytes(outside, "1\nsystem\nhost\n"));
            ASSERT_TRUE(QFile::link(outside, lock));
            break;
        }
        case LockKind::Held:
            heldLock = std::make_unique<QLockFile>(lock);
            ASSERT_TRUE(heldLock->tryLock(0));
            break;
        case LockKind::Huge: ASSERT_TRUE(makeSparse(lock, kHugeFileSize)); break;
        // Left by a program that crashed, or by a full disk.
        case LockKind::Empty: ASSERT_TRUE(writeBytes(lock, "")); break;
        case LockKind::NoNumber: ASSERT_TRUE(writeBytes(lock, "\nvexmor3d\nworkshop-pc\n")); break;
        }
    };
    return Folder{name, seed, 0, said, {}, {}, true, {}};
}

// A lock no running program holds: taken over, the file written (the
// presets at a first start, the chooser's state when it closes), nothing
// said of a lock held.
Folder lockLeftBehind(const char* name, const char* file, LockKind kind)
{
    Folder row = lockBeside(name, file, kind, {});
    row.notSaid = QStringList{"held by another program", "read but not written", QString(file) + ".lock"};
    row.mayGo = QStringList{QString(file) + ".lock"};
    const QByteArray written = QByteArray(file).endsWith("QtProject.conf") ? "qtVersion=" : "SUPPORTPARAMSLOADED=true";
    row.written.insert(file, [written](const QByteArray& after) {
        EXPECT_TRUE(after.contains(written)) << after.toStdString();
    });
    return row;
}

// Where Qt looks for its own files: the configuration folder itself, or
// (with VEXMOR_CONFIG_DIR set) the folder "home" beside the log.
enum class ConfigHome { TheFolder, BesideLog };
QString configHomeOf(ConfigHome home, const QString& config, const QString& logDir)
{
    return home == ConfigHome::TheFolder ? config : QDir(logDir).filePath("home");
}
void placeConfigHome(Folder& row, ConfigHome home)
{
    row.standardLocation = home == ConfigHome::TheFolder;
    row.configHomeBesideLog = home == ConfigHome::BesideLog;
}

// Qt's logging file (or its folder) in the folder, with rules that would
// silence every message, led out of the folder or too large.
enum class LoggingKind { LinkOut, FolderLinkOut, Huge, LinkToHuge };
Folder qtLoggingFile(const char* name, LoggingKind kind, QStringList said, ConfigHome home = ConfigHome::TheFolder)
{
    const auto seed = [kind, home](const QString& folder, QString& logDir) {
        const QString config = configHomeOf(home, folder, logDir);
        const QByteArray silence = "[Rules]\n*=false\n";
        const QString inFolder = QDir(config).filePath("QtProject/qtlogging.ini");
        const QString outside = QDir(logDir).filePath("QtProject/qtlogging.ini");
        ASSERT_TRUE(QDir(logDir).mkpath("QtProject"));
        if (kind != LoggingKind::FolderLinkOut) {
            ASSERT_TRUE(QDir(config).mkpath("QtProject"));
        }
        switch (kind) {
        case LoggingKind::LinkOut:
            ASSERT_TRUE(writeBytes(outside, silence));
            ASSERT_TRUE(QFile::link(outside, inFolder));
            break;
        case LoggingKind::FolderLinkOut:
            ASSERT_TRUE(writeBytes(outside, silence));
            ASSERT_TRUE(QFile::link(QDir(logDir).filePath("QtProject"), QDir(config).filePath("QtProject")));
            break;
        case LoggingKind::Huge: ASSERT_TRUE(makeSparse(inFolder, kHugeFileSize)); break;
        case LoggingKind::LinkToHuge:
            ASSERT_TRUE(makeSparse(outside, kHugeFileSize));
            ASSERT_TRUE(QFile::link(outside, inFolder));
            break;
        }
    };
    Folder row{name, seed, 0, said, {}, {}, true, {"qtlogging.ini", "Qt's logging rules there are not read"}};
    placeConfigHome(row, home);
    // Told wherever the file lies.
    row.noticeShown = true;
    return row;
}

// Qt's list of the user's folders, which it reads whole whenever it is
// asked for the documents folder (the start makes one there): a FIFO, or
// far larger than any list.
enum class UserDirsKind { Fifo, Huge };
Folder userDirs(const char* name, UserDirsKind kind, ConfigHome home, QStringList said)
{
    const auto seed = [kind, home](const QString& folder, QString& logDir) {
        const QString file = QDir(configHomeOf(home, folder, logDir)).filePath("user-dirs.dirs");
        if (kind == UserDirsKind::Fifo) {
            ASSERT_TRUE(makeFifo(file));
        } else {
            ASSERT_TRUE(makeSparse(file, 512LL << 20));
        }
    };
    said << "It is not read; the documents, desktop and download folders are taken to be those in";
    Folder row{name, seed, 0, said, {}, {}, false, said};
    placeConfigHome(row, home);
    row.noticeShown = true;
    return row;
}

// The same start with the interface in Chinese: what it tells is Chinese
// (in the log, which is UTF-8 whatever the locale), never English, and is
// shown over the window.
Folder inChinese(const char* name, Folder row, QStringList chinese, QStringList english)
{
    const auto seed = row.seed;
    const bool standardLocation = row.standardLocation;
    row.name = name;
    row.seed = [seed, standardLocation](const QString& config, QString& logDir) {
        ASSERT_TRUE(writeBytes(QDir(config).filePath("VexmorMachine.ini"), "[MachineConfig]\nLanguage=Chinese\n"));
        seed(config, logDir);
    };
    row.said.clear();
    row.logged = chinese;
    row.notSaid = english;
    row.written.insert("VexmorMachine.ini", [](const QByteArray& after) {
        EXPECT_TRUE(after.contains("Language=Chinese")) << after.toStdString();
    });
    row.noticeShown = true;
    return row;
}

const char* const kPlain = "Unknown Organization/vexmor3d.conf";
const char* const kQtState = "QtProject.conf";

// The organisation's file QSettings reads after the program's own, a FIFO.
Folder organisationFifo(const char* name)
{
    return Folder{name,
                  [](const QString& config, QString&) {
                      ASSERT_TRUE(makeFifo(QDir(config).filePath("Unknown Organization.conf")));
                  },
                  0,
                  {"Unknown Organization.conf is not a regular file"},
                  {},
                  {},
                  true,
                  {}};
}


INSTANTIATE_TEST_SUITE_P(
    Locks, HostileFolder,
    ::testing::Values(
        lockBeside("plain_lock_fifo", kPlain, LockKind::Fifo,
                   {"vexmor3d.conf.lock is not a regular file", "vexmor3d.conf is read but not written"}),
        lockBeside("plain_lock_folder", kPlain, LockKind::Folder, {"vexmor3d.conf.lock is not a regular file"}),
        lockBeside("plain_lock_socket", kPlain, LockKind::Socket, {"vexmor3d.conf.lock is not a regular file"}),
        lockBeside("plain_lock_dangling_link", kPlain, LockKind::DanglingLink,
                   {"vexmor3d.conf.lock is a link to", "which does not exist"}),
        lockBeside("plain_lock_link_out", kPlain, LockKind::LinkOut,
                   {"vexmor3d.conf.lock is a link to", "outside the folder"}),
        lockBeside("plain_lock_held", kPlain, LockKind::Held, {"vexmor3d.conf.lock stays held by another program"}),
        lockBeside("plain_lock_huge", kPlain, LockKind::Huge,
                   {"vexmor3d.conf.lock is too large to be a lock file", "vexmor3d.conf is read but not written"}),
        lockLeftBehind("plain_lock_empty", kPlain, LockKind::Empty),
        lockLeftBehind("plain_lock_no_number", kPlain, LockKind::NoNumber),
        lockBeside("qt_state_lock_fifo", kQtState, LockKind::Fifo,
                   {"QtProject.conf.lock is not a regular file", "QtProject.conf is read but not written"}),
        lockBeside("qt_state_lock_folder", kQtState, LockKind::Folder, {"QtProject.conf.lock is not a regular file"}),
        lockBeside("qt_state_lock_socket", kQtState, LockKind::Socket, {"QtProject.conf.lock is not a regular file"}),
        lockBeside("qt_state_lock_dangling_link", kQtState, LockKind::DanglingLink,
                   {"QtProject.conf.lock is a link to", "which does not exist"}),
        lockBeside("qt_state_lock_link_out", kQtState, LockKind::LinkOut,
                   {"QtProject.conf.lock is a link to", "outside the folder"}),
        lockBeside("qt_state_lock_held", kQtState, LockKind::Held, {"QtProject.conf.lock stays held by another program"}),
        lockBeside("qt_state_lock_huge", kQtState, LockKind::Huge,
                   {"QtProject.conf.lock is too large to be a lock file", "QtProject.conf is read but not written"}),
        lockLeftBehind("qt_state_lock_empty", kQtState, LockKind::Empty),
        lockLeftBehind("qt_state_lock_no_number", kQtState, LockKind::NoNumber),
        qtLoggingFile("qt_logging_link_out", LoggingKind::LinkOut, {"qtlogging.ini is a link to", "outside the folder"}),
        qtLoggingFile("qt_logging_folder_link_out", LoggingKind::FolderLinkOut,
                      {"qtlogging.ini lies in", "outside the folder"}),
        qtLoggingFile("qt_logging_huge", LoggingKind::Huge, {"qtlogging.ini is too large to be a settings file"}),
        qtLoggingFile("qt_logging_link_to_huge", LoggingKind::LinkToHuge,
                      {"qtlogging.ini is a link to", "outside the folder"}),
        userDirs("user_dirs_fifo", UserDirsKind::Fifo, ConfigHome::TheFolder, {"user-dirs.dirs is not a regular file"}),
        userDirs("user_dirs_huge", UserDirsKind::Huge, ConfigHome::TheFolder,
                 {"user-dirs.dirs is too large to be a settings file"}),
        userDirs("user_dirs_fifo_beside", UserDirsKind::Fifo, ConfigHome::BesideLog,
                 {"user-dirs.dirs is not a regular file"}),
        userDirs("user_dirs_huge_beside", UserDirsKind::Huge, ConfigHome::BesideLog,
                 {"user-dirs.dirs is too large to be a settings file"}),
        qtLoggingFile("qt_logging_huge_beside", LoggingKind::Huge, {"qtlogging.ini is too large to be a settings file"},
                      ConfigHome::BesideLog),
        // The organisation's file QSettings reads after the program's own.
        organisationFifo("plain_organisation_fifo"),
        Folder{"plain_settings_folder_link_out",
               [](const QString& config, QString& logDir) {
                   const QByteArray mine = "[USERSUPPORTPARAMS]\nADDPRESETWEIGHT=HEAVY\n";
                   ASSERT_TRUE(QDir(logDir).mkpath("elsewhere"));
                   ASSERT_TRUE(writeBytes(QDir(logDir).filePath("elsewhere/vexmor3d.conf"), mine));
                   ASSERT_TRUE(QFile::link(QDir(logDir).filePath("elsewhere"), QDir(config).filePath("Unknown Organization")));
               },
               0,
               {"vexmor3d.conf lies in", "outside the folder"},
               {},
               {},
               true,
               {}}),
    [](const ::testing::TestParamInfo<Folder>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Chinese, HostileFolder,
    ::testing::Values(
        inChinese("zh_plain_lock_held", lockBeside("", kPlain, LockKind::Held, {}),
                  {"vexmor3d.conf.lock 一直被另一个程序占用", "程序读取"},
                  {"stays held by another program", "is read but not written"}),
        inChinese("zh_qt_state_lock_huge", lockBeside("", kQtState, LockKind::Huge, {}),
                  {"QtProject.conf.lock 过大，不可能是锁文件", "程序读取"},
                  {"too large to be a lock file", "is read but not written"}),
        inChinese("zh_organisation_fifo", organisationFifo(""),
                  {"Unknown Organization.conf 不是普通文件", "程序不读取该文件，并在没有它的情况下继续运行"},
                  {"is not a regular file", "It is not read"}),
        inChinese("zh_qt_logging_huge", qtLoggingFile("", LoggingKind::Huge, {}),
                  {"qtlogging.ini 过大，不可能是设置文件", "不读取其中的 Qt 日志规则"},
                  {"too large to be a settings file", "logging rules there are not read"}),
        inChinese("zh_qt_logging_huge_beside", qtLoggingFile("", LoggingKind::Huge, {}, ConfigHome::BesideLog),
                  {"qtlogging.ini 过大，不可能是设置文件", "不读取其中的 Qt 日志规则"},
                  {"too large to be a settings file", "logging rules there are not read"}),
        inChinese("zh_user_dirs_fifo", userDirs("", UserDirsKind::Fifo, ConfigHome::TheFolder, {}),
                  {"user-dirs.dirs 不是普通文件", "文档、桌面和下载文件夹改用"},
                  {"is not a regular file", "It is not read"})),
    [](const ::testing::TestParamInfo<Folder>& info) { return std::string(info.param.name); });

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

namespace {

// The organisation's file QSettings reads after the program's own one,
// refused: the program's own file is still written where it lies, a preset
// the user changed there is kept across a second start, and Qt's chooser
// keeps its state in the folder too.
enum class OrganisationKind { Fifo, LinkOut, Huge };
struct Organisation
{
    const char* name;
    OrganisationKind kind;
    const char* said;
};
void PrintTo(const Organisation& o, std::ostream* os) { *os << o.name; }
using OrganisationFileRefused = ProgramOnOwnX<Organisation>;

TEST_P(OrganisationFileRefused, ThePresetsAreWrittenAndKeptAcrossStarts)
{
    const Organisation& row = GetParam();
    const QString organisation = QDir(config.path()).filePath("Unknown Organization.conf");
    const QString own = QDir(config.path()).filePath("Unknown Organization/vexmor3d.conf");
    const QString theirs = QDir(log.path()).filePath("theirs.conf");
    const QByteArray theirText = "[General]\nshared=by another program\n";
    switch (row.kind) {
    case OrganisationKind::Fifo: ASSERT_TRUE(makeFifo(organisation)); break;
    case OrganisationKind::LinkOut:
        ASSERT_TRUE(writeBytes(theirs, theirText));
        ASSERT_TRUE(QFile::link(theirs, organisation));
        break;
    case OrganisationKind::Huge: ASSERT_TRUE(makeSparse(organisation, kHugeFileSize)); break;
    }
    app.setProcessEnvironment(startScriptEnvironment(x.display(), config.path(), log.path()));
    const XConnection display = connectTo(x.display());
    ASSERT_TRUE(display);
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run == 1 ? "first start" : "second start");
        app.start(VEXMOR3D_PATH, QStringList());
        ASSERT_TRUE(app.waitForStarted(kHangMs));
        const ShownWindow shown = waitForDrawnWindow(display.get(), app, "Vexmor3D", kHangMs);
        ASSERT_NE(shown.window, 0u) << "no window; the start hangs\n" << app.readAllStandardError().toStdString();
        // The chooser writes its state as it closes.
        if (run == 1) {
            openAndCancelChooser(display.get(), app, shown, QString("organisation_%1_chooser.png").arg(row.name));
            if (HasFatalFailure())
                return;
        }
        QByteArray errors;
        ASSERT_TRUE(endBySigterm(app, errors)) << "SIGTERM did not end it";
        EXPECT_TRUE(errors.contains(row.said)) << errors.toStdString();
        EXPECT_TRUE(errors.contains("It is not read; the program goes on without it.")) << errors.toStdString();
        EXPECT_FALSE(errors.contains("not kept")) << errors.toStdString();
        if (run == 2)
            break;
        // The presets of a first start, where the program reads them.
        QSettings written(own, QSettings::IniFormat);
        EXPECT_TRUE(written.value("SUPPORTPARAMSLOADED").toBool());
        EXPECT_EQ(written.value("USERSUPPORTPARAMS/ADDPRESETWEIGHT").toString(), "LIGHT");
        EXPECT_EQ(written.value("USERSUPPORTPARAMS/SUPPORT_TOP/RADIUS").toDouble(), 0.5);
        EXPECT_TRUE(readBytes(QDir(config.path()).filePath("QtProject.conf")).contains("qtVersion="))
            << "the chooser's state was not kept in the folder";
        // The user changes a preset there.
        written.setValue("USERSUPPORTPARAMS/SUPPORT_TOP/RADIUS", 0.75);
        written.sync();
        ASSERT_EQ(written.status(), QSettings::NoError);
    }
    const QSettings kept(own, QSettings::IniFormat);
    EXPECT_EQ(kept.value("USERSUPPORTPARAMS/SUPPORT_TOP/RADIUS").toDouble(), 0.75);
    EXPECT_TRUE(kept.value("SUPPORTPARAMSLOADED").toBool());
    // The organisation's file as it was.
    switch (row.kind) {
    case OrganisationKind::Fifo: EXPECT_TRUE(isFifo(organisation)); break;
    case OrganisationKind::LinkOut:
        EXPECT_EQ(QFileInfo(organisation).symLinkTarget(), theirs);
        EXPECT_EQ(readBytes(theirs), theirText);
        break;
    case OrganisationKind::Huge: EXPECT_EQ(QFileInfo(organisation).size(), kHugeFileSize); break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OrganisationFileRefused,
    ::testing::Values(Organisation{"fifo", OrganisationKind::Fifo, "Unknown Organization.conf is not a regular file"},
                      Organisation{"link_out", OrganisationKind::LinkOut, "Unknown Organization.conf is a link to"},
                      Organisation{"huge", OrganisationKind::Huge,
                                   "Unknown Organization.conf is too large to be a settings file"}),
    [](const ::testing::TestParamInfo<Organisation>& info) { return std::string(info.param.name); });

// SIGTERM while the program is still starting, sent as soon as it told
// what it could not use: it ends, as a healthy start does.
struct EarlySignal
{
    const char* name;
    std::function<void(const QString& config)> seed;
    const char* told;
};
void PrintTo(const EarlySignal& e, std::ostream* os) { *os << e.name; }
using SignalDuringStart = ProgramOnOwnX<EarlySignal>;

TEST_P(SignalDuringStart, EndsTheProgram)
{
    GetParam().seed(config.path());
    QProcessEnvironment env = startScriptEnvironment(x.display(), config.path(), log.path());
    env.remove("VEXMOR_CONFIG_DIR");
    env.insert("XDG_CONFIG_HOME", config.path());
    app.setProcessEnvironment(env);
    app.start(VEXMOR3D_PATH, QStringList());
    ASSERT_TRUE(app.waitForStarted(kHangMs));
    QByteArray errors;
    QElapsedTimer waited;
    waited.start();
    while (!errors.contains(GetParam().told) && waited.elapsed() < kHangMs && app.state() == QProcess::Running) {
        app.waitForReadyRead(1000);
        errors += app.readAllStandardError();
    }
    ASSERT_TRUE(errors.contains(GetParam().told)) << errors.toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(app.processId()), SIGTERM), 0);
    ASSERT_TRUE(app.waitForFinished(kHangMs)) << "SIGTERM did not end it";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, SignalDuringStart,
    ::testing::Values(
        EarlySignal{"user_dirs_fifo",
                    [](const QString& config) { ASSERT_TRUE(makeFifo(QDir(config).filePath("user-dirs.dirs"))); },
                    "user-dirs.dirs is not a regular file"},
        EarlySignal{"plain_lock_huge",
                    [](const QString& config) {
                        ASSERT_TRUE(QDir(config).mkpath("Unknown Organization"));
                        ASSERT_TRUE(makeSparse(QDir(config).filePath("Unknown Organization/vexmor3d.conf.lock"),
                                               kHugeFileSize));
                    },
                    "vexmor3d.conf.lock is too large to be a lock file"},
        EarlySignal{"organisation_fifo",
                    [](const QString& config) {
                        ASSERT_TRUE(makeFifo(QDir(config).filePath("Unknown Organization.conf")));
                    },
                    "Unknown Organization.conf is not a regular file"}),
    [](const ::testing::TestParamInfo<EarlySignal>& info) { return std::string(info.param.name); });

} // namespace
