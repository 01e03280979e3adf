#include "dlpserialport.h"
#include "myserialport.h"
#include "printer_simulator.h"
#include "printer_test_util.h"

#include <gtest/gtest.h>

namespace {

using Commands = std::vector<std::string>;

class PrinterDiscovery : public ::testing::Test
{
protected:
    void SetUp() override { MySerialPort::clearResponse(); }
    void TearDown() override { reset(); }

    static void reset()
    {
        DlpSerialPort::shutdown();
        DlpSerialPort::setPortEnumerator({});
        DlpSerialPort::lightEnginePara.clear();
        MySerialPort::clearResponse();
    }
    static PrinterPortInfo port(const PrinterSimulator& sim, const char* maker = "VEXMOR3D.")
    {
        return {QString::fromStdString(sim.slavePath()), "USB serial", maker};
    }
    // The port list from now on; counts how often it is asked for.
    void listPorts(QList<PrinterPortInfo> ports)
    {
        DlpSerialPort::setPortEnumerator([this, ports] {
            ++m_enumerations;
            return ports;
        });
    }
    void expectOffline()
    {
        EXPECT_FALSE(DlpSerialPort::m_bOnLine);
        EXPECT_EQ(DlpSerialPort::m_pSerialPort, nullptr);
        EXPECT_TRUE(DlpSerialPort::lightEnginePara.isEmpty());
    }

    TimingsScope m_timings{testTimings()};
    LogCapture m_log;
    int m_enumerations = 0;
};

}  // namespace

TEST_F(PrinterDiscovery, TakesTheFirstPortWithTheExactManufacturer)
{
    struct { const char *first, *second; int chosen; } rows[] = {  // chosen -1: none
        {"VEXMOR3D", "vexmor3d.", -1}, {"VEXMOR3D. ", "Vexmor3D.", -1}, {"FTDI", "VEXMOR3D.", 1},
        {"VEXMOR3D.", "VEXMOR3D.", 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.first) + " / " + r.second);
        LogCapture log;
        PrinterSimulator sims[2];
        listPorts({port(sims[0], r.first), port(sims[1], r.second)});
        DlpSerialPort::getInstance();
        EXPECT_EQ(DlpSerialPort::m_pSerialPort != nullptr, r.chosen >= 0);
        for (int i = 0; i < 2; ++i) {
            if (i == r.chosen)
                sims[i].waitForCommands(2);
            EXPECT_EQ(sims[i].received(), i == r.chosen ? "M900M701" : "") << i;  // no terminators
        }
        EXPECT_EQ(log.has("Printer OFFLINE!!"), r.chosen < 0);
        reset();
    }
}

TEST_F(PrinterDiscovery, HandshakeKeepsTheLightDataPieceByPiece)
{
    const std::string grid = PrinterSimulator::lightGridReply(PrinterSimulator::LightGrid{}) + "ok\n";
    struct { const char* name; std::string m900, m701; QList<QByteArray> para; QString version; } rows[] = {
        {"simulator defaults", "", "", QByteArray::fromStdString(grid).split('\n'),
         "FirmWare Version: Vexmor3D firmware V2.1.4"},
        // The CR stays, shown as an escape: printer text never reaches the log raw.
        {"CR kept", "V9.1\r\nok\n", "a\nb\nok\n", {"a", "b", "ok", ""}, "FirmWare Version: V9.1\\x0d"},
        {"version without ok", "V3\n", "a\nok\n", {"a", "ok", ""}, "FirmWare Version: V3"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        LogCapture log;
        PrinterSimulator sim;
        if (!r.m900.empty()) {
            sim.setReply("M900", r.m900);
            sim.setReply("M701", r.m701);
        }
        listPorts({port(sim)});
        DlpSerialPort::getInstance();
        EXPECT_TRUE(DlpSerialPort::m_bOnLine);
        ASSERT_NE(DlpSerialPort::m_pSerialPort, nullptr);
        EXPECT_TRUE(DlpSerialPort::m_pSerialPort->isOpen());
        EXPECT_EQ(DlpSerialPort::lightEnginePara, r.para);
        EXPECT_TRUE(log.lines().contains(r.version));
        reset();
    }
}

TEST_F(PrinterDiscovery, NoUsablePortOrASilentControllerIsOffline)
{
    for (unsigned fault : {PrinterSimulator::Mute, PrinterSimulator::HungUp}) {
        SCOPED_TRACE(fault);
        PrinterSimulator sim;
        sim.setFaults(fault);
        listPorts({port(sim)});
        DlpSerialPort::getInstance();
        expectOffline();
        EXPECT_EQ(sim.received(), "M900");  // and no M701
        reset();
    }
    EXPECT_TRUE(m_log.has("No reply to M900"));

    // One that answers the hand-shake with an error is no printer either.
    {
        PrinterSimulator sim;
        sim.setFaults(PrinterSimulator::ErrorReply);
        listPorts({port(sim)});
        DlpSerialPort::getInstance();
        expectOffline();
        EXPECT_EQ(sim.received(), "M900");
        reset();
    }
    EXPECT_TRUE(m_log.has("M900 answered with an error, printer offline: error: command broken"));

    for (const auto& ports : {QList<PrinterPortInfo>{}, {{"/nonexistent/ttyVEXMOR", "USB serial", "VEXMOR3D."}}}) {
        listPorts(ports);
        DlpSerialPort::getInstance();
        expectOffline();
        reset();
    }
    EXPECT_TRUE(m_log.has("Offline, No Operate"));
}

TEST_F(PrinterDiscovery, DiscoversOnlyOnce)
{
    PrinterSimulator sim;
    listPorts({});
    DlpSerialPort* first = DlpSerialPort::getInstance();
    m_enumerations = 0;
    listPorts({port(sim)});
    EXPECT_EQ(DlpSerialPort::getInstance(), first);
    EXPECT_EQ(m_enumerations, 0);
    EXPECT_FALSE(DlpSerialPort::m_bOnLine);
    EXPECT_EQ(sim.received(), "");
}

TEST_F(PrinterDiscovery, DeviceChangeFollowsThePortList)
{
    PrinterSimulator a, b;
    listPorts({port(a)});
    DlpSerialPort* printer = DlpSerialPort::getInstance();
    ASSERT_TRUE(DlpSerialPort::m_bOnLine);

    listPorts({});  // the printer is gone
    printer->handle_DeviceChanged();
    EXPECT_EQ(DlpSerialPort::m_pSerialPort, nullptr);
    EXPECT_TRUE(m_log.has("Printer OffLine!!"));

    // Another one appears: hand-shake on it.
    DlpSerialPort::lightEnginePara.clear();
    listPorts({port(b)});
    printer->handle_DeviceChanged();
    ASSERT_NE(DlpSerialPort::m_pSerialPort, nullptr);
    ASSERT_TRUE(b.waitForCommands(2));
    EXPECT_EQ(b.commands(), (Commands{"M900", "M701"}));
    EXPECT_FALSE(DlpSerialPort::lightEnginePara.isEmpty());
    EXPECT_TRUE(m_log.has("Printer OnLine!!"));

    // Online, and another printer is listed: the held port stays.
    MySerialPort* held = DlpSerialPort::m_pSerialPort;
    const size_t aBytes = a.received().size();
    listPorts({port(a)});
    printer->handle_DeviceChanged();
    EXPECT_EQ(DlpSerialPort::m_pSerialPort, held);
    EXPECT_EQ(held->write(QByteArrayLiteral("M219")), 4);
    ASSERT_TRUE(b.waitForCommands(3));
    EXPECT_EQ(a.received().size(), aBytes);
}

TEST_F(PrinterDiscovery, EnvironmentNamesThePrinterPort)
{
    PrinterSimulator sim;
    qputenv(kPrinterPortVariable, sim.slavePath().c_str());
    const QList<PrinterPortInfo> ports = systemPrinterPorts();
    ASSERT_EQ(ports.size(), 1);
    EXPECT_EQ(ports[0].manufacturer, QStringLiteral("VEXMOR3D."));
    DlpSerialPort::getInstance();  // no enumerator set: the system's list
    qunsetenv(kPrinterPortVariable);
    EXPECT_TRUE(DlpSerialPort::m_bOnLine);
    ASSERT_TRUE(sim.waitForCommands(2));
}

// An M701 reply that never ends outgrows the receive buffer: the hand-shake
// stops waiting at once, keeps no light data and holds no more than the limit.
TEST_F(PrinterDiscovery, EndlessLightDataIsRefusedWithinTheBufferLimit)
{
    PrinterSimulator sim;
    sim.setCommandListener([&sim](const std::string& c) {
        if (c == "M900")
            sim.setFaults(PrinterSimulator::EndlessReply);  // the next reply, M701's
    });
    listPorts({port(sim)});
    DlpSerialPort::getInstance();
    EXPECT_TRUE(DlpSerialPort::m_bOnLine);
    EXPECT_TRUE(DlpSerialPort::lightEnginePara.isEmpty());
    EXPECT_TRUE(m_log.has("light data refused"));
    EXPECT_LE(MySerialPort::responseData().size(), MySerialPort::kResponseLimit);
    // Waited for far less than the M701 window (1000 looks).
    EXPECT_EQ(m_log.lines().filter("Return of M701: ").size(), 0);
    reset();
}

// The firmware version and the hand-shake's replies are the printer's text:
// a terminal escape or a hundred kilobytes reach the log escaped, capped at
// a few hundred characters, with the whole length.
TEST_F(PrinterDiscovery, PrinterTextReachesTheLogEscapedAndCapped)
{
    PrinterSimulator sim;
    sim.setReply("M900", "\x1b[2J" + std::string(100000, 'V') + "\r\nok\n");
    sim.setReply("M701", "\x1b]0;pwned\x07\n" + std::string(50000, '7') + "\nok\n");
    listPorts({port(sim, "VEXMOR3D.")});
    DlpSerialPort::getInstance();
    ASSERT_TRUE(DlpSerialPort::m_bOnLine);
    const QString version = "FirmWare Version: \\x1b[2J" + QString(293, 'V') + "... (100005 characters)";
    EXPECT_TRUE(m_log.lines().contains(version)) << m_log.lines().filter("FirmWare").join('\n').left(500).toStdString();
    EXPECT_TRUE(m_log.has("Return of M701: \\x1b]0;pwned\\x07\\x0a777"));
    for (const QString& line : m_log.lines()) {
        EXPECT_LT(line.size(), 400) << line.left(60).toStdString();
        for (const QChar c : line)
            ASSERT_FALSE(c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0)) << line.left(60).toStdString();
    }
    // What is kept for the light tables is the reply itself.
    EXPECT_EQ(DlpSerialPort::lightEnginePara.value(1).size(), 50000);
}
