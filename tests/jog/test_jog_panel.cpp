#include "DeviceInterface.h"
#include "dlpserialport.h"
#include "frmDeviceInterfaceSettings.h"
#include "event_wait.h"
#include "printer_simulator.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct Jog {
    QTemporaryDir config;
    PrinterSimulator sim;
    std::unique_ptr<DeviceInterface> panel;
    QStringList boxes;

    explicit Jog(QList<PrinterPortInfo> ports = {}, bool withSim = true)
    {
        qputenv("VEXMOR_CONFIG_DIR", config.path().toUtf8());
        EXPECT_TRUE(sim.ok()) << sim.error();
        if (withSim)
            ports << PrinterPortInfo{QString::fromStdString(sim.slavePath()), "sim", "VEXMOR3D."};
        DlpSerialPort::setPortEnumerator([ports] { return ports; });
        panel = std::make_unique<DeviceInterface>();
        panel->setErrorBox([this](const QString& title, const QString& text) { boxes << title + ": " + text; });
    }
    ~Jog() { DlpSerialPort::setPortEnumerator({}); }

    QPushButton* button(const char* name) { return panel->findChild<QPushButton*>(name); }
    QString status() { return panel->statusLabel()->text(); }
    // Enabled states of connect, disconnect, configure.
    QString buttons()
    {
        return QString("%1%2%3").arg(button("connectBtn")->isEnabled()).arg(button("disconnectBtn")->isEnabled())
            .arg(button("configureBtn")->isEnabled());
    }
};

}  // namespace

TEST(JogPanel, ConnectTakesThePrinterPortAndEachButtonSendsItsPair)
{
    // A near-miss manufacturer comes first and is passed over.
    Jog j({PrinterPortInfo{"/dev/null-not-a-port", QString(), "VEXMOR3D"}});
    EXPECT_EQ(j.buttons(), "101");
    QTest::mouseClick(j.button("connectBtn"), Qt::LeftButton);
    ASSERT_TRUE(j.panel->port()->isOpen()) << qPrintable(j.status());
    EXPECT_EQ("/dev/" + j.panel->port()->portName(), QString::fromStdString(j.sim.slavePath()));
    EXPECT_EQ(j.panel->port()->baudRate(), 115200);
    EXPECT_EQ(j.buttons(), "010");

    const struct { const char* button; void (DeviceInterface::*call)(); std::string bytes; } rows[] = {
        {"z1Btn", nullptr, "G92 Z0G1 Z1 F600"},    {"zn1Btn", nullptr, "G92 Z0G1 Z-1 F600"},
        {"y1Btn", nullptr, "G92 Y0G1 Y1 F600"},    {"yn1Btn", nullptr, "G92 Y0G1 Y-1 F600"},
        {"z10Btn", nullptr, "G92 Z0G1 Z10 F600"},  {"zn10Btn", nullptr, "G92 Z0G1 Z-10 F600"},
        {"y10Btn", nullptr, "G92 Y0G1 Y10 F600"},  {"yn10Btn", nullptr, "G92 Y0G1 Y-10 F600"},
        {nullptr, &DeviceInterface::HomePosition, "G28 Z0"}, {nullptr, &DeviceInterface::UpPosition, "G1 Z200 F600"},
        {nullptr, &DeviceInterface::LedOff, "OFF"},          {nullptr, &DeviceInterface::LedON, "ON"},
    };
    size_t total = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        if (row.button)
            QTest::mouseClick(j.button(row.button), Qt::LeftButton);
        else
            (j.panel.get()->*row.call)();
        total += row.bytes.size();
        ASSERT_TRUE(j.sim.waitForBytes(total, kHangMs));
        // Exactly once: a doubled connection would send the pair twice.
        EXPECT_EQ(j.sim.received().substr(total - row.bytes.size()), row.bytes);
    }
    EXPECT_EQ(j.sim.received().size(), total);

    QTest::mouseClick(j.button("disconnectBtn"), Qt::LeftButton);
    EXPECT_FALSE(j.panel->port()->isOpen());
    EXPECT_EQ(j.status(), "Disconnected");
    EXPECT_EQ(j.buttons(), "101");
    EXPECT_TRUE(j.boxes.isEmpty());
}

TEST(JogPanel, NoPrinterPortAndAClosedPortLeaveThePanelDisconnected)
{
    Jog j({PrinterPortInfo{"ttyS0", QString(), "vexmor3d."}}, false);
    j.panel->openSerialPort();
    EXPECT_FALSE(j.panel->port()->isOpen());
    EXPECT_FALSE(j.status().isEmpty());
    EXPECT_EQ(j.buttons(), "101");
    j.button("connectBtn")->setEnabled(false);
    j.button("disconnectBtn")->setEnabled(true);
    j.panel->closeSerialPort();
    EXPECT_EQ(j.status(), "Disconnected");
    EXPECT_EQ(j.buttons(), "101");
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
    ASSERT_TRUE(WaitUntil([&] { return !j.boxes.isEmpty(); }, kHangMs));
    EXPECT_TRUE(j.boxes.first().startsWith("Critical Error: ")) << qPrintable(j.boxes.first());
    EXPECT_FALSE(j.panel->port()->isOpen());
    EXPECT_EQ(j.status(), "Disconnected");
    EXPECT_EQ(j.buttons(), "101");
}

TEST(JogPanel, ConfigureShowsTheSettingsDialogAndTheFormIsDrawn)
{
    Jog j;
    j.panel->show();
    ASSERT_TRUE(WaitUntilExposed(j.panel.get()));
    const QImage shot = j.panel->grab().toImage();
    shot.save(VSL_SHOT_DIR "/jog_panel.png");
    QPushButton* z1 = j.button("z1Btn");
    QSet<QRgb> colours;
    for (int x = z1->x(); x < z1->x() + z1->width(); ++x)
        colours.insert(shot.pixel(x, z1->y() + z1->height() / 2));
    EXPECT_GT(colours.size(), 2);

    QTest::mouseClick(j.button("configureBtn"), Qt::LeftButton);
    EXPECT_TRUE(j.panel->settingsDialog()->isVisible());
    j.panel->settingsDialog()->hide();
}
