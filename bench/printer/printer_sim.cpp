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
                 "  --mute       record commands, answer nothing\n"
                 "  --delay MS   answer every command MS milliseconds late\n"
                 "  --chunked N  send replies N bytes at a time\n"
                 "  --nul        put a zero byte in the middle of every reply\n"
                 "  --hangup     close the terminal at the first command\n"
                 "  --hangup-after N  close the terminal once N commands came in\n"
                 "  --error-reply     answer every command \"error: command broken\"\n"
                 "  --endless-reply   never end the first reply (no \"ok\", lines without end)\n");
    return 2;
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
