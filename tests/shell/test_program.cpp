// The real program on a display of its own: it stays up, writes the day's
// log into the injected folder and is ended by its pid.

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

namespace {

// The pid of the child of `parent` running `name`, or 0.
pid_t ChildNamed(qint64 parent, const QByteArray& name)
{
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int open = line.indexOf('('), close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (line.mid(open + 1, close - open - 1) == name.left(15) && rest.size() > 1 && rest[1].toLongLong() == parent)
            return pid;
    }
    return 0;
}

TEST(Program, RunsOnItsOwnDisplayAndLogsIntoTheInjectedFolder)
{
    QTemporaryDir config, log;
    ASSERT_TRUE(config.isValid() && log.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VEXMOR_CONFIG_DIR", config.path());
    env.insert("VEXMOR_LOG_DIR", log.path());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LIBGL_ALWAYS_SOFTWARE", "1");
    env.remove("DISPLAY");
    QProcess run;
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QDate started = QDate::currentDate();
    run.start("xvfb-run", {"-a", "-s", "-screen 0 1600x1000x24", VEXMOR3D_PATH});
    ASSERT_TRUE(run.waitForStarted(10000));

    pid_t app = 0;
    QElapsedTimer t;
    t.start();
    while (!app && t.elapsed() < 20000 && run.state() == QProcess::Running) {
        QThread::msleep(100);
        app = ChildNamed(run.processId(), "vexmor3d");
    }
    ASSERT_NE(app, 0) << "vexmor3d did not start";
    // Up for a few seconds.
    EXPECT_FALSE(run.waitForFinished(4000)) << run.exitCode();
    EXPECT_EQ(ChildNamed(run.processId(), "vexmor3d"), app);

    ASSERT_EQ(::kill(app, SIGTERM), 0);
    EXPECT_TRUE(run.waitForFinished(20000));

    QStringList logs = QDir(log.path()).entryList({"*log.txt"}, QDir::Files);
    const QStringList days = {started.toString("yyyy_MM_dd") + "log.txt",
                              QDate::currentDate().toString("yyyy_MM_dd") + "log.txt"};
    ASSERT_FALSE(logs.isEmpty());
    EXPECT_TRUE(days.contains(logs.first())) << logs.first().toStdString();
    QFile day(log.path() + "/" + logs.first());
    ASSERT_TRUE(day.open(QIODevice::ReadOnly));
    EXPECT_TRUE(day.readAll().endsWith("\r\n"));
    // Nothing of the log lands in the config folder.
    EXPECT_TRUE(QDir(config.path()).entryList({"*log.txt"}, QDir::Files).isEmpty());
}

} // namespace
