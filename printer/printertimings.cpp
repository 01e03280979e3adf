#include "printertimings.h"

#include "myserialport.h"
#include "replylines.h"

#include <QThread>
#include <algorithm>
#include <cmath>

namespace {

PrinterTimings& current()
{
    static PrinterTimings timings;
    return timings;
}

int scaleMs(int ms, double factor)
{
    return std::max(1, static_cast<int>(std::lround(ms * factor)));
}

LookLoop scaleLoop(LookLoop loop, double factor)
{
    loop.sleepMs = scaleMs(loop.sleepMs, factor);
    return loop;
}

}  // namespace

PrinterTimings PrinterTimings::scaled(double factor) const
{
    PrinterTimings t = *this;
    t.requestWaitMs = scaleMs(requestWaitMs, factor);
    t.echoWaitMs = scaleMs(echoWaitMs, factor);
    t.m900 = scaleLoop(m900, factor);
    t.m701 = scaleLoop(m701, factor);
    t.command = scaleLoop(command, factor);
    t.adjustRead = scaleLoop(adjustRead, factor);
    t.delayPollMs = scaleMs(delayPollMs, factor);
    t.delayTailMs = scaleMs(delayTailMs, factor);
    t.idleSleepMs = scaleMs(idleSleepMs, factor);
    t.moveScale = moveScale * factor;
    return t;
}

const PrinterTimings& printerTimings()
{
    return current();
}

void setPrinterTimings(const PrinterTimings& timings)
{
    current() = timings;
}

int waitUntil(const std::function<int()>& look, const LookLoop& loop, const PrinterSleep& sleep,
              const PrinterMissReport& onMiss)
{
    auto pause = [&](int ms) {
        if (sleep)
            sleep(ms);
        else
            QThread::msleep(static_cast<unsigned long>(ms));
    };
    pause(loop.sleepMs);
    for (int n = 0; n < loop.looks; ++n) {
        const int pos = look();
        if (pos >= 0 || pos < -1)
            return pos;
        if (onMiss && loop.reportEvery > 0 && n % loop.reportEvery == 0)
            onMiss(n);
        pause(loop.sleepMs);
    }
    return loop.lookAfterLastSleep ? look() : -1;
}

int waitForText(const QByteArray& text, const LookLoop& loop, const PrinterSleep& sleep,
                const PrinterMissReport& onMiss)
{
    return waitUntil([&text] { return MySerialPort::indexOfResponse(text); }, loop, sleep, onMiss);
}

int waitForAck(const LookLoop& loop, const PrinterSleep& sleep, const PrinterMissReport& onMiss)
{
    AckScanner scanner;
    return waitUntil([&scanner] { return MySerialPort::scanResponse(scanner, nullptr); }, loop, sleep, onMiss);
}
