#pragma once

#include <QByteArrayList>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

#include <zlib.h>

// An HTTP peer on one loopback address that misbehaves after reading the
// request: it drips its body, lies about its length, never ends its body or
// closes half-way, or sends its body packed (gzip or deflate, whether asked
// for or not). It writes only as fast as the other side reads (so its own
// buffers stay small) and never more than a safety cap in all.
class HostileHttp : public QObject
{
public:
    enum Mode {
        Drip, LongerThanDeclared, ShorterThanDeclared, Endless, HugeDeclared, CloseEarly,
        // Packed bodies: a bomb (a small body that unpacks to kBombBytes of
        // printer replies), as gzip and as deflate; a printer's own reply
        // gzipped; and a body in an encoding nobody offers.
        GzipBomb, DeflateBomb, GzipPrinter, UnknownEncoding,
        // One chunk that says it is a gigabyte long, then an endless body.
        HugeChunk,
        // The same with a chunk of 128 MB, with the largest size a signed
        // 64-bit count holds, and with a length of 20 beside a chunk of
        // FFFFFFFF bytes.
        BigChunk, HugeChunkSize, LengthAndChunked,
        // Chunks of 16 KB that never end, and 60 KB of chunks, then silence
        // with the connection open.
        EndlessChunks, HeldChunks
    };

    explicit HostileHttp(Mode mode) : m_mode(mode)
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [this, s] { onRequest(s); });
        });
    }
    // Keeps up to `queued` bytes waiting on each connection (64 KB unless
    // set), never more than `cap` in all on one; a flood writes as fast as
    // the kernel takes it and drops a connection the other side gave up.
    void setFlood(qint64 queued, qint64 cap)
    {
        m_queued = queued;
        m_cap = cap;
    }
    // Called with each request head read.
    std::function<void(const QByteArray&)> requested;
    // Listens on addr:port (0 picks a port); false when taken.
    bool listen(const QString& addr, quint16 port = 0) { return m_server.listen(QHostAddress(addr), port); }
    void close() { m_server.close(); }
    quint16 port() const { return m_server.serverPort(); }
    // Body bytes handed to the connection so far.
    qint64 written() const { return m_written; }
    // The request heads the peer read, one per connection.
    const QByteArrayList& requests() const { return m_requests; }
    static constexpr qint64 kSafetyCap = 256 << 20;
    static constexpr qint64 kBombBytes = qint64(1) << 30;

    // `bytes` of printer replies packed as gzip (or as zlib-wrapped deflate,
    // what HTTP calls deflate), made a megabyte at a time.
    static QByteArray pack(qint64 bytes, bool gzip)
    {
        z_stream z{};
        if (deflateInit2(&z, 9, Z_DEFLATED, gzip ? 15 + 16 : 15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
            return QByteArray();
        QByteArray block;
        while (block.size() < (1 << 20))
            block += printerBody();
        QByteArray out;
        char buffer[1 << 16];
        for (qint64 left = bytes; left >= 0;) {
            const qint64 n = qMin<qint64>(left, block.size());
            left = n == 0 ? -1 : left - n;
            z.next_in = reinterpret_cast<Bytef*>(block.data());
            z.avail_in = uInt(n);
            do {
                z.next_out = reinterpret_cast<Bytef*>(buffer);
                z.avail_out = sizeof buffer;
                deflate(&z, left < 0 ? Z_FINISH : Z_NO_FLUSH);
                out.append(buffer, int(sizeof buffer - z.avail_out));
            } while (z.avail_out == 0);
        }
        deflateEnd(&z);
        return out;
    }

private:
    // A printer's reply, over and over.
    static QByteArray printerBody() { return "\"SN1\",\"Pellar120\",\"Hostile\",\"ok\"\n"; }
    // Exactly `size` bytes of printer replies.
    static QByteArray printerBytes(int size)
    {
        QByteArray out;
        while (out.size() < size)
            out += printerBody();
        out.truncate(size);
        return out;
    }

    void onRequest(QTcpSocket* s)
    {
        const QByteArray head = s->property("head").toByteArray() + s->readAll();
        s->setProperty("head", head.left(8192));
        if (!head.contains("\r\n\r\n") || s->property("answered").toBool())
            return;
        s->setProperty("answered", true);
        m_requests << s->property("head").toByteArray();
        if (requested)
            requested(m_requests.last());
        if (m_cap != kSafetyCap)
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        if (m_mode >= GzipBomb) {
            packed(s);
            return;
        }
        const char* const declared[] = {"", "40", "5000", "", "1000000000000", "5000"};  // by mode
        s->write(QByteArray("HTTP/1.1 200 OK\r\n")
                 + (*declared[m_mode] ? QByteArray("Content-Length: ") + declared[m_mode] + "\r\n" : QByteArray())
                 + "\r\n");
        if (m_mode == Drip) {
            auto* drip = new QTimer(s);
            connect(drip, &QTimer::timeout, s, [this, s] { send(s, "P"); });
            drip->start(20);
        } else if (m_mode == ShorterThanDeclared || m_mode == CloseEarly) {
            send(s, printerBody());  // then silence with the connection open, or the close
            if (m_mode == CloseEarly)
                s->disconnectFromHost();
        } else {  // more than declared, or no end
            connect(s, &QTcpSocket::bytesWritten, s, [this, s] { more(s); });
            more(s);
        }
    }
    void packed(QTcpSocket* s)
    {
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
        QByteArray body;
        switch (m_mode) {
        case GzipBomb: case DeflateBomb: {
            static const QByteArray gzipBomb = pack(kBombBytes, true), deflateBomb = pack(kBombBytes, false);
            body = m_mode == GzipBomb ? gzipBomb : deflateBomb;
            head += m_mode == GzipBomb ? "Content-Encoding: gzip\r\n" : "Content-Encoding: deflate\r\n";
            break;
        }
        case GzipPrinter:
            body = pack(printerBody().size(), true);
            head += "Content-Encoding: gzip\r\n";
            break;
        case UnknownEncoding:  // the printer's reply as it is, labelled as packed
            body = printerBody();
            head += "Content-Encoding: x-vexmor-nothing\r\n";
            break;
        case EndlessChunks:
        case HeldChunks: {
            s->write(head + "Transfer-Encoding: chunked\r\n\r\n");
            if (m_mode == HeldChunks) {
                for (int i = 0; i < 15; ++i)
                    send(s, "FA0\r\n" + printerBytes(4000) + "\r\n");
                return;
            }
            s->setProperty("framed", true);
            connect(s, &QTcpSocket::bytesWritten, s, [this, s] { more(s); });
            more(s);
            return;
        }
        default: {  // one chunk that never ends
            const QByteArray size = m_mode == HugeChunk ? "40000000"
                                    : m_mode == BigChunk ? "8000000"
                                    : m_mode == HugeChunkSize ? "7FFFFFFFFFFFFFFF" : "FFFFFFFF";
            if (m_mode == LengthAndChunked)
                head += "Content-Length: 20\r\n";
            s->write(head + "Transfer-Encoding: chunked\r\n\r\n" + size + "\r\n");
            connect(s, &QTcpSocket::bytesWritten, s, [this, s] { more(s); });
            more(s);
            return;
        }
        }
        s->write(head + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n");
        send(s, body);
    }
    void send(QTcpSocket* s, const QByteArray& bytes)
    {
        const qint64 sent = s->property("sent").toLongLong();
        if (m_written >= kSafetyCap || sent >= m_cap || s->state() != QAbstractSocket::ConnectedState)
            return;
        s->write(bytes);
        s->setProperty("sent", sent + bytes.size());
        m_written += bytes.size();
    }
    // Keeps the queue filled while the other side reads.
    void more(QTcpSocket* s)
    {
        static const QByteArray chunk = printerBytes(64 * 1024);
        static const QByteArray framed = [] {
            QByteArray c;
            for (int i = 0; i < 4; ++i)
                c += "4000\r\n" + printerBytes(16 * 1024) + "\r\n";
            return c;
        }();
        const QByteArray& next = s->property("framed").toBool() ? framed : chunk;
        while (s->bytesToWrite() < m_queued && s->state() == QAbstractSocket::ConnectedState
               && s->property("sent").toLongLong() < m_cap && m_written < kSafetyCap)
            send(s, next);
    }

    Mode m_mode;
    qint64 m_queued = 64 * 1024;
    qint64 m_cap = kSafetyCap;
    QByteArrayList m_requests;
    QTcpServer m_server;
    qint64 m_written = 0;
};
