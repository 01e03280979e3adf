#include "NetPrinterScan.h"

#include "LoopbackGuard.h"
#include "replylines.h"

#include <QDebug>
#include <QHostInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

const char* const NetPrinterScan::requestPath = "/services/settings/update/snsid";
const char* const NetPrinterScan::modelWord = "Pellar120";

namespace
{
// Set on a reply that was given up: why, for the log.
const char* const kRefusedProperty = "vexmorRefused";

void refuse(QNetworkReply* reply, const QString& why)
{
    if (reply->property(kRefusedProperty).isValid())
        return;
    reply->setProperty(kRefusedProperty, why);
    reply->abort();
}

// Why a reply that comes encoded is refused, or empty for one that comes as
// it is ("identity"); the coding is capped for the log.
QString unaskedEncoding(const QNetworkReply* reply)
{
    const QByteArray coding = reply->rawHeader("Content-Encoding").trimmed();
    if (coding.isEmpty() || coding.compare("identity", Qt::CaseInsensitive) == 0)
        return QString();
    return QStringLiteral("comes encoded (%1), though none was asked for")
        .arg(ReplyLines::shown(QString::fromLatin1(coding)));
}

// Bounds one request: its whole life, and the body it may deliver.
void bound(QNetworkReply* reply, int timeoutMs, qint64 maxBodyBytes)
{
    reply->setReadBufferSize(maxBodyBytes + 1);
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply,
                     [reply, timeoutMs] { refuse(reply, QStringLiteral("no whole reply in %1 ms").arg(timeoutMs)); });
    deadline->start(timeoutMs);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, maxBodyBytes] {
        const QString encoded = unaskedEncoding(reply);
        if (!encoded.isEmpty()) {
            refuse(reply, encoded);
            return;
        }
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxBodyBytes)
            refuse(reply, QStringLiteral("declares %1 bytes").arg(length.toLongLong()));
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, maxBodyBytes] {
        if (reply->bytesAvailable() > maxBodyBytes)
            refuse(reply, QStringLiteral("more than %1 bytes").arg(maxBodyBytes));
    });
}

// Counts what actually reaches the network layer, so "nothing was sent" can
// be checked from outside.
class CountingManager : public QNetworkAccessManager
{
public:
    CountingManager(int* counter, QObject* parent)
        : QNetworkAccessManager(parent)
        , m_counter(counter)
    {
    }

protected:
    QNetworkReply* createRequest(Operation op, const QNetworkRequest& req, QIODevice* data) override
    {
        ++*m_counter;
        return QNetworkAccessManager::createRequest(op, req, data);
    }

private:
    int* m_counter;
};
}

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
    , m_manager(new CountingManager(&m_requests, this))
    , m_source(NetScanSource::defaults())
{
    connect(m_manager, &QNetworkAccessManager::finished, this, &NetPrinterScan::handleReply);
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
        if (c.category() != QChar::Other_Control)
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

void NetPrinterScan::send(const QString& host)
{
    QString text = QStringLiteral("http://") + host;
    if (m_source.port != 80)
        text += ':' + QString::number(m_source.port);
    const QUrl url(text + QLatin1String(requestPath));
    if (!LoopbackGuard::allows(url)) {
        qDebug() << "Loopback guard: request dropped" << url.toString();
        return;
    }
    QNetworkRequest req(url);
    // Redirects are not followed: the guard has checked only this URL.
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // Unasked, Qt offers gzip and deflate and unpacks the reply itself, past
    // the bound on the body: a few kilobytes could unpack to gigabytes. With
    // an encoding of our own asked for, it hands the bytes over as they came.
    req.setRawHeader("Accept-Encoding", "identity");
    bound(m_manager->get(req), m_source.requestTimeoutMs, m_source.maxBodyBytes);
}

void NetPrinterScan::start()
{
    m_devices.clear();
    const QVector<QString> areas = m_source.areas ? m_source.areas() : QVector<QString>();
    for (const QString& area : areas)
        for (int n = 0; n <= 255; ++n)
            send(area + QString::number(n));
    for (const QString& host : m_source.fixedHosts)
        send(host);
}

void NetPrinterScan::handleReply(QNetworkReply* reply)
{
    if (!reply)
        return;
    // Each reply is released once handled; a scan finishes 769 of them.
    reply->deleteLater();
    // Should a reply finish without its headers having been looked at.
    const QString encoded = unaskedEncoding(reply);
    if (!encoded.isEmpty() && !reply->property(kRefusedProperty).isValid())
        reply->setProperty(kRefusedProperty, encoded);
    const QVariant refused = reply->property(kRefusedProperty);
    if (refused.isValid()) {
        qDebug() << "Discovery reply refused from" << reply->url().host() << refused.toString();
        emit signal_reply_handled(false);
        return;
    }

    // Only a printer's own answer lists it: a redirect, a missing page or a
    // server error that happens to hold the model word is no printer.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || status.toInt() < 200 || status.toInt() > 299) {
        qDebug() << "Discovery reply with HTTP status" << status.toInt() << "from" << reply->url().host();
        emit signal_reply_handled(false);
        return;
    }

    QByteArray raw = reply->readAll();
    const int nul = raw.indexOf('\0');
    if (nul >= 0)
        raw.truncate(nul);
    const QString body = QString::fromUtf8(raw);

    bool matched = false;
    if (body.contains(QLatin1String(modelWord))) {
        const QStringList fields = body.split(QLatin1Char('"'));
        if (fields.size() < 6) {
            qDebug() << "Printer reply without a name field ignored from" << reply->url().host();
        } else {
            matched = true;
            const QString host = reply->url().host();
            // The body is the printer's text: escaped and capped in the pane.
            QString log = QStringLiteral("Http OK\r\n") + host + "\r\n" + ReplyLines::shown(body) + "\r\n";
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
