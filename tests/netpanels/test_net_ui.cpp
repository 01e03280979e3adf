#include "event_wait.h"
#include "LoopbackGuard.h"
#include "NetUI.h"
#include "loopback_printer.h"
#include "printer_test_util.h"

#include <QNetworkDatagram>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>

#include <atomic>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A printer's UDP side: listens where the panel's search goes and answers
// from an address of its own in 127.0.0.0/8.
class Responder
{
public:
    explicit Responder(const char* address = "127.0.0.1")
    {
        EXPECT_TRUE(m_socket.bind(QHostAddress(QString::fromLatin1(address)), 0)) << address;
    }
    quint16 port() const { return m_socket.localPort(); }
    QByteArray next()
    {
        EXPECT_TRUE(waitFor([this] { return m_socket.hasPendingDatagrams(); }));
        return m_socket.receiveDatagram().data();
    }
    bool pending() { return m_socket.hasPendingDatagrams(); }
    void answer(const QByteArray& text, quint16 port)
    {
        m_socket.writeDatagram(text, QHostAddress(QStringLiteral("127.0.0.1")), port);
    }

private:
    QUdpSocket m_socket;
};

struct Panel {
    Responder listener;
    std::unique_ptr<NetUI> ui = std::make_unique<NetUI>();
    QStringList boxes;
    QList<QVector<QString>> lists;

    explicit Panel(int searchMs = 20, int progressMs = 3600000, quint16 tcpPort = 9)
    {
        LoopbackGuard::setEnabled(true);
        NetUiSettings s;
        s.target = s.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        s.targetPort = listener.port();
        s.localPort = 0;
        s.searchIntervalMs = searchMs;
        s.progressIntervalMs = progressMs;
        s.tcp = testTcpTimings(tcpPort);
        ui->setSettings(s);
        ui->setInfoBox([this](const QString& title, const QString& text) { boxes << title + ": " + text; });
        QObject::connect(ui.get(), &NetUI::signal_dev_list, [this](QVector<QString> l) { lists << l; });
    }
    quint16 port() const { return ui->localPort(); }
};

}  // namespace

TEST(NetSearch, WordAfterOneIntervalAndEntriesPerSender)
{
    Panel p;
    p.ui->netSearch(true);
    ASSERT_TRUE(p.ui->searchTimer());
    EXPECT_EQ(p.ui->searchTimer()->interval(), 20);
    EXPECT_FALSE(p.listener.pending());  // nothing before the first interval ends
    EXPECT_EQ(p.listener.next(), QByteArray("Vexmor3D"));

    Responder ten("127.0.0.10"), one("127.0.0.1");
    // The longer address first: its entry must not be taken for 127.0.0.1's.
    ten.answer("Printer_B", p.port());
    ASSERT_TRUE(waitFor([&] { return p.lists.size() == 1; }));
    one.answer("Printer_A", p.port());
    ASSERT_TRUE(waitFor([&] { return p.lists.size() == 2; }));
    EXPECT_EQ(p.ui->deviceList(), (QVector<QString>{"Printer_B=>127.0.0.10", "Printer_A=>127.0.0.1"}));

    // Same text: no signal; new text replaces the entry; no "_": nothing.
    for (const char* text : {"Printer_B", "Vexmor3D", "Printer_C"})
        ten.answer(text, p.port());
    ASSERT_TRUE(waitFor([&] { return p.lists.size() == 3; }));
    EXPECT_EQ(p.ui->deviceList(), (QVector<QString>{"Printer_C=>127.0.0.10", "Printer_A=>127.0.0.1"}));

    // A zero byte ends the text; the address still follows "=>".
    one.answer(QByteArray("P_9\0junk", 8), p.port());
    ASSERT_TRUE(waitFor([&] { return p.ui->deviceList()[1] == QString("P_9=>127.0.0.1"); }));

    // Several at once: all count, in order.
    Responder r2("127.0.0.2"), r3("127.0.0.3");
    r2.answer("P_2", p.port());
    r3.answer("P_3", p.port());
    ASSERT_TRUE(waitFor([&] { return p.ui->deviceList().size() == 4; }));
    EXPECT_EQ(p.ui->deviceList().mid(2), (QVector<QString>{"P_2=>127.0.0.2", "P_3=>127.0.0.3"}));

    p.ui->netSearch(false);
    EXPECT_FALSE(p.ui->searchTimer()->isActive());
    EXPECT_TRUE(p.ui->deviceList().isEmpty());
}

TEST(NetSearch, CancelRepeatedUntilAcknowledged)
{
    LoopbackPrinter printer;
    ASSERT_TRUE(printer.listen());
    Panel p(3600000, 3600000, printer.port());
    p.ui->netTransfer(1);  // no connection yet: nothing
    p.ui->netTransfer(0);
    EXPECT_FALSE(p.ui->searchTimer());
    EXPECT_FALSE(p.listener.pending());

    EXPECT_TRUE(p.ui->netConnect(QStringLiteral("P_1=>127.0.0.1"), true));
    ASSERT_TRUE(waitFor([&] { return p.ui->transferThread()->isConnected(); }));
    p.ui->netTransfer(0);
    EXPECT_FALSE(p.listener.pending());

    p.ui->netTransfer(1);
    EXPECT_EQ(p.ui->transferThread()->state(), 4);
    EXPECT_EQ(p.listener.next(), QByteArray("Vexmor3D_NET_TRANSFER_CANCEL"));
    EXPECT_TRUE(p.ui->searchTimer()->isActive());
    p.ui->udpTimeOut();  // a tick repeats it
    EXPECT_EQ(p.listener.next(), QByteArray("Vexmor3D_NET_TRANSFER_CANCEL"));

    Responder printerUdp("127.0.0.5");
    printerUdp.answer("P_NET_TRANSFER_CANCEL", p.port());
    ASSERT_TRUE(waitFor([&] { return !p.lists.isEmpty(); }));
    EXPECT_EQ(p.ui->searchWord(), QString("Vexmor3D"));
    while (p.listener.pending())
        p.listener.next();
    p.ui->udpTimeOut();
    EXPECT_EQ(p.listener.next(), QByteArray("Vexmor3D"));
}

TEST(NetSearch, FileSendBoxesAndProgressPerFile)
{
    QTemporaryDir dir;
    const QString first = writeFile(dir, QStringLiteral("a.vxs"), 3000);
    const QString second = writeFile(dir, QStringLiteral("b.vxs"), 2000);
    LoopbackPrinter printer;
    printer.ackHeader = printer.ackBody = true;
    ASSERT_TRUE(printer.listen());
    Panel p(20, 3600000, printer.port());

    p.ui->slot_fileSend(first);
    ASSERT_TRUE(p.ui->netConnect(QStringLiteral("P_1=>127.0.0.1"), true));
    TcpThread* tcp = p.ui->transferThread();
    ASSERT_TRUE(waitFor([&] { return tcp->isConnected(); }));
    p.ui->slot_fileSend(QString());
    EXPECT_EQ(p.boxes, (QStringList{"Warnning: Printer is not Exist, Check the network Please",
                                    "Warnning: Not File is selected"}));

    QList<QPair<qulonglong, qulonglong>> reports;
    QObject::connect(p.ui.get(), &NetUI::signal_tcpByteSend,
                     [&](qulonglong s, qulonglong t) { reports << qMakePair(s, t); });
    p.ui->netSearch(true);
    p.ui->slot_fileSend(first);
    EXPECT_FALSE(p.ui->searchTimer()->isActive());
    EXPECT_TRUE(p.ui->progressTimer()->isActive());
    ASSERT_TRUE(waitFor([&] { return tcp->state() == 4; }));
    EXPECT_EQ(printer.body(), fileBytes(first));

    // The counters as the ticks would find them mid-transfer.
    for (qint64 sent : {1024, 1024, 2048, 3000}) {
        TcpThread::bytesSended = sent;
        p.ui->speedTimeOut();
    }
    EXPECT_EQ(reports, (QList<QPair<qulonglong, qulonglong>>{{1024, 3000}, {2048, 3000}, {3000, 3000}}));
    EXPECT_FALSE(p.ui->progressTimer()->isActive());

    reports.clear();
    p.ui->slot_fileSend(second);
    ASSERT_TRUE(waitFor([&] { return tcp->state() == 4 && printer.body().size() == 2000; }));
    TcpThread::bytesSended = 1024;
    p.ui->speedTimeOut();
    EXPECT_EQ(reports, (QList<QPair<qulonglong, qulonglong>>{{1024, 2000}}));
    EXPECT_EQ(p.boxes.size(), 2);

    p.ui->slot_tcpByteSend(1024, 2000);
    EXPECT_EQ(p.ui->findChild<QTextBrowser*>("textBrowser")->toPlainText(), QString("1024:2000"));

    // A transfer that fails says why in the panel's box.
    p.ui->slot_fileSend(dir.filePath("gone.vxs"));
    ASSERT_TRUE(waitFor([&] { return p.boxes.size() == 3; }));
    EXPECT_TRUE(p.boxes.last().startsWith("Warnning: File transfer failed: Cannot read " + dir.filePath("gone.vxs")))
        << p.boxes.last().toStdString();
    EXPECT_EQ(tcp->state(), TcpThread::kFailedState);
}

TEST(NetSearch, DestroyingThePanelJoinsTheTransferThread)
{
    LoopbackPrinter printer;
    ASSERT_TRUE(printer.listen());
    LogCapture log;
    // Emitted on the transfer thread: a spy's list would be written there.
    // Made before the thread starts and connected while it cannot yet end,
    // so the connection is in place before any emission.
    std::atomic<int> finished{0};
    Panel p(20, 3600000, printer.port());
    ASSERT_TRUE(p.ui->netConnect(QStringLiteral("P_1=>127.0.0.1"), true));
    QPointer<TcpThread> tcp = p.ui->transferThread();
    QObject::connect(tcp.data(), &QThread::finished, [&] { ++finished; });
    ASSERT_TRUE(waitFor([&] { return tcp->isConnected(); }));
    // A second connect reuses the thread.
    EXPECT_TRUE(p.ui->netConnect(QStringLiteral("P_1=>127.0.0.1"), true));
    EXPECT_EQ(p.ui->transferThread(), tcp.data());
    EXPECT_FALSE(p.ui->netConnect(QString(), false));  // disconnected at once

    p.ui.reset();
    EXPECT_EQ(finished.load(), 1);
    EXPECT_TRUE(tcp.isNull());
    EXPECT_FALSE(TcpThread::s_isexist);
    EXPECT_TRUE(log.has(QStringLiteral("TCP Thread Close OK")));
}

TEST(NetSearch, PanelShowsItsForm)
{
    NetUI ui;
    ui.show();
    ASSERT_TRUE(WaitUntilExposed(&ui));
    EXPECT_TRUE(ui.findChild<QLabel*>("link_stat")->text().contains("#ff0000"));
    const QImage shot = ui.grab().toImage();
    shot.save(QStringLiteral(VSL_SHOT_DIR "/netpanels_netui.png"));
    // The buttons stand in the bottom row, drawn.
    QPushButton* button = ui.findChild<QPushButton*>("pbSearch");
    const QRect search(button->mapTo(&ui, QPoint(0, 0)), button->size());
    EXPECT_GT(search.top(), 400);
    QSet<QRgb> colours;
    for (int x = search.left(); x < search.right(); ++x)
        colours.insert(shot.pixel(x, search.center().y()));
    EXPECT_GT(colours.size(), 2);
}
