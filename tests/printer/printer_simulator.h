#pragma once

#include "../support/hang_ceiling.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A stand-in for the printer's motion controller on a pseudo-terminal.
// The client opens slavePath() like a serial port; the simulator serves the
// master side on a thread of its own and keeps a slave descriptor open, so the
// master never sees a hang-up of its own.
//
// A command ends at CR or LF, before a 'G' or 'M' that follows other command
// text (the hand-shake and control commands come back to back without
// terminators), or after an idle gap. Replies: "M900" a version line, "M701"
// the light grid, "M231" the home-adjust values and "execok", anything else
// Options::commandReply ("ok\n"); each can be scripted, and moves can be
// answered only once they have run. Faults play printers that answer wrongly,
// hang up or never stop talking.
class PrinterSimulator
{
public:
    enum Fault : unsigned {
        None = 0,
        Mute = 1,        // records, answers nothing
        Delayed = 2,     // answers after Options::delayMs
        Held = 4,        // answers when release() is called
        Chunked = 8,     // writes replies in Options::chunkSize pieces, apart
        NulInReply = 16, // a zero byte in the middle of each reply
        HungUp = 32,     // closes its side at the next command
        Step = 64,       // holds each command's reply until release(); send() passes
        ErrorReply = 128,   // answers every command "error: command broken" (an "ok" inside a word)
        EndlessReply = 256, // the next reply never ends: lines of digits follow it, no "ok"
    };

    struct LightGrid {
        float target = 80.0f;
        int width = 1920, height = 1080;
        std::vector<float> xs{320, 960, 1600};
        std::vector<float> ys{270, 810};
        std::vector<float> values{100, 95, 90, 85, 92, 88};  // column by column
    };

    struct Options {
        std::string version = "Vexmor3D firmware V2.1.4";
        LightGrid grid;
        std::string homeAdjust = "X:12um Y:-5um Z:240um";
        int delayMs = 50;
        int chunkSize = 1;
        int chunkGapMs = 2;
        int idleGapMs = 20;
        // The reply to every command without a reply of its own (not M900,
        // M701 or M231, nor one set by setReply).
        std::string commandReply = "ok\n";
        // Above 0: a move (G0, G1, G28) is answered only once it has run,
        // its own duration times this scale; the axes move one command after
        // the other, from 0 (Z from startZ), homing at homingFeed mm/min.
        double moveScale = 0;
        double startZ = 0;
        double homingFeed = 600;
    };

    explicit PrinterSimulator(Options options);
    PrinterSimulator();
    ~PrinterSimulator();
    PrinterSimulator(const PrinterSimulator&) = delete;
    PrinterSimulator& operator=(const PrinterSimulator&) = delete;

    bool ok() const { return m_master >= 0 || m_hungUp; }
    const std::string& error() const { return m_error; }
    const std::string& slavePath() const { return m_slavePath; }
    int slaveFd() const { return m_slave; }  // for reading the line settings

    void setFaults(unsigned faults);
    // Closes its side as soon as `commands` commands have come in all (0: never).
    void setHangUpAfter(size_t commands);
    bool hungUp() const;
    void hangUpNow();
    // Reply to commands whose first word is `word` (e.g. "M701").
    void setReply(const std::string& word, const std::string& reply);
    // Called on the simulator thread for every command.
    void setCommandListener(std::function<void(const std::string&)> listener);

    std::vector<std::string> commands() const;
    std::string received() const;  // every byte, in order
    // Waits (at most timeoutMs) until n commands / n bytes have come in.
    bool waitForCommands(size_t n, int timeoutMs = kHangMs) const;
    bool waitForBytes(size_t n, int timeoutMs = kHangMs) const;

    size_t heldCount() const;
    void release(size_t n = 1);        // answers the oldest held commands
    // Step mode: waits (at most timeoutMs) for a held command and returns the
    // oldest one; empty when none came.
    std::string waitForStep(int timeoutMs = kHangMs) const;
    void send(const std::string& bytes);  // unsolicited bytes (faults apply)

    static std::string lightGridReply(const LightGrid& grid);
    std::string replyTo(const std::string& command) const;

private:
    using Clock = std::chrono::steady_clock;
    struct Out {
        Clock::time_point due;
        std::string bytes;
    };

    void serve();
    void wake();
    void onBytes(const char* data, size_t n);
    void endCommand();
    void queueReply(std::string reply, Clock::time_point due);  // m_lock held
    void hangUpLocked();
    std::string replyToLocked(const std::string& command) const;
    // Milliseconds the command keeps the axes moving; moves them on.
    double moveDuration(const std::string& command);

    Options m_options;
    std::string m_error, m_slavePath;
    int m_master = -1, m_slave = -1, m_wake[2] = {-1, -1};
    bool m_hungUp = false;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    unsigned m_faults = None;
    size_t m_hangUpAfter = 0;
    bool m_endless = false;  // an endless reply is being sent
    std::map<std::string, std::string> m_replies;
    std::function<void(const std::string&)> m_listener;
    std::vector<std::string> m_commands;
    std::string m_received, m_pending;
    Clock::time_point m_lastByte;
    std::deque<std::pair<std::string, std::string>> m_held;  // command (Step only), reply
    std::deque<Out> m_out;
    double m_at[3] = {0, 0, 0};  // X, Y, Z (mm)
    double m_feed = 0;           // mm/min; 0: none given
    Clock::time_point m_movesEnd;
    bool m_stop = false;
    std::thread m_thread;
};
