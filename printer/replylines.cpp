#include "replylines.h"

namespace {

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

bool ackAt(const QByteArray& buffer, int at)
{
    return at + 1 < buffer.size() && buffer[at] == 'o' && buffer[at + 1] == 'k';
}

}  // namespace

namespace ReplyLines {

int ackPosition(const QByteArray& buffer, bool startsMidLine)
{
    bool lineStart = !startsMidLine;
    for (int i = 0; i < buffer.size(); ++i) {
        if (lineStart && ackAt(buffer, i))
            return i;
        lineStart = isLineEnd(buffer[i]);
    }
    return -1;
}

}  // namespace ReplyLines

int AckScanner::scan(const QByteArray& buffer, bool startsMidLine, QList<QByteArray>* others)
{
    if (m_reported > buffer.size())
        m_reported = 0;  // the buffer was emptied behind our back
    const int ack = ReplyLines::ackPosition(buffer, startsMidLine);
    const int end = ack >= 0 ? ack : buffer.size();
    // Complete lines before the acknowledgement (or the end), not yet handed out.
    int from = m_reported;
    for (int i = m_reported; i < end; ++i) {
        if (!isLineEnd(buffer[i]))
            continue;
        const QByteArray line = buffer.mid(from, i - from);
        if (others && !line.isEmpty())
            others->append(line);
        from = i + 1;
    }
    m_reported = from;
    return ack;
}
