#include "replylines.h"

#include "settingsrangecheck.h"

#include <cstring>

namespace {

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

bool isWordEnd(char c)
{
    return c == ' ' || c == '\t' || c == ',' || c == ':' || isLineEnd(c);
}

bool wordIs(const char* word, int size, const char* text)
{
    const int n = int(std::strlen(text));
    return size == n && std::memcmp(word, text, size_t(n)) == 0;
}

bool wordBegins(const char* word, int size, const char* text)
{
    const int n = int(std::strlen(text));
    return size >= n && std::memcmp(word, text, size_t(n)) == 0;
}

// The acknowledging word of the line [begin, end), or -1. `open`: the line
// runs to the end of the buffer and its last word may still grow.
int ackInLine(const QByteArray& buffer, int begin, int end, bool open)
{
    const char* data = buffer.constData();
    bool first = true;
    for (int at = begin; at < end;) {
        if (isWordEnd(data[at])) {
            ++at;
            continue;
        }
        int stop = at;
        while (stop < end && !isWordEnd(data[stop]))
            ++stop;
        const char* word = data + at;
        const int size = stop - at;
        if (first && (wordBegins(word, size, "error") || wordBegins(word, size, "Error") || wordBegins(word, size, "!!")))
            return -1;
        first = false;
        if (wordIs(word, size, "ok") || wordIs(word, size, "execok"))
            return open && stop == end ? -1 : at;
        at = stop;
    }
    return -1;
}

}  // namespace

namespace ReplyLines {

int ackPosition(const QByteArray& buffer, bool startsMidLine, bool endSettled)
{
    int begin = 0;
    bool judged = !startsMidLine;
    while (begin <= buffer.size()) {
        int end = begin;
        while (end < buffer.size() && !isLineEnd(buffer[end]))
            ++end;
        if (judged && end > begin) {
            const int ack = ackInLine(buffer, begin, end, end == buffer.size() && !endSettled);
            if (ack >= 0)
                return ack;
        }
        judged = true;
        begin = end + 1;
    }
    return -1;
}

QString shown(const QString& text)
{
    return shortPrintable(text, kShownCharacters);
}

QString shown(const QByteArray& bytes)
{
    return shown(QString::fromLatin1(bytes));
}

}  // namespace ReplyLines

int AckScanner::scan(const QByteArray& buffer, bool startsMidLine, QList<QByteArray>* others)
{
    if (m_reported > buffer.size())
        reset();  // the buffer was emptied behind our back
    const bool settled = buffer.size() == m_lastSize;
    m_lastSize = buffer.size();
    const int ack = ReplyLines::ackPosition(buffer, startsMidLine, settled);
    // Complete lines before the acknowledging one (or the end), not yet handed out.
    int end = buffer.size();
    if (ack >= 0) {
        end = ack;
        while (end > 0 && !isLineEnd(buffer[end - 1]))
            --end;
    }
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
