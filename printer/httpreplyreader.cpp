#include "httpreplyreader.h"

#include "replylines.h"

#include <QList>

#include <cstring>

namespace
{
int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The codings of a header's value, trimmed and without empty ones.
QList<QByteArray> codings(const QByteArray& value)
{
    QList<QByteArray> out;
    for (const QByteArray& c : value.split(','))
        if (!c.trimmed().isEmpty())
            out << c.trimmed().toLower();
    return out;
}

QString shownBytes(const QByteArray& bytes)
{
    return ReplyLines::shown(QString::fromLatin1(bytes));
}
}

HttpReplyReader::HttpReplyReader(qint64 maxBodyBytes)
    : m_maxBody(qBound<qint64>(0, maxBodyBytes, kMaxBodyLimit))
{
}

HttpReplyReader::State HttpReplyReader::feed(const char* data, qint64 size)
{
    qint64 at = 0;
    while (at < size && !ended()) {
        const qint64 allowed = readBudget() - m_read;
        if (allowed <= 0) {
            refuse(QStringLiteral("more than %1 bytes in all").arg(readBudget()));
            break;
        }
        const char* p = data + at;
        const qint64 n = qMin(size - at, allowed);
        qint64 used = 0;
        if (m_step == Step::Data || m_step == Step::ChunkData) {
            used = m_framing == Framing::UntilClose ? n : qMin(n, m_left);
            bodyBytes(p, used);
            if (m_framing != Framing::UntilClose && !ended()) {
                m_left -= used;
                if (m_left == 0) {
                    if (m_framing == Framing::Length)
                        done();
                    else
                        m_step = Step::ChunkEnd;
                }
            }
        } else {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(n)));
            used = nl ? nl - p + 1 : n;
            const bool headPart = m_step == Step::StatusLine || m_step == Step::HeaderLine || m_step == Step::TrailerLine;
            if (headPart) {
                m_headBytes += used;
                if (m_headBytes > kMaxHeadBytes) {
                    refuse(QStringLiteral("a header of more than %1 bytes").arg(kMaxHeadBytes));
                    break;
                }
            } else if (m_line.size() + used > kMaxChunkLineBytes) {
                refuse(QStringLiteral("a chunk line of more than %1 bytes").arg(kMaxChunkLineBytes));
                break;
            }
            m_line.append(p, int(nl ? used - 1 : used));
            if (nl) {
                if (m_line.endsWith('\r'))
                    m_line.chop(1);
                const QByteArray text = m_line;
                m_line.clear();
                line(text);
            }
        }
        at += used;
        m_read += used;
    }
    return m_state;
}

HttpReplyReader::State HttpReplyReader::closed()
{
    if (m_state == State::Head)
        refuse(QStringLiteral("closed before a whole header"));
    else if (m_state != State::Body)
        return m_state;
    else if (m_framing == Framing::Length)
        refuse(QStringLiteral("closed after %1 of its %2 bytes").arg(m_body.size()).arg(m_length));
    // After the last chunk only the trailer is missing: the body is whole.
    else if (m_framing == Framing::Chunked && m_step != Step::TrailerLine)
        refuse(QStringLiteral("closed before its last chunk, after %1 bytes").arg(m_body.size()));
    else
        done();
    return m_state;
}

void HttpReplyReader::refuse(const QString& why)
{
    if (ended())
        return;
    m_state = State::Refused;
    m_refusal = why;
    m_line = QByteArray();
    m_body = QByteArray();
}

void HttpReplyReader::done()
{
    m_state = State::Done;
    m_line = QByteArray();
}

void HttpReplyReader::line(const QByteArray& text)
{
    switch (m_step) {
    case Step::StatusLine: {
        // Empty lines before a reply are tolerated; they count to the header.
        if (text.isEmpty())
            return;
        const bool ok = text.size() >= 12 && text.startsWith("HTTP/1.") && text[8] == ' ' && text[7] >= '0'
                        && text[7] <= '9' && (text.size() == 12 || text[12] == ' ');
        int code = 0;
        for (int i = 9; ok && i < 12; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                code = -1;
                break;
            }
            code = code * 10 + (text[i] - '0');
        }
        if (!ok || code < 100) {
            refuse(QStringLiteral("no HTTP reply (%1)").arg(shownBytes(text)));
            return;
        }
        m_status = code;
        m_length = -1;
        m_lengthSeen = false;
        m_transfer.clear();
        m_content.clear();
        m_step = Step::HeaderLine;
        return;
    }
    case Step::HeaderLine:
        if (text.isEmpty())
            headEnded();
        else
            headerLine(text);
        return;
    case Step::ChunkLine:
        chunkLine(text);
        return;
    case Step::ChunkEnd:
        if (!text.isEmpty())
            refuse(QStringLiteral("a chunk longer than its size"));
        else
            m_step = Step::ChunkLine;
        return;
    case Step::TrailerLine:
        if (text.isEmpty())
            done();
        return;
    case Step::ChunkData:
    case Step::Data:
        return;
    }
}

void HttpReplyReader::headerLine(const QByteArray& text)
{
    if (text[0] == ' ' || text[0] == '\t') {
        refuse(QStringLiteral("a folded header line"));
        return;
    }
    const int colon = text.indexOf(':');
    if (colon <= 0) {
        refuse(QStringLiteral("a header line without a name (%1)").arg(shownBytes(text)));
        return;
    }
    const QByteArray name = text.left(colon).toLower();
    const QByteArray value = text.mid(colon + 1).trimmed();
    if (name == "content-length") {
        bool digits = !value.isEmpty() && value.size() <= 18;
        for (const char c : value)
            digits = digits && c >= '0' && c <= '9';
        if (!digits) {
            refuse(QStringLiteral("a length that is no count (%1)").arg(shownBytes(value)));
            return;
        }
        const qint64 length = value.toLongLong();
        if (m_lengthSeen && length != m_length) {
            refuse(QStringLiteral("two lengths (%1 and %2)").arg(m_length).arg(length));
            return;
        }
        m_lengthSeen = true;
        m_length = length;
    } else if (name == "transfer-encoding" || name == "content-encoding") {
        QByteArray& all = name == "transfer-encoding" ? m_transfer : m_content;
        all += (all.isEmpty() ? QByteArray() : QByteArray(", ")) + value;
    }
}

void HttpReplyReader::headEnded()
{
    // An interim reply (100 Continue): the final one follows.
    if (m_status < 200 && m_status != 101) {
        m_status = 0;
        m_step = Step::StatusLine;
        return;
    }
    for (const QByteArray& c : codings(m_content))
        if (c != "identity") {
            refuse(QStringLiteral("comes encoded (%1), though none was asked for").arg(shownBytes(m_content)));
            return;
        }
    if (!m_transfer.isEmpty()) {
        if (m_lengthSeen) {
            refuse(QStringLiteral("declares both a length (%1) and chunks").arg(m_length));
            return;
        }
        if (codings(m_transfer) != QList<QByteArray>{"chunked"}) {
            refuse(QStringLiteral("comes in a transfer coding (%1)").arg(shownBytes(m_transfer)));
            return;
        }
        m_framing = Framing::Chunked;
    } else if (m_lengthSeen) {
        if (m_length > m_maxBody) {
            refuse(QStringLiteral("declares %1 bytes").arg(m_length));
            return;
        }
        m_framing = Framing::Length;
        m_left = m_length;
    }
    // Only a success's body is looked at; 204 has none.
    if (m_status < 200 || m_status > 299 || m_status == 204 || (m_framing == Framing::Length && m_left == 0)) {
        done();
        return;
    }
    m_state = State::Body;
    m_step = m_framing == Framing::Chunked ? Step::ChunkLine : Step::Data;
}

void HttpReplyReader::chunkLine(const QByteArray& text)
{
    int end = text.indexOf(';');
    if (end < 0)
        end = text.size();
    const QByteArray hex = text.left(end).trimmed();
    if (hex.isEmpty()) {
        refuse(QStringLiteral("a chunk without a size"));
        return;
    }
    // Compared against what the body may still take before each digit is
    // added, so no size of any length can overflow.
    const qint64 room = m_maxBody - m_body.size();
    qint64 size = 0;
    for (const char c : hex) {
        const int d = hexDigit(c);
        if (d < 0) {
            refuse(QStringLiteral("a chunk size that is no number (%1)").arg(shownBytes(hex)));
            return;
        }
        if (size > room / 16 || size * 16 + d > room) {
            refuse(QStringLiteral("announces a chunk of %1 bytes (hexadecimal), past %2").arg(shownBytes(hex)).arg(m_maxBody));
            return;
        }
        size = size * 16 + d;
    }
    if (size == 0) {
        m_step = Step::TrailerLine;
        return;
    }
    m_left = size;
    m_step = Step::ChunkData;
}

void HttpReplyReader::bodyBytes(const char* data, qint64 size)
{
    if (m_body.size() + size > m_maxBody) {
        refuse(QStringLiteral("more than %1 bytes").arg(m_maxBody));
        return;
    }
    m_body.append(data, int(size));
}
