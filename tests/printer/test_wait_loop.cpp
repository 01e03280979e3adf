#include "myserialport.h"
#include "printertimings.h"

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
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        MySerialPort::clearResponse();
        int now = 0, sleeps = 0, arrival = r.arrivalMs;
        const int pos = waitForText(r.text, r.loop, [&](int ms) {
            ++sleeps;
            now += ms;
            if (arrival >= 0 && now >= arrival) {
                MySerialPort::appendResponse(r.reply);
                arrival = -1;
            }
        });
        EXPECT_EQ(std::make_tuple(pos, sleeps, now), std::make_tuple(r.pos, r.sleeps, r.ms));
    }
    MySerialPort::clearResponse();
}
