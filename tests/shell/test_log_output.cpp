#include "logoutput.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

class LogFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_LOG_DIR", dir.filePath("logs").toUtf8());
        setVexmorLogClock([this] { return now; });
    }
    void TearDown() override
    {
        setVexmorLogClock({});
        qunsetenv("VEXMOR_LOG_DIR");
    }
    QByteArray read(const QString& name) const
    {
        QFile f(QDir(dir.filePath("logs")).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
    QDateTime now{QDate(2026, 12, 5), QTime(7, 8, 9)};
};

TEST(LogLine, EachLevelAndMissingContext)
{
    const QDateTime t(QDate(2026, 1, 2), QTime(3, 4, 5));
    const QMessageLogContext ctx("a.cpp", 42, "void f()", nullptr);
    const QMessageLogContext none;
    const std::pair<QtMsgType, const char*> levels[] = {
        {QtDebugMsg, " Debug::"}, {QtWarningMsg, " Warning::"}, {QtCriticalMsg, " Critical::"},
        {QtFatalMsg, " Fatal::"}, {QtInfoMsg, " "}};
    for (auto [type, level] : levels)
        EXPECT_EQ(vexmorLogLine(t, type, ctx, "m"),
                  QString("2026-01-02 03:04:05 %1 m File: a.cpp    Line: 42    Function: void f()").arg(level));
    EXPECT_EQ(vexmorLogLine(t, QtDebugMsg, none, "m"),
              "2026-01-02 03:04:05  Debug:: m File:     Line: 0    Function: ");
}

TEST_F(LogFolder, AppendsCrLfLinesToTheDaysFileAndStartsANewOneNextDay)
{
    const QMessageLogContext ctx("b.cpp", 7, "g", nullptr);
    VexmorMessageOutput(QtWarningMsg, ctx, QString::fromUtf8("größe"));
    VexmorMessageOutput(QtFatalMsg, ctx, "second");
    now = now.addDays(1);
    VexmorMessageOutput(QtInfoMsg, ctx, "next day");

    EXPECT_EQ(read("2026_12_05log.txt"),
              QByteArray("2026-12-05 07:08:09  Warning:: gr\xc3\xb6\xc3\x9f"
                         "e File: b.cpp    Line: 7    Function: g\r\n"
                         "2026-12-05 07:08:09  Fatal:: second File: b.cpp    Line: 7    Function: g\r\n"));
    EXPECT_TRUE(read("2026_12_06log.txt").startsWith("2026-12-06 07:08:09   next day"));
}

TEST_F(LogFolder, ThreadsNeverInterleaveLines)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            const QMessageLogContext ctx("t.cpp", t, "w", nullptr);
            for (int i = 0; i < 1000; ++i)
                VexmorMessageOutput(QtDebugMsg, ctx, QStringLiteral("thread %1 message %2").arg(t).arg(i));
        });
    for (auto& th : threads)
        th.join();
    const QList<QByteArray> lines = read("2026_12_05log.txt").split('\n');
    ASSERT_EQ(lines.size(), 4001); // the text ends with a line end
    for (int i = 0; i < 4000; ++i)
        ASSERT_TRUE(lines[i].startsWith("2026-12-05 07:08:09  Debug:: thread ") && lines[i].endsWith("Function: w\r"))
            << lines[i].constData();
}

// A missing folder is made; one that cannot be (a file in the way) loses the message quietly.
TEST_F(LogFolder, MissingFolderIsMadeAnImpossibleOneLosesTheMessage)
{
    ASSERT_TRUE(QFile(dir.filePath("file")).open(QIODevice::WriteOnly));
    for (auto [folder, kept] : {std::pair{"new/deeper", true}, {"file/logs", false}}) {
        qputenv("VEXMOR_LOG_DIR", dir.filePath(folder).toUtf8());
        VexmorMessageOutput(QtWarningMsg, QMessageLogContext(), "m");
        EXPECT_EQ(QFile::exists(dir.filePath(folder) + "/2026_12_05log.txt"), kept) << folder;
    }
}

TEST_F(LogFolder, AMessageRaisedInsideTheHandlerIsDropped)
{
    // Route Qt's own messages through the handler, then let the handler's
    // clock raise one while the handler holds its lock.
    qInstallMessageHandler(VexmorMessageOutput);
    setVexmorLogClock([this] {
        qWarning("from inside");
        return now;
    });
    qWarning("outside");
    qInstallMessageHandler(nullptr);
    const QByteArray log = read("2026_12_05log.txt");
    EXPECT_TRUE(log.contains("outside"));
    EXPECT_FALSE(log.contains("from inside"));
}

} // namespace
