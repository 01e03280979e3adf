#pragma once

#include <QByteArray>
#include <QString>

// Reads one HTTP/1.x reply to a GET as its bytes come, holding no more than
// its bounds whatever the peer sends: a header of at most kMaxHeadBytes, a
// body of at most maxBodyBytes, and at most readBudget() bytes read in all
// (headers, chunk lines and body). The body comes as it is: a reply in a
// content or transfer coding other than chunked is refused, and so is one
// that declares both a length and chunks (which of the two frames it is
// anybody's guess). A size read from the peer is only ever compared, never
// allocated.
class HttpReplyReader
{
public:
    enum class State { Head, Body, Done, Refused };

    static constexpr int kMaxHeadBytes = 16 * 1024;
    // A chunk-size line, with any extension.
    static constexpr int kMaxChunkLineBytes = 1024;
    // The most any caller may allow a body (it is held as one array).
    static constexpr qint64 kMaxBodyLimit = qint64(1) << 30;

    explicit HttpReplyReader(qint64 maxBodyBytes);

    // Takes the next bytes of the connection; the state after them. Bytes
    // after the end of the reply, or after a refusal, are ignored.
    State feed(const char* data, qint64 size);
    State feed(const QByteArray& bytes) { return feed(bytes.constData(), bytes.size()); }
    // The peer closed the connection. A body framed by the close ends with
    // what came; one that stops before its length or its last chunk is cut,
    // and refused like a header cut short.
    State closed();
    // Gives the reply up with a reason, unless it has already ended.
    void refuse(const QString& why);

    State state() const { return m_state; }
    bool ended() const { return m_state == State::Done || m_state == State::Refused; }
    // The status code of the final header, 0 before it.
    int status() const { return m_status; }
    const QByteArray& body() const { return m_body; }
    // Why the reply was refused (capped for the log), empty otherwise.
    const QString& refusal() const { return m_refusal; }
    // Bytes held now: the line being read and the body's storage.
    qint64 held() const { return m_line.capacity() + m_body.capacity(); }
    qint64 bytesRead() const { return m_read; }
    qint64 readBudget() const { return 2 * m_maxBody + 4 * kMaxHeadBytes; }

private:
    enum class Framing { Length, Chunked, UntilClose };
    enum class Step { StatusLine, HeaderLine, ChunkLine, ChunkData, ChunkEnd, TrailerLine, Data };

    // One whole line (without its CR LF) of the current step.
    void line(const QByteArray& text);
    void headerLine(const QByteArray& text);
    void headEnded();
    void chunkLine(const QByteArray& text);
    // Body bytes of a chunk or of the plain body.
    void bodyBytes(const char* data, qint64 size);
    void done();

    qint64 m_maxBody;
    State m_state = State::Head;
    Step m_step = Step::StatusLine;
    Framing m_framing = Framing::UntilClose;
    QByteArray m_line;
    QByteArray m_body;
    QString m_refusal;
    int m_status = 0;
    qint64 m_read = 0;
    qint64 m_headBytes = 0;
    // Bytes of the body (Length) or of the chunk (Chunked) still to come.
    qint64 m_left = 0;
    // What the header said, gathered until it ends.
    qint64 m_length = -1;
    bool m_lengthSeen = false;
    QByteArray m_transfer;
    QByteArray m_content;
};
