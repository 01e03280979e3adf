// The command-line converter against hostile archives and print files for
// another printer: each is refused with its reason, or written with a note,
// and no run takes more than a few hundred megabytes.
#include "hostile_sources.h"
#include "memory_in_use.h"
#include "vxs_reader.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct PeakRun
{
    int exitCode = -1;
    QString errors;
    qint64 peakKb = 0;
};

// Runs `exe` to its end with stderr in `errorFile`; the peak resident
// memory of that process alone, from wait4.
PeakRun RunMeasured(const QString& exe, const QStringList& args, const QString& errorFile)
{
    PeakRun run;
    QList<QByteArray> owned{QFile::encodeName(exe)};
    for (const QString& a : args)
        owned << QFile::encodeName(a);
    std::vector<char*> argv;
    for (QByteArray& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray err = QFile::encodeName(errorFile);
    posix_spawn_file_actions_addopen(&actions, 2, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKb = usage.ru_maxrss;
    QFile f(errorFile);
    if (f.open(QIODevice::ReadOnly))
        run.errors = QString::fromLocal8Bit(f.readAll());
    return run;
}

TEST(ConvertArchiveHostile, EachSourceIsRefusedWithItsReasonOrWrittenWithANoteWithinItsMemory)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const HostileSource& s : HostileSources()) {
        SCOPED_TRACE(s.name);
        const QString source = dir.filePath(s.file);
        ASSERT_TRUE(s.write(source));
        const bool resave = !s.file.endsWith(".zip");
        const QString out = dir.filePath("out.vxs");
        QFile::remove(out);
        QStringList args = resave ? QStringList{"--resave", source} : QStringList{};
        args << "--model" << s.model << "--out" << out;
        if (!resave)
            args << source;
        const PeakRun r = RunMeasured(CONVERT_ARCHIVE_EXE, args, dir.filePath("stderr.txt"));
        EXPECT_EQ(r.exitCode, s.written ? 0 : 1) << r.errors.toStdString();
        EXPECT_EQ(QFile::exists(out), s.written);
        for (const QString& part : s.says)
            EXPECT_TRUE(r.errors.contains(part)) << r.errors.toStdString() << "\nlacks: " << part.toStdString();
        if (s.written && s.says.isEmpty()) {
            EXPECT_TRUE(r.errors.isEmpty()) << r.errors.toStdString();
        }
        if (s.written) {
            QFile f(out);
            VxsFileContents vxs;
            QString error;
            ASSERT_TRUE(f.open(QIODevice::ReadOnly) && ReadVxs(f.readAll(), false, vxs, error)) << qPrintable(error);
            EXPECT_GT(vxs.layerCount, 0);
        }
#ifndef VSL_SANITIZED_HEAP
        // A sanitizer's shadow memory would count; the budget is for the program.
        EXPECT_LT(r.peakKb, kHostileSourcePeakKb) << "peak " << r.peakKb << " kB";
#endif
        std::printf("[ peak     ] %s: %lld kB\n", s.name, static_cast<long long>(r.peakKb));
        QFile::remove(source);
    }
}

} // namespace
