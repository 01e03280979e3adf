#include "myserialport.h"
#include "printer_simulator.h"
#include "printer_test_util.h"

#include <QSemaphore>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

std::unique_ptr<MySerialPort> openPort(const PrinterSimulator& sim)
{
    auto port = std::make_unique<MySerialPort>(QString::fromStdString(sim.slavePath()));
    EXPECT_TRUE(port->setCOM(QString(), 115200, 8, 'N', 1));
    return port;
}

// Keeps the port thread busy until released.
class PortThreadHold
{
public:
    explicit PortThreadHold(MySerialPort& port)
    {
        QMetaObject::invokeMethod(&port, [this] {
            m_entered.release();
            m_gate.acquire();
        }, Qt::QueuedConnection);
        m_entered.acquire();
    }
    void release()
    {
        if (!m_released)
            m_gate.release();
        m_released = true;
    }
    ~PortThreadHold() { release(); }

private:
    QSemaphore m_entered, m_gate;
    bool m_released = false;
};

// Runs an empty request through the port thread, so that all queued work is done.
void flushPortThread(MySerialPort& port)
{
    QMetaObject::invokeMethod(&port, [] {}, Qt::BlockingQueuedConnection);
}

}  // namespace

TEST(SerialSettings, RequestedValuesMapOntoThePort)
{
    struct Row {
        int baud, dataBits;
        char parity, stopBits;
        qint32 wantBaud;
        QSerialPort::DataBits wantData;
        QSerialPort::Parity wantParity;
        QSerialPort::StopBits wantStop;
    } rows[] = {
        {115200, 8, 'N', 1, 115200, QSerialPort::Data8, QSerialPort::NoParity, QSerialPort::OneStop},
        {9600, 5, 'E', 2, 9600, QSerialPort::Data5, QSerialPort::EvenParity, QSerialPort::TwoStop},
        {14400, 6, 'O', 3, 9600, QSerialPort::Data6, QSerialPort::OddParity, QSerialPort::OneAndHalfStop},
        {230400, 7, 'M', 0, 9600, QSerialPort::Data7, QSerialPort::MarkParity, QSerialPort::OneStop},
        {1200, 4, 'S', 1, 1200, QSerialPort::Data8, QSerialPort::SpaceParity, QSerialPort::OneStop},
        {57600, 9, 'X', 4, 57600, QSerialPort::Data8, QSerialPort::NoParity, QSerialPort::OneStop},
        {0, 0, 'n', -1, 9600, QSerialPort::Data8, QSerialPort::NoParity, QSerialPort::OneStop},
    };
    for (const Row& r : rows) {
        const SerialSettings s = MySerialPort::mapSettings(r.baud, r.dataBits, r.parity, r.stopBits);
        SCOPED_TRACE(r.baud);
        EXPECT_EQ(s.baudRate, r.wantBaud);
        EXPECT_EQ(s.dataBits, r.wantData);
        EXPECT_EQ(s.parity, r.wantParity);
        EXPECT_EQ(s.stopBits, r.wantStop);
    }
}

TEST(SerialPort, SettingsReachTheLine)
{
    // A pseudo-terminal keeps speed and stop bits but forces 8 bits without
    // parity, so only those two are read back here.
    struct Row {
        int baud;
        char stopBits;
        speed_t speed;
        bool twoStop;
    } rows[] = {
        {115200, 1, B115200, false},
        {14400, 2, B9600, true},
        {230400, 0, B9600, false},
        {57600, 2, B57600, true},
        {9600, 1, B9600, false},
    };
    PrinterSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    MySerialPort port(QString::fromStdString(sim.slavePath()));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.baud);
        ASSERT_TRUE(port.setCOM(QString(), r.baud, 8, 'N', r.stopBits));
        termios tio{};
        ASSERT_EQ(tcgetattr(sim.slaveFd(), &tio), 0);
        EXPECT_EQ(cfgetospeed(&tio), r.speed);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, r.twoStop);
    }
}

TEST(SerialPort, OpeningFailuresLeaveItClosed)
{
    MySerialPort unnamed{QString()};
    EXPECT_FALSE(unnamed.setCOM(QString(), 115200, 8, 'N', 1));
    EXPECT_FALSE(unnamed.isOpen());

    MySerialPort missing{QStringLiteral("/nonexistent/ttyVEXMOR")};
    EXPECT_FALSE(missing.setCOM(QString(), 115200, 8, 'N', 1));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.write(QByteArrayLiteral("M900")), -1);
}

TEST(SerialPort, NothingIsWrittenBeforeTheLineIsOpen)
{
    PrinterSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    MySerialPort port(QString::fromStdString(sim.slavePath()));
    EXPECT_EQ(port.write(QByteArrayLiteral("M900")), -1);
    ASSERT_TRUE(port.setCOM(QString(), 115200, 8, 'N', 1));
    EXPECT_EQ(port.write(QByteArrayLiteral("G28")), 3);
    ASSERT_TRUE(sim.waitForBytes(3));
    EXPECT_EQ(sim.received(), "G28");  // nothing came before it

    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.write(QByteArrayLiteral("M900")), -1);
}

TEST(SerialPort, ChunkedBytesWithZerosReachTheSharedBufferInOrder)
{
    PrinterSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto port = openPort(sim);
    MySerialPort::clearResponse();
    MySerialPort::appendResponse("kept:");
    const std::string bytes("ab\0cd\r\nok\n\0\0xyz", 16);
    sim.setFaults(PrinterSimulator::Chunked);
    sim.send(bytes);
    ASSERT_TRUE(waitForResponseSize(5 + static_cast<int>(bytes.size())));
    EXPECT_EQ(MySerialPort::responseData(), QByteArray("kept:") + QByteArray(bytes.data(), static_cast<int>(bytes.size())));
    MySerialPort::clearResponse();
}

TEST(SerialPort, WriteToABusyPortThreadTimesOutAndItsLateAnswerIsDiscarded)
{
    PrinterSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto port = openPort(sim);
    PrinterTimings timings = testTimings();
    timings.requestWaitMs = 30;
    TimingsScope scope(timings);

    std::string caller = "G1 Z1";
    {
        PortThreadHold hold(*port);
        EXPECT_EQ(port->write(caller.data(), static_cast<qint64>(caller.size())), 0);
        caller.assign("XXXXX");  // the late request must not read this
        hold.release();
    }
    flushPortThread(*port);  // the late answer has left its permit now

    {
        PortThreadHold hold(*port);
        // Taking that stale permit would return 5 at once.
        EXPECT_EQ(port->write(QByteArrayLiteral("M220")), 0);
        hold.release();
    }
    flushPortThread(*port);
    ASSERT_TRUE(sim.waitForBytes(9));
    EXPECT_EQ(sim.received(), "G1 Z1M220");

    TimingsScope patient(testTimings());
    EXPECT_EQ(port->write(QByteArrayLiteral("M219")), 4);
}

TEST(SerialPort, EchoCommandWaitsForTheExpectedLine)
{
    struct Row {
        const char* name;
        std::string reply;
        bool result;
        QString text;
    } rows[] = {
        {"ok and LF", "ok\n", true, QStringLiteral("ok\n")},
        {"ok without LF", "ok", false, QStringLiteral("ok")},
        {"error mark", "ES ok\n", false, QStringLiteral("ES ok\n")},
        {"zero byte", std::string("v1\0ok\n", 6), false, QStringLiteral("v1")},
    };
    PrinterSimulator sim;
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto port = openPort(sim);
    TimingsScope scope(testTimings());
    MySerialPort::clearResponse();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        sim.setReply("M119", r.reply);
        const size_t before = sim.received().size();
        QString reply = QStringLiteral("stale");
        EXPECT_EQ(port->EchoCommand(QStringLiteral("M119"), QStringLiteral("ok"), &reply), r.result);
        EXPECT_EQ(reply, r.text);
        EXPECT_EQ(sim.received().substr(before), "M119\r\n");
    }
    // Replies to an EchoCommand stay out of the shared buffer.
    EXPECT_TRUE(MySerialPort::responseData().isEmpty());
}
