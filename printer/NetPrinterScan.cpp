#include "NetPrinterScan.h"

#include "LoopbackGuard.h"
#include "httpreplyreader.h"
#include "replylines.h"
#include "settingsrangecheck.h"

#include <QDebug>
#include <QHostInfo>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#ifdef __GLIBC__
#include <malloc.h>
#endif

const char* const NetPrinterScan::requestPath = "/services/settings/update/snsid";
const char* const NetPrinterScan::modelWord = "Pellar120";

// One discovery request: a GET on a socket of its own, its reply read through
// the bounded reader, every byte it holds counted against the search.
class ScanRequest : public QObject
{
public:
    // Read from the socket this much at a time, and never more waits there:
    // the rest stays with the system until it is read.
    static constexpr int kReadChunk = 16 * 1024;

    ScanRequest(NetPrinterScan* scan, const QString& host)
        : QObject(scan)
        , m_scan(scan)
        , m_host(host)
        , m_reader(scan->m_source.maxBodyBytes)
        , m_socket(new QTcpSocket(this))
    {
        const NetScanSource& source = scan->m_source;
        m_socket->setReadBufferSize(kReadChunk);
        connect(m_socket, &QTcpSocket::connected, this, [this, port = source.port] { sendRequest(port); });
        connect(m_socket, &QTcpSocket::readyRead, this, &ScanRequest::read);
        connect(m_socket, &QTcpSocket::disconnected, this, [this] { closed(); });
        connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
            if (m_finished)
                return;
            if (error == QAbstractSocket::RemoteHostClosedError) {
                closed();
                return;
            }
            // Another failure ends a body framed by the close (one cut before
            // its length or last chunk is refused); before a body, nothing came.
            read();
            if (m_reader.state() == HttpReplyReader::State::Body)
                m_reader.closed();
            else
                m_reader.refuse(QStringLiteral("no reply (%1)").arg(m_socket->errorString()));
            finish();
        });
        auto* deadline = new QTimer(this);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, this, [this, ms = source.requestTimeoutMs] {
            m_reader.refuse(QStringLiteral("no whole reply in %1 ms").arg(ms));
            finish();
        });
        deadline->start(source.requestTimeoutMs);
        ++scan->m_alive;
        m_socket->connectToHost(host, source.port);
    }
    ~ScanRequest() override
    {
        m_socket->disconnect(this);
        m_scan->requestGone();
    }

private:
    void sendRequest(quint16 port)
    {
        QByteArray request = QByteArray("GET ") + NetPrinterScan::requestPath + " HTTP/1.1\r\nHost: " + m_host.toLatin1();
        if (port != 80)
            request += ':' + QByteArray::number(port);
        // No encoding is asked for: the body is read as it comes.
        request += "\r\nAccept-Encoding: identity\r\nConnection: close\r\n\r\n";
        m_socket->write(request);
    }

    void read()
    {
        char buffer[kReadChunk];
        while (!m_finished && !m_reader.ended()) {
            const qint64 n = m_socket->read(buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_reader.feed(buffer, n);
            account();
        }
        if (m_reader.ended())
            finish();
    }

    void closed()
    {
        if (m_finished)
            return;
        read();
        m_reader.closed();
        finish();
    }

    // Brings the search's count up to what the reply holds now; a reply that
    // would take the search past its figure is refused (and so holds nothing).
    void account()
    {
        const qint64 held = m_reader.held();
        if (!m_scan->hold(held - m_counted))
            m_reader.refuse(QStringLiteral("the search already holds %1 bytes").arg(m_scan->m_held - held));
        m_scan->hold(m_reader.held() - held);
        m_counted = m_reader.held();
    }

    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        // The socket's own signals would come back here while it is aborted.
        m_socket->disconnect(this);
        m_socket->abort();
        const QString refused = m_reader.state() == HttpReplyReader::State::Refused ? m_reader.refusal() : QString();
        const int status = m_reader.status();
        const QByteArray body = m_reader.body();
        m_reader = HttpReplyReader(0);
        m_scan->hold(-m_counted);
        m_counted = 0;
        deleteLater();
        m_scan->handleReply(m_host, refused, status, body);
        m_scan->requestEnded();
    }

    NetPrinterScan* m_scan;
    QString m_host;
    HttpReplyReader m_reader;
    QTcpSocket* m_socket;
    qint64 m_counted = 0;
    bool m_finished = false;
};

NetScanSource NetScanSource::defaults()
{
    NetScanSource s;
    s.areas = [] {
        QVector<QString> areas;
        NetPrinterScan::getIpArea(areas);
        return areas;
    };
    s.fixedHosts = QStringList{QStringLiteral("169.254.2.2")};
    s.port = 80;
    return s;
}

NetPrinterScan::NetPrinterScan(QObject* parent)
    : QObject(parent)
    , m_source(NetScanSource::defaults())
{
}

NetPrinterScan::~NetPrinterScan()
{
    m_waiting.clear();
    m_next = 0;
    // While the scan is still whole: each request tells it it is gone.
    qDeleteAll(findChildren<ScanRequest*>(QString(), Qt::FindDirectChildrenOnly));
}

void NetPrinterScan::ipAreasOf(const QList<QHostAddress>& addresses, QVector<QString>& areas)
{
    for (const QHostAddress& addr : addresses) {
        if (addr.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        const QStringList parts = addr.toString().split(QLatin1Char('.'));
        if (parts.size() != 4)
            continue;
        const QString ab = parts[0] + '.' + parts[1] + '.';
        areas.append(ab + parts[2] + '.');
        const int c = parts[2].toUShort();
        if (c < 255)
            areas.append(ab + QString::number(c + 1) + '.');
        if (c > 0)
            areas.append(ab + QString::number(c - 1) + '.');
    }
}

void NetPrinterScan::getIpArea(QVector<QString>& areas)
{
    ipAreasOf(QHostInfo::fromName(QHostInfo::localHostName()).addresses(), areas);
}

QString NetPrinterScan::cleanName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name)
        if (c.category() != QChar::Other_Control && !isDirectionMark(c.unicode()))
            out.append(c);
    // Removing one "=>" can join a new one ("==>>"), so repeat until none.
    while (out.contains(QLatin1String("=>")))
        out.remove(QLatin1String("=>"));
    // A name of kilobytes would fill the list: capped, with its length.
    return ReplyLines::shown(out);
}

QString NetPrinterScan::entryAddress(const QString& entry)
{
    return entry.mid(entry.indexOf(QLatin1String("=>")) + 2);
}

QUrl NetPrinterScan::pageUrl(const QString& address) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(address, QUrl::TolerantMode);
    if (m_source.port != 80)
        url.setPort(m_source.port);
    return url;
}

void NetPrinterScan::queue(const QString& host)
{
    QString text = QStringLiteral("http://") + host;
    if (m_source.port != 80)
        text += ':' + QString::number(m_source.port);
    const QUrl url(text + QLatin1String(requestPath));
    if (!LoopbackGuard::allows(url)) {
        qDebug() << "Loopback guard: request dropped" << url.toString();
        return;
    }
    ++m_requests;
    m_waiting.append(host);
}

void NetPrinterScan::askWaiting()
{
    // A request that fails at once ends inside the loop below and calls here
    // again; the loop itself asks the next host.
    if (m_asking)
        return;
    m_asking = true;
    const int bound = qMax(1, m_source.maxOpenRequests);
    while (m_open < bound && m_next < m_waiting.size()) {
        const QString host = m_waiting[m_next++];
        ++m_open;
        m_mostOpen = qMax(m_mostOpen, m_open);
        new ScanRequest(this, host);
    }
    if (m_next >= m_waiting.size()) {
        m_waiting.clear();
        m_next = 0;
    }
    m_asking = false;
}

bool NetPrinterScan::hold(qint64 delta)
{
    m_held += delta;
    return delta <= 0 || m_held <= m_source.maxSearchBytes;
}

void NetPrinterScan::requestEnded()
{
    --m_open;
    askWaiting();
}

void NetPrinterScan::requestGone()
{
    // The last request of the search is deleted: what its replies took goes
    // back to the system, not only to the heap.
#ifdef __GLIBC__
    if (--m_alive == 0)
        malloc_trim(0);
#else
    --m_alive;
#endif
}

void NetPrinterScan::start()
{
    m_devices.clear();
    // Hosts an earlier scan has not asked yet: this one asks them again.
    m_requests -= waitingRequests();
    m_waiting.clear();
    m_next = 0;
    m_mostOpen = m_open;
    const QVector<QString> areas = m_source.areas ? m_source.areas() : QVector<QString>();
    for (const QString& area : areas)
        for (int n = 0; n <= 255; ++n)
            queue(area + QString::number(n));
    for (const QString& host : m_source.fixedHosts)
        queue(host);
    askWaiting();
}

void NetPrinterScan::handleReply(const QString& host, const QString& refused, int status, const QByteArray& body)
{
    if (!refused.isEmpty()) {
        qDebug() << "Discovery reply refused from" << host << refused;
        emit signal_reply_handled(false);
        return;
    }

    // Only a printer's own answer lists it: a redirect, a missing page or a
    // server error that happens to hold the model word is no printer.
    if (status < 200 || status > 299) {
        qDebug() << "Discovery reply with HTTP status" << status << "from" << host;
        emit signal_reply_handled(false);
        return;
    }

    QByteArray raw = body;
    const int nul = raw.indexOf('\0');
    if (nul >= 0)
        raw.truncate(nul);
    const QString text = QString::fromUtf8(raw);

    bool matched = false;
    if (text.contains(QLatin1String(modelWord))) {
        const QStringList fields = text.split(QLatin1Char('"'));
        if (fields.size() < 6) {
            qDebug() << "Printer reply without a name field ignored from" << host;
        } else {
            matched = true;
            // The body is the printer's text: escaped and capped in the pane.
            QString log = QStringLiteral("Http OK\r\n") + host + "\r\n" + ReplyLines::shown(text) + "\r\n";
            for (int i = 1; i <= 5; ++i)
                log += ReplyLines::shown(fields[i]) + "\r\n";
            emit signal_log(log);

            bool listed = false;
            for (const QString& entry : qAsConst(m_devices))
                if (entryAddress(entry) == host) {
                    listed = true;
                    break;
                }
            if (!listed)
                m_devices.append(cleanName(fields[5]) + QLatin1String("=>") + host);
            emit signal_dev_list(m_devices);
        }
    }
    emit signal_reply_handled(matched);
}
