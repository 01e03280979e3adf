// Feeds arbitrary bytes to what reads the printer's serial replies: the
// acknowledgement scan (whole and as the reply grows), the size-limited
// receive buffer, and the light-engine data of an M701 reply (also read as
// "machine.dat") through the light-table build.
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
        scanner.scan(grown, false, &others);
    }
    (void)ReplyLines::ackPosition(bytes, true);

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
