#pragma once

#include "dlpserialport.h"
#include "hang_ceiling.h"
#include "myserialport.h"
#include "printer_simulator.h"
#include "printer_test_util.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>

// A printer simulator found by discovery (hand-shake done) and a
// configuration folder of the test's own.
class PrinterLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_oldConfig = qgetenv("VEXMOR_CONFIG_DIR");
        qputenv("VEXMOR_CONFIG_DIR", m_dir.path().toLocal8Bit());
        MySerialPort::clearResponse();
    }
    void TearDown() override
    {
        dropLink();
        qputenv("VEXMOR_CONFIG_DIR", m_oldConfig);
    }

    // Online through the simulator; its hand-shake bytes are behind us.
    void connectPrinter(const PrinterSimulator::Options& options = PrinterSimulator::Options())
    {
        sim = std::make_unique<PrinterSimulator>(options);
        ASSERT_TRUE(sim->ok()) << sim->error();
        const QString path = QString::fromStdString(sim->slavePath());
        DlpSerialPort::setPortEnumerator([path] { return QList<PrinterPortInfo>{{path, "USB serial", "VEXMOR3D."}}; });
        DlpSerialPort::getInstance();
        ASSERT_TRUE(DlpSerialPort::m_bOnLine);
        ASSERT_TRUE(sim->waitForCommands(2));
        m_mark = sim->received().size();
    }
    void goOffline()
    {
        dropLink();
        DlpSerialPort::setPortEnumerator([] { return QList<PrinterPortInfo>{}; });
        DlpSerialPort::getInstance();
        ASSERT_FALSE(DlpSerialPort::m_bOnLine);
    }
    static void dropLink()
    {
        DlpSerialPort::shutdown();
        DlpSerialPort::setPortEnumerator({});
        DlpSerialPort::lightEnginePara.clear();
        MySerialPort::clearResponse();
    }

    // Bytes received since the last call (or the hand-shake).
    std::string newBytes()
    {
        const std::string all = sim->received();
        const std::string fresh = all.substr(m_mark);
        m_mark = all.size();
        return fresh;
    }
    // Waits for n more bytes, then takes them.
    std::string nextBytes(size_t n)
    {
        EXPECT_TRUE(sim->waitForBytes(m_mark + n, kHangMs));
        const std::string fresh = sim->received().substr(m_mark, n);
        m_mark += fresh.size();
        return fresh;
    }

    static QByteArray readBytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool writeBytes(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }

    // Short sleeps, but full windows for every awaited reply (they end at the
    // reply), so that a loaded machine never makes the loop write a command
    // twice or the hand-shake give up.
    static PrinterTimings linkTimings()
    {
        const PrinterTimings full;
        PrinterTimings t = testTimings();
        t.command = full.command;
        t.m900 = full.m900;
        t.adjustRead = full.adjustRead;
        // A move's own duration barely adds to a window: tests of other
        // things write an unanswered command again soon.
        t.moveScale = 0.01;
        return t;
    }

    TimingsScope m_timings{linkTimings()};
    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
    std::unique_ptr<PrinterSimulator> sim;
    size_t m_mark = 0;
    LogCapture m_log;
};
