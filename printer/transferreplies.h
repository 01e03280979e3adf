#pragma once

#include <QByteArray>
#include <QList>

// The network printer's replies to a file transfer, as they arrive over TCP
// in pieces of any size:
//   acknowledgement  "L11 P" + B + one separator + "R:" + C   (B bytes, C 0 = success)
//   progress         "L12 Print:" + V
// The replies have no terminator: a message ends where the next one starts,
// or with the last digit of its number received so far (a reply is split
// anywhere before its number, never inside it). Bytes between messages are
// dropped; the buffer never holds more than a few hundred bytes.
class TransferReplies
{
public:
    struct Message {
        enum Kind { Acknowledgement, Progress } kind;
        qint64 bytes = 0;  // B, or V
        int code = 0;      // C (acknowledgements)
    };

    // Adds received bytes; returns the messages they complete, in order.
    QList<Message> feed(const QByteArray& bytes);
    int buffered() const { return m_buffer.size(); }

    // An unfinished message longer than this is dropped as noise.
    static constexpr int kMaxMessageBytes = 256;

private:
    QByteArray m_buffer;
};
