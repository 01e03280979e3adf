#include "LoopbackGuard.h"
#include "loopback_printer.h"
#include "printer_test_util.h"

#include <QRegularExpression>
#include <QTextCodec>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A transfer thread connected to a loopback printer. What the thread wrote
// and the states it went through are recorded in its own thread, in order.
struct Transfer {
    LoopbackPrinter printer;
    std::unique_ptr<TcpThread> thread;
    QStringList boxes;
    mutable QMutex lock;
    QStringList events;
    QList<int> pollsAtWrite;

    Transfer()
    {
        LoopbackGuard::setEnabled(true);
        EXPECT_TRUE(printer.listen());
        thread = std::make_unique<TcpThread>(QString(), "127.0.0.1", nullptr, testTcpTimings(printer.port()));
        auto* t = thread.get();
        QObject::connect(t, &TcpThread::signal_packetWritten, t, [this, t](int kind, int length) {
            QMutexLocker l(&lock);
            events << QStringLiteral("%1 %2").arg(QStringList{"header", "body", "resend"}.value(kind)).arg(length);
            pollsAtWrite << t->pollCount();
        }, Qt::DirectConnection);
        QObject::connect(t, &TcpThread::signal_stateChanged, t, [this](int state) {
            QMutexLocker l(&lock);
            events << QStringLiteral("state %1").arg(state);
        }, Qt::DirectConnection);
        thread->setInfoBox([this](const QString& title, const QString& text) { boxes << title + ": " + text; });
        thread->start(QThread::HighPriority);
        EXPECT_TRUE(waitFor([this] { return thread->isConnected() && printer.connected(); }));
    }
    ~Transfer() { EXPECT_TRUE(thread->stop(kWaitMs)); }

    bool waitState(int state) { return waitFor([&] { return thread->state() == state; }); }
    // Sends a reply and waits until the thread has read it.
    void reply(const QByteArray& bytes)
    {
        const int before = thread->replyCount();
        printer.send(bytes);
        ASSERT_TRUE(waitFor([&] { return thread->replyCount() > before; }));
    }
    QStringList trace() const { QMutexLocker l(&lock); return events; }
    QList<int> polls() const { QMutexLocker l(&lock); return pollsAtWrite; }
    void clearTrace() { QMutexLocker l(&lock); events.clear(); }
    QStringList packets() const { return trace().filter(QRegularExpression("^(header|body|resend)")); }
};

}  // namespace

TEST(TcpTransfer, HeaderPacketsStatesAndFinalAcknowledgements)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("model.vxs"), 2500);
    Transfer t;
    t.thread->slot_sendFile(path);
    ASSERT_TRUE(waitFor([&] { return t.printer.headers().size() == 1; }));
    EXPECT_EQ(t.printer.headers().first(), QByteArray("L:0S:20D:FN:model.vxs FS:2500"));
    EXPECT_EQ(TcpThread::TotalBytes, 2500);

    t.reply("L11 P0 R:0");
    ASSERT_TRUE(t.waitState(3));
    ASSERT_TRUE(waitFor([&] { return t.printer.body().size() == 2500; }));
    EXPECT_EQ(t.printer.body(), fileBytes(path));
    EXPECT_EQ(TcpThread::bytesSended, 2500);
    EXPECT_EQ(t.trace(), (QStringList{"header 29", "state 1", "state 2", "body 1024", "body 1024", "body 452",
                                      "state 3"}));

    // Replies that change nothing in state 3.
    for (const QByteArray& r : {QByteArray("L11 P2500 R:1"), QByteArray("R:0 L11 P2500"), QByteArray("L11 P"),
                                QByteArray("hello")}) {
        t.reply(r);
        EXPECT_EQ(t.thread->state(), 3) << r.constData();
    }
    t.reply("L11 P2400 R:0");
    EXPECT_EQ(t.thread->state(), 5);

    // A file offered in state 5 is refused with the box; a cancel ends it.
    t.thread->slot_sendFile(path);
    EXPECT_EQ(t.boxes, QStringList{"Warnning: tcpthread File is Sending,Wait Please"});
    EXPECT_TRUE(t.thread->transferCancel());
    EXPECT_EQ(t.thread->state(), 4);
}

TEST(TcpTransfer, ProgressReportFromThePrinterOncePerReplyAfterReconnects)
{
    Transfer t;
    // Each connect reuses the socket's connections instead of adding more.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(t.thread->newConnect(QStringLiteral("127.0.0.1")));
        ASSERT_TRUE(waitFor([&] { return t.printer.connections == i + 2 && t.printer.connected(); }));
    }
    QList<QPair<qlonglong, qlonglong>> seen;
    QObject::connect(t.thread.get(), &TcpThread::signal_tcpBytesSend, &t.printer,
                     [&](qlonglong v, qlonglong z) { seen << qMakePair(v, z); });
    t.reply("L12 Print:37");
    t.reply("L12 Print:x");  // unreadable: 0
    ASSERT_TRUE(waitFor([&] { return seen.size() >= 2; }));
    EXPECT_EQ(seen, (QList<QPair<qlonglong, qlonglong>>{{37, 0}, {0, 0}}));
    EXPECT_EQ(t.thread->replyCount(), 2);
}

TEST(TcpTransfer, OfferWhileTheBodyGoesIsRefusedAndACancelStopsIt)
{
    QTemporaryDir dir;
    // More than the loopback socket buffers hold, so the body stalls.
    const QString path = writeFile(dir, QStringLiteral("big.vxs"), 32 << 20);
    Transfer t;
    t.printer.ackHeader = true;
    t.printer.pauseAfterHeader = true;
    t.thread->slot_sendFile(path);
    ASSERT_TRUE(t.waitState(2));
    t.thread->slot_sendFile(path);
    EXPECT_EQ(t.boxes, QStringList{"Warnning: tcpthread File is Sending,Wait Please"});
    EXPECT_EQ(t.thread->state(), 2);
    EXPECT_TRUE(t.thread->transferCancel());
    EXPECT_EQ(t.thread->state(), 4);
    const qint64 packed = TcpThread::bytesSended;
    EXPECT_LT(packed, 32 << 20);
    t.printer.resumeReading();
    ASSERT_TRUE(waitFor([&] { return t.printer.body().size() == packed; }));
    EXPECT_EQ(TcpThread::bytesSended, packed);
}

TEST(TcpTransfer, UnacknowledgedHeaderGoesAgainAfter51Polls)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("a.vxs"), 10);
    Transfer t;
    t.thread->slot_sendFile(path);
    ASSERT_TRUE(waitFor([&] { return t.packets().size() >= 3; }));
    EXPECT_EQ(t.packets().mid(0, 3), (QStringList{"header 23", "resend 23", "resend 23"}));
    const QList<int> polls = t.polls();
    EXPECT_EQ(std::pair(polls[1] - polls[0], polls[2] - polls[1]), std::pair(51, 51));
    ASSERT_TRUE(waitFor([&] { return t.printer.headers().size() >= 3; }));
    EXPECT_EQ(t.printer.headers()[1], t.printer.headers()[0]);

    // An offer while the header waits is refused.
    t.thread->slot_sendFile(path);
    EXPECT_EQ(t.boxes.size(), 1);
    EXPECT_EQ(t.thread->state(), 1);
}

TEST(TcpTransfer, FilesOfWholePacketsAndEmptyFilesFinish)
{
    struct Row { int size; QStringList packets; } rows[] = {{0, {"header 22"}}, {1024, {"header 25", "body 1024"}},
        {2048, {"header 25", "body 1024", "body 1024"}}, {1, {"header 22", "body 1"}}};
    QTemporaryDir dir;
    Transfer t;
    t.printer.ackHeader = true;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        const QString path = writeFile(dir, QStringLiteral("f.vxs"), row.size);
        t.printer.clear();
        t.clearTrace();
        t.thread->slot_sendFile(path);
        ASSERT_TRUE(t.waitState(3));
        ASSERT_TRUE(waitFor([&] { return t.printer.body().size() == row.size; }));
        EXPECT_EQ(t.printer.body(), fileBytes(path));
        EXPECT_EQ(t.packets(), row.packets);
        t.reply("L11 P" + QByteArray::number(row.size) + " R:0");
        EXPECT_EQ(t.thread->state(), 4);
    }
    EXPECT_TRUE(t.boxes.isEmpty());
}

TEST(TcpTransfer, LongAndNonAsciiNamesGoWhole)
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    QTemporaryDir dir;
    const QString nonAscii = writeFile(dir, QString::fromUtf8("模型-ü.vxs"), 3);
    // No file system takes a 2000-character name: the offer names a file
    // that cannot be read, which goes as an empty one.
    const QString longName = QString(2000, QLatin1Char('n')) + QStringLiteral(".vxs");
    struct Row { QString path; QByteArray header; } rows[] = {
        {nonAscii, "L:0S:21D:" + QString::fromUtf8("FN:模型-ü.vxs FS:3").toUtf8()},
        {dir.filePath(longName), "L:0S:2012D:FN:" + longName.toLatin1() + " FS:0"},
    };
    Transfer t;
    t.printer.ackHeader = true;
    for (const Row& row : rows) {
        t.printer.clear();
        t.thread->slot_sendFile(row.path);
        ASSERT_TRUE(t.waitState(3));
        ASSERT_TRUE(waitFor([&] { return t.printer.headers().size() == 1; }));
        EXPECT_EQ(t.printer.headers().first(), row.header);
        EXPECT_EQ(TcpThread::headerPacket(QFileInfo(row.path).fileName(), TcpThread::TotalBytes), row.header);
        t.reply("L11 P" + QByteArray::number(TcpThread::TotalBytes.load()) + " R:0");
        EXPECT_EQ(t.thread->state(), 4);
    }
}

TEST(TcpTransfer, UnreachablePrinterReconnectsEveryFifthPassTenTimes)
{
    LoopbackGuard::setEnabled(true);
    quint16 port;
    {
        QTcpServer gone;
        ASSERT_TRUE(gone.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        port = gone.serverPort();
    }
    LogCapture log;
    TcpThread t(QString(), QStringLiteral("127.0.0.1"), nullptr, testTcpTimings(port));
    t.start();
    ASSERT_TRUE(waitFor([&] { return log.has(QStringLiteral("The Server is Wrong")); }));
    EXPECT_TRUE(t.stop(kWaitMs));
    EXPECT_FALSE(t.isConnected());
    EXPECT_FALSE(t.transferCancel());
    EXPECT_EQ(t.state(), 0);

    QStringList attempts, expected;
    for (const QString& line : log.lines())
        if (line.startsWith(QLatin1String("TCP reconnect attempt")))
            attempts << line.mid(22);
    for (int i = 1; i <= 10; ++i)
        expected << QString("%1 at pass %2").arg(i).arg(5 * i);
    EXPECT_EQ(attempts, expected);
}

TEST(TcpTransfer, GuardRefusesOtherAddresses)
{
    LoopbackGuard::setEnabled(true);
    LogCapture log;
    TcpThread t(QString(), QStringLiteral("192.0.2.1"), nullptr, testTcpTimings(9));
    t.start();
    ASSERT_TRUE(waitFor([&] { return log.has(QStringLiteral("Loopback guard: connection dropped")); }));
    EXPECT_FALSE(t.newConnect(QStringLiteral("10.0.0.1")));
    EXPECT_TRUE(t.stop(kWaitMs));
    EXPECT_FALSE(log.has(QStringLiteral("TCP Server Connect OK")));
}
