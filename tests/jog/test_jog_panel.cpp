#include "DeviceInterface.h"
#include "dlpserialport.h"
#include "frmDeviceInterfaceSettings.h"
#include "printer_simulator.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int kWaitMs = 30000;

struct Jog {
    QTemporaryDir config;
    PrinterSimulator sim;
    std::unique_ptr<DeviceInterface> panel;
    QStringList boxes;

    explicit Jog(QList<PrinterPortInfo> before = {})
    {
        qputenv("VEXMOR_CONFIG_DIR", config.path().toUtf8());
        EXPECT_TRUE(sim.ok()) << sim.error();
        before << PrinterPortInfo{QString::fromStdString(sim.slavePath()), QStringLiteral("sim"),
                                  QStringLiteral("VEXMOR3D.")};
        DlpSerialPort::setPortEnumerator([before] { return before; });
        panel = std::make_unique<DeviceInterface>();
        panel->setErrorBox([this](const QString& title, const QString& text) { boxes << title + ": " + text; });
    }
    ~Jog() { DlpSerialPort::setPortEnumerator({}); }

    QPushButton* button(const char* name) { return panel->findChild<QPushButton*>(QLatin1String(name)); }
    QString status() { return panel->statusLabel()->text(); }
    // The buttons' enabled states: connect, disconnect, configure.
    QString buttons()
    {
        return QString("%1%2%3").arg(button("connectBtn")->isEnabled()).arg(button("disconnectBtn")->isEnabled())
            .arg(button("configureBtn")->isEnabled());
    }
};

}  // namespace

TEST(JogPanel, ConnectTakesThePrinterPortAndEachButtonSendsItsPair)
{
    // A port with a near-miss manufacturer comes first and is passed over.
    Jog j({PrinterPortInfo{QStringLiteral("/dev/null-not-a-port"), QString(), QStringLiteral("VEXMOR3D")}});
    EXPECT_EQ(j.buttons(), QString("101"));
    QTest::mouseClick(j.button("connectBtn"), Qt::LeftButton);
    ASSERT_TRUE(j.panel->port()->isOpen()) << qPrintable(j.status());
    EXPECT_EQ("/dev/" + j.panel->port()->portName(), QString::fromStdString(j.sim.slavePath()));
    EXPECT_EQ(j.panel->port()->baudRate(), 115200);
    EXPECT_EQ(j.status(), QString::fromStdString(j.sim.slavePath()));
    EXPECT_EQ(j.buttons(), QString("010"));

    struct Row {
        std::function<void()> press;
        std::string bytes;
    } rows[] = {
        {[&] { QTest::mouseClick(j.button("z1Btn"), Qt::LeftButton); }, "G92 Z0G1 Z1 F600"},
        {[&] { QTest::mouseClick(j.button("zn1Btn"), Qt::LeftButton); }, "G92 Z0G1 Z-1 F600"},
        {[&] { QTest::mouseClick(j.button("y1Btn"), Qt::LeftButton); }, "G92 Y0G1 Y1 F600"},
        {[&] { QTest::mouseClick(j.button("yn1Btn"), Qt::LeftButton); }, "G92 Y0G1 Y-1 F600"},
        {[&] { QTest::mouseClick(j.button("z10Btn"), Qt::LeftButton); }, "G92 Z0G1 Z10 F600"},
        {[&] { QTest::mouseClick(j.button("zn10Btn"), Qt::LeftButton); }, "G92 Z0G1 Z-10 F600"},
        {[&] { QTest::mouseClick(j.button("y10Btn"), Qt::LeftButton); }, "G92 Y0G1 Y10 F600"},
        {[&] { QTest::mouseClick(j.button("yn10Btn"), Qt::LeftButton); }, "G92 Y0G1 Y-10 F600"},
        {[&] { j.panel->HomePosition(); }, "G28 Z0"},
        {[&] { j.panel->UpPosition(); }, "G1 Z200 F600"},
        {[&] { j.panel->LedOff(); }, "OFF"},
        {[&] { j.panel->LedON(); }, "ON"},
    };
    size_t total = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes);
        row.press();
        total += row.bytes.size();
        ASSERT_TRUE(j.sim.waitForBytes(total, kWaitMs));
        // Exactly once: a doubled connection would send the pair twice.
        EXPECT_EQ(j.sim.received().substr(total - row.bytes.size()), row.bytes);
    }
    EXPECT_EQ(j.sim.received().size(), total);

    QTest::mouseClick(j.button("disconnectBtn"), Qt::LeftButton);
    EXPECT_FALSE(j.panel->port()->isOpen());
    EXPECT_EQ(j.status(), QString("Disconnected"));
    EXPECT_EQ(j.buttons(), QString("101"));
    EXPECT_TRUE(j.boxes.isEmpty());
}

TEST(JogPanel, DisconnectWithThePortClosedResetsTheButtons)
{
    Jog j;
    j.button("connectBtn")->setEnabled(false);
    j.button("disconnectBtn")->setEnabled(true);
    j.panel->closeSerialPort();
    EXPECT_EQ(j.status(), QString("Disconnected"));
    EXPECT_EQ(j.buttons(), QString("101"));
}

TEST(JogPanel, HangUpShowsTheBoxAndClosesOtherErrorsAreIgnored)
{
    Jog j;
    j.panel->openSerialPort();
    ASSERT_TRUE(j.panel->port()->isOpen());
    for (auto e : {QSerialPort::ParityError, QSerialPort::WriteError, QSerialPort::TimeoutError, QSerialPort::ReadError})
        j.panel->handleError(e);
    EXPECT_TRUE(j.panel->port()->isOpen());
    EXPECT_TRUE(j.boxes.isEmpty());

    j.sim.setFaults(PrinterSimulator::HungUp);
    j.panel->on_z1Btn_clicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !j.boxes.isEmpty(); }, kWaitMs));
    EXPECT_TRUE(j.boxes.first().startsWith("Critical Error: ")) << qPrintable(j.boxes.first());
    EXPECT_FALSE(j.panel->port()->isOpen());
    EXPECT_EQ(j.status(), QString("Disconnected"));
    EXPECT_EQ(j.buttons(), QString("101"));
}

TEST(JogPanel, NoPrinterPortLeavesThePanelDisconnected)
{
    QTemporaryDir config;
    qputenv("VEXMOR_CONFIG_DIR", config.path().toUtf8());
    DlpSerialPort::setPortEnumerator(
        [] { return QList<PrinterPortInfo>{{QStringLiteral("ttyS0"), QString(), QStringLiteral("vexmor3d.")}}; });
    DeviceInterface panel;
    panel.openSerialPort();
    EXPECT_FALSE(panel.port()->isOpen());
    EXPECT_FALSE(panel.statusLabel()->text().isEmpty());
    EXPECT_TRUE(panel.findChild<QPushButton*>("connectBtn")->isEnabled());
    DlpSerialPort::setPortEnumerator({});
}

TEST(JogPanel, ConfigureShowsTheSettingsDialogAndTheFormIsDrawn)
{
    Jog j;
    j.panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(j.panel.get()));
    EXPECT_EQ(j.panel->size(), QSize(278, 208));
    const QImage shot = j.panel->grab().toImage();
    shot.save(QStringLiteral(VSL_SHOT_DIR "/jog_panel.png"));
    QPushButton* z1 = j.button("z1Btn");
    EXPECT_EQ(z1->geometry(), QRect(40, 80, 81, 23));
    QSet<QRgb> colours;
    for (int x = z1->x(); x < z1->x() + z1->width(); ++x)
        colours.insert(shot.pixel(x, z1->y() + z1->height() / 2));
    EXPECT_GT(colours.size(), 2);

    EXPECT_FALSE(j.panel->settingsDialog()->isVisible());
    QTest::mouseClick(j.button("configureBtn"), Qt::LeftButton);
    EXPECT_TRUE(j.panel->settingsDialog()->isVisible());
    j.panel->settingsDialog()->hide();
}
