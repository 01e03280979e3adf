#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include "LoopbackGuard.h"

#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>
#include <vector>

// A tiny HTTP server on one loopback address. Every request is answered from
// a table of paths (anything else gets 404) after an optional delay, and the
// connection is closed.
class LoopbackHttp : public QObject
{
public:
    // headers: whole lines, each ending in "\r\n"; status: code and reason
    struct Page { QByteArray body, contentType, extraHeaders, status = "200 OK"; };

    // Listens on addr:port (0 picks a port); false when taken.
    bool listen(const QString& addr, quint16 port = 0)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttp::accept, Qt::UniqueConnection);
        return m_server.listen(QHostAddress(addr), port);
    }
    void close() { m_server.close(); }
    quint16 port() const { return m_server.serverPort(); }
    void setPage(const QByteArray& path, const QByteArray& body, const QByteArray& contentType = "text/plain",
                 const QByteArray& extraHeaders = QByteArray())
    {
        m_pages[path] = Page{body, contentType, extraHeaders};
    }
    // The status a page is answered with ("404 Not Found"); "200 OK" unless set.
    void setStatus(const QByteArray& path, const QByteArray& status) { m_pages[path].status = status; }
    void setDelayMs(int ms) { m_delayMs = ms; }
    // Whether replies carry a Content-Length of their body (they do unless
    // set; a page framed in chunks by hand has none).
    void setLengthHeader(bool on) { m_lengthHeader = on; }
    // Replies stop `bytes` bytes after their header (as framed, chunk lines
    // included); the connection is then closed, or reset when `reset` is set.
    void setCut(int bytes, bool reset)
    {
        m_cutAt = bytes;
        m_reset = reset;
    }
    // Request lines and headers, one entry per request.
    const QList<QByteArray>& requests() const { return m_requests; }

private:
    void accept()
    {
        while (QTcpSocket* s = m_server.nextPendingConnection()) {
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QTcpSocket::readyRead, this, [this, s] { read(s); });
        }
    }
    void read(QTcpSocket* s)
    {
        QByteArray& buf = m_buffers[s];
        buf += s->readAll();
        const int end = buf.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buf.left(end);
        m_buffers.remove(s);
        m_requests << head;
        const QList<QByteArray> words = head.split(' ');
        const QByteArray path = words.size() > 1 ? words[1] : QByteArray();
        QByteArray resp;
        if (m_pages.contains(path)) {
            const Page& p = m_pages[path];
            resp = "HTTP/1.1 " + p.status + "\r\nContent-Type: " + p.contentType + "\r\n"
                   + (m_lengthHeader ? "Content-Length: " + QByteArray::number(p.body.size()) + "\r\n" : QByteArray())
                   + p.extraHeaders + "Connection: close\r\n\r\n" + p.body;
        } else {
            resp = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        }
        if (m_cutAt >= 0)
            resp.truncate(resp.indexOf("\r\n\r\n") + 4 + m_cutAt);
        QTimer::singleShot(m_delayMs, s, [s, resp, reset = m_reset] {
            s->write(resp);
            if (!reset) {
                s->disconnectFromHost();
                return;
            }
            // The bytes go out, then a reset in place of the close.
            s->flush();
            const linger now{1, 0};
            ::setsockopt(int(s->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
            s->abort();
        });
    }

    QTcpServer m_server;
    QMap<QByteArray, Page> m_pages;
    QMap<QTcpSocket*, QByteArray> m_buffers;
    QList<QByteArray> m_requests;
    int m_delayMs = 0;
    bool m_lengthHeader = true;
    int m_cutAt = -1;
    bool m_reset = false;
};

// Servers on several loopback addresses sharing one port (a scan uses one
// port for every host). Retries with fresh ports when one is taken. Any
// server with listen(addr, port), port() and close() will do.
template <typename Server>
bool listenAll(const std::vector<Server*>& servers, const QStringList& addrs)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (!servers[0]->listen(addrs[0]))
            return false;
        const quint16 port = servers[0]->port();
        bool ok = true;
        for (size_t i = 1; i < servers.size() && ok; ++i)
            ok = servers[i]->listen(addrs[int(i)], port);
        if (ok)
            return true;
        for (Server* s : servers)
            s->close();
    }
    return false;
}
inline bool listenAll(const std::vector<LoopbackHttp*>& servers, const QStringList& addrs)
{
    return listenAll<LoopbackHttp>(servers, addrs);
}

// What every test of this folder does before anything can send: the guard on,
// no proxy from the environment or the application.
inline void keepToLoopback()
{
    LoopbackGuard::setEnabled(true);
    for (const char* v : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                          "no_proxy", "NO_PROXY", "ftp_proxy", "FTP_PROXY"})
        qunsetenv(v);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QNetworkProxyFactory::setUseSystemConfiguration(false);
}
