#include "myserialport.h"
#include "printertimings.h"
#include "replylines.h"

#include <gtest/gtest.h>

#include <tuple>

// The clock only moves when the loop sleeps; at `arrivalMs` the reply lands.
TEST(WaitForText, LooksAndSleepsOfEachLoop)
{
    const PrinterTimings t;
    struct {
        const char* name; LookLoop loop; QByteArray text; int arrivalMs; QByteArray reply; int pos, sleeps, ms;
    } rows[] = {
        {"M900 ok at 150 ms", t.m900, "ok", 150, "V2\nok\n", 3, 2, 200},
        {"M900 ok at 100 ms", t.m900, "ok", 100, "ok", 0, 1, 100},
        {"M900 silent", t.m900, "ok", -1, {}, -1, 101, 10100},
        {"M900 late reply", t.m900, "ok", 10100, "ok", -1, 101, 10100},
        {"M701 text without ok", t.m701, "ok", 400, "1\n2\n", -1, 1001, 200200},
        {"print loop looks again after its last sleep", t.command, "ok", 10005, "ok", 0, 2001, 10005},
        {"adjust read waits for execok", t.adjustRead, "execok", 20, "M231 X:1um\nok\nexecok\n", 14, 4, 20},
        // Scaled timings keep the counts, and never sleep 0 ms.
        {"scaled print loop", t.scaled(0.01).command, "ok", -1, {}, -1, 2001, 2001},
        // Not a text search: "ok" must begin a reply line.
        {"error reply holding ok", t.m900, "", 100, "error: command broken\n", -1, 101, 10100},
        {"ok line after an error line", t.m900, "", 100, "error: broken\nok\n", 14, 1, 100},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        MySerialPort::clearResponse();
        int now = 0, sleeps = 0, arrival = r.arrivalMs;
        const auto sleep = [&](int ms) {
            ++sleeps;
            now += ms;
            if (arrival >= 0 && now >= arrival) {
                MySerialPort::appendResponse(r.reply);
                arrival = -1;
            }
        };
        // An empty text asks for the acknowledgement line.
        const int pos = r.text.isEmpty() ? waitForAck(r.loop, sleep) : waitForText(r.text, r.loop, sleep);
        EXPECT_EQ(std::make_tuple(pos, sleeps, now), std::make_tuple(r.pos, r.sleeps, r.ms));
    }
    MySerialPort::clearResponse();
}

// An acknowledgement is a reply line that begins with "ok"; "ok" inside a
// line (an error "command broken") is none.
TEST(ReplyLinesTest, AcknowledgementLines)
{
    const struct { QByteArray buffer; bool midLine; int ack; } rows[] = {
        {"ok", false, 0},
        {"ok\r\n", false, 0},
        {"ok T:25 B:60\n", false, 0},
        {"echo:busy\nok\n", false, 10},
        {"error\rok", false, 6},
        {"error: command broken\n", false, -1},
        {"error: command broken", false, -1},
        {"o", false, -1},
        {" ok\n", false, -1},
        {"Nok\nok", false, 4},
        {"ok after a lost head\nok", true, 21},  // the first line's start is gone
        {"", false, -1},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ReplyLines::ackPosition(r.buffer, r.midLine), r.ack) << r.buffer.constData();
}

// Lines before the acknowledgement are handed out once each as the reply grows.
TEST(ReplyLinesTest, ScannerHandsOutOtherLinesOnce)
{
    AckScanner scanner;
    QList<QByteArray> others;
    QByteArray buffer = "error: command broken\r\nbu";
    EXPECT_EQ(scanner.scan(buffer, false, &others), -1);
    EXPECT_EQ(others, (QList<QByteArray>{"error: command broken"}));
    buffer += "sy\nok\n";
    others.clear();
    EXPECT_EQ(scanner.scan(buffer, false, &others), 28);
    EXPECT_EQ(others, QList<QByteArray>{"busy"});
    others.clear();
    EXPECT_EQ(scanner.scan(buffer, false, &others), 28);
    EXPECT_TRUE(others.isEmpty());
    // A new command: the emptied buffer starts over.
    scanner.reset();
    EXPECT_EQ(scanner.scan("broken\n", false, &others), -1);
    EXPECT_EQ(others, QList<QByteArray>{"broken"});
}

// The receive buffer keeps at most its limit: old whole lines give way, and a
// line whose start was dropped cannot pass for an acknowledgement.
TEST(ReplyLinesTest, ReceiveBufferStaysWithinItsLimit)
{
    MySerialPort::clearResponse();
    const QByteArray line = QByteArray(1000, 'b') + "roken\n";  // "...br" + "oken" must not start a line
    for (int i = 0; i < 1000; ++i)
        MySerialPort::appendResponse(line);
    EXPECT_LE(MySerialPort::responseData().size(), MySerialPort::kResponseLimit);
    EXPECT_TRUE(MySerialPort::responseOverflowed());
    EXPECT_TRUE(MySerialPort::responseData().startsWith("bbbb"));
    EXPECT_EQ(MySerialPort::indexOfAck(), -1);
    // One endless line: everything goes, and what follows continues that line.
    MySerialPort::clearResponse();
    EXPECT_FALSE(MySerialPort::responseOverflowed());
    MySerialPort::appendResponse(QByteArray(MySerialPort::kResponseLimit + 10, 'x'));
    MySerialPort::appendResponse("ok\nok\n");
    EXPECT_EQ(MySerialPort::indexOfAck(), 3);
    MySerialPort::clearResponse();
}
