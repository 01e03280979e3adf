#include "LoopbackGuard.h"
#include "NetPrinterScan.h"
#include "loopback_http.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace
{
struct LoopbackOnly : ::testing::Environment
{
    void SetUp() override { keepToLoopback(); }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new LoopbackOnly);

QList<QHostAddress> addrs(const QStringList& texts)
{
    QList<QHostAddress> out;
    for (const QString& t : texts)
        out << QHostAddress(t);
    return out;
}

TEST(NetPrinterAreas, AreasOfAddressList)
{
    struct Row
    {
        QStringList addresses;
        QVector<QString> areas;
    };
    const Row rows[] = {
        {{"192.168.0.5"}, {"192.168.0.", "192.168.1."}},
        {{"10.0.255.7"}, {"10.0.255.", "10.0.254."}},
        {{"172.16.4.9"}, {"172.16.4.", "172.16.5.", "172.16.3."}},
        {{"192.168.0.5", "192.168.0.77"}, {"192.168.0.", "192.168.1.", "192.168.0.", "192.168.1."}},
        {{"fe80::1", "2001:db8::5", "10.0.255.7"}, {"10.0.255.", "10.0.254."}},
        {{"127.0.0.1"}, {"127.0.0.", "127.0.1."}},
        {{}, {}},
    };
    for (const Row& r : rows) {
        QVector<QString> areas{"kept."};
        NetPrinterScan::ipAreasOf(addrs(r.addresses), areas);
        EXPECT_EQ(areas, QVector<QString>{"kept."} + r.areas) << r.addresses.join(',').toStdString();
    }
}

TEST(NetPrinterAreas, DefaultSourceAndPageUrls)
{
    const NetScanSource d = NetScanSource::defaults();
    EXPECT_EQ(d.fixedHosts, QStringList{"169.254.2.2"});
    EXPECT_EQ(d.port, 80);
    EXPECT_TRUE(bool(d.areas));  // never called here: it would scan real networks

    NetPrinterScan scan;
    scan.setSource({[] { return QVector<QString>(); }, {}, 80});
    EXPECT_EQ(scan.pageUrl("127.0.0.37").toString(), "http://127.0.0.37");
    scan.setSource({[] { return QVector<QString>(); }, {}, 8123});
    EXPECT_EQ(scan.pageUrl("127.0.0.37").toString(), "http://127.0.0.37:8123");
}

TEST(NetPrinterEntries, NamesAndAddresses)
{
    const struct
    {
        QString name, clean;
    } names[] = {
        {"A1B2", "A1B2"},
        {"ev=>10.9.9.9", "ev10.9.9.9"},
        {"a==>>b", "ab"},
        {"=\x01>x", "x"},
        {"line\r\nbreak\ttab", "linebreaktab"},
        {"打印机 1", "打印机 1"},
        {"a=b>c", "a=b>c"},
    };
    for (const auto& n : names)
        EXPECT_EQ(NetPrinterScan::cleanName(n.name), n.clean) << n.name.toStdString();

    const struct
    {
        QString entry, address;
    } entries[] = {
        {"A1B2=>192.168.1.37", "192.168.1.37"},
        {"a=>b=>127.0.0.5", "b=>127.0.0.5"},
        {"=>127.0.0.9", "127.0.0.9"},
        {"X127.0.0.4", "127.0.0.4"},  // no "=>": from the second character
    };
    for (const auto& e : entries)
        EXPECT_EQ(NetPrinterScan::entryAddress(e.entry), e.address) << e.entry.toStdString();
}

TEST(LoopbackGuardTest, Hosts)
{
    const struct
    {
        const char* url;
        bool allowed;
    } rows[] = {
        {"http://127.0.0.1/x", true},     {"http://127.255.255.254:81/", true},
        {"http://127.0.0.37", true},      {"http://128.0.0.1/", false},
        {"http://126.255.255.255/", false}, {"http://169.254.2.2/", false},
        {"http://192.168.1.1/", false},   {"http://localhost/", false},
        {"http://[::1]/", false},         {"http:///x", false},
        {"https://example.org/", false},  {"ws://10.0.0.1:80/", false},
        {"data:text/plain,hi", true},     {"qrc:/qtwebchannel/qwebchannel.js", true},
    };
    ASSERT_TRUE(LoopbackGuard::enabled());
    for (const auto& r : rows)
        EXPECT_EQ(LoopbackGuard::allows(QUrl(r.url)), r.allowed) << r.url;
}

TEST(LoopbackGuardTest, EnvironmentSwitch)
{
    const QByteArray old = qgetenv("VEXMOR_LOOPBACK_ONLY");
    LoopbackGuard::setEnabled(false);
    qputenv("VEXMOR_LOOPBACK_ONLY", "1");
    EXPECT_TRUE(LoopbackGuard::enabled());
    qputenv("VEXMOR_LOOPBACK_ONLY", "0");
    EXPECT_FALSE(LoopbackGuard::enabled());
    qunsetenv("VEXMOR_LOOPBACK_ONLY");
    EXPECT_FALSE(LoopbackGuard::enabled());
    EXPECT_TRUE(LoopbackGuard::allows(QUrl("http://192.0.2.1/")));  // only asked, never sent
    LoopbackGuard::setEnabled(true);
    EXPECT_TRUE(LoopbackGuard::enabled());
    qputenv("VEXMOR_LOOPBACK_ONLY", old);
}

// A scan of the area 127.0.0. on the servers' port, run until every request
// has been answered.
class LoopbackScan : public ::testing::Test
{
protected:
    void configure(quint16 port, const QStringList& fixed = {}, const QVector<QString>& areas = {"127.0.0."})
    {
        scan.setSource({[areas] { return areas; }, fixed, port});
    }
    void run()
    {
        const int before = scan.requestCount();
        scan.start();
        const int sent = scan.requestCount() - before;
        ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() >= sent; }, 20000))
            << handled.count() << " of " << sent;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static QByteArray printerBody(const QByteArray& name)
    {
        // The name is the sixth '"'-field.
        return "\"SN1\",\"Pellar120\",\"" + name + "\",\"ok\"";
    }

    NetPrinterScan scan;
    QSignalSpy lists{&scan, &NetPrinterScan::signal_dev_list};
    QSignalSpy handled{&scan, &NetPrinterScan::signal_reply_handled};
};

TEST_F(LoopbackScan, BodiesThatMakeAnEntry)
{
    const struct
    {
        QByteArray body;
        QString entry;  // empty: nothing listed
    } rows[] = {
        {printerBody("Vat-7"), "Vat-7=>127.0.0.37"},
        {"a\"b\"c\"d\"e\"Name\"Pellar120", "Name=>127.0.0.37"},
        {"Pellar120\"\"\"\"\"\"", "=>127.0.0.37"},
        {printerBody("ev=>10.1.2.3"), "ev10.1.2.3=>127.0.0.37"},
        {printerBody("X\r\n<b>Y</b>"), "X<b>Y</b>=>127.0.0.37"},
        {QByteArray("x\0", 2) + printerBody("Hidden"), ""},
        {printerBody("Lower").replace("Pellar120", "pellar120"), ""},
        {"a\"b\"c\"d\"Pellar120", ""},  // five fields: no name to read
        {"", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.body.toStdString());
        LoopbackHttp server;
        server.setPage(NetPrinterScan::requestPath, r.body);
        ASSERT_TRUE(server.listen("127.0.0.37"));
        configure(server.port());
        lists.clear();
        handled.clear();
        run();
        ASSERT_EQ(server.requests().size(), 1);
        EXPECT_TRUE(server.requests()[0].startsWith("GET /services/settings/update/snsid HTTP/1.1\r\n"));
        const QVector<QString> want = r.entry.isEmpty() ? QVector<QString>() : QVector<QString>{r.entry};
        EXPECT_EQ(scan.deviceList(), want);
        EXPECT_EQ(lists.count(), want.size());
        if (!want.isEmpty()) {
            EXPECT_EQ(NetPrinterScan::entryAddress(scan.deviceList()[0]), "127.0.0.37");
        }
        EXPECT_EQ(handled.count(), 256);
        // Every reply is released once handled.
        EXPECT_TRUE(scan.manager()->findChildren<QNetworkReply*>().isEmpty());
    }
}

TEST_F(LoopbackScan, HostsThatPrefixEachOtherAreBothListed)
{
    // .1 is a prefix of .10; each must be listed whichever answers first.
    const struct
    {
        int delay1, delay10;
        QVector<QString> list;
    } rows[] = {
        {400, 0, {"Ten=>127.0.0.10", "One=>127.0.0.1"}},
        {0, 400, {"One=>127.0.0.1", "Ten=>127.0.0.10"}},
    };
    for (const auto& r : rows) {
        LoopbackHttp one, ten;
        one.setPage(NetPrinterScan::requestPath, printerBody("One"));
        ten.setPage(NetPrinterScan::requestPath, printerBody("Ten"));
        one.setDelayMs(r.delay1);
        ten.setDelayMs(r.delay10);
        ASSERT_TRUE(listenAll({&one, &ten}, {"127.0.0.1", "127.0.0.10"}));
        configure(one.port());
        lists.clear();
        handled.clear();
        run();
        EXPECT_EQ(scan.deviceList(), r.list);
        ASSERT_EQ(lists.count(), 2);
        EXPECT_EQ(lists.last().at(0).value<QVector<QString>>(), r.list);
    }
}

TEST_F(LoopbackScan, RepeatedHostKeepsOneEntryAndEmitsAgain)
{
    LoopbackHttp server;
    server.setPage(NetPrinterScan::requestPath, printerBody("Twice"));
    ASSERT_TRUE(server.listen("127.0.0.37"));
    configure(server.port(), {"127.0.0.37"});
    run();
    EXPECT_EQ(server.requests().size(), 2);
    EXPECT_EQ(scan.deviceList(), QVector<QString>{"Twice=>127.0.0.37"});
    ASSERT_EQ(lists.count(), 2);
    EXPECT_EQ(lists[1].at(0).value<QVector<QString>>(), QVector<QString>{"Twice=>127.0.0.37"});

    // A new scan starts from an empty list.
    server.setPage(NetPrinterScan::requestPath, "nothing here");
    lists.clear();
    handled.clear();
    run();
    EXPECT_TRUE(scan.deviceList().isEmpty());
    EXPECT_EQ(lists.count(), 0);
}

TEST_F(LoopbackScan, GuardSendsNothingOutsideLoopback)
{
    // Should the guard ever fail, the requests go to this loopback proxy and
    // still never leave the machine.
    LoopbackHttp proxy;
    ASSERT_TRUE(proxy.listen("127.0.0.1"));
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", proxy.port()));
    LoopbackHttp printer;
    printer.setPage(NetPrinterScan::requestPath, printerBody("Local"));
    ASSERT_TRUE(printer.listen("127.0.0.37"));

    configure(printer.port(), {"169.254.2.2", "192.0.2.7", "localhost", "printer.example"}, {"192.0.2.", "10.0.0."});
    scan.start();
    QTest::qWait(300);
    EXPECT_EQ(scan.requestCount(), 0);
    EXPECT_EQ(handled.count(), 0);

    // Only the loopback host of a mixed source is asked, straight (no proxy
    // for it: the proxy answers 404 to everything).
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    configure(printer.port(), {"198.51.100.1", "127.0.0.37"}, {"203.0.113."});
    scan.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() == 1; }, 10000));
    EXPECT_EQ(scan.requestCount(), 1);
    EXPECT_EQ(scan.deviceList(), QVector<QString>{"Local=>127.0.0.37"});
    EXPECT_TRUE(proxy.requests().isEmpty());
}
}
