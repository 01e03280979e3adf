#include "dlpserialport.h"
#include "myserialport.h"
#include "printer_simulator.h"
#include "printer_test_util.h"

#include <gtest/gtest.h>

namespace {

using Commands = std::vector<std::string>;

QString pathOf(const PrinterSimulator& sim)
{
    return QString::fromStdString(sim.slavePath());
}

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

    // The port list from now on; counts how often it is asked for.
    void listPorts(QList<PrinterPortInfo> ports)
    {
        DlpSerialPort::setPortEnumerator([this, ports] {
            ++m_enumerations;
            return ports;
        });
    }

    TimingsScope m_timings{testTimings()};
    LogCapture m_log;
    int m_enumerations = 0;
};

QList<QByteArray> lines(const std::string& text)
{
    return QByteArray::fromStdString(text).split('\n');
}

}  // namespace

TEST_F(PrinterDiscovery, TakesTheFirstPortWithTheExactManufacturer)
{
    struct Row {
        const char* first;
        const char* second;
        int chosen;  // 0 first, 1 second, -1 none
    } rows[] = {
        {"VEXMOR3D", "vexmor3d.", -1},
        {"VEXMOR3D. ", "Vexmor3D.", -1},
        {"FTDI", "VEXMOR3D.", 1},
        {"VEXMOR3D.", "VEXMOR3D.", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.first) + " / " + r.second);
        LogCapture log;
        PrinterSimulator sims[2];
        ASSERT_TRUE(sims[0].ok() && sims[1].ok());
        listPorts({{pathOf(sims[0]), "USB serial", r.first}, {pathOf(sims[1]), "USB serial", r.second}});
        DlpSerialPort* printer = DlpSerialPort::getInstance();
        ASSERT_NE(printer, nullptr);
        EXPECT_EQ(DlpSerialPort::m_bOnLine, r.chosen >= 0);
        EXPECT_EQ(DlpSerialPort::m_pSerialPort != nullptr, r.chosen >= 0);
        for (int i = 0; i < 2; ++i) {
            if (i == r.chosen) {
                ASSERT_TRUE(sims[i].waitForCommands(2));
                EXPECT_EQ(sims[i].commands(), (Commands{"M900", "M701"}));
            } else {
                EXPECT_EQ(sims[i].received(), "");
            }
        }
        EXPECT_EQ(log.has("Printer OFFLINE!!"), r.chosen < 0);
        reset();
    }
}

TEST_F(PrinterDiscovery, NoPortOrAnUnopenablePortIsOffline)
{
    const QList<PrinterPortInfo> lists[] = {
        {},
        {{QStringLiteral("/nonexistent/ttyVEXMOR"), "USB serial", "VEXMOR3D."}},
    };
    for (const auto& ports : lists) {
        listPorts(ports);
        DlpSerialPort::getInstance();
        EXPECT_FALSE(DlpSerialPort::m_bOnLine);
        EXPECT_EQ(DlpSerialPort::m_pSerialPort, nullptr);
        EXPECT_TRUE(DlpSerialPort::lightEnginePara.isEmpty());
        reset();
    }
    EXPECT_TRUE(m_log.has("Printer OFFLINE!!"));
    EXPECT_TRUE(m_log.has("Offline, No Operate"));
}

TEST_F(PrinterDiscovery, HandshakeSendsM900ThenM701AndKeepsTheLightData)
{
    PrinterSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    listPorts({{pathOf(sim), "USB serial", "VEXMOR3D."}});
    DlpSerialPort::getInstance();
    EXPECT_TRUE(DlpSerialPort::m_bOnLine);
    ASSERT_NE(DlpSerialPort::m_pSerialPort, nullptr);
    EXPECT_TRUE(DlpSerialPort::m_pSerialPort->isOpen());
    ASSERT_TRUE(sim.waitForCommands(2));
    EXPECT_EQ(sim.received(), "M900M701");  // no terminators
    EXPECT_TRUE(m_log.has("FirmWare Version: Vexmor3D firmware V2.1.4"));
    const std::string grid = PrinterSimulator::lightGridReply(PrinterSimulator::LightGrid{});
    EXPECT_EQ(DlpSerialPort::lightEnginePara, lines(grid + "ok\n"));
    EXPECT_EQ(DlpSerialPort::lightEnginePara.size(), 3 + 5 + 3 + 2 + 6 + 2);
}

TEST_F(PrinterDiscovery, RepliesAreKeptPieceByPiece)
{
    PrinterSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    sim.setReply("M900", "V9.1\r\nok\n");
    sim.setReply("M701", "a\nb\nok\n");
    listPorts({{pathOf(sim), "USB serial", "VEXMOR3D."}});
    DlpSerialPort::getInstance();
    EXPECT_EQ(DlpSerialPort::lightEnginePara, (QList<QByteArray>{"a", "b", "ok", ""}));
    EXPECT_TRUE(m_log.lines().contains(QStringLiteral("FirmWare Version: V9.1\r")));
}

TEST_F(PrinterDiscovery, AControllerThatNeverAnswersIsOffline)
{
    for (unsigned fault : {PrinterSimulator::Mute, PrinterSimulator::HungUp}) {
        SCOPED_TRACE(fault);
        PrinterSimulator sim;
        ASSERT_TRUE(sim.ok()) << sim.error();
        sim.setFaults(fault);
        listPorts({{pathOf(sim), "USB serial", "VEXMOR3D."}});
        DlpSerialPort::getInstance();
        EXPECT_FALSE(DlpSerialPort::m_bOnLine);
        EXPECT_EQ(DlpSerialPort::m_pSerialPort, nullptr);
        EXPECT_TRUE(DlpSerialPort::lightEnginePara.isEmpty());
        EXPECT_EQ(sim.received(), "M900");  // and no M701
        EXPECT_TRUE(m_log.has("No reply to M900"));
        reset();
    }
}

TEST_F(PrinterDiscovery, AReplyWithoutOkStillCompletesTheHandshake)
{
    PrinterSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    sim.setReply("M900", "V3\n");
    listPorts({{pathOf(sim), "USB serial", "VEXMOR3D."}});
    DlpSerialPort::getInstance();
    EXPECT_TRUE(DlpSerialPort::m_bOnLine);
    ASSERT_TRUE(sim.waitForCommands(2));
    EXPECT_EQ(sim.commands(), (Commands{"M900", "M701"}));
    EXPECT_TRUE(m_log.has("FirmWare Version: V3"));
}

TEST_F(PrinterDiscovery, DiscoversOnlyOnce)
{
    PrinterSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    listPorts({});
    DlpSerialPort* first = DlpSerialPort::getInstance();
    m_enumerations = 0;
    listPorts({{pathOf(sim), "USB serial", "VEXMOR3D."}});
    EXPECT_EQ(DlpSerialPort::getInstance(), first);
    EXPECT_EQ(m_enumerations, 0);  // the second list was never asked for
    EXPECT_FALSE(DlpSerialPort::m_bOnLine);
    EXPECT_EQ(sim.received(), "");
}

TEST_F(PrinterDiscovery, DeviceChangeFollowsThePortList)
{
    PrinterSimulator a, b;
    ASSERT_TRUE(a.ok() && b.ok());

    // Online, then the printer is gone.
    listPorts({{pathOf(a), "USB serial", "VEXMOR3D."}});
    DlpSerialPort* printer = DlpSerialPort::getInstance();
    ASSERT_TRUE(DlpSerialPort::m_bOnLine);
    listPorts({});
    printer->handle_DeviceChanged();
    EXPECT_FALSE(DlpSerialPort::m_bOnLine);
    EXPECT_EQ(DlpSerialPort::m_pSerialPort, nullptr);
    EXPECT_TRUE(m_log.has("Printer OffLine!!"));

    // Offline, then a printer appears: hand-shake on it.
    DlpSerialPort::lightEnginePara.clear();
    listPorts({{pathOf(b), "USB serial", "VEXMOR3D."}});
    printer->handle_DeviceChanged();
    EXPECT_TRUE(DlpSerialPort::m_bOnLine);
    ASSERT_NE(DlpSerialPort::m_pSerialPort, nullptr);
    ASSERT_TRUE(b.waitForCommands(2));
    EXPECT_EQ(b.commands(), (Commands{"M900", "M701"}));
    EXPECT_FALSE(DlpSerialPort::lightEnginePara.isEmpty());
    EXPECT_TRUE(m_log.has("Printer OnLine!!"));

    // Online, and another printer is listed: the held port stays.
    MySerialPort* held = DlpSerialPort::m_pSerialPort;
    const size_t aBytes = a.received().size();
    listPorts({{pathOf(a), "USB serial", "VEXMOR3D."}});
    printer->handle_DeviceChanged();
    EXPECT_EQ(DlpSerialPort::m_pSerialPort, held);
    EXPECT_TRUE(DlpSerialPort::m_bOnLine);
    EXPECT_EQ(held->write(QByteArrayLiteral("M219")), 4);
    ASSERT_TRUE(b.waitForCommands(3));
    EXPECT_EQ(b.commands().back(), "M219");
    EXPECT_EQ(a.received().size(), aBytes);
}

TEST_F(PrinterDiscovery, EnvironmentNamesThePrinterPort)
{
    PrinterSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    qputenv(kPrinterPortVariable, sim.slavePath().c_str());
    const QList<PrinterPortInfo> ports = systemPrinterPorts();
    ASSERT_EQ(ports.size(), 1);
    EXPECT_EQ(ports[0].portName, pathOf(sim));
    EXPECT_EQ(ports[0].manufacturer, QStringLiteral("VEXMOR3D."));

    DlpSerialPort::getInstance();  // no enumerator set: the system's list
    qunsetenv(kPrinterPortVariable);
    EXPECT_TRUE(DlpSerialPort::m_bOnLine);
    ASSERT_TRUE(sim.waitForCommands(2));
    EXPECT_EQ(sim.commands(), (Commands{"M900", "M701"}));
}
