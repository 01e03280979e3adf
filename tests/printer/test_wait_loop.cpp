#include "myserialport.h"
#include "printertimings.h"
#include "replylines.h"
#include "settingsrangecheck.h"

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
        {"o", false, -1},
        {" ok\n", false, 1},  // a word of its line, as "X:1 Y:2 ok" holds it
        {"ok after a lost head\nok", true, 21},  // the first line's start is gone
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
    // A new command: the emptied buffer starts over.
    others.clear();
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
    MySerialPort::appendResponse(QByteArray(MySerialPort::kResponseLimit + 10, 'x'));
    MySerialPort::appendResponse("ok\nok\n");
    EXPECT_EQ(MySerialPort::indexOfAck(), 3);
    MySerialPort::clearResponse();
}

// The words of a reply line, split at blanks, tabs, commas and colons: "ok"
// or "execok" among them acknowledges, unless the line reports an error.
// A word at the end of the text counts only once no more bytes are coming.
TEST(ReplyLinesTest, WordsThatAcknowledge)
{
    const struct { QByteArray buffer; int settled, growing; } rows[] = {  // growing: the end may still grow
        {"ok", 0, -1},
        {"ok\r\n", 0, 0},
        {"\nok T:25", 1, 1},
        {"execok\n", 0, 0},
        {"execok", 0, -1},
        {"X:1 Y:2 ok\n", 8, 8},
        {"X:1 Y:2 ok", 8, -1},
        {"X:1,ok\n", 4, 4},
        {"ok:", 0, 0},
        {"\tok\t", 1, 1},
        {"echo: ok\n", 6, 6},
        {"echo:busy\nok\n", 10, 10},
        {"error: broken\nok\n", 14, 14},
        // No acknowledgement: refusals, other words, other letter case.
        {"okay, error: command refused\n", -1, -1},
        {"okay", -1, -1},
        {"error: ok\n", -1, -1},
        {"Error:ok\n", -1, -1},
        {"errors, ok\n", -1, -1},
        {"!! ok\n", -1, -1},
        {"!!:ok\n", -1, -1},
        {"OK\n", -1, -1},
        {"Ok\n", -1, -1},
        {"look\n", -1, -1},
        {"execok2\n", -1, -1},
        {"o k\n", -1, -1},
        {QByteArray("ok\0\n", 4), -1, -1},
        {"", -1, -1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.buffer.toStdString());
        EXPECT_EQ(ReplyLines::ackPosition(r.buffer, false, true), r.settled);
        EXPECT_EQ(ReplyLines::ackPosition(r.buffer, false, false), r.growing);
    }
    // A line whose start was lost cannot tell whether it reported an error.
    EXPECT_EQ(ReplyLines::ackPosition("rror: ok\nok\n", true), 9);
}

// The scanner judges a word at the end once a look finds no byte added
// since the look before; a reply that grows into "okay" never acknowledges.
TEST(ReplyLinesTest, ScannerJudgesTheLastWordWhenNoMoreBytesCome)
{
    const std::vector<std::vector<std::pair<QByteArray, int>>> runs = {
        {{"", -1}, {"o", -1}, {"ok", -1}, {"ok", 0}},
        {{"ok", -1}, {"oka", -1}, {"okay", -1}, {"okay", -1}, {"okay\n", -1}},
        {{"X:1 ok", -1}, {"X:1 ok", 4}},
        {{"X:1 ok", -1}, {"X:1 ok\n", 4}},
        {{"exec", -1}, {"execok", -1}, {"execok", 0}},
        {{"ok", -1}, {"ok ", 0}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.back().first.toStdString());
        AckScanner scanner;
        for (const auto& [buffer, ack] : run)
            EXPECT_EQ(scanner.scan(buffer, false, nullptr), ack) << buffer.toStdString();
    }
    // A new command starts the count again: its first look judges nothing.
    AckScanner scanner;
    EXPECT_EQ(scanner.scan("ok", false, nullptr), -1);
    EXPECT_EQ(scanner.scan("ok", false, nullptr), 0);
    scanner.reset();
    EXPECT_EQ(scanner.scan("ok", false, nullptr), -1);
    EXPECT_EQ(scanner.scan("ok", false, nullptr), 0);
}

// The hand-shake's wait: a bare "ok" ends it at the look after it came.
TEST(WaitForText, BareOkEndsTheWaitAtTheNextLook)
{
    MySerialPort::clearResponse();
    int now = 0;
    const auto sleep = [&](int ms) {
        now += ms;
        if (now == 100)
            MySerialPort::appendResponse("V2\nok");
    };
    EXPECT_EQ(waitForAck(PrinterTimings().m900, sleep), 3);
    EXPECT_EQ(now, 200);
    MySerialPort::clearResponse();
}

// Printer text in the log and the panels: control characters escaped (C0,
// DEL, C1), no more than a few hundred characters however many escapes,
// then the whole length.
TEST(ReplyLinesTest, PrinterTextIsShownEscapedAndCapped)
{
    const int cap = ReplyLines::kShownCharacters;
    const struct { QByteArray text; QString shown; } rows[] = {
        {"V2.1.4", "V2.1.4"},
        {"V9.1\r", "V9.1\\x0d"},
        {"\x1b[2J\x1b]0;pwned\x07", "\\x1b[2J\\x1b]0;pwned\\x07"},
        {"a\x7f\x9b" "31mb", "a\\x7f\\x9b31mb"},
        {"caf\xe9", QString::fromUtf8("caf\xc3\xa9")},
        {QByteArray(300 * 1024, 'v'), QString(cap, 'v') + "... (307200 characters)"},
        {QByteArray(cap, '\x1b'), QString("\\x1b").repeated(cap / 4) + QString("... (%1 characters)").arg(cap)},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ReplyLines::shown(r.text), r.shown) << r.text.left(40).toStdString();
}

// A stored value or a name may hold marks that turn the text's direction: an
// override in a message would show the rest of the line reversed.
TEST(ReplyLinesTest, DirectionMarksAreShownEscaped)
{
    const struct { QString text; QString shown; } rows[] = {
        {QString::fromUtf8("Resin \u202e2.0"), "Resin \\u202e2.0"},
        {QString::fromUtf8("a\u2066b\u2069c\u200fd\u061ce"), "a\\u2066b\\u2069c\\u200fd\\u061ce"},
        // Joiners and right-to-left letters are text, not marks.
        {QString::fromUtf8("\u200d\u05d0\u0627"), QString::fromUtf8("\u200d\u05d0\u0627")},
        {QString(70, QChar(0x202e)), QString("\\u202e").repeated(10) + "... (70 characters)"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(shortPrintable(r.text, 60), r.shown);
}
