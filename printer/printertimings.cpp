#include "printertimings.h"

#include "myserialport.h"

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

int waitForText(const QByteArray& text, const LookLoop& loop, const PrinterSleep& sleep,
                const PrinterMissReport& onMiss)
{
    auto pause = [&](int ms) {
        if (sleep)
            sleep(ms);
        else
            QThread::msleep(static_cast<unsigned long>(ms));
    };
    pause(loop.sleepMs);
    for (int look = 0; look < loop.looks; ++look) {
        const int pos = MySerialPort::indexOfResponse(text);
        if (pos >= 0)
            return pos;
        if (onMiss && loop.reportEvery > 0 && look % loop.reportEvery == 0)
            onMiss(look);
        pause(loop.sleepMs);
    }
    return loop.lookAfterLastSleep ? MySerialPort::indexOfResponse(text) : -1;
}
