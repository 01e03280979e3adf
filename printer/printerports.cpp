#include "printerports.h"

#include <QSerialPortInfo>

QList<PrinterPortInfo> systemPrinterPorts()
{
    const QString named = qEnvironmentVariable(kPrinterPortVariable);
    if (!named.isEmpty())
        return {PrinterPortInfo{named, QStringLiteral("Printer named by %1").arg(QLatin1String(kPrinterPortVariable)),
                                QString::fromLatin1(kPrinterManufacturer)}};
    QList<PrinterPortInfo> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos)
        ports.append(PrinterPortInfo{info.portName(), info.description(), info.manufacturer()});
    return ports;
}

QString printerPortName(const QList<PrinterPortInfo>& ports)
{
    for (const PrinterPortInfo& port : ports)
        if (port.manufacturer == QLatin1String(kPrinterManufacturer))
            return port.portName;
    return QString();
}
