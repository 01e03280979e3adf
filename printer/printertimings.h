#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <functional>

// One "sleep, look for the text, sleep again" loop of the printer link:
// sleep, then look; after every failed look sleep again. `looks` looks are
// made; the print loop's form looks once more after the last sleep.
struct LookLoop {
    int sleepMs = 100;
    int looks = 100;
    bool lookAfterLastSleep = false;
    int reportEvery = 0;  // call the miss report at looks 0, n, 2n ... (0: never)
};

// Every wait and look count of the serial link in one place. The defaults are
// the printer's own figures; tests run with scaled copies.
struct PrinterTimings {
    int requestWaitMs = 5000;        // a caller waits this long for the port thread
    int echoWaitMs = 10000;          // EchoCommand's reply wait
    LookLoop m900{100, 100, false, 0};
    LookLoop m701{200, 1000, false, 0};
    LookLoop command{5, 2000, true, 100};  // print loop: written again after this
    int commandWrites = 30;          // ... this often at most, then the job fails
    LookLoop adjustRead{5, 2000, false, 0};
    int delayPollMs = 5;             // print-loop delays: sleep while more than
    int delayTailMs = 200;           // the tail remains, then poll without sleeping
    int idleSleepMs = 2000;          // print loop with nothing to do
    // A move's own duration, worked out from the job, counts this much: a
    // command is written again only after its window and its move have run.
    double moveScale = 1.0;

    // The print loop's clock: a millisecond reading and a sleep. Empty means
    // the steady clock and a real sleep of the calling thread; tests put a
    // fake in to check the delays.
    std::function<qint64()> nowMs;
    std::function<void(int ms)> sleep;

    // Every duration multiplied by factor (at least 1 ms); counts unchanged.
    PrinterTimings scaled(double factor) const;
};

// The timings in force. Set them before the link is used, not while a caller waits.
const PrinterTimings& printerTimings();
void setPrinterTimings(const PrinterTimings& timings);

using PrinterSleep = std::function<void(int ms)>;
using PrinterMissReport = std::function<void(int look)>;

// Runs `loop` with `look` until it returns a position (>= 0) or gives up
// (< -1, returned at once). Returns -1 when the loop ran out.
// `sleep` defaults to a real sleep of the calling thread.
int waitUntil(const std::function<int()>& look, const LookLoop& loop, const PrinterSleep& sleep = {},
              const PrinterMissReport& onMiss = {});

// waitUntil the shared receive buffer holds `text` anywhere.
int waitForText(const QByteArray& text, const LookLoop& loop, const PrinterSleep& sleep = {},
                const PrinterMissReport& onMiss = {});

// waitUntil the shared receive buffer holds an acknowledgement (ReplyLines),
// judged as it grows (AckScanner).
int waitForAck(const LookLoop& loop, const PrinterSleep& sleep = {}, const PrinterMissReport& onMiss = {});
