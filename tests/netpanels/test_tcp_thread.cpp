#include "hang_ceiling.h"
#include "LoopbackGuard.h"
#include "loopback_printer.h"
#include "memory_in_use.h"
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

    explicit Transfer(const std::function<void(TcpTimings&)>& tweak = {})
    {
        LoopbackGuard::setEnabled(true);
        EXPECT_TRUE(printer.listen());
        TcpTimings timings = testTcpTimings(printer.port());
        if (tweak)
            tweak(timings);
        thread = std::make_unique<TcpThread>(QString(), "127.0.0.1", nullptr, timings);
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
    ~Transfer() { EXPECT_TRUE(thread->stop(kHangMs)); }

    bool waitState(int state) { return waitFor([&] { return thread->state() == state; }); }
    // Offers the file and waits until the printer has its header (on a
    // loaded machine the first resend can arrive in the same read).
    void offer(const QString& path)
    {
        thread->slot_sendFile(path);
        ASSERT_TRUE(waitFor([&] { return printer.headers().size() >= 1; }));
    }
    // Offers the file to a printer that stops reading after the header; the
    // body goes out in state 2 until the socket buffers are full.
    void offerStalled(const QString& path)
    {
        printer.ackHeader = true;
        printer.pauseAfterHeader = true;
        thread->slot_sendFile(path);
        ASSERT_TRUE(waitState(2));
    }
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
    ASSERT_NO_FATAL_FAILURE(t.offer(path));
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
    ASSERT_NO_FATAL_FAILURE(t.offerStalled(path));
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

// N counts the characters of the header's text, not its bytes.
TEST(TcpTransfer, LongAndNonAsciiNamesGoWhole)
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    QTemporaryDir dir;
    const QString nonAscii = writeFile(dir, QString::fromUtf8("模型-ü.vxs"), 3);
    const QByteArray header = "L:0S:16D:" + QString::fromUtf8("FN:模型-ü.vxs FS:3").toUtf8();
    Transfer t;
    t.printer.ackHeader = true;
    t.thread->slot_sendFile(nonAscii);
    ASSERT_TRUE(t.waitState(3));
    ASSERT_TRUE(waitFor([&] { return t.printer.headers().size() == 1; }));
    EXPECT_EQ(t.printer.headers().first(), header);
    EXPECT_EQ(TcpThread::headerPacket(QFileInfo(nonAscii).fileName(), 3), header);
    ASSERT_TRUE(waitFor([&] { return t.printer.body().size() == 3; }));  // before what follows
    t.reply("L11 P3 R:0");
    EXPECT_EQ(t.thread->state(), 4);

    // No file system takes a 2000-character name: its header, and the same
    // framing of a long text sent as it is, go whole.
    const QString longName = QString(2000, QLatin1Char('n')) + QStringLiteral(".vxs");
    EXPECT_EQ(TcpThread::headerPacket(longName, 0), "L:0S:2012D:FN:" + longName.toLatin1() + " FS:0");
    t.printer.clear();
    const QString text = "FN:" + longName + " FS:0";
    EXPECT_EQ(t.thread->tcpSend(text), 2023);
    ASSERT_TRUE(waitFor([&] { return t.printer.headers().size() == 1; }));
    EXPECT_EQ(t.printer.headers().first(), "L:0S:2012D:" + text.toLatin1());
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
    EXPECT_TRUE(t.stop(kHangMs));
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
    EXPECT_TRUE(t.stop(kHangMs));
    EXPECT_FALSE(log.has(QStringLiteral("TCP Server Connect OK")));
}

// Acknowledgements split across reads, even byte by byte, still count.
TEST(TcpTransferFailures, AcknowledgementsInPiecesCount)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("p.vxs"), 2500);
    Transfer t;
    ASSERT_NO_FATAL_FAILURE(t.offer(path));
    for (const QByteArray& piece : {QByteArray("L11 P"), QByteArray("0 R"), QByteArray(":0")})
        t.reply(piece);
    ASSERT_TRUE(t.waitState(3));
    ASSERT_TRUE(waitFor([&] { return t.printer.body().size() == 2500; }));
    const QByteArray last = "noise L11 P2500 R:0";
    for (char c : last) {
        EXPECT_EQ(t.thread->state(), 3);
        t.reply(QByteArray(1, c));
    }
    EXPECT_EQ(t.thread->state(), 4);
}

// A file that cannot be read, a printer that closes before the last
// acknowledgement, one that never gives it, and one that never acknowledges
// the header: each transfer ends failed, with the reason.
TEST(TcpTransferFailures, EachFailureEndsTheTransferWithItsReason)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("q.vxs"), 3000);
    const QString missing = dir.filePath("gone.vxs");
    const QStringList wholeFile{"header 25", "body 1024", "body 1024", "body 952"};
    struct Row { const char* what; QString file; bool ackHeader, close; QString reason; QStringList packets; };
    const Row rows[] = {
        {"the file cannot be read", missing, true, false, "Cannot read " + missing, {}},
        {"closes before the last acknowledgement", path, true, true,
         "The printer closed the connection before the transfer was acknowledged", wholeFile},
        {"never sends the last acknowledgement", path, true, false, "No final acknowledgement from the printer within",
         wholeFile},
        {"never acknowledges the header", path, false, false, "No acknowledgement of the header after 3 sends",
         {"header 25", "resend 25", "resend 25"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Transfer t([](TcpTimings& timings) {
            timings.headerSends = 3;
            timings.finalAckWaitMs = 300;
        });
        t.printer.ackHeader = r.ackHeader;
        t.thread->slot_sendFile(r.file);
        if (r.close) {
            ASSERT_TRUE(waitFor([&] { return t.thread->state() == 3 && t.printer.body().size() == 3000; }));
            t.printer.closePeer();
        }
        ASSERT_TRUE(t.waitState(TcpThread::kFailedState));
        EXPECT_TRUE(t.thread->failureReason().startsWith(r.reason)) << t.thread->failureReason().toStdString();
        EXPECT_EQ(t.packets(), r.packets);
        if (r.packets.isEmpty()) {  // nothing went: a readable file offered next goes as usual
            t.printer.ackBody = true;
            t.thread->slot_sendFile(path);
            ASSERT_TRUE(t.waitState(4));
        }
    }
}

// The operations the search panel does not call: one body packet, a resend
// of the last packet, bytes or a framed text sent as they are.
TEST(TcpTransferSends, BodyPacketResendAndDirectSends)
{
    QTemporaryDir dir;
    const QString small = writeFile(dir, QStringLiteral("s.vxs"), 100);
    // No header resend of the thread's own while the test asks for one.
    Transfer t([](TcpTimings& timings) { timings.pollMs = 600000; });
    // Outside states 1 and 2 neither the body packet nor the resend sends anything.
    t.thread->streamBodySend();
    t.thread->streamResend();
    t.thread->fileTransfer();
    // State 1: the header again, as it was.
    ASSERT_NO_FATAL_FAILURE(t.offer(small));
    t.thread->streamResend();
    ASSERT_TRUE(waitFor([&] { return t.printer.headers().size() == 2; }));
    EXPECT_EQ(t.printer.headers()[1], t.printer.headers()[0]);
    EXPECT_EQ(t.packets().mid(0, 2), (QStringList{"header 24", "resend 24"}));

    // Bytes as they are; nothing without bytes.
    t.printer.clear();
    char raw[] = "\x01\x02raw\xff";
    EXPECT_EQ(t.thread->tcpSend(raw, 6), 6);
    ASSERT_TRUE(waitFor([&] { return t.printer.body() == QByteArray(raw, 6); }));
    EXPECT_EQ(t.thread->tcpSend(raw, 0), -1);
    EXPECT_EQ(t.thread->tcpSend(nullptr, 4), -1);
    EXPECT_EQ(t.thread->tcpSend(raw, -3), -1);
    // A framed text in Latin-1: N counts characters, one outside Latin-1 becomes "?".
    t.printer.clear();
    EXPECT_EQ(t.thread->tcpSend(QString::fromUtf8("h\u00e9llo\u6a21")), 14);
    ASSERT_TRUE(waitFor([&] { return t.printer.headers().size() == 1; }));
    EXPECT_EQ(t.printer.headers().first(), QByteArray("L:0S:6D:h\xe9llo?"));
    EXPECT_EQ(TcpThread::framed(QString::fromUtf8("\U0001F600ab")), QString::fromUtf8("L:0S:3D:\U0001F600ab"));
}

// State 2 with the body stalled: one more packet on request, and its progress.
TEST(TcpTransferSends, OneBodyPacketOnRequest)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("big.vxs"), 32 << 20);
    Transfer t;
    QList<QPair<qlonglong, qlonglong>> progress;
    QObject::connect(t.thread.get(), &TcpThread::signal_tcpBytesSend, &t.printer,
                     [&](qlonglong sent, qlonglong total) { progress << qMakePair(sent, total); });
    ASSERT_NO_FATAL_FAILURE(t.offerStalled(path));
    // Stalled once the socket buffers are full.
    qint64 packed = -1;
    ASSERT_TRUE(waitFor([&] {
        const qint64 now = TcpThread::bytesSended;
        QTest::qWait(100);
        return std::exchange(packed, now) == now && TcpThread::bytesSended == now;
    }));
    packed = TcpThread::bytesSended;
    t.thread->streamBodySend();
    ASSERT_TRUE(waitFor([&] { return !progress.isEmpty(); }));
    EXPECT_EQ(progress, (QList<QPair<qlonglong, qlonglong>>{{packed + 1024, 32 << 20}}));
    EXPECT_TRUE(t.thread->transferCancel());
    t.printer.resumeReading();
}

// The printer's replies however they are cut: each message once, whole.
TEST(TransferRepliesTest, MessagesFromPiecesOfAnySize)
{
    using M = TransferReplies::Message;
    auto text = [](const QList<M>& ms) {
        QStringList out;
        for (const M& m : ms)
            out << (m.kind == M::Acknowledgement ? QStringLiteral("ack %1 %2").arg(m.bytes).arg(m.code)
                                                 : QStringLiteral("progress %1").arg(m.bytes));
        return out;
    };
    const struct { const char* name; QList<QByteArray> pieces; QStringList messages; } rows[] = {
        {"whole", {"L11 P2500 R:0"}, {"ack 2500 0"}},
        {"cut before the number", {"L11 P25", "00 R:", "0"}, {"ack 2500 0"}},
        {"a failure code", {"L11 P2500 R:1"}, {"ack 2500 1"}},
        {"blanks before the code", {"L11 P7 R:  3x"}, {"ack 7 3"}},
        {"no number for the code reads 0", {"L11 P7 R:x"}, {"ack 7 0"}},
        {"R: before the message is none", {"R:0 L11 P2500"}, {}},
        {"an unfinished message gives way", {"L11 P2500", "L11 P2400 R:0"}, {"ack 2400 0"}},
        {"two in one read", {"L12 Print:3 L11 P9 R:0"}, {"progress 3", "ack 9 0"}},
        {"noise around", {"hello L11 P1 R:0 bye"}, {"ack 1 0"}},
        {"unreadable byte count", {"L11 Pabc R:0"}, {"ack 0 0"}},
        {"huge byte count", {"L11 P99999999999999999999999 R:0"}, {"ack 0 0"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TransferReplies replies;
        QList<M> got;
        for (const QByteArray& piece : r.pieces)
            got += replies.feed(piece);
        EXPECT_EQ(text(got), r.messages);
    }
    // Endless noise, and an unfinished message without end, keep little.
    TransferReplies replies;
    for (int i = 0; i < 10000; ++i)
        replies.feed(QByteArray(1000, 'x'));
    EXPECT_LE(replies.buffered(), TransferReplies::kMaxMessageBytes);
    replies.feed("L11 P");
    for (int i = 0; i < 10000; ++i)
        EXPECT_TRUE(replies.feed(QByteArray(1000, '7')).isEmpty());
    EXPECT_LE(replies.buffered(), TransferReplies::kMaxMessageBytes);
    EXPECT_EQ(text(replies.feed("L11 P5 R:0")), QStringList{"ack 5 0"});
}

// A printer that talks without end, and one that drips its acknowledgement
// with noise between: the transfer takes what is meant and keeps no more
// than a message's worth of what it read.
TEST(TcpTransferFailures, EndlessTalkKeepsTheMemoryWhereItWas)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("e.vxs"), 100);
    Transfer t([](TcpTimings& timings) { timings.headerSends = 1000000; });
    ASSERT_NO_FATAL_FAILURE(t.offer(path));
    const qint64 before = memoryInUseKb();
    const QByteArray noise(1 << 20, '7');
    t.printer.send("L11 P");  // a message that never ends
    for (int mb = 0; mb < 256; ++mb) {
        t.printer.send(noise);
        ASSERT_TRUE(waitFor([&] { return t.printer.pendingBytes() < (1 << 20); }));
    }
    ASSERT_TRUE(waitFor([&] { return t.thread->replyCount() > 0 && t.printer.pendingBytes() == 0; }));
    EXPECT_EQ(t.thread->state(), 1);  // nothing of it was an acknowledgement
    EXPECT_LT(memoryInUseKb() - before, 64 << 10);
    t.reply("L11 P0 R:0");
    ASSERT_TRUE(t.waitState(3));
}
