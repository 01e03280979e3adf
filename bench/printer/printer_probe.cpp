// Runs printer discovery and the hand-shake as the application's first direct
// print does, then prints what it found:
//   printer_probe [--scale F] [PORT]
// PORT (for example a printer_sim terminal) stands in for the system's serial
// ports, as VEXMOR_PRINTER_PORT does; --scale shortens every wait.
#include "dlpserialport.h"
#include "printertimings.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

QString g_version;
bool g_versionSeen = false;
QtMessageHandler g_defaultHandler = nullptr;

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    static const QString versionPrefix = QStringLiteral("FirmWare Version: ");
    if (message.startsWith(versionPrefix)) {
        g_version = message.mid(versionPrefix.size());
        g_versionSeen = true;
    }
    g_defaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv)
{
    double scale = 1.0;
    const char* port = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
            scale = std::atof(argv[++i]);
        } else if (argv[i][0] != '-' && !port) {
            port = argv[i];
        } else {
            std::fprintf(stderr, "usage: printer_probe [--scale F] [PORT]\n");
            return 2;
        }
    }
    if (!(scale > 0)) {
        std::fprintf(stderr, "printer_probe: the scale must be positive\n");
        return 2;
    }
    if (port)
        qputenv(kPrinterPortVariable, port);
    setPrinterTimings(PrinterTimings().scaled(scale));

    g_defaultHandler = qInstallMessageHandler(&handleMessage);
    QCoreApplication app(argc, argv);
    DlpSerialPort::getInstance();

    const bool online = DlpSerialPort::m_bOnLine;
    std::printf("%s\n", online ? "Printer ONLINE!!" : "Printer OFFLINE!!");
    if (online) {
        std::printf("Firmware version: %s\n", g_versionSeen ? qPrintable(g_version) : "(none)");
        std::printf("Light items: %d\n", DlpSerialPort::lightEnginePara.size());
    }
    std::fflush(stdout);
    DlpSerialPort::shutdown();
    return online ? 0 : 1;
}
