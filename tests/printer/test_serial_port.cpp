#include "event_wait.h"
#include "myserialport.h"
#include "printer_simulator.h"
#include "printer_test_util.h"

#include <QSemaphore>
#include <QTest>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

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
    ~PortThreadHold() { m_gate.release(); }

private:
    QSemaphore m_entered, m_gate;
};

// Runs an empty request through the port thread, so that all queued work is done.
void flushPortThread(MySerialPort& port)
{
    QMetaObject::invokeMethod(&port, [] {}, Qt::BlockingQueuedConnection);
}

class SerialPort : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ok()) << sim.error();
        MySerialPort::clearResponse();
    }
    void TearDown() override { MySerialPort::clearResponse(); }
    void open() { ASSERT_TRUE(port.setCOM(QString(), 115200, 8, 'N', 1)); }

    PrinterSimulator sim;
    MySerialPort port{QString::fromStdString(sim.slavePath())};
};

}  // namespace

// A pseudo-terminal keeps speed and stop bits (it forces 8N); an unknown
// speed falls back to 9600.
TEST_F(SerialPort, SettingsReachTheLine)
{
    struct { int baud; char stopBits; speed_t speed; bool twoStop; } rows[] = {
        {115200, 1, B115200, false}, {14400, 2, B9600, true}, {57600, 2, B57600, true}, {1200, 3, B1200, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.baud);
        ASSERT_TRUE(port.setCOM(QString(), r.baud, 8, 'N', r.stopBits));
        termios tio{};
        ASSERT_EQ(tcgetattr(sim.slaveFd(), &tio), 0);
        EXPECT_EQ(cfgetospeed(&tio), r.speed);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, r.twoStop);
    }
}

TEST_F(SerialPort, NothingIsWrittenUnlessTheLineIsOpen)
{
    for (const QString& name : {QString(), QStringLiteral("/nonexistent/ttyVEXMOR")}) {
        MySerialPort bad{name};
        EXPECT_FALSE(bad.setCOM(QString(), 115200, 8, 'N', 1));
        EXPECT_FALSE(bad.isOpen());
        EXPECT_EQ(bad.write(QByteArrayLiteral("M900")), -1);
    }
    EXPECT_EQ(port.write(QByteArrayLiteral("M900")), -1);
    open();
    EXPECT_EQ(port.write(QByteArrayLiteral("G28")), 3);
    ASSERT_TRUE(sim.waitForBytes(3));
    EXPECT_EQ(sim.received(), "G28");
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.write(QByteArrayLiteral("M900")), -1);
}

TEST_F(SerialPort, ChunkedBytesWithZerosReachTheSharedBufferInOrder)
{
    open();
    MySerialPort::appendResponse("kept:");
    const std::string bytes("ab\0cd\r\nok\n\0\0xyz", 16);
    sim.setFaults(PrinterSimulator::Chunked);
    sim.send(bytes);
    ASSERT_TRUE(WaitUntil([&] { return MySerialPort::responseData().size() >= 5 + int(bytes.size()); }, kHangMs));
    EXPECT_EQ(MySerialPort::responseData(), QByteArray("kept:") + QByteArray(bytes.data(), int(bytes.size())));
}

TEST_F(SerialPort, WriteToABusyPortThreadTimesOutAndItsLateAnswerIsDiscarded)
{
    open();
    PrinterTimings timings = testTimings();
    timings.requestWaitMs = 30;
    TimingsScope scope(timings);

    std::string caller = "G1 Z1";
    {
        PortThreadHold hold(port);
        EXPECT_EQ(port.write(caller.data(), qint64(caller.size())), 0);
        caller.assign("XXXXX");  // the late request must not read this
    }
    flushPortThread(port);  // the late answer has left its permit now
    {
        PortThreadHold hold(port);
        EXPECT_EQ(port.write(QByteArrayLiteral("M220")), 0);  // not the stale permit's 5
    }
    flushPortThread(port);
    ASSERT_TRUE(sim.waitForBytes(9));
    EXPECT_EQ(sim.received(), "G1 Z1M220");

    TimingsScope patient(testTimings());
    EXPECT_EQ(port.write(QByteArrayLiteral("M219")), 4);
}

TEST_F(SerialPort, EchoCommandWaitsForTheExpectedLine)
{
    struct { std::string reply; bool result; QString text; } rows[] = {
        {"ok\n", true, "ok\n"}, {"ok", false, "ok"}, {"ES ok\n", false, "ES ok\n"},
        {std::string("v1\0ok\n", 6), false, "v1"}};
    open();
    TimingsScope scope(testTimings());
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text.toStdString());
        sim.setReply("M119", r.reply);
        const size_t before = sim.received().size();
        QString reply = QStringLiteral("stale");
        EXPECT_EQ(port.EchoCommand(QStringLiteral("M119"), QStringLiteral("ok"), &reply), r.result);
        EXPECT_EQ(reply, r.text);
        EXPECT_EQ(sim.received().substr(before), "M119\r\n");
    }
    EXPECT_TRUE(MySerialPort::responseData().isEmpty());  // echo replies stay out of the shared buffer
}
