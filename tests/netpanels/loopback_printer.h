#pragma once

#include "event_wait.h"
#include "TcpThread.h"

#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTemporaryDir>

#include <functional>

// A printer's TCP side on 127.0.0.1 and an ephemeral port: it splits what
// it receives into header and body and, when asked, acknowledges the header
// and the finished body as a printer does.
class LoopbackPrinter : public QObject
{
public:
    bool ackHeader = false;
    bool ackBody = false;
    bool readPaused = false;
    bool pauseAfterHeader = false;  // stops reading once a header is acknowledged
    int connections = 0;

    bool listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                m_peer = s;
                ++connections;
                connect(s, &QTcpSocket::readyRead, this, [this] { read(); });
            }
        });
        return m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
    }
    quint16 port() const { return m_server.serverPort(); }
    bool connected() const { return m_peer && m_peer->state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray& bytes)
    {
        m_peer->write(bytes);
        m_peer->flush();
    }
    // Bytes sent but not yet handed to the line.
    qint64 pendingBytes() const { return m_peer ? m_peer->bytesToWrite() : 0; }
    void closePeer()
    {
        if (m_peer)
            m_peer->close();
    }
    void resumeReading()
    {
        readPaused = false;
        if (m_peer)
            m_peer->setReadBufferSize(0);
        read();
    }
    // The headers seen, and the body bytes after the last one. The final
    // acknowledgement of an empty body is the test's to send.
    QList<QByteArray> headers() const { return m_headers; }
    QByteArray body() const { return m_body; }
    void clear() { m_pending.clear(), m_headers.clear(), m_body.clear(); }

private:
    void read()
    {
        if (readPaused || !m_peer)
            return;
        m_pending += m_peer->readAll();
        for (;;) {
            // A header starts the stream or follows a finished body.
            if (m_pending.startsWith("L:0S:") && (m_body.isEmpty() || m_body.size() >= m_expect)) {
                const int d = m_pending.indexOf("D:");
                if (d < 0)
                    return;
                // N counts the characters of the text (in the local 8-bit
                // encoding on the wire), not its bytes.
                const int n = m_pending.mid(5, d - 5).toInt();
                const QVector<uint> text = QString::fromLocal8Bit(m_pending.mid(d + 2)).toUcs4();
                if (text.size() < n)
                    return;
                const int bytes = QString::fromUcs4(text.constData(), n).toLocal8Bit().size();
                const QByteArray header = m_pending.left(d + 2 + bytes);
                m_headers << header;
                m_pending.remove(0, header.size());
                const int fs = header.lastIndexOf(" FS:");
                m_expect = fs < 0 ? 0 : header.mid(fs + 4).toLongLong();
                m_body.clear();
                if (ackHeader)
                    send("L11 P0 R:0");
                if (pauseAfterHeader) {
                    readPaused = true;
                    // Reads no more from the line either: the sender stalls.
                    m_peer->setReadBufferSize(4096);
                    m_body += m_pending;
                    m_pending.clear();
                    return;
                }
                continue;
            }
            if (m_pending.isEmpty())
                return;
            m_body += m_pending;
            m_pending.clear();
            if (ackBody && m_expect >= 0 && m_body.size() >= m_expect)
                send("L11 P" + QByteArray::number(m_body.size()) + " R:0");
            return;
        }
    }

    QTcpServer m_server;
    QTcpSocket* m_peer = nullptr;
    QByteArray m_pending, m_body;
    QList<QByteArray> m_headers;
    qint64 m_expect = -1;
};

inline bool waitFor(const std::function<bool()>& done)
{
    return WaitUntil(done, kHangMs);
}

inline QString writeFile(const QTemporaryDir& dir, const QString& name, int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + 3) & 0xff);
    QFile f(dir.filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(data) == size ? f.fileName() : QString();
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Short passes and polls; the waits that end early on success stay long.
inline TcpTimings testTcpTimings(quint16 port)
{
    TcpTimings t = TcpTimings().scaled(0.01);
    t.port = port;
    t.connectWaitMs = t.writeWaitMs = t.callWaitMs = 20000;
    t.disconnectWaitMs = t.reconnectWaitMs = 5000;
    return t;
}
