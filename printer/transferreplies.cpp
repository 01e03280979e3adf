#include "transferreplies.h"

#include <algorithm>
#include <climits>
#include <limits>

namespace {

const QByteArray kAck = QByteArrayLiteral("L11 P");
const QByteArray kProgress = QByteArrayLiteral("L12 Print:");

int nextStart(const QByteArray& b, int from)
{
    const int ack = b.indexOf(kAck, from);
    const int progress = b.indexOf(kProgress, from);
    if (ack < 0)
        return progress;
    if (progress < 0)
        return ack;
    return std::min(ack, progress);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The number at `at` in [at, end), blanks before it and a sign allowed; text
// that is no number reads 0. At the buffer's end (`open`) a message without
// its number yet waits: it counts once a digit has come, or something that is
// none. Returns the index after it, -1 when more bytes are needed.
int readNumber(const QByteArray& b, int at, int end, bool open, qint64* value)
{
    int i = at;
    while (i < end && isBlank(b[i]))
        ++i;
    int j = i;
    if (j < end && (b[j] == '+' || b[j] == '-'))
        ++j;
    const int digits = j;
    while (j < end && isDigit(b[j]))
        ++j;
    if (j == digits) {  // no digit: reads 0 once something else is there
        if (open && j == end)
            return -1;
        *value = 0;
        return j;
    }
    // Saturates instead of overflowing: a count no file reaches.
    qint64 v = 0;
    for (int k = digits; k < j; ++k)
        v = v > (std::numeric_limits<qint64>::max() - 9) / 10 ? std::numeric_limits<qint64>::max()
                                                               : v * 10 + (b[k] - '0');
    *value = b[i] == '-' ? -v : v;
    return j;
}

}  // namespace

QList<TransferReplies::Message> TransferReplies::feed(const QByteArray& bytes)
{
    m_buffer += bytes;
    QList<Message> out;
    int consumed = 0;  // bytes before this belong to messages handled or dropped
    int at = nextStart(m_buffer, 0);
    while (at >= 0) {
        consumed = at;
        const bool ack = m_buffer.mid(at, kAck.size()) == kAck;
        const int bodyAt = at + (ack ? kAck.size() : kProgress.size());
        const int following = nextStart(m_buffer, bodyAt);
        const bool open = following < 0;
        const int end = open ? m_buffer.size() : following;
        qint64 number = 0;
        int after = -1;
        if (ack) {
            const int r = m_buffer.indexOf("R:", bodyAt);
            if (r < 0 || r >= end) {
                if (open)
                    break;  // its "R:" may still come
                at = following;  // a new message began: this one is noise
                continue;
            }
            after = readNumber(m_buffer, r + 2, end, open, &number);
            if (after < 0)
                break;
            // B runs to the character just before "R:", which separates them.
            const int bLength = r - 1 - bodyAt;
            bool ok = false;
            const qint64 b = bLength > 0 ? m_buffer.mid(bodyAt, bLength).toLongLong(&ok) : 0;
            out.append(Message{Message::Acknowledgement, ok ? b : 0,
                               int(std::clamp<qint64>(number, INT_MIN, INT_MAX))});
        } else {
            after = readNumber(m_buffer, bodyAt, end, open, &number);
            if (after < 0)
                break;
            out.append(Message{Message::Progress, number, 0});
        }
        consumed = after;
        at = following;
    }
    if (at >= 0) {
        // An unfinished message stays, unless it is too long to be one.
        m_buffer.remove(0, at);
        if (m_buffer.size() > kMaxMessageBytes)
            m_buffer.clear();
    } else {
        // Nothing under way: at most the beginning of a message stays.
        m_buffer.remove(0, consumed);
        m_buffer = m_buffer.right(kProgress.size() - 1);
    }
    return out;
}
