#include "myserialport.h"
#include "printertimings.h"

#include <gtest/gtest.h>

namespace {

// A clock that only moves when the loop sleeps; at `arrivalMs` the reply
// lands in the shared buffer.
struct FakeLine {
    int nowMs = 0;
    int sleeps = 0;
    int arrivalMs = -1;
    QByteArray reply;

    void sleep(int ms)
    {
        ++sleeps;
        nowMs += ms;
        if (arrivalMs >= 0 && nowMs >= arrivalMs) {
            MySerialPort::appendResponse(reply);
            arrivalMs = -1;
        }
    }
};

}  // namespace

TEST(WaitForText, LooksAndSleepsOfEachLoop)
{
    const PrinterTimings t;
    struct Row {
        const char* name;
        LookLoop loop;
        QByteArray text;
        int arrivalMs;
        QByteArray reply;
        int wantPos, wantSleeps, wantMs;
    } rows[] = {
        {"M900 ok at 150 ms", t.m900, "ok", 150, "V2\nok\n", 3, 2, 200},
        {"M900 ok at 100 ms", t.m900, "ok", 100, "ok", 0, 1, 100},
        {"M900 silent", t.m900, "ok", -1, {}, -1, 101, 10100},
        {"M900 late reply", t.m900, "ok", 10100, "ok", -1, 101, 10100},
        {"M701 silent", t.m701, "ok", -1, {}, -1, 1001, 200200},
        {"M701 text without ok", t.m701, "ok", 400, "1\n2\n", -1, 1001, 200200},
        {"print loop looks again after its last sleep", t.command, "ok", 10005, "ok", 0, 2001, 10005},
        {"adjust read waits for execok", t.adjustRead, "execok", 20, "M231 X:1um\nok\nexecok\n", 14, 4, 20},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        MySerialPort::clearResponse();
        FakeLine line;
        line.arrivalMs = r.arrivalMs;
        line.reply = r.reply;
        const int pos = waitForText(r.text, r.loop, [&](int ms) { line.sleep(ms); });
        EXPECT_EQ(pos, r.wantPos);
        EXPECT_EQ(line.sleeps, r.wantSleeps);
        EXPECT_EQ(line.nowMs, r.wantMs);
    }
    MySerialPort::clearResponse();
}

TEST(WaitForText, PrintLoopReportsEveryHundredthMiss)
{
    MySerialPort::clearResponse();
    std::vector<int> reported;
    const int pos = waitForText("ok", PrinterTimings().command, [](int) {}, [&](int look) { reported.push_back(look); });
    EXPECT_EQ(pos, -1);
    ASSERT_EQ(reported.size(), 20u);
    EXPECT_EQ(reported.front(), 0);
    EXPECT_EQ(reported.back(), 1900);
}

TEST(WaitForText, ScalingKeepsCountsAndShortensWaits)
{
    const PrinterTimings base;
    const PrinterTimings fast = base.scaled(0.01);
    EXPECT_EQ(fast.m900.looks, 100);
    EXPECT_EQ(fast.m701.looks, 1000);
    EXPECT_EQ(fast.m900.sleepMs, 1);
    EXPECT_EQ(fast.m701.sleepMs, 2);
    EXPECT_EQ(fast.requestWaitMs, 50);
    EXPECT_EQ(fast.command.sleepMs, 1);  // never scaled down to no wait at all
    EXPECT_TRUE(fast.command.lookAfterLastSleep);
}
