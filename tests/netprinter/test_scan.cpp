#include "hang_ceiling.h"
#include "LoopbackGuard.h"
#include "NetPrinterScan.h"
#include "WebForm.h"
#include "hostile_http.h"
#include "loopback_http.h"
#include "memory_in_use.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QProcess>
#include <QThread>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <tuple>
#include <unistd.h>
#include <vector>

// Failures show texts as text.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace
{
struct LoopbackOnly : ::testing::Environment
{
    void SetUp() override { keepToLoopback(); }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new LoopbackOnly);

TEST(NetPrinterAreas, AreasOfAddressList)
{
    const std::pair<QStringList, QVector<QString>> rows[] = {
        {{"192.168.0.5"}, {"192.168.0.", "192.168.1."}}, {{"10.0.255.7"}, {"10.0.255.", "10.0.254."}},
        {{"172.16.4.9"}, {"172.16.4.", "172.16.5.", "172.16.3."}},
        {{"192.168.0.5", "192.168.0.77"}, {"192.168.0.", "192.168.1.", "192.168.0.", "192.168.1."}},
        {{"fe80::1", "2001:db8::5", "10.0.255.7"}, {"10.0.255.", "10.0.254."}},
        {{"127.0.0.1"}, {"127.0.0.", "127.0.1."}}, {{}, {}},
    };
    for (const auto& r : rows) {
        QList<QHostAddress> addresses;
        for (const QString& t : r.first)
            addresses << QHostAddress(t);
        QVector<QString> areas{"kept."};
        NetPrinterScan::ipAreasOf(addresses, areas);
        EXPECT_EQ(areas, QVector<QString>{"kept."} + r.second) << r.first.join(',').toStdString();
    }
}

TEST(NetPrinterEntries, NamesAddressesAndPageUrls)
{
    const std::pair<QString, QString> names[] = {
        {"A1B2", "A1B2"},  {"ev=>10.9.9.9", "ev10.9.9.9"},          {"a==>>b", "ab"},       {"=\x01>x", "x"},
        {"a=b>c", "a=b>c"}, {"line\r\nbreak\ttab", "linebreaktab"}, {"打印机 1", "打印机 1"},
        // Marks that turn the text's direction go too; joiners and right-to-left letters stay.
        {"evil\u202E", "evil"}, {"\u202Aa\u202Bb\u202Cc\u202Dd\u202Ee", "abcde"},
        {"\u2066f\u2067g\u2068h\u2069i", "fghi"}, {"\u200Ej\u200Fk\u061Cl", "jkl"},
        {"\u202D=\u202E>x", "x"}, {"a\u200Db\u2065c\u206Ad\u2029e", "a\u200Db\u2065c\u206Ad\u2029e"},
        {"طابعة 3", "طابعة 3"},
    };
    for (const auto& n : names)
        EXPECT_EQ(NetPrinterScan::cleanName(n.first), n.second) << n.first.toStdString();

    const std::pair<QString, QString> entries[] = {  // no "=>": from the second character
        {"A1B2=>192.168.1.37", "192.168.1.37"}, {"a=>b=>127.0.0.5", "b=>127.0.0.5"}, {"=>127.0.0.9", "127.0.0.9"},
        {"X127.0.0.4", "127.0.0.4"}};
    for (const auto& e : entries)
        EXPECT_EQ(NetPrinterScan::entryAddress(e.first), e.second) << e.first.toStdString();

    NetPrinterScan scan;
    for (auto [port, url] :
         {std::pair<quint16, const char*>{80, "http://127.0.0.37"}, {8123, "http://127.0.0.37:8123"}}) {
        scan.setSource({[] { return QVector<QString>(); }, {}, port});
        EXPECT_EQ(scan.pageUrl("127.0.0.37").toString(), url);
    }
}

TEST(LoopbackGuardTest, HostsAndSwitch)
{
    const std::pair<const char*, bool> rows[] = {
        {"http://127.0.0.1/x", true}, {"http://127.255.255.254:81/", true}, {"http://127.0.0.37", true},
        {"http://128.0.0.1/", false}, {"http://126.255.255.255/", false}, {"http://169.254.2.2/", false},
        {"http://192.168.1.1/", false}, {"http://localhost/", false}, {"http://[::1]/", false}, {"http:///x", false},
        {"https://example.org/", false}, {"ws://10.0.0.1:80/", false}, {"data:text/plain,hi", true},
        {"qrc:/qtwebchannel/qwebchannel.js", true},
    };
    ASSERT_TRUE(LoopbackGuard::enabled());
    for (const auto& r : rows)
        EXPECT_EQ(LoopbackGuard::allows(QUrl(r.first)), r.second) << r.first;

    // The environment switches it on where code left it off.
    const QByteArray old = qgetenv("VEXMOR_LOOPBACK_ONLY");
    LoopbackGuard::setEnabled(false);
    for (auto [value, on] : {std::pair<const char*, bool>{"1", true}, {"0", false}, {nullptr, false}}) {
        if (value)
            qputenv("VEXMOR_LOOPBACK_ONLY", value);
        else
            qunsetenv("VEXMOR_LOOPBACK_ONLY");
        EXPECT_EQ(LoopbackGuard::enabled(), on) << (value ? value : "unset");
    }
    EXPECT_TRUE(LoopbackGuard::allows(QUrl("http://192.0.2.1/")));  // only asked, never sent
    LoopbackGuard::setEnabled(true);
    qputenv("VEXMOR_LOOPBACK_ONLY", old);
}

TEST(DeleteDir, RemovesTheTreeButNoParentAndFollowsNoLink)
{
    QTemporaryDir tmp;
    const QString root = tmp.path(), cache = root + "/app/QtWebEngine/Default";
    ASSERT_TRUE(QDir().mkpath(cache + "/Cache/index-dir") && QDir().mkpath(root + "/outside"));
    for (const QString& file :
         {cache + "/Cookies", cache + "/.hidden", cache + "/Cache/index-dir/i", root + "/outside/keep"}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(root + "/outside", cache + "/link-to-outside")
                && QFile::link(root + "/outside/keep", cache + "/link-to-file"));

    EXPECT_TRUE(WebForm::deleteDir(cache));
    EXPECT_FALSE(QFileInfo::exists(cache));
    EXPECT_TRUE(QDir(root + "/app/QtWebEngine").exists());
    EXPECT_TRUE(QFile::exists(root + "/outside/keep"));
    EXPECT_FALSE(WebForm::deleteDir(QString()));
    EXPECT_TRUE(WebForm::deleteDir(root + "/no-such-folder"));
}

// A host that takes connections and never answers: the kernel completes the
// handshake, nobody accepts.
class SilentListener
{
public:
    SilentListener(const char* addr, quint16 port) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        m_ok = m_fd >= 0 && inet_pton(AF_INET, addr, &a.sin_addr) == 1 && (ntohl(a.sin_addr.s_addr) >> 24) == 127
               && ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(m_fd, 8) == 0;
    }
    ~SilentListener()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool listening() const { return m_ok; }

private:
    int m_fd;
    bool m_ok = false;
};

// The process's limit of open files lowered for the life of this object, and
// put back as it was after.
class OpenFileLimit
{
public:
    explicit OpenFileLimit(rlim_t soft)
    {
        m_saved = ::getrlimit(RLIMIT_NOFILE, &m_before) == 0;
        rlimit lowered = m_before;
        lowered.rlim_cur = soft;
        m_set = m_saved && soft <= m_before.rlim_cur && ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~OpenFileLimit()
    {
        if (m_set)
            ::setrlimit(RLIMIT_NOFILE, &m_before);
    }
    bool set() const { return m_set; }

private:
    rlimit m_before{};
    bool m_saved = false;
    bool m_set = false;
};

// How many of `count` files the process can hold open at once.
int openFilesAtOnce(int count)
{
    std::vector<int> fds;
    for (int i = 0; i < count; ++i) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        fds.push_back(fd);
    }
    for (const int fd : fds)
        ::close(fd);
    return int(fds.size());
}

// A scan of the area 127.0.0. on the servers' port, run until every request
// has been answered.
class LoopbackScan : public ::testing::Test
{
protected:
    void run(quint16 port, const QStringList& fixed = {})
    {
        run(NetScanSource{[] { return QVector<QString>{"127.0.0."}; }, fixed, port});
    }
    void run(const NetScanSource& source)
    {
        scan.setSource(source);
        lists.clear();
        handled.clear();
        const int before = scan.requestCount();
        scan.start();
        const int sent = scan.requestCount() - before;
        ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() >= sent; }, 20000))
            << handled.count() << " of " << sent;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The name is the sixth '"'-field.
    static QByteArray printerBody(const QByteArray& name) { return "\"SN1\",\"Pellar120\",\"" + name + "\",\"ok\""; }

    NetPrinterScan scan;
    QSignalSpy lists{&scan, &NetPrinterScan::signal_dev_list};
    QSignalSpy handled{&scan, &NetPrinterScan::signal_reply_handled};
};

TEST_F(LoopbackScan, BodiesThatMakeAnEntry)
{
    const std::pair<QByteArray, QString> rows[] = {  // entry empty: nothing listed
        {printerBody("Vat-7"), "Vat-7=>127.0.0.37"},
        {"a\"b\"c\"d\"e\"Name\"Pellar120", "Name=>127.0.0.37"},
        {"Pellar120\"\"\"\"\"\"", "=>127.0.0.37"},
        {printerBody("ev=>10.1.2.3"), "ev10.1.2.3=>127.0.0.37"},
        {printerBody("X\r\n<b>Y</b>"), "X<b>Y</b>=>127.0.0.37"},
        // A right-to-left override would show the address after it reversed.
        {printerBody("Vat\u202E-7"), "Vat-7=>127.0.0.37"},
        {printerBody("\u2067Vat\u200F-7\u2069"), "Vat-7=>127.0.0.37"},
        {QByteArray("x\0", 2) + printerBody("Hidden"), ""},
        {printerBody("Lower").replace("Pellar120", "pellar120"), ""},
        {"a\"b\"c\"d\"Pellar120", ""},  // five fields: no name to read
        {"", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.first.toStdString());
        LoopbackHttp server;
        server.setPage(NetPrinterScan::requestPath, r.first);
        ASSERT_TRUE(server.listen("127.0.0.37"));
        run(server.port());
        EXPECT_TRUE(server.requests().size() == 1
                    && server.requests()[0].startsWith("GET /services/settings/update/snsid HTTP/1.1\r\n"));
        const QVector<QString> want = r.second.isEmpty() ? QVector<QString>() : QVector<QString>{r.second};
        EXPECT_EQ(scan.deviceList(), want);
        EXPECT_EQ(lists.count(), want.size());
        EXPECT_EQ(handled.count(), 256);
        // Every reply is released once handled.
        EXPECT_EQ(scan.openRequests(), 0);
        EXPECT_EQ(scan.heldBytes(), 0);
        EXPECT_TRUE(scan.findChildren<QTcpSocket*>().isEmpty());
    }
}

// Only a success lists a printer: a redirect, a missing page or a server
// error whose page names the model is no printer answering.
TEST_F(LoopbackScan, OnlyASuccessfulReplyIsAPrinter)
{
    const std::pair<QByteArray, bool> rows[] = {
        {"200 OK", true},           {"201 Created", true},  {"203 Non-Authoritative Information", true},
        {"299 Whatever", true},     {"300 Multiple Choices", false}, {"301 Moved Permanently", false},
        {"302 Found", false},       {"304 Not Modified", false}, {"400 Bad Request", false},
        {"403 Forbidden", false},   {"404 Not Found", false}, {"500 Internal Server Error", false},
        {"503 Service Unavailable", false},
    };
    for (const auto& [status, listed] : rows) {
        SCOPED_TRACE(status.toStdString());
        LoopbackHttp server;
        server.setPage(NetPrinterScan::requestPath, printerBody("Vat-7"), "text/plain",
                       "Location: http://127.0.0.38/services/settings/update/snsid\r\n");
        server.setStatus(NetPrinterScan::requestPath, status);
        ASSERT_TRUE(server.listen("127.0.0.37"));
        run(server.port());
        EXPECT_EQ(server.requests().size(), 1);  // a redirect is not followed
        EXPECT_EQ(scan.deviceList(), listed ? QVector<QString>{"Vat-7=>127.0.0.37"} : QVector<QString>());
        EXPECT_EQ(lists.count(), listed ? 1 : 0);
        EXPECT_EQ(handled.count(), 256);
    }
}

// A printer's name and body reach the list and the log pane escaped and
// capped, with their whole length; never a terminal escape or kilobytes.
TEST_F(LoopbackScan, PrinterTextIsEscapedAndCapped)
{
    QSignalSpy logs(&scan, &NetPrinterScan::signal_log);
    const QByteArray longName(20000, 'N');
    LoopbackHttp server;
    server.setPage(NetPrinterScan::requestPath, printerBody("\x1b[2J" + longName + "\xc2\x9b"));
    ASSERT_TRUE(server.listen("127.0.0.37"));
    run(server.port());
    const QString name = "[2J" + QString(297, 'N') + "... (20003 characters)";
    EXPECT_EQ(scan.deviceList(), QVector<QString>{name + "=>127.0.0.37"});
    ASSERT_EQ(logs.count(), 1);
    const QString log = logs[0].at(0).toString();
    EXPECT_LT(log.size(), 2000);
    for (const QString& line : log.split("\r\n", Qt::SkipEmptyParts)) {
        EXPECT_LE(line.size(), 340) << line.left(60).toStdString();
        for (const QChar c : line)
            EXPECT_FALSE(c.category() == QChar::Other_Control) << line.left(60).toStdString();
    }
    EXPECT_TRUE(log.contains("\\x1b[2J")) << log.left(200).toStdString();
    EXPECT_TRUE(log.contains(QString("(%1 characters)").arg(printerBody("\x1b[2J" + longName + "\xc2\x9b").size() - 1)));
}

TEST_F(LoopbackScan, HostsThatPrefixEachOtherAreBothListed)
{
    // .1 is a prefix of .10; each must be listed whichever answers first.
    const struct { int delay1, delay10; QVector<QString> list; } rows[] = {
        {400, 0, {"Ten=>127.0.0.10", "One=>127.0.0.1"}}, {0, 400, {"One=>127.0.0.1", "Ten=>127.0.0.10"}}};
    for (const auto& r : rows) {
        LoopbackHttp one, ten;
        for (auto [server, name, delay] : {std::tuple{&one, "One", r.delay1}, {&ten, "Ten", r.delay10}}) {
            server->setPage(NetPrinterScan::requestPath, printerBody(name));
            server->setDelayMs(delay);
        }
        ASSERT_TRUE(listenAll({&one, &ten}, {"127.0.0.1", "127.0.0.10"}));
        run(one.port());
        EXPECT_EQ(scan.deviceList(), r.list);
        EXPECT_EQ(lists.count(), 2);
        EXPECT_EQ(lists.last().at(0).value<QVector<QString>>(), r.list);
    }
}

TEST_F(LoopbackScan, RepeatedHostKeepsOneEntryAndANewScanStartsEmpty)
{
    LoopbackHttp server;
    server.setPage(NetPrinterScan::requestPath, printerBody("Twice"));
    ASSERT_TRUE(server.listen("127.0.0.37"));
    run(server.port(), {"127.0.0.37"});
    EXPECT_EQ(server.requests().size(), 2);
    EXPECT_EQ(scan.deviceList(), QVector<QString>{"Twice=>127.0.0.37"});
    ASSERT_EQ(lists.count(), 2);  // emitted again
    EXPECT_EQ(lists[1].at(0).value<QVector<QString>>(), QVector<QString>{"Twice=>127.0.0.37"});

    server.setPage(NetPrinterScan::requestPath, "nothing here");
    run(server.port());
    EXPECT_TRUE(scan.deviceList().isEmpty());
    EXPECT_EQ(lists.count(), 0);
}

// Peers that drip, lie about their length, never end or close early: every
// request ends within its time, no body beyond the limit is kept, and the
// process's memory stays where it was.
TEST_F(LoopbackScan, HostilePeersEndInTimeWithBoundedMemory)
{
    const struct { const char* what; HostileHttp::Mode mode; } rows[] = {
        {"drips a byte at a time", HostileHttp::Drip},
        {"sends more than it declares", HostileHttp::LongerThanDeclared},
        {"sends less than it declares and waits", HostileHttp::ShorterThanDeclared},
        {"never ends its body", HostileHttp::Endless},
        {"declares a terabyte", HostileHttp::HugeDeclared},
        {"closes half-way", HostileHttp::CloseEarly},
    };
    const qint64 before = memoryInUseKb();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        HostileHttp peer(r.mode);
        ASSERT_TRUE(peer.listen("127.0.0.37"));
        NetScanSource source{[] { return QVector<QString>(); }, {"127.0.0.37"}, peer.port()};
        // Only a silent or dripping peer waits for the clock; the others end
        // by themselves or by the bound on the body.
        const bool timed = r.mode == HostileHttp::Drip || r.mode == HostileHttp::ShorterThanDeclared;
        source.requestTimeoutMs = timed ? 1500 : 600000;
        scan.setSource(source);
        handled.clear();
        scan.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() == 1; }, 20000)) << "the request never ended";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // The declared 40 bytes hold a whole printer body; the others are
        // given up, the one closed before its declared length too.
        const bool listed = r.mode == HostileHttp::LongerThanDeclared;
        EXPECT_EQ(scan.deviceList().isEmpty(), !listed);
        // What the peer got rid of is what the kernel and the bounded reply took.
        EXPECT_LT(peer.written(), 16 << 20);
        EXPECT_LT(memoryInUseKb() - before, 64 << 10);
    }
}

// The memory a search is measured from. Under a sanitizer its quarantine
// keeps every freed block resident, so the resident peak says nothing of the
// search and only the live bytes count.
struct MemoryMark {
    bool peakKnown;
    qint64 peakBefore;
    qint64 before;
};

MemoryMark markMemory()
{
#ifdef VSL_SANITIZED_HEAP
    const bool peakKnown = false;
#else
    const bool peakKnown = resetPeakMemory();
#endif
    return {peakKnown, peakMemoryKb(), memoryInUseKb()};
}

// Packed and huge replies to a whole search of an area: the search asks for
// no encoding, a packed reply is refused whatever it holds, and no reply makes
// the process hold much more than the bound on a body at its peak.
TEST_F(LoopbackScan, PackedOrHugeRepliesCostNoMoreThanTheBound)
{
    const struct { const char* what; HostileHttp::Mode mode; } rows[] = {
        {"gzip that unpacks to a gigabyte", HostileHttp::GzipBomb},
        {"deflate that unpacks to a gigabyte", HostileHttp::DeflateBomb},
        {"a printer's reply gzipped, unasked", HostileHttp::GzipPrinter},
        {"a printer's reply in an encoding nobody offers", HostileHttp::UnknownEncoding},
        {"one chunk of a gigabyte", HostileHttp::HugeChunk},
    };
    // Far more than a search needs, far less than one unpacked bomb.
    const qint64 peakBoundKb = 48 << 10;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        HostileHttp peer(r.mode);
        ASSERT_TRUE(peer.listen("127.0.0.37"));
        NetScanSource source{[] { return QVector<QString>{"127.0.0."}; }, {}, peer.port()};
        source.requestTimeoutMs = 600000;  // only the bound may end the reply
        scan.setSource(source);
        handled.clear();
        lists.clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const MemoryMark mark = markMemory();
        const int sent = scan.requestCount();
        scan.start();
        ASSERT_EQ(scan.requestCount() - sent, 256);
        ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() == 256; }, kHangMs)) << handled.count() << " of 256";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const qint64 peak = peakMemoryKb();
        std::printf("[ peak     ] %s: %lld kB over the %lld kB before the search\n", r.what,
                    static_cast<long long>(peak - mark.peakBefore), static_cast<long long>(mark.peakBefore));
        ASSERT_EQ(peer.requests().size(), 1);
        EXPECT_TRUE(peer.requests()[0].toLower().contains("\r\naccept-encoding: identity\r\n"))
            << peer.requests()[0].toStdString();
        EXPECT_TRUE(scan.deviceList().isEmpty()) << scan.deviceList().value(0).toStdString();
        EXPECT_EQ(lists.count(), 0);
        EXPECT_LT(peer.written(), 16 << 20);
        if (mark.peakKnown) {
            EXPECT_LT(peak - mark.peakBefore, peakBoundKb);
        }
        EXPECT_LT(memoryInUseKb() - mark.before, peakBoundKb);
    }
}

// Many peers at once (in a process of their own), each flooding the search
// with a chunk that never ends or that lies about its size: the whole search
// holds no more than a fixed figure over its start whatever they send, and
// gives it back when it ends.
TEST_F(LoopbackScan, ManyChunkedPeersStayWithinTheSearchBound)
{
    // The last row holds 60 KB a peer until the clock ends it, past a
    // search's figure made small: the later replies are refused.
    // A busy window (its thread held for a while once the search has begun)
    // reads nothing meanwhile, and must not be flooded for it.
    const struct { const char* what; HostileHttp::Mode mode; int timeoutMs; qint64 searchBytes; int busyMs; } rows[] = {
        {"one chunk of 128 MB", HostileHttp::BigChunk, 600000, 16 << 20, 0},
        {"one chunk of 128 MB to a busy window", HostileHttp::BigChunk, 600000, 16 << 20, 2000},
        {"a chunk of 7FFFFFFFFFFFFFFF bytes", HostileHttp::HugeChunkSize, 600000, 16 << 20, 0},
        {"a length of 20 and a chunk of FFFFFFFF bytes", HostileHttp::LengthAndChunked, 600000, 16 << 20, 0},
        {"chunks of 16 KB without end", HostileHttp::EndlessChunks, 600000, 16 << 20, 0},
        {"chunks of 16 KB without end to a busy window", HostileHttp::EndlessChunks, 600000, 16 << 20, 2000},
        {"60 KB of chunks, then silence", HostileHttp::HeldChunks, 2000, 2 << 20, 0},
    };
    constexpr int kPeers = 120;
    const qint64 peakBoundKb = 64 << 10, keptBoundKb = 512;
    // One search with nobody answering first: what the first use of the
    // network keeps for good is no search's.
    {
        LoopbackHttp none;
        ASSERT_TRUE(none.listen("127.0.0.1"));
        run(none.port());
    }
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        QProcess peers;
        peers.start(VSL_HOSTILE_PEERS, {QString::number(r.mode), QString::number(kPeers)});
        ASSERT_TRUE(peers.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return peers.canReadLine(); }, 300000)) << peers.readAllStandardError().data();
        const quint16 port = quint16(peers.readLine().trimmed().toUInt());
        ASSERT_NE(port, 0);
        NetScanSource source{[] { return QVector<QString>{"127.0.0."}; }, {}, port};
        source.requestTimeoutMs = r.timeoutMs;
        source.maxSearchBytes = r.searchBytes;
        scan.setSource(source);
        handled.clear();
        lists.clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Where the peak is not known, the live bytes are sampled at every
        // turn of the event loop.
        const MemoryMark mark = markMemory();
        qint64 sampled = mark.before, mostHeld = 0;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (!mark.peakKnown)
                sampled = qMax(sampled, memoryInUseKb());
            mostHeld = qMax(mostHeld, scan.heldBytes());
        });
        sampler.start(0);
        const int before = scan.requestCount();
        scan.start();
        EXPECT_EQ(scan.requestCount() - before, 256);
        if (r.busyMs) {
            (void)QTest::qWaitFor([&] { return handled.count() > 0; }, 20000);
            QThread::msleep(r.busyMs);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() == 256; }, 300000)) << handled.count() << " of 256";
        sampler.stop();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const qint64 peak = mark.peakKnown ? peakMemoryKb() - mark.peakBefore : sampled - mark.before;
        const qint64 kept = memoryInUseKb() - mark.before;
        std::printf("[ peak     ] %d peers, %s: %lld kB at the peak, %lld kB kept after, %lld kB held at most\n",
                    kPeers, r.what, static_cast<long long>(peak), static_cast<long long>(kept),
                    static_cast<long long>(mostHeld >> 10));
        EXPECT_TRUE(scan.deviceList().isEmpty()) << scan.deviceList().value(0).toStdString();
        EXPECT_LE(mostHeld, r.searchBytes);
        EXPECT_EQ(scan.heldBytes(), 0);
        EXPECT_EQ(scan.openRequests(), 0);
        EXPECT_LT(peak, peakBoundKb);
        EXPECT_LT(kept, keptBoundKb);
        peers.kill();
        ASSERT_TRUE(peers.waitForFinished());
        // Each peer answers only once it has read its request, and the search
        // waits for the answer; where the clock ends the requests instead, a
        // starved peers' process may not have read them all by then. Either
        // way no peer is asked twice, and the search asked every host once.
        const int read = int(peers.readAllStandardOutput().count("request\n"));
        if (r.timeoutMs < 600000)
            EXPECT_LE(read, kPeers);
        else
            EXPECT_EQ(read, kPeers);
        EXPECT_EQ(handled.count(), 256);
    }
}

// Chunked printer replies are read as they are framed; one that declares a
// length as well, or another transfer coding, is refused.
TEST_F(LoopbackScan, ChunkedRepliesAndTheirFraming)
{
    const QByteArray body = printerBody("Vat-7");
    const QByteArray size = QByteArray::number(body.size(), 16);
    const struct { const char* what; QByteArray headers, framed; bool listed; } rows[] = {
        {"one chunk", "Transfer-Encoding: chunked\r\n", size + "\r\n" + body + "\r\n0\r\n\r\n", true},
        {"chunks of a byte, an extension and a trailer", "Transfer-Encoding: Chunked\r\n",
         [&] {
             QByteArray out;
             for (char c : body)
                 out += QByteArray("1;x=y\r\n") + c + "\r\n";
             return out + "0\r\nX-After: 1\r\n\r\n";
         }(),
         true},
        {"a length beside the chunks", "Transfer-Encoding: chunked\r\nX-Length-Too: 1\r\n",
         size + "\r\n" + body + "\r\n0\r\n\r\n", false},
        {"another transfer coding", "Transfer-Encoding: gzip, chunked\r\n", size + "\r\n" + body + "\r\n0\r\n\r\n",
         false},
        {"a chunk longer than the bound", "Transfer-Encoding: chunked\r\n", "10001\r\n" + body + "\r\n0\r\n\r\n",
         false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        LoopbackHttp server;
        server.setPage(NetPrinterScan::requestPath, r.framed, "text/plain", r.headers);
        // The server writes a length of its own; only one row keeps it.
        if (!r.headers.contains("X-Length-Too"))
            server.setLengthHeader(false);
        ASSERT_TRUE(server.listen("127.0.0.37"));
        run(server.port());
        EXPECT_EQ(scan.deviceList(), r.listed ? QVector<QString>{"Vat-7=>127.0.0.37"} : QVector<QString>());
        EXPECT_EQ(handled.count(), 256);
    }
}

// A reply that ends before its declared length or before its last chunk is
// no reply: of four printers answering one search, the three cut short (25
// bytes into a body of 200, closed or reset, and inside a chunk) are refused
// as one too large would be, and only the whole one is listed.
TEST_F(LoopbackScan, RepliesCutShortListNoPrinter)
{
    auto padded = [](const QByteArray& name) { return printerBody(name).leftJustified(200, ' '); };
    const struct { const char* addr; QByteArray body, headers; bool chunked; int cut; bool reset; } rows[] = {
        {"127.0.0.10", padded("m10-whole"), {}, false, -1, false},
        {"127.0.0.11", padded("m11-short"), {}, false, 25, false},
        {"127.0.0.12", "C8\r\n" + padded("m12-chunked") + "\r\n0\r\n\r\n", "Transfer-Encoding: chunked\r\n", true,
         4 + 25, false},
        {"127.0.0.13", padded("m13-reset"), {}, false, 25, true},
    };
    LoopbackHttp peers[4];
    std::vector<LoopbackHttp*> servers;
    QStringList addrs;
    for (int i = 0; i < 4; ++i) {
        const auto& r = rows[i];
        peers[i].setPage(NetPrinterScan::requestPath, r.body, "text/plain", r.headers);
        peers[i].setLengthHeader(!r.chunked);
        peers[i].setCut(r.cut, r.reset);
        servers.push_back(&peers[i]);
        addrs << r.addr;
    }
    ASSERT_TRUE(listenAll(servers, addrs));
    run(peers[0].port());
    for (const LoopbackHttp& peer : peers)
        EXPECT_EQ(peer.requests().size(), 1);
    EXPECT_EQ(scan.deviceList(), QVector<QString>{"m10-whole=>127.0.0.10"});
    EXPECT_EQ(lists.count(), 1);
    EXPECT_EQ(handled.count(), 256);
    EXPECT_EQ(scan.heldBytes(), 0);
}

// With room for few requests at a time, the others wait their turn: every
// host is asked once and ends, and never more are open than the bound. A new
// search while hosts wait asks them itself, and no host twice for the two.
TEST_F(LoopbackScan, HostsWaitTheirTurnWithinTheBound)
{
    LoopbackHttp printer;
    printer.setPage(NetPrinterScan::requestPath, printerBody("Last"));
    ASSERT_TRUE(printer.listen("127.0.0.255"));
    // Hosts that refuse the connection, then the printer.
    QStringList hosts;
    for (int n = 200; n < 240; ++n)
        hosts << QString("127.0.0.%1").arg(n);
    hosts << "127.0.0.255";
    for (const int bound : {1, 3, 100}) {
        SCOPED_TRACE(bound);
        NetScanSource source{[] { return QVector<QString>(); }, hosts, printer.port()};
        source.maxOpenRequests = bound;
        const int asked = printer.requests().size();
        run(source);
        EXPECT_EQ(handled.count(), 41);
        EXPECT_LE(scan.mostOpenRequests(), bound);
        EXPECT_GE(scan.mostOpenRequests(), 1);
        EXPECT_EQ(printer.requests().size() - asked, 1);
        EXPECT_EQ(scan.deviceList(), QVector<QString>{"Last=>127.0.0.255"});
        EXPECT_EQ(scan.openRequests() + scan.waitingRequests(), 0);
    }

    // Two at a time, the first two hosts silent until their time: the bound
    // holds them open and the rest waiting. A new search leaves the first
    // one's waiting hosts to itself.
    SilentListener silent1("127.0.0.198", printer.port()), silent2("127.0.0.199", printer.port());
    ASSERT_TRUE(silent1.listening() && silent2.listening());
    hosts = QStringList{"127.0.0.198", "127.0.0.199"} + hosts.mid(0, 10) + QStringList{"127.0.0.255"};
    NetScanSource source{[] { return QVector<QString>(); }, hosts, printer.port()};
    source.maxOpenRequests = 2;
    source.requestTimeoutMs = 1000;
    scan.setSource(source);
    handled.clear();
    const int before = scan.requestCount(), asked = printer.requests().size();
    scan.start();
    EXPECT_EQ(scan.openRequests(), 2);
    EXPECT_EQ(scan.waitingRequests(), 11);
    scan.start();
    EXPECT_EQ(scan.openRequests(), 2);
    EXPECT_EQ(scan.waitingRequests(), 13);
    EXPECT_EQ(scan.requestCount() - before, 15);
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() >= 15; }, kHangMs)) << handled.count() << " of 15";
    EXPECT_EQ(handled.count(), 15);
    EXPECT_EQ(printer.requests().size() - asked, 1);
    EXPECT_EQ(scan.deviceList(), QVector<QString>{"Last=>127.0.0.255"});
    EXPECT_EQ(scan.mostOpenRequests(), 2);
    EXPECT_EQ(scan.openRequests() + scan.waitingRequests(), 0);
}

// Six areas (1,536 hosts) that take the connection and never answer, with
// printers at the last ten addresses, searched under the usual limit of 1,024
// open files: the search keeps its sockets well under it, so the program can
// still open files meanwhile, asks every host within its own time and lists
// every printer.
TEST_F(LoopbackScan, SixSilentAreasUnderTheOpenFileLimitListEveryPrinter)
{
    constexpr int kPrinters = 10, kHosts = 6 * 256;
    LoopbackHttp printers[kPrinters];
    std::vector<LoopbackHttp*> servers;
    QStringList addrs, want;
    for (int i = 0; i < kPrinters; ++i) {
        addrs << QString("127.6.0.%1").arg(256 - kPrinters + i);
        printers[i].setPage(NetPrinterScan::requestPath, printerBody("P" + QByteArray::number(i)));
        servers.push_back(&printers[i]);
        want << QString("P%1=>%2").arg(i).arg(addrs.last());
    }
    // The printers' port, taken on the silent addresses too; another one when
    // it is in use there.
    QProcess silent;
    for (int attempt = 0;; ++attempt) {
        ASSERT_LT(attempt, 10) << "no port free on every address";
        ASSERT_TRUE(listenAll(servers, addrs));
        QStringList args{QString::number(printers[0].port())};
        for (int area = 1; area <= 6; ++area)
            args << QString("127.%1.0.0-127.%1.0.%2").arg(area).arg(area < 6 ? 255 : 255 - kPrinters);
        silent.start(VSL_SILENT_PEERS, args);
        ASSERT_TRUE(silent.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return silent.canReadLine() || silent.state() == QProcess::NotRunning; },
                                    120000));
        if (silent.canReadLine() && silent.readLine() == "ready\n")
            break;
        ASSERT_TRUE(silent.state() == QProcess::NotRunning || silent.waitForFinished());
        ASSERT_EQ(silent.exitCode(), 3) << "silent peers failed";
        for (LoopbackHttp* p : servers)
            p->close();
    }

    NetScanSource source{[] { return QVector<QString>{"127.1.0.", "127.2.0.", "127.3.0.", "127.4.0.", "127.5.0.",
                                                      "127.6.0."}; },
                         {}, printers[0].port()};
    // Long enough for a printer asked last to answer on a loaded machine.
    source.requestTimeoutMs = 3000;
    scan.setSource(source);
    lists.clear();
    handled.clear();
    {
        OpenFileLimit limit(1024);
        ASSERT_TRUE(limit.set());
        const int before = scan.requestCount();
        scan.start();
        ASSERT_EQ(scan.requestCount() - before, kHosts);
        EXPECT_EQ(scan.openRequests(), scan.source().maxOpenRequests);
        // With the search's sockets open, the program opens files as ever.
        EXPECT_EQ(openFilesAtOnce(200), 200);
        ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() == kHosts; }, 600000))
            << handled.count() << " of " << kHosts;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList got = scan.deviceList().toList();
    got.sort();
    want.sort();
    EXPECT_EQ(got, want);
    for (const LoopbackHttp& p : printers)
        EXPECT_EQ(p.requests().size(), 1);
    EXPECT_LE(scan.mostOpenRequests(), 256);
    EXPECT_EQ(scan.openRequests() + scan.waitingRequests(), 0);
    EXPECT_TRUE(scan.findChildren<QTcpSocket*>().isEmpty());
    silent.closeWriteChannel();
    EXPECT_TRUE(silent.waitForFinished(60000));
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

    scan.setSource({[] { return QVector<QString>{"192.0.2.", "10.0.0."}; },
                    {"169.254.2.2", "192.0.2.7", "localhost", "printer.example"}, printer.port()});
    scan.start();
    QTest::qWait(300);
    EXPECT_EQ(scan.requestCount() + handled.count(), 0);

    // Only the loopback host of a mixed source is asked, straight (no proxy
    // for it: the proxy answers 404 to everything).
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    scan.setSource({[] { return QVector<QString>{"203.0.113."}; }, {"198.51.100.1", "127.0.0.37"}, printer.port()});
    scan.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() == 1; }, 10000));
    EXPECT_EQ(scan.requestCount(), 1);
    EXPECT_EQ(scan.deviceList(), QVector<QString>{"Local=>127.0.0.37"});
    EXPECT_TRUE(proxy.requests().isEmpty());
}
}
