// Feeds arbitrary bytes to what reads the printer's serial replies: the
// acknowledgement scan (whole, with its last word settled or not, and as the
// reply grows, each piece looked at twice), the size-limited receive buffer,
// the printer text as the log shows it, and the light-engine data of an M701
// reply (also read as "machine.dat") through the light-table build.
#include "lightcorrection.h"
#include "myserialport.h"
#include "replylines.h"

#include <QByteArray>
#include <QList>
#include <QSize>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));

    AckScanner scanner;
    QList<QByteArray> others;
    QByteArray grown;
    for (int at = 0; at < bytes.size(); at += 7) {
        grown += bytes.mid(at, 7);
        const int ack = scanner.scan(grown, false, &others);
        // A second look with nothing new settles the last word.
        const int settled = scanner.scan(grown, false, &others);
        if (ack >= 0 && settled != ack)
            __builtin_trap();
        if (settled >= grown.size())
            __builtin_trap();
    }
    (void)ReplyLines::ackPosition(bytes, true);
    (void)ReplyLines::ackPosition(bytes, false, false);
    if (ReplyLines::shown(bytes).size() > ReplyLines::kShownCharacters + 40)
        __builtin_trap();

    MySerialPort::clearResponse();
    for (int n = 0; n < 40; ++n)  // enough copies to pass the buffer's limit
        MySerialPort::appendResponse(bytes.left(1 << 14));
    (void)MySerialPort::indexOfAck();
    MySerialPort::clearResponse();

    const QList<QByteArray> reply = bytes.split('\n');
    const QList<QByteArray> items = lightItemsFromReply(reply, bytes);
    (void)buildLightCorrection(25, reply.mid(0, 13), items, QSize(64, 48));
    return 0;
}
