#include "printer_simulator.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Commands = std::vector<std::string>;

// The client end of the simulator's terminal, without Qt.
class Terminal
{
public:
    explicit Terminal(const PrinterSimulator& sim) : m_fd(::open(sim.slavePath().c_str(), O_RDWR | O_NOCTTY)) {}
    ~Terminal() { if (m_fd >= 0) ::close(m_fd); }
    bool ok() const { return m_fd >= 0; }
    void send(const std::string& bytes) { ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // Reads until `size` bytes came in, the line hung up or 5 s passed.
    std::string read(size_t size, bool* hungUp = nullptr)
    {
        std::string got;
        while (got.size() < size) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                break;
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, std::min(sizeof buffer, size - got.size()));
            if (n <= 0) {
                if (hungUp)
                    *hungUp = true;
                break;
            }
            got.append(buffer, size_t(n));
        }
        return got;
    }

private:
    int m_fd;
};

}  // namespace

TEST(PrinterSimulator, SplitsCommandsAsThePrinterSeesThem)
{
    const std::pair<std::string, Commands> rows[] = {
        {"M900M701", {"M900", "M701"}}, {"G92 Z0G1 Z250 F600", {"G92 Z0", "G1 Z250 F600"}},
        {"G1 Z1\r\nM220", {"G1 Z1", "M220"}}, {"M231 ", {"M231 "}}, {"M222  X1 Y0", {"M222  X1 Y0"}},
        {"\r\nM225 B100\n\n", {"M225 B100"}},
    };
    for (const auto& [sent, commands] : rows) {
        SCOPED_TRACE(sent);
        PrinterSimulator sim;
        Terminal line(sim);
        ASSERT_TRUE(sim.ok() && line.ok()) << sim.error();
        line.send(sent);
        ASSERT_TRUE(sim.waitForCommands(commands.size()));
        EXPECT_EQ(sim.commands(), commands);
        EXPECT_EQ(sim.received(), sent);
    }
}

TEST(PrinterSimulator, FaultModesShapeTheReplies)
{
    PrinterSimulator sim;
    Terminal line(sim);
    ASSERT_TRUE(sim.ok() && line.ok()) << sim.error();
    sim.setFaults(PrinterSimulator::Held);
    line.send("G28\n");
    line.send("G1 Z5\n");
    ASSERT_TRUE(sim.waitForCommands(2));
    EXPECT_EQ(sim.heldCount(), 2u);
    sim.release();
    EXPECT_EQ(line.read(3), "ok\n");
    EXPECT_EQ(sim.heldCount(), 1u);

    sim.setFaults(PrinterSimulator::NulInReply | PrinterSimulator::Chunked | PrinterSimulator::Delayed);
    sim.release();
    EXPECT_EQ(line.read(4), std::string("o\0k\n", 4));

    sim.setFaults(PrinterSimulator::Mute);
    line.send("M219\n");
    ASSERT_TRUE(sim.waitForCommands(3));
    sim.setFaults(PrinterSimulator::None);
    line.send("M220\n");
    EXPECT_EQ(line.read(3), "ok\n");  // the muted command left nothing before it

    sim.setFaults(PrinterSimulator::Step);
    line.send("G1 Z7\n");
    EXPECT_EQ(sim.waitForStep(), "G1 Z7");
    sim.send("busy\n");  // only command replies wait
    EXPECT_EQ(line.read(5), "busy\n");
    sim.release();
    EXPECT_EQ(line.read(3), "ok\n");
    EXPECT_EQ(sim.waitForStep(50), "");

    sim.setFaults(PrinterSimulator::HungUp);
    line.send("M911\n");
    bool hungUp = false;
    EXPECT_EQ(line.read(1, &hungUp), "");
    EXPECT_TRUE(hungUp);
    EXPECT_EQ(sim.commands().back(), "M911");
}

TEST(PrinterSimulator, ErrorEndlessAndLateHangUpModes)
{
    PrinterSimulator sim;
    Terminal line(sim);
    ASSERT_TRUE(sim.ok() && line.ok()) << sim.error();
    sim.setFaults(PrinterSimulator::ErrorReply);
    line.send("G1 Z1\n");
    EXPECT_EQ(line.read(22), "error: command broken\n");

    // The next reply does not end: far more than any reply, and no "ok".
    sim.setFaults(PrinterSimulator::EndlessReply);
    line.send("M701\n");
    const std::string endless = line.read(100000);
    EXPECT_EQ(endless.size(), 100000u);
    EXPECT_EQ(endless.find("ok"), std::string::npos);

    // A fresh line hangs up once its third command came in.
    PrinterSimulator late;
    Terminal second(late);
    late.setHangUpAfter(3);
    second.send("G1 Z1\nG1 Z2\n");
    EXPECT_EQ(second.read(6), "ok\nok\n");
    EXPECT_FALSE(late.hungUp());
    second.send("G1 Z3\n");
    bool hungUp = false;
    EXPECT_EQ(second.read(1, &hungUp), "");
    EXPECT_TRUE(hungUp && late.hungUp());
}
