#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// An HTTP peer on one loopback address that misbehaves after reading the
// request: it drips its body, lies about its length, never ends its body or
// closes half-way. It writes only as fast as the other side reads (so its own
// buffers stay small) and never more than a safety cap in all.
class HostileHttp : public QObject
{
public:
    enum Mode { Drip, LongerThanDeclared, ShorterThanDeclared, Endless, HugeDeclared, CloseEarly };

    explicit HostileHttp(Mode mode) : m_mode(mode) {}
    bool listen(const QString& addr)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [this, s] { onRequest(s); });
        });
        return m_server.listen(QHostAddress(addr), 0);
    }
    quint16 port() const { return m_server.serverPort(); }
    // Body bytes handed to the connection so far.
    qint64 written() const { return m_written; }
    static constexpr qint64 kSafetyCap = 256 << 20;

private:
    // A printer's reply, over and over.
    static QByteArray printerBody() { return "\"SN1\",\"Pellar120\",\"Hostile\",\"ok\"\n"; }

    void onRequest(QTcpSocket* s)
    {
        if (!s->readAll().contains("\r\n\r\n") || s->property("answered").toBool())
            return;
        s->setProperty("answered", true);
        switch (m_mode) {
        case Drip: {
            s->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n");
            auto* drip = new QTimer(s);
            connect(drip, &QTimer::timeout, s, [this, s] { send(s, "P"); });
            drip->start(20);
            break;
        }
        case LongerThanDeclared:
        case Endless:
            s->write(m_mode == Endless ? "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n"
                                       : "HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n");
            connect(s, &QTcpSocket::bytesWritten, s, [this, s] { more(s); });
            more(s);
            break;
        case ShorterThanDeclared:
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
            send(s, printerBody());  // and then silence, the connection left open
            break;
        case HugeDeclared:
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 1000000000000\r\n\r\n");
            connect(s, &QTcpSocket::bytesWritten, s, [this, s] { more(s); });
            more(s);
            break;
        case CloseEarly:
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
            send(s, printerBody());
            s->disconnectFromHost();
            break;
        }
    }
    void send(QTcpSocket* s, const QByteArray& bytes)
    {
        if (m_written >= kSafetyCap || s->state() != QAbstractSocket::ConnectedState)
            return;
        s->write(bytes);
        m_written += bytes.size();
    }
    // Keeps 64 KB queued while the other side reads.
    void more(QTcpSocket* s)
    {
        QByteArray chunk;
        while (chunk.size() < 64 * 1024)
            chunk += printerBody();
        if (s->bytesToWrite() < 64 * 1024)
            send(s, chunk);
    }

    Mode m_mode;
    QTcpServer m_server;
    qint64 m_written = 0;
};
