#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class ScanRequest;

// Where a scan looks: the /24 areas (each text ends with its dot, hosts 0 to
// 255 are appended), single fixed hosts, and the HTTP port.
struct NetScanSource
{
    std::function<QVector<QString>()> areas;
    QStringList fixedHosts;
    quint16 port = 80;
    // A request that has not ended by then is given up; a reply body larger
    // than this is refused (a printer's is a few hundred bytes).
    int requestTimeoutMs = 10000;
    qint64 maxBodyBytes = 64 * 1024;
    // What all open requests together may hold (their bodies and header
    // lines); a reply that would take them past it is refused.
    qint64 maxSearchBytes = 16 << 20;
    // Requests open at once. Each holds a socket, and the process may hold
    // only so many open files (1,024 by default) for all it does; the other
    // hosts wait and are asked as earlier requests end, each with its own
    // time from then.
    int maxOpenRequests = 256;

    // The areas of this computer's own addresses, "169.254.2.2", port 80.
    static NetScanSource defaults();
};

// The HTTP discovery of network printers: a GET of the printer's serial-number
// path to every host of the areas and to the fixed hosts, so many at a time
// (the source's maxOpenRequests); a host whose reply is a success (2xx) and
// whose body holds "Pellar120" becomes a device entry "name=>address". No
// host can keep a request open past the source's time or fill the memory: a
// reply comes unencoded (no gzip that unpacks past the bound, no length
// beside chunks), whole (not cut before its length or its last chunk) and no
// larger than the source allows, and all replies of a search together hold
// no more than the source's figure for the search, whatever any number of
// hosts sends. The requests are plain HTTP/1.1 GETs on sockets of our own, so
// that every byte read is counted before it is kept.
class NetPrinterScan : public QObject
{
    Q_OBJECT
public:
    explicit NetPrinterScan(QObject* parent = nullptr);
    ~NetPrinterScan() override;

    void setSource(const NetScanSource& source) { m_source = source; }
    const NetScanSource& source() const { return m_source; }

    // Empties the device list and asks every host of one scan, as many at a
    // time as the source allows. Hosts an earlier scan has not asked yet are
    // left to this one.
    void start();

    const QVector<QString>& deviceList() const { return m_devices; }
    // Requests that passed the loopback guard since construction, asked or
    // waiting to be asked (those a later start leaves out are not counted).
    int requestCount() const { return m_requests; }
    // Requests asked and not yet ended, and the bytes their replies hold now.
    int openRequests() const { return m_open; }
    qint64 heldBytes() const { return m_held; }
    // Hosts of the scan not asked yet.
    int waitingRequests() const { return m_waiting.size() - m_next; }
    // The most requests open at once since the last start.
    int mostOpenRequests() const { return m_mostOpen; }

    // The URL of the printer page of an address, with the source's port.
    QUrl pageUrl(const QString& address) const;

    // Appends the areas of every IPv4 address: its own /24 and both
    // neighbours (only those between 0 and 255), not de-duplicated.
    static void ipAreasOf(const QList<QHostAddress>& addresses, QVector<QString>& areas);
    // ipAreasOf the addresses of this computer's host name (blocking lookup).
    static void getIpArea(QVector<QString>& areas);
    // The device name as it may stand in an entry: no control characters and
    // no "=>", which would move where readers find the address; at most a
    // few hundred characters, then its length.
    static QString cleanName(const QString& name);
    // The address of an entry: its text two characters after the first "=>".
    static QString entryAddress(const QString& entry);

    static const char* const requestPath;
    static const char* const modelWord;

signals:
    void signal_dev_list(QVector<QString> list);
    // After each finished request; matched when it added or repeated a printer.
    void signal_reply_handled(bool matched);
    // The lines for the log pane of a matching reply.
    void signal_log(QString text);

private:
    friend class ScanRequest;
    // Adds a host to those the scan asks, unless the guard keeps it back.
    void queue(const QString& host);
    // Asks waiting hosts while fewer requests than the bound are open.
    void askWaiting();
    // A reply's holding changed by `delta` bytes; false when the search
    // would hold more than it may (the change is counted all the same).
    bool hold(qint64 delta);
    // One request ended: refused (with why), or with its status and body.
    void handleReply(const QString& host, const QString& refused, int status, const QByteArray& body);
    void requestEnded();
    void requestGone();

    NetScanSource m_source;
    QVector<QString> m_devices;
    int m_requests = 0;
    int m_open = 0;
    int m_mostOpen = 0;
    QStringList m_waiting;
    int m_next = 0;
    bool m_asking = false;
    // Request objects not yet deleted.
    int m_alive = 0;
    qint64 m_held = 0;
};
