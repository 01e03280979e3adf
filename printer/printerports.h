#pragma once

#include <QList>
#include <QString>
#include <functional>

// One serial port as printer discovery sees it.
struct PrinterPortInfo {
    QString portName;
    QString description;
    QString manufacturer;
};

using PrinterPortEnumerator = std::function<QList<PrinterPortInfo>()>;

// Names a device (a pseudo-terminal of a printer simulator, say) that then
// stands alone in the port list as the printer.
inline constexpr const char* kPrinterPortVariable = "VEXMOR_PRINTER_PORT";
inline constexpr const char* kPrinterManufacturer = "VEXMOR3D.";

// The system's serial ports in the order it gives them, or only the device
// named by VEXMOR_PRINTER_PORT, listed with the printer's manufacturer string.
QList<PrinterPortInfo> systemPrinterPorts();

// The printer's port by the discovery rule: the first port whose manufacturer
// is exactly kPrinterManufacturer; empty when none is.
QString printerPortName(const QList<PrinterPortInfo>& ports);
