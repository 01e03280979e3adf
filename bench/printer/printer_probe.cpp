// Runs printer discovery and the hand-shake as the application's first direct
// print does, then prints what it found:
//   printer_probe [--scale F] [--job FILE] [PORT]
//   printer_probe --write-job LAYERS FILE
// PORT (for example a printer_sim terminal) stands in for the system's serial
// ports, as VEXMOR_PRINTER_PORT does; --scale shortens every wait of the link.
// --job then plays the G-code job FILE through the print loop and prints each
// layer report and the end. --write-job writes a job of LAYERS layers with the
// default build configuration and exits.
#include "buildmanager.h"
#include "dlp/gcodegenerator.h"
#include "dlpserialport.h"
#include "printertimings.h"

#include <QApplication>
#include <QCoreApplication>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

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

int usage()
{
    std::fprintf(stderr, "usage: printer_probe [--scale F] [--job FILE] [PORT]\n"
                         "       printer_probe --write-job LAYERS FILE\n");
    return 2;
}

int writeJob(const char* layersText, const char* path)
{
    char* end = nullptr;
    const long layers = std::strtol(layersText, &end, 10);
    if (*end != '\0' || layers < 1 || layers > DLP::GCodeGenerator::kMaxLayerCount) {
        std::fprintf(stderr, "printer_probe: LAYERS must be 1 to %d\n", DLP::GCodeGenerator::kMaxLayerCount);
        return 2;
    }
    DLP::GCodeGenerator generator;
    DLP::GCodeFile job = generator.Generate(int(layers), DLP::SliceBuildConfig(), DLP::MachineConfig());
    if (job.text.empty() || !job.Save(path)) {
        std::fprintf(stderr, "printer_probe: cannot write %s\n", path);
        return 1;
    }
    std::printf("Job written: %s (%ld layers)\n", path, layers);
    return 0;
}

// Plays the job in a print thread of its own while this thread serves the
// projector window's events. True when it completed.
bool playJob(QCoreApplication& app, const char* path)
{
    DLP::BuildManager runner;
    std::atomic<bool> completed{false};
    runner.m_gcodePath = path;
    QObject::connect(
        &runner, &DLP::BuildManager::signal_curLayer, &runner,
        [](int index, int type) {
            std::printf("Layer report: %d %s\n", index, type == 0 ? "image" : "blank");
            std::fflush(stdout);
        },
        Qt::DirectConnection);
    QObject::connect(
        &runner, &DLP::BuildManager::signal_printEnded, &runner,
        [&completed](int end, const QString& reason) {
            completed = end == int(DLP::PrintEnd::Completed);
            if (end != int(DLP::PrintEnd::Completed))
                std::printf("Print failed or cancelled: %s\n", qPrintable(reason.isEmpty() ? "cancelled" : reason));
            std::fflush(stdout);
        },
        Qt::DirectConnection);
    QObject::connect(
        &runner, &DLP::BuildManager::signal_printDone, &runner,
        [] {
            std::printf("Print done\n");
            std::fflush(stdout);
        },
        Qt::DirectConnection);
    std::thread printThread([&] {
        runner.StartPrint(DLP::GCodeFile());
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    printThread.join();
    return completed;
}

}  // namespace

int main(int argc, char** argv)
{
    double scale = 1.0;
    const char* port = nullptr;
    const char* job = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--write-job") == 0 && i + 2 < argc) {
            return writeJob(argv[i + 1], argv[i + 2]);
        } else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
            scale = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--job") == 0 && i + 1 < argc) {
            job = argv[++i];
        } else if (argv[i][0] != '-' && !port) {
            port = argv[i];
        } else {
            return usage();
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
    // The print loop owns the projector window, a widget; no screen is needed.
    if (job && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (job)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    DlpSerialPort::getInstance();

    const bool online = DlpSerialPort::m_bOnLine;
    std::printf("%s\n", online ? "Printer ONLINE!!" : "Printer OFFLINE!!");
    if (online) {
        std::printf("Firmware version: %s\n", g_versionSeen ? qPrintable(g_version) : "(none)");
        std::printf("Light items: %d\n", DlpSerialPort::lightEnginePara.size());
    }
    std::fflush(stdout);
    const bool played = !job || playJob(*app, job);
    DlpSerialPort::shutdown();
    return !online ? 1 : played ? 0 : 3;
}
