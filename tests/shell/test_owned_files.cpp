// The checks before a file of the configuration folder is read or written,
// and the writer that changes only the program's own keys of an ini file.
#include "configdir.h"
#include "inifileupdate.h"
#include "logoutput.h"
#include "ownedfile.h"
#include "test_meshes.h"
#include "vslfunction/savecommit.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using testmesh::WriteFile;
const auto readBytes = testmesh::ReadFile;

// A configuration folder and, beside it, a folder standing for the rest of
// the system, whose files a link in the configuration folder may name.
class Folders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkpath("config"));
        ASSERT_TRUE(QDir(root.path()).mkpath("system"));
        config = root.filePath("config");
        qputenv("VEXMOR_CONFIG_DIR", config.toUtf8());
        OwnedFile::setUserNotifier([this](const QString& m) { told << m; });
    }
    void TearDown() override
    {
        OwnedFile::setUserNotifier({});
        qunsetenv("VEXMOR_CONFIG_DIR");
    }
    QString in(const QString& name) const { return QDir(config).filePath(name); }
    QString outside(const QString& name) const { return root.filePath("system/" + name); }

    // A file of the folder and the words its problem holds ("" for none).
    struct ProblemCase {
        const char* name;
        const char* problem;
    };
    template <size_t N, typename Judge>
    void expectProblems(const ProblemCase (&cases)[N], Judge problemOf) const
    {
        for (const ProblemCase& c : cases) {
            const QString problem = problemOf(in(c.name));
            if (*c.problem == 0)
                EXPECT_TRUE(problem.isEmpty()) << c.name << ": " << problem.toStdString();
            else
                EXPECT_TRUE(problem.contains(c.problem)) << c.name << ": " << problem.toStdString();
        }
    }

    QTemporaryDir root;
    QString config;
    QStringList told;
};

TEST_F(Folders, AccessProblemsOfLinksAndOtherKinds)
{
    ASSERT_TRUE(WriteFile(outside("passwd"), "root:x:0:0\n"));
    ASSERT_TRUE(WriteFile(in("mine.ini"), "[a]\nb=1\n"));
    ASSERT_TRUE(QFile::link(outside("passwd"), in("out.ini")));
    ASSERT_TRUE(QFile::link(in("mine.ini"), in("inside.ini")));
    ASSERT_TRUE(QFile::link(in("out.ini"), in("chain.ini"))); // inside -> inside -> outside
    ASSERT_TRUE(QFile::link(outside("missing"), in("dangling.ini")));
    ASSERT_TRUE(QFile::link(root.filePath("config/../system/passwd"), in("dotdot.ini")));
    ASSERT_TRUE(QDir(config).mkdir("folder.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(in("fifo.ini")).constData(), 0600), 0);
    const ProblemCase cases[] = {
        {"new.ini", ""},
        {"mine.ini", ""},
        {"inside.ini", ""},
        {"out.ini", "outside the folder"},
        {"chain.ini", "outside the folder"},
        {"dotdot.ini", "outside the folder"},
        {"dangling.ini", "does not exist"},
        {"folder.ini", "not a regular file"},
        {"fifo.ini", "not a regular file"},
    };
    expectProblems(cases, [&](const QString& path) { return OwnedFile::accessProblem(path, config); });
}

// A file that is no link itself may lie outside: a folder on its way
// leads out, or to nothing.
TEST_F(Folders, AFolderOnTheWayThatLeadsOutIsAProblem)
{
    ASSERT_TRUE(QDir(root.path()).mkpath("system/QtProject"));
    ASSERT_TRUE(WriteFile(outside("QtProject/qtlogging.ini"), "[Rules]\n*=false\n"));
    ASSERT_TRUE(QFile::link(outside("QtProject"), in("QtProject")));
    ASSERT_TRUE(QFile::link(outside("gone"), in("Gone")));
    ASSERT_TRUE(QDir(config).mkpath("Mine/Deeper"));
    ASSERT_TRUE(QFile::link(in("Mine"), in("Inside")));
    const ProblemCase cases[] = {
        {"QtProject/qtlogging.ini", "outside the folder"},
        {"QtProject/new.ini", "outside the folder"},
        {"QtProject/new/deeper.ini", "outside the folder"},
        {"Gone/vexmor3d.conf", "which does not exist"},
        {"Mine/Deeper/a.conf", ""},
        {"Inside/Deeper/a.conf", ""},
        {"Missing/a.conf", ""},
    };
    expectProblems(cases, [&](const QString& path) { return OwnedFile::accessProblem(path, config); });
    EXPECT_FALSE(OwnedFile::prepareSettings(in("QtProject/qtlogging.ini")));
    EXPECT_EQ(readBytes(outside("QtProject/qtlogging.ini")), QByteArray("[Rules]\n*=false\n"));
}

// A file far larger than a settings file is not read: a reader takes it
// whole (Qt's logging rules took the start down at 3 GB).
TEST_F(Folders, AFileTooLargeForSettingsIsNotRead)
{
    {
        QFile huge(in("Huge.ini"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize(3LL << 30)); // sparse: no byte on the disk
    }
    ASSERT_TRUE(WriteFile(in("Small.ini"), "[a]\nb=1\n"));
    EXPECT_TRUE(OwnedFile::readProblem(in("Huge.ini"), config).contains("too large to be a settings file"));
    EXPECT_TRUE(OwnedFile::readProblem(in("Small.ini"), config).isEmpty());
    EXPECT_TRUE(OwnedFile::readProblem(in("None.ini"), config).isEmpty());
    EXPECT_FALSE(OwnedFile::prepareSettings(in("Huge.ini")));
    EXPECT_EQ(QFileInfo(in("Huge.ini")).size(), 3LL << 30);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("Huge.ini is too large")) << told[0].toStdString();
}

// QSettings writes its own files through "<file>.lock", which it opens and
// waits on without end: each lock that would block it is named.
TEST_F(Folders, LockFilesThatWouldBlockQSettingsAreNamed)
{
    vexmorConfigDir();
    const auto lockOf = [this](const char* name) { return in(QString(name) + ".lock"); };
    ASSERT_EQ(::mkfifo(QFile::encodeName(lockOf("fifo.conf")).constData(), 0600), 0);
    ASSERT_TRUE(QDir(config).mkpath("folder.conf.lock"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(in("rm.conf.lock.rmlock")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(outside("gone.lock"), lockOf("dangling.conf")));
    ASSERT_TRUE(WriteFile(outside("system.lock"), "1\nsystem\nhost\n"));
    ASSERT_TRUE(QFile::link(outside("system.lock"), lockOf("out.conf")));
    QLockFile held(lockOf("held.conf"));
    ASSERT_TRUE(held.tryLock(0));
    // Left by a program that ended: taken over as QSettings would.
    QLockFile left(lockOf("left.conf"));
    ASSERT_TRUE(left.tryLock(0));
    const QByteArray leftLock = readBytes(lockOf("left.conf"));
    left.unlock();
    ASSERT_TRUE(WriteFile(lockOf("left.conf"), QByteArray(leftLock).replace(0, leftLock.indexOf('\n'), "999999999")));
    // Left by a crash or a full disk: no process number in it at all.
    ASSERT_TRUE(WriteFile(lockOf("empty.conf"), ""));
    ASSERT_TRUE(WriteFile(lockOf("nonumber.conf"), "\nvexmor3d\nworkshop-pc\n"));
    ASSERT_TRUE(WriteFile(lockOf("words.conf"), "not a number\n"));
    // Larger than any lock, without a byte on the disk: QLockFile reads it whole.
    {
        QFile huge(lockOf("huge.conf"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(3LL << 30));
        QFile hugeRm(in("hugerm.conf.lock.rmlock"));
        ASSERT_TRUE(hugeRm.open(QIODevice::WriteOnly) && hugeRm.resize(3LL << 30));
    }
    rusage usage = {};
    ASSERT_EQ(::getrusage(RUSAGE_SELF, &usage), 0);
    const long peakBefore = usage.ru_maxrss;
    const ProblemCase cases[] = {
        {"fifo.conf", "fifo.conf.lock is not a regular file"},
        {"folder.conf", "folder.conf.lock is not a regular file"},
        {"dangling.conf", "dangling.conf.lock is a link to"},
        {"rm.conf", "rm.conf.lock.rmlock is not a regular file"},
        {"out.conf", "outside the folder"},
        {"held.conf", "held.conf.lock stays held by another program"},
        {"left.conf", ""},
        {"empty.conf", ""},
        {"nonumber.conf", ""},
        {"words.conf", ""},
        {"huge.conf", "huge.conf.lock is too large to be a lock file (3221225472 bytes)"},
        {"hugerm.conf", "hugerm.conf.lock.rmlock is too large to be a lock file"},
        {"none.conf", ""},
    };
    expectProblems(cases, [&](const QString& path) { return OwnedFile::settingsLockProblem(path, 0); });
    EXPECT_EQ(readBytes(outside("system.lock")), QByteArray("1\nsystem\nhost\n"));
    EXPECT_TRUE(QFileInfo(lockOf("held.conf")).isFile());
    EXPECT_FALSE(QFileInfo::exists(lockOf("none.conf")));
    // Those no running program holds are taken over; a huge one stays as it is.
    for (const char* name : {"left.conf", "empty.conf", "nonumber.conf", "words.conf"})
        EXPECT_FALSE(QFileInfo::exists(lockOf(name))) << name;
    EXPECT_EQ(QFileInfo(lockOf("huge.conf")).size(), 3LL << 30);
    ASSERT_EQ(::getrusage(RUSAGE_SELF, &usage), 0);
    EXPECT_LT(usage.ru_maxrss - peakBefore, 256L * 1024) << "KiB more at the peak: a lock was read whole";
}

// A lock left without a process number: taken over at once, QSettings
// writes through a lock of its own (it would have waited out the lock's
// first half minute), and a lock held meanwhile is waited for only as long
// as the patience given.
TEST_F(Folders, ALockLeftByACrashIsTakenOverAndTheSettingsWritten)
{
    vexmorConfigDir();
    const QString file = in("presets.conf");
    ASSERT_TRUE(WriteFile(file + ".lock", ""));
    ASSERT_TRUE(OwnedFile::settingsLockProblem(file, 0).isEmpty());
    {
        QLockFile probe(file + ".lock");
        ASSERT_TRUE(probe.tryLock(0)) << "the lock was not taken over";
    }
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue("USERSUPPORTPARAMS/ADDPRESETWEIGHT", "MEDIUM");
    settings.sync();
    EXPECT_EQ(settings.status(), QSettings::NoError);
    EXPECT_TRUE(readBytes(file).contains("ADDPRESETWEIGHT=MEDIUM"));
    EXPECT_FALSE(QFileInfo::exists(file + ".lock"));

    // Held by a running program: never taken over, whatever its text says.
    QLockFile held(file + ".lock");
    ASSERT_TRUE(held.tryLock(0));
    ASSERT_TRUE(WriteFile(file + ".lock", ""));
    EXPECT_TRUE(OwnedFile::settingsLockProblem(file, 0).contains("stays held by another program"));
    EXPECT_TRUE(QFileInfo::exists(file + ".lock"));
}

TEST_F(Folders, LinkedFilesAreRefusedAndUnparsableOnesSetAside)
{
    const QByteArray system = "root:x:0:0:root:/root:/bin/bash\n";
    ASSERT_TRUE(WriteFile(outside("passwd"), system));
    ASSERT_TRUE(QFile::link(outside("passwd"), in("Linked.ini")));
    EXPECT_FALSE(OwnedFile::prepareSettings(in("Linked.ini")));
    EXPECT_EQ(readBytes(outside("passwd")), system);
    EXPECT_TRUE(QFileInfo(in("Linked.ini")).isSymLink());
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("Linked.ini") && told[0].contains("outside the folder")) << told[0].toStdString();

    const QByteArray broken = "[MachineConfig\nMachine=Pellar30\nno equals sign here\n";
    ASSERT_TRUE(WriteFile(in("Broken.ini"), broken));
    EXPECT_TRUE(OwnedFile::prepareSettings(in("Broken.ini")));
    EXPECT_FALSE(QFileInfo::exists(in("Broken.ini")));
    const QStringList aside = QDir(config).entryList({"Broken.ini.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readBytes(in(aside[0])), broken);
    ASSERT_EQ(told.size(), 2);
    EXPECT_TRUE(told[1].contains(aside[0])) << told[1].toStdString();

    // Random bytes over the file: the reader takes them without a complaint
    // (and finds nothing), so the user would lose the settings unawares.
    QByteArray junk(4000, '\0');
    for (int i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 7919 + 13) % 251);
    junk.prepend("[MachineConfig]\nMachine=Pellar30\n");
    ASSERT_TRUE(WriteFile(in("Junk.ini"), junk));
    EXPECT_TRUE(OwnedFile::prepareSettings(in("Junk.ini")));
    EXPECT_FALSE(QFileInfo::exists(in("Junk.ini")));
    const QStringList junkAside = QDir(config).entryList({"Junk.ini.unreadable-*"});
    ASSERT_EQ(junkAside.size(), 1);
    EXPECT_EQ(readBytes(in(junkAside[0])), junk);
    ASSERT_EQ(told.size(), 3);
    EXPECT_TRUE(told[2].contains(junkAside[0])) << told[2].toStdString();

    // A readable file (with characters beyond ASCII), and none at all, are
    // used as they are, without a word.
    const QByteArray fine = "[a]\nb=1\nname=\xe6\xa0\x91\xe8\x84\x82\n";
    ASSERT_TRUE(WriteFile(in("Fine.ini"), fine));
    EXPECT_TRUE(OwnedFile::prepareSettings(in("Fine.ini")));
    EXPECT_TRUE(OwnedFile::prepareSettings(in("None.ini")));
    EXPECT_EQ(readBytes(in("Fine.ini")), fine);
    EXPECT_EQ(told.size(), 3);
}

// Plain QSettings objects (support presets) read the default file at start:
// a FIFO there blocked the start for good, a dangling link made its target.
TEST_F(Folders, ADefaultSettingsFileLeftAloneSendsPlainSettingsElsewhere)
{
    const QString file = vexmorDefaultSettingsFile();
    ASSERT_TRUE(file.startsWith(config + '/')) << file.toStdString();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    ASSERT_TRUE(QFile::link(outside("made.conf"), file));
    vexmorPrepareDefaultSettings();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("does not exist")) << told[0].toStdString();
    {
        QSettings plain;
        EXPECT_NE(QFileInfo(plain.fileName()).absolutePath(), QFileInfo(file).absolutePath());
        plain.setValue("SUPPORTPARAMSLOADED", true);
        plain.sync();
        EXPECT_EQ(plain.value("SUPPORTPARAMSLOADED").toBool(), true);
    }
    EXPECT_FALSE(QFileInfo::exists(outside("made.conf")));
    EXPECT_TRUE(QFileInfo(file).isSymLink());
}

// Qt's list of the user's folders in the user's configuration location,
// refused by the folder's rules (here a link to nothing, which Qt would
// pass over): hidden from Qt while the guard lives, everything else of the
// location still reached through the stand-in Qt is shown, the
// configuration folder where it was, and the user told why.
TEST_F(Folders, AUserDirsListTheFolderRefusesIsHiddenFromQt)
{
    qunsetenv("VEXMOR_CONFIG_DIR");
    const QByteArray wasHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    ASSERT_TRUE(QFile::link(outside("gone"), in("user-dirs.dirs")));
    ASSERT_TRUE(QDir(config).mkpath("fontconfig"));
    ASSERT_TRUE(WriteFile(in("fontconfig/fonts.conf"), "<fontconfig/>\n"));
    {
        const UserDirsGuard guard;
        ASSERT_TRUE(guard.hidden());
        const QString shown = qEnvironmentVariable("XDG_CONFIG_HOME");
        EXPECT_NE(shown, config);
        EXPECT_FALSE(QFileInfo(QDir(shown).filePath("user-dirs.dirs")).isSymLink());
        EXPECT_EQ(readBytes(QDir(shown).filePath("fontconfig/fonts.conf")), QByteArray("<fontconfig/>\n"));
        EXPECT_EQ(vexmorConfigDir(), config);
        EXPECT_EQ(vexmorUserDirsFile(), in("user-dirs.dirs"));
        EXPECT_EQ(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                  QDir::homePath() + "/Documents");
        const QString notice = vexmorUserDirsNotice();
        EXPECT_TRUE(notice.contains(in("user-dirs.dirs") + " is a link to")) << notice.toStdString();
        EXPECT_TRUE(notice.contains("It is not read")) << notice.toStdString();
        // One stand-in for the run: a second guard leaves it alone.
        const UserDirsGuard second;
        EXPECT_FALSE(second.hidden());
    }
    // The stand-in's links went with it, never what they lead to.
    EXPECT_EQ(qEnvironmentVariable("XDG_CONFIG_HOME"), config);
    EXPECT_EQ(readBytes(in("fontconfig/fonts.conf")), QByteArray("<fontconfig/>\n"));
    EXPECT_TRUE(QFileInfo(in("user-dirs.dirs")).isSymLink());
    // A list the rules take is left to Qt.
    ASSERT_TRUE(QFile::remove(in("user-dirs.dirs")));
    ASSERT_TRUE(WriteFile(in("user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n"));
    {
        const UserDirsGuard guard;
        EXPECT_FALSE(guard.hidden());
        EXPECT_EQ(qEnvironmentVariable("XDG_CONFIG_HOME"), config);
        EXPECT_EQ(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                  QDir::homePath() + "/Papers");
    }
    if (wasHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", wasHome);
}

// Settings QSettings writes itself: a write it gives up on is told, one
// that went through is not.
TEST_F(Folders, ASettingsWriteQSettingsGaveUpOnIsTold)
{
    vexmorConfigDir();
    {
        QSettings fine(QSettings::UserScope, "Workshop", "bench");
        fine.setValue("a", 1);
        EXPECT_TRUE(SyncSettingsAndReport(fine));
        EXPECT_TRUE(told.isEmpty()) << told.join('\n').toStdString();
    }
    // Its folder a file: QSettings cannot make the file and says nothing.
    ASSERT_TRUE(WriteFile(in("Shop"), "a note, not a folder\n"));
    QSettings blocked(in("Shop/bench.conf"), QSettings::IniFormat);
    blocked.setValue("a", 1);
    EXPECT_FALSE(SyncSettingsAndReport(blocked));
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("Shop/bench.conf")) << told[0].toStdString();
    EXPECT_TRUE(told[0].contains("left as it was")) << told[0].toStdString();
    EXPECT_EQ(readBytes(in("Shop")), QByteArray("a note, not a folder\n"));
}

TEST_F(Folders, TheDailyLogWritesNothingThroughALinkOutOfItsFolder)
{
    qputenv("VEXMOR_LOG_DIR", config.toUtf8());
    const QDateTime now(QDate(2031, 3, 4), QTime(5, 6, 7));
    setVexmorLogClock([now] { return now; });
    const QByteArray system = "do not append here\n";
    ASSERT_TRUE(WriteFile(outside("syslog"), system));
    ASSERT_TRUE(QFile::link(outside("syslog"), in("2031_03_04log.txt")));
    VexmorMessageOutput(QtWarningMsg, QMessageLogContext(), "a line");
    EXPECT_EQ(readBytes(outside("syslog")), system);
    // A link to a file inside the folder is followed as before.
    ASSERT_TRUE(QFile::remove(in("2031_03_04log.txt")));
    ASSERT_TRUE(WriteFile(in("real.txt"), ""));
    ASSERT_TRUE(QFile::link(in("real.txt"), in("2031_03_04log.txt")));
    VexmorMessageOutput(QtWarningMsg, QMessageLogContext(), "a line");
    EXPECT_TRUE(readBytes(in("real.txt")).contains("a line"));
    setVexmorLogClock({});
    qunsetenv("VEXMOR_LOG_DIR");
}

// Every byte outside the owned keys stays; the owned ones read back through
// QSettings as written.
TEST(IniFileUpdateTest, OwnedKeysChangeAndEverythingElseStaysByteForByte)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString p = dir.filePath("f.ini");
    struct Case {
        const char* name;
        QByteArray before;
        std::function<void(IniFileUpdate&)> change;
        QByteArray after;
    };
    const Case cases[] = {
        {"no file", {}, [](IniFileUpdate& u) { u.setValue("Sec/b", 2); u.setValue("Sec/a", "x y"); },
         "[Sec]\na=x y\nb=2\n"},
        {"replaced where it stands, comments and odd spacing kept",
         "; top\n[Other]\nkey = 1,2\n\n[Sec]\n  b =  7 ; old\nz=9\n",
         [](IniFileUpdate& u) { u.setValue("Sec/b", 8); },
         "; top\n[Other]\nkey = 1,2\n\n[Sec]\nb=8\nz=9\n"},
        {"added after the section's last line", "[Sec]\nz=9\n\n[Other]\nq=1\n",
         [](IniFileUpdate& u) { u.setValue("Sec/a", 1); }, "[Sec]\nz=9\na=1\n\n[Other]\nq=1\n"},
        {"new section at the end, CR LF kept", "[Other]\r\nq=1\r\n",
         [](IniFileUpdate& u) { u.setValue("Arr/1/k", true); u.setValue("Arr/size", 1); },
         "[Other]\r\nq=1\r\n\r\n[Arr]\r\n1\\k=true\r\nsize=1\r\n"},
        {"a later copy of the key dropped", "[Sec]\nb=1\nc=2\nb=3\n", [](IniFileUpdate& u) { u.setValue("Sec/b", 5); },
         "[Sec]\nb=5\nc=2\n"},
        {"a group's keys removed, its neighbours kept",
         "[Recipe]\nA\\CuringTime=1\nA\\Note=mine\nAB\\CuringTime=2\nB\\CuringTime=3\n[Mine]\nA\\CuringTime=4\n",
         [](IniFileUpdate& u) { u.removeGroup("Recipe/A"); },
         "[Recipe]\nAB\\CuringTime=2\nB\\CuringTime=3\n[Mine]\nA\\CuringTime=4\n"},
        {"a section emptied and filled again", "[Materials]\n1\\name=old\n2\\name=old2\nsize=2\n[Z]\nz=1\n",
         [](IniFileUpdate& u) {
             u.removeGroup("Materials");
             u.setValue("Materials/1/name", "new");
             u.setValue("Materials/size", 1);
         },
         "[Materials]\n1\\name=new\nsize=1\n[Z]\nz=1\n"},
        {"names QSettings escapes", "[Recipe]\nNew%20Recipe\\CuringTime=1\n",
         [](IniFileUpdate& u) { u.setValue("Recipe/New Recipe/CuringTime", 2); },
         "[Recipe]\nNew%20Recipe\\CuringTime=2\n"},
        {"no final line end", "[Sec]\nb=1", [](IniFileUpdate& u) { u.setValue("Sec/b", 2); }, "[Sec]\nb=2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(p);
        if (!c.before.isNull()) {
            ASSERT_TRUE(WriteFile(p, c.before));
        }
        IniFileUpdate u(p);
        c.change(u);
        QString error;
        ASSERT_TRUE(u.commit(&error)) << error.toStdString();
        EXPECT_EQ(readBytes(p), c.after);
    }
    // Typed values read back as QSettings wrote them.
    QFile::remove(p);
    IniFileUpdate u(p);
    u.setValue("Recipe/x/BurninRange", QVariant::fromValue<float>(0.3f));
    u.setValue("Recipe/x/Name", QString::fromUtf8("Résine; \"a\", b"));
    ASSERT_TRUE(u.commit());
    QSettings s(p, QSettings::IniFormat);
    EXPECT_EQ(s.value("Recipe/x/BurninRange").userType(), int(QMetaType::Float));
    EXPECT_EQ(s.value("Recipe/x/BurninRange").toFloat(), 0.3f);
    EXPECT_EQ(s.value("Recipe/x/Name").toString(), QString::fromUtf8("Résine; \"a\", b"));
}

// A settings object that read the file before a change reads the change
// after sync(): QSettings trusts a text of the same size and time, so the
// time moves forward even on a clock that stands still or runs behind.
TEST(IniFileUpdateTest, SettingsOpenOnTheFileSeeTheChange)
{
    QTemporaryDir dir;
    const QString p = dir.filePath("f.ini");
    ASSERT_TRUE(WriteFile(p, "[S]\nk=1\n"));
    QSettings open(p, QSettings::IniFormat);
    ASSERT_EQ(open.value("S/k").toInt(), 1);
    for (int v = 2; v <= 5; ++v) {
        // The last write stamped ahead of this clock.
        const QDateTime ahead = QDateTime::currentDateTime().addSecs(3600 * v);
        {
            QFile f(p);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(ahead, QFileDevice::FileModificationTime));
        }
        IniFileUpdate u(p);
        u.setValue("S/k", v);
        ASSERT_TRUE(u.commit());
        EXPECT_GT(QFileInfo(p).lastModified(), ahead);
        open.sync();
        EXPECT_EQ(open.value("S/k").toInt(), v);
    }
}

// The writers' common end: the reader sees what was written; a file that
// cannot be written is warned of with its reason and the reader keeps the
// text that is there.
QStringList g_warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg)
        g_warnings << text;
}

TEST(IniFileUpdateTest, CommitAndRereadReportsAndRereads)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("f.ini");
    const QString nowhere = dir.filePath("missing/f.ini");
    const struct { const char* what; QString path; bool written; int value; bool warned; } rows[] = {
        {"written", file, true, 2, false},
        {"no folder for it", nowhere, false, 0, true},
    };
    ASSERT_TRUE(WriteFile(file, "[S]\nk=1\n"));
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        QSettings reader(r.path, QSettings::IniFormat);
        (void)reader.value("S/k");  // the text as it was, cached
        IniFileUpdate u(r.path);
        u.setValue("S/k", 2);
        g_warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
        const bool written = u.commitAndReread(reader);
        qInstallMessageHandler(previous);
        EXPECT_EQ(written, r.written);
        EXPECT_EQ(reader.value("S/k").toInt(), r.value);
        EXPECT_EQ(g_warnings.size(), r.warned ? 1 : 0) << g_warnings.join('|').toStdString();
        if (r.warned && !g_warnings.isEmpty()) {
            EXPECT_TRUE(g_warnings.first().contains(r.path)) << g_warnings.first().toStdString();
        }
    }
}

} // namespace
