// Files of the configuration folder as a hostile machine leaves them: a disk
// that fills while a file is replaced, a FIFO where a settings file should
// be, a byte-order mark, a NUL in a comment, a log folder that is a file.
#include "HelpDialog.h"
#include "configdir.h"
#include "frmDeviceInterfaceSettings.h"
#include "inifileupdate.h"
#include "logoutput.h"
#include "ownedfile.h"
#include "test_meshes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testmesh::WriteFile;
const auto readBytes = testmesh::ReadFile;

// Runs `work` in a child process whose files may not grow past `limit`
// bytes (SIGXFSZ ignored, so a write past it fails with EFBIG, as on a full
// disk). Returns the child's exit code and what it wrote to standard error.
int underFileSizeLimit(qint64 limit, const std::function<int()>& work, QByteArray* errors = nullptr)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        ::dup2(pipeFds[1], STDERR_FILENO);
        const rlimit r{rlim_t(limit), rlim_t(limit)};
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &r);
        ::_exit(work());
    }
    ::close(pipeFds[1]);
    QByteArray said;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, int(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (errors)
        *errors = said;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Each update of a file bigger than what the disk still takes: refused, the
// file byte for byte as it was, no temporary file left beside it. The same
// updates with room to spare go through (the rows do change their files).
TEST(FullDisk, AnUpdateThatDoesNotFitLeavesTheFileAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray comment = "; " + QByteArray(300, 'c') + "\n";
    struct Row {
        const char* name;
        QByteArray before;
        std::function<void(IniFileUpdate&)> change;
    };
    const Row rows[] = {
        {"a key added", comment + "[MachineConfig]\nMachine=Pellar10\nsize=0\n[Mine]\nx=1\n",
         [](IniFileUpdate& u) { u.setValue("MachineConfig/Language", "English"); }},
        {"keys replaced", comment + "[LightConfig]\n1\\longflip=true\n1\\light_pwm=42\nsize=1\n",
         [](IniFileUpdate& u) { u.setValue("LightConfig/1/light_pwm", 30); }},
        {"a group emptied and filled", comment + "[Materials]\n1\\name=old\nsize=1\n",
         [](IniFileUpdate& u) {
             u.removeGroup("Materials");
             u.setValue("Materials/1/name", "new");
             u.setValue("Materials/size", 1);
         }},
        {"behind a byte-order mark", "\xEF\xBB\xBF" + comment + "[S]\nk=1\n",
         [](IniFileUpdate& u) { u.setValue("S/k", 2); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath("f.ini");
        ASSERT_TRUE(WriteFile(path, row.before));
        QByteArray said;
        const int code = underFileSizeLimit(
            200,
            [&] {
                IniFileUpdate u(path);
                row.change(u);
                QString why;
                const bool written = u.commit(&why);
                std::fprintf(stderr, "%s", qPrintable(why));
                return written ? 0 : 1;
            },
            &said);
        EXPECT_EQ(code, 1) << "reported written";
        EXPECT_EQ(readBytes(path), row.before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"f.ini"});
        EXPECT_TRUE(said.contains("f.ini") && said.contains("File too large")) << said.toStdString();

        IniFileUpdate roomy(path);
        row.change(roomy);
        ASSERT_TRUE(roomy.commit());
        EXPECT_NE(readBytes(path), row.before);
    }
}

// Plain QSettings objects (the support presets) write the default file of
// the folder: one that does not fit leaves the file as it was, said.
TEST(FullDisk, PlainSettingsThatDoNotFitLeaveTheirFileAsItWas)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
    vexmorConfigDir();
    // The file they write (a private one once the folder's own was refused
    // earlier in this process).
    const QString path = QSettings().fileName();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    const QByteArray before = "[USERSUPPORTPARAMS]\nADDPRESETWEIGHT=LIGHT\n";
    ASSERT_TRUE(WriteFile(path, before));
    QByteArray said;
    const int code = underFileSizeLimit(
        200,
        [] {
            QSettings plain;
            plain.setValue("SUPPORTPARAMSLOADED", true);
            plain.setValue("USERSUPPORTPARAMS/NOTE", QString(300, 'n'));
            plain.sync();
            return plain.status() == QSettings::NoError ? 0 : 1;
        },
        &said);
    EXPECT_EQ(code, 1) << "reported written";
    EXPECT_EQ(readBytes(path), before);
    EXPECT_TRUE(said.contains(QFileInfo(path).fileName().toUtf8()) && said.contains("left as it was"))
        << said.toStdString();
    {
        QSettings plain; // with room: written, and read back
        plain.setValue("USERSUPPORTPARAMS/NOTE", "kept");
    }
    EXPECT_EQ(QSettings().value("USERSUPPORTPARAMS/NOTE").toString(), "kept");
    EXPECT_EQ(QSettings().value("USERSUPPORTPARAMS/ADDPRESETWEIGHT").toString(), "LIGHT");
    EXPECT_TRUE(readBytes(path).contains("NOTE=kept"));
    {
        QSettings plain; // every key removed: the file is written empty
        plain.clear();
    }
    EXPECT_TRUE(QSettings().allKeys().isEmpty());
    EXPECT_FALSE(readBytes(path).contains("NOTE"));
    qunsetenv("VEXMOR_CONFIG_DIR");
}

// The writers' common end tells the user, each time, and the log.
TEST(FullDisk, TheUserIsToldEachTime)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
    const QString path = vexmorConfigFile("Light.ini");
    const QByteArray before = "; " + QByteArray(300, 'c') + "\n[LightConfig]\nsize=1\n";
    ASSERT_TRUE(WriteFile(path, before));
    const int told = underFileSizeLimit(200, [&] {
        QStringList messages;
        OwnedFile::setUserNotifier([&](const QString& m) { messages << m; });
        QSettings reader(path, QSettings::IniFormat);
        for (int i = 0; i < 2; ++i) {
            IniFileUpdate u(path);
            u.setValue("LightConfig/1/light_pwm", 30 + i);
            u.commitAndReread(reader);
        }
        OwnedFile::setUserNotifier({});
        int good = 0;
        for (const QString& m : messages)
            good += m.contains("Light.ini") && m.contains("left as it was");
        return good;
    });
    qunsetenv("VEXMOR_CONFIG_DIR");
    EXPECT_EQ(told, 2);
    EXPECT_EQ(readBytes(path), before);
}

// Stands by while a reader opens a FIFO: a reader still blocked after a few
// seconds is let go (the FIFO opened for writing and closed, an end of file)
// and the test learns that it blocked.
class FifoWatch
{
public:
    explicit FifoWatch(QString path) : m_path(std::move(path))
    {
        m_thread = std::thread([this] {
            QElapsedTimer t;
            t.start();
            while (!m_done && t.elapsed() < 5000)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            while (!m_done) {
                const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    m_blocked = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~FifoWatch() { finish(); }
    // True when the reader had to be let go.
    bool finish()
    {
        m_done = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_blocked;
    }

private:
    QString m_path;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_blocked{false};
    std::thread m_thread;
};

class HostileFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
        OwnedFile::setUserNotifier([this](const QString& m) { told << m; });
    }
    void TearDown() override
    {
        OwnedFile::setUserNotifier({});
        qunsetenv("VEXMOR_CONFIG_DIR");
    }
    QString in(const QString& name) const { return dir.filePath(name); }
    void makeFifo(const QString& name) { ASSERT_EQ(::mkfifo(QFile::encodeName(in(name)).constData(), 0600), 0); }

    QTemporaryDir dir;
    QStringList told;
};

// Every reader of the folder asks first: a FIFO is refused without opening
// it, the defaults hold and the user is told.
TEST_F(HostileFiles, AFifoInPlaceOfASettingsFileIsRefusedWithoutBlocking)
{
    makeFifo("Pellar10Material.ini");
    {
        FifoWatch watch(in("Pellar10Material.ini"));
        EXPECT_EQ(OwnedFile::openSettings(in("Pellar10Material.ini")), nullptr);
        EXPECT_FALSE(watch.finish()) << "the reader opened the FIFO";
    }
    makeFifo("VexmorHelp.ini");
    {
        FifoWatch watch(in("VexmorHelp.ini"));
        EXPECT_TRUE(HelpDialog::address("Videos").isEmpty());
        EXPECT_FALSE(watch.finish()) << "the help reader opened the FIFO";
    }
    makeFifo("VexmorMachine.ini");
    {
        FifoWatch watch(in("VexmorMachine.ini"));
        frmDeviceInterfaceSettings settings(nullptr);
        EXPECT_FALSE(watch.finish()) << "the printer-model dialog opened the FIFO";
        EXPECT_EQ(settings.m_machineType, frmDeviceInterfaceSettings::defaultMachine());
    }
    for (const char* name : {"Pellar10Material.ini", "VexmorHelp.ini", "VexmorMachine.ini"}) {
        SCOPED_TRACE(name);
        struct stat st;
        ASSERT_EQ(::lstat(QFile::encodeName(in(name)).constData(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
        EXPECT_EQ(told.filter(name).filter("is not a regular file").size(), 1) << told.join('\n').toStdString();
    }
}

// A byte-order mark before the first section is read past and kept: the
// change lands in the section the file has, and the next one too.
TEST_F(HostileFiles, AByteOrderMarkIsKeptAndItsSectionFound)
{
    const QByteArray bom = "\xEF\xBB\xBF";
    const struct { const char* name; QByteArray before; QByteArray after; } rows[] = {
        {"key added", bom + "[MachineConfig]\nMachine=Pellar10\n; mine\n",
         bom + "[MachineConfig]\nMachine=Pellar10\nLanguage=Chinese\n; mine\n"},
        {"key replaced, CR LF", bom + "[MachineConfig]\r\nLanguage=English\r\n",
         bom + "[MachineConfig]\r\nLanguage=Chinese\r\n"},
        {"only the mark", bom, bom + "[MachineConfig]\nLanguage=Chinese\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(WriteFile(in("VexmorMachine.ini"), row.before));
        IniFileUpdate u(in("VexmorMachine.ini"));
        u.setValue("MachineConfig/Language", "Chinese");
        ASSERT_TRUE(u.commit());
        EXPECT_EQ(readBytes(in("VexmorMachine.ini")), row.after);
        IniFileUpdate again(in("VexmorMachine.ini"));
        again.setValue("MachineConfig/Language", "English");
        ASSERT_TRUE(again.commit());
        const QByteArray text = readBytes(in("VexmorMachine.ini"));
        EXPECT_EQ(text.count("[MachineConfig]"), 1) << text.toStdString();
        EXPECT_EQ(text.count("Language="), 1) << text.toStdString();
        QSettings s(in("VexmorMachine.ini"), QSettings::IniFormat);
        EXPECT_EQ(s.value("MachineConfig/Language").toString(), "English");
    }
}

// A file is unreadable where its keys cannot be read, not for a NUL in a
// comment line, which the reader skips whole.
TEST_F(HostileFiles, ANulInACommentKeepsTheFile)
{
    const struct { const char* name; QByteArray text; bool kept; } rows[] = {
        {"comment", QByteArray("; a\0b\n[S]\nk=1\n", 13), true},
        {"comment after a byte-order mark", QByteArray("\xEF\xBB\xBF") + QByteArray("; a\0b\n[S]\nk=1\n", 13), true},
        {"indented comment", QByteArray("[S]\n  ;\0\nk=1\n", 12), true},
        {"comment ending the file", QByteArray("[S]\nk=1\n;\0", 10), true},
        {"in a value", QByteArray("[S]\nk=1\0\n", 9), false},
        {"starting a line", QByteArray("[S]\n\0;k=1\n", 10), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = QString("F%1.ini").arg(row.name).remove(' ');
        ASSERT_TRUE(WriteFile(in(name), row.text));
        EXPECT_TRUE(OwnedFile::prepareSettings(in(name)));
        EXPECT_EQ(QFileInfo::exists(in(name)), row.kept);
        EXPECT_EQ(QDir(dir.path()).entryList({name + ".unreadable-*"}).size(), row.kept ? 0 : 1);
        if (row.kept) {
            EXPECT_EQ(readBytes(in(name)), row.text);
            EXPECT_EQ(QSettings(in(name), QSettings::IniFormat).value("S/k").toInt(), 1);
        }
    }
}

// Standard error as the process writes it, kept while the object lives.
class CapturedStandardError
{
public:
    CapturedStandardError()
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        m_file = std::tmpfile();
        ::dup2(::fileno(m_file), STDERR_FILENO);
    }
    ~CapturedStandardError()
    {
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        std::fclose(m_file);
    }
    QByteArray text()
    {
        std::fflush(stderr);
        QFile f;
        f.open(::fileno(m_file), QIODevice::ReadOnly);
        f.seek(0);
        return f.readAll();
    }

private:
    int m_saved = -1;
    FILE* m_file = nullptr;
};

// A log that cannot be written says so on standard error, once, and the
// program carries on: the log folder a regular file, a disk that fills.
TEST_F(HostileFiles, ALogThatCannotBeWrittenSaysSoOnce)
{
    const QByteArray notes = "my own notes\n";
    ASSERT_TRUE(WriteFile(in("notes.txt"), notes));
    qputenv("VEXMOR_LOG_DIR", in("notes.txt").toUtf8());
    QByteArray said;
    {
        CapturedStandardError capture;
        VexmorMessageOutput(QtWarningMsg, QMessageLogContext(), "first");
        VexmorMessageOutput(QtWarningMsg, QMessageLogContext(), "second");
        said = capture.text();
    }
    EXPECT_EQ(said.count("The daily log"), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(in("notes.txt").toUtf8() + "/") && said.contains("nothing is logged there"))
        << said.toStdString();
    EXPECT_EQ(readBytes(in("notes.txt")), notes);

    ASSERT_TRUE(QDir(dir.path()).mkdir("logs"));
    qputenv("VEXMOR_LOG_DIR", in("logs").toUtf8());
    const int code = underFileSizeLimit(
        100,
        [] {
            for (int i = 0; i < 3; ++i)
                VexmorMessageOutput(QtWarningMsg, QMessageLogContext(), QString(200, 'w'));
            return 0;
        },
        &said);
    qunsetenv("VEXMOR_LOG_DIR");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(said.count("The daily log"), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("cannot be written (File too large)")) << said.toStdString();
}

} // namespace
