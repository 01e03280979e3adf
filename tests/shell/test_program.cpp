// The real program: it stays up, writes the day's log into the injected
// folder and is ended by its pid.

#include "hang_ceiling.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Program, RunsAndLogsIntoTheInjectedFolder)
{
    QTemporaryDir config, log;
    ASSERT_TRUE(config.isValid() && log.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VEXMOR_CONFIG_DIR", config.path());
    env.insert("VEXMOR_LOG_DIR", log.path());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LIBGL_ALWAYS_SOFTWARE", "1");
    QProcess run;
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QDate started = QDate::currentDate();
    run.start(VEXMOR3D_PATH, QStringList());
    ASSERT_TRUE(run.waitForStarted(kHangMs));
    EXPECT_FALSE(run.waitForFinished(4000)) << run.exitCode(); // up for a few seconds
    run.terminate();
    EXPECT_TRUE(run.waitForFinished(kHangMs));

    const QStringList logs = QDir(log.path()).entryList({"*log.txt"}, QDir::Files);
    const QStringList days = {started.toString("yyyy_MM_dd") + "log.txt",
                              QDate::currentDate().toString("yyyy_MM_dd") + "log.txt"};
    ASSERT_FALSE(logs.isEmpty());
    EXPECT_TRUE(days.contains(logs.first())) << logs.first().toStdString();
    QFile day(log.path() + "/" + logs.first());
    ASSERT_TRUE(day.open(QIODevice::ReadOnly));
    EXPECT_TRUE(day.readAll().endsWith("\r\n"));
    EXPECT_TRUE(QDir(config.path()).entryList({"*log.txt"}, QDir::Files).isEmpty());
}
