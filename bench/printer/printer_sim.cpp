// Serves a simulated printer on a pseudo-terminal until SIGINT or SIGTERM.
// Prints the terminal's path first, then every command it receives.
#include "printer_simulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: printer_sim [--mute] [--delay MS] [--chunked N] [--nul] [--hangup]\n"
                 "                   [--hangup-after N] [--error-reply] [--endless-reply]\n"
                 "                   [--reply TEXT] [--move-time F] [--start-z MM]\n"
                 "  --mute       record commands, answer nothing\n"
                 "  --delay MS   answer every command MS milliseconds late\n"
                 "  --chunked N  send replies N bytes at a time\n"
                 "  --nul        put a zero byte in the middle of every reply\n"
                 "  --hangup     close the terminal at the first command\n"
                 "  --hangup-after N  close the terminal once N commands came in\n"
                 "  --error-reply     answer every command \"error: command broken\"\n"
                 "  --endless-reply   never end the first reply (no \"ok\", lines without end)\n"
                 "  --reply TEXT      answer every command but the hand-shake's with TEXT, in which\n"
                 "                    \\n, \\r, \\t and \\\\ are LF, CR, tab and backslash (default \"ok\\n\")\n"
                 "  --move-time F     answer a move (G0, G1, G28) only once it has run: its\n"
                 "                    duration from positions and feed, times F (as printer_probe --scale)\n"
                 "  --start-z MM      where the plate stands at the start (for homing; default 0)\n");
    return 2;
}

// "\n", "\r", "\t" and "\\" of a command-line argument as the bytes they name.
std::string unescape(const char* text)
{
    std::string out;
    for (const char* c = text; *c; ++c) {
        if (*c != '\\' || !c[1]) {
            out += *c;
            continue;
        }
        ++c;
        out += *c == 'n' ? '\n' : *c == 'r' ? '\r' : *c == 't' ? '\t' : *c;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    PrinterSimulator::Options options;
    unsigned faults = PrinterSimulator::None;
    int hangUpAfter = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--mute") {
            faults |= PrinterSimulator::Mute;
        } else if (arg == "--nul") {
            faults |= PrinterSimulator::NulInReply;
        } else if (arg == "--hangup") {
            faults |= PrinterSimulator::HungUp;
        } else if (arg == "--error-reply") {
            faults |= PrinterSimulator::ErrorReply;
        } else if (arg == "--endless-reply") {
            faults |= PrinterSimulator::EndlessReply;
        } else if (arg == "--hangup-after" && hasValue) {
            hangUpAfter = std::atoi(argv[++i]);
            if (hangUpAfter < 1)
                return usage();
        } else if (arg == "--delay" && hasValue) {
            faults |= PrinterSimulator::Delayed;
            options.delayMs = std::atoi(argv[++i]);
        } else if (arg == "--reply" && hasValue) {
            options.commandReply = unescape(argv[++i]);
        } else if (arg == "--move-time" && hasValue) {
            options.moveScale = std::atof(argv[++i]);
            if (!(options.moveScale > 0))
                return usage();
        } else if (arg == "--start-z" && hasValue) {
            options.startZ = std::atof(argv[++i]);
        } else if (arg == "--chunked" && hasValue) {
            faults |= PrinterSimulator::Chunked;
            options.chunkSize = std::atoi(argv[++i]);
        } else {
            return usage();
        }
    }
    if (options.delayMs < 0 || options.chunkSize < 1)
        return usage();

    // Wait for the stop signal synchronously; the simulator thread must not see it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    PrinterSimulator sim(options);
    if (!sim.ok()) {
        std::fprintf(stderr, "printer_sim: %s\n", sim.error().c_str());
        return 1;
    }
    sim.setFaults(faults);
    sim.setHangUpAfter(size_t(hangUpAfter));
    sim.setCommandListener([](const std::string& command) {
        std::printf("received: %s\n", command.c_str());
        std::fflush(stdout);
    });
    std::printf("%s\n", sim.slavePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::printf("stopped: %zu commands\n", sim.commands().size());
    return 0;
}
