#include "dlpserialport.h"

#include "myserialport.h"
#include "printertimings.h"
#include "replylines.h"

#include <QCoreApplication>
#include <QDebug>

DlpSerialPort* DlpSerialPort::m_pInstance = nullptr;
MySerialPort* DlpSerialPort::m_pSerialPort = nullptr;
bool DlpSerialPort::m_bOnLine = false;
QList<QByteArray> DlpSerialPort::lightEnginePara;

namespace {

PrinterPortEnumerator& portEnumerator()
{
    static PrinterPortEnumerator enumerator;
    return enumerator;
}

std::shared_ptr<MySerialPort>& portOwner()
{
    static std::shared_ptr<MySerialPort> owner;
    return owner;
}

void log(const QString& text)
{
    qDebug().noquote() << text;
}

}  // namespace

DlpSerialPort::DlpSerialPort(MySerialPort* port, QObject* parent)
    : QObject(parent)
{
    holdPort(port);
}

DlpSerialPort::~DlpSerialPort()
{
    std::atomic_store(&portOwner(), std::shared_ptr<MySerialPort>());  // the last holder closes it
    m_pSerialPort = nullptr;
    m_pInstance = nullptr;
}

std::shared_ptr<MySerialPort> DlpSerialPort::sharedPort()
{
    // Read by the print thread while the instance's thread may drop the port.
    return std::atomic_load(&portOwner());
}

void DlpSerialPort::holdPort(MySerialPort* port)
{
    std::atomic_store(&portOwner(), std::shared_ptr<MySerialPort>(port));
    m_pSerialPort = port;
    if (port)
        connect(port, &MySerialPort::sigPortLost, this, [this](const QString& reason) {
            qDebug().noquote() << tr("Printer port lost: %1").arg(reason);
            handle_DeviceChanged();
        }, Qt::QueuedConnection);
}

void DlpSerialPort::setPortEnumerator(PrinterPortEnumerator enumerator)
{
    portEnumerator() = std::move(enumerator);
}

void DlpSerialPort::shutdown()
{
    delete m_pInstance;
    m_pInstance = nullptr;
    std::atomic_store(&portOwner(), std::shared_ptr<MySerialPort>());
    m_pSerialPort = nullptr;
    m_bOnLine = false;
}

QList<PrinterPortInfo> DlpSerialPort::printerPorts()
{
    const PrinterPortEnumerator& enumerate = portEnumerator();
    return enumerate ? enumerate() : systemPrinterPorts();
}

MySerialPort* DlpSerialPort::findPrinter()
{
    const QList<PrinterPortInfo> ports = printerPorts();
    log(QStringLiteral("++++++++++++++++"));
    for (const PrinterPortInfo& port : ports) {
        // The USB strings come from the device: shown as printer text.
        log(ReplyLines::shown(port.description + QLatin1Char(' ') + port.manufacturer + QLatin1Char(' ')
                              + port.portName));
        if (port.manufacturer == QLatin1String(kPrinterManufacturer)) {
            log(QStringLiteral("----------------"));
            log(tr("InfoPortname: ") + port.portName);
            return new MySerialPort(port.portName);
        }
    }
    return nullptr;
}

DlpSerialPort* DlpSerialPort::getInstance()
{
    if (m_pInstance)
        return m_pInstance;

    static bool exitHookSet = false;
    if (!exitHookSet && QCoreApplication::instance()) {
        // The port thread must be joined before the statics go away.
        qAddPostRoutine(&DlpSerialPort::shutdown);
        exitHookSet = true;
    }

    MySerialPort* port = findPrinter();
    if (!port) {
        log(QStringLiteral("Printer OFFLINE!!"));
        m_pInstance = new DlpSerialPort(nullptr);
        m_bOnLine = false;
        return m_pInstance;
    }
    log(QStringLiteral("Printer ONLINE!!"));
    m_pInstance = new DlpSerialPort(port);
    m_bOnLine = true;
    applySetting();
    LoadLightEnginePara();
    return m_pInstance;
}

void DlpSerialPort::dropPort()
{
    m_bOnLine = false;
    m_pSerialPort = nullptr;
    std::atomic_store(&portOwner(), std::shared_ptr<MySerialPort>());
}

void DlpSerialPort::applySetting()
{
    if (!m_pSerialPort)
        return;
    log(tr("Portname: ") + m_pSerialPort->portName());
    m_pSerialPort->setCOM(m_pSerialPort->portName(), 115200, 8, 'N', 1);
    if (!m_pSerialPort->isOpen())
        dropPort();
}

void DlpSerialPort::LoadLightEnginePara()
{
    getInstance();
    if (!m_pSerialPort) {
        log(QStringLiteral("Offline, No Operate"));
        return;
    }
    const PrinterTimings& timings = printerTimings();

    MySerialPort::clearResponse();
    log(tr("Write M900 start"));
    m_pSerialPort->write(QByteArrayLiteral("M900"));
    waitForAck(timings.m900);
    const QByteArray version = MySerialPort::responseData();
    log(tr("Return of M900: ") + ReplyLines::shown(version));
    if (version.isEmpty()) {
        // A controller that never answers must not pass for a printer: the
        // print would wait for "ok" without end.
        log(tr("No reply to M900, printer offline"));
        dropPort();
        return;
    }
    const QByteArray firstLine = version.split('\n').first();
    // A controller that rejects the hand-shake is no printer to send a job to.
    if (firstLine.trimmed().toLower().startsWith("error")) {
        log(tr("M900 answered with an error, printer offline: %1").arg(ReplyLines::shown(firstLine.trimmed())));
        dropPort();
        return;
    }
    const int nul = firstLine.indexOf('\0');
    log(tr("FirmWare Version: %1").arg(ReplyLines::shown(nul < 0 ? firstLine : firstLine.left(nul))));

    MySerialPort::clearResponse();
    log(tr("Write M701 start"));
    m_pSerialPort->write(QByteArrayLiteral("M701"));
    // A reply that outgrows the receive buffer can no longer be read whole:
    // no point waiting for its end.
    AckScanner scanner;
    waitUntil([&scanner] { return MySerialPort::responseOverflowed() ? -2 : MySerialPort::scanResponse(scanner, nullptr); },
              timings.m701);
    if (MySerialPort::responseOverflowed()) {
        log(tr("Return of M701 longer than %1 bytes: light data refused").arg(MySerialPort::kResponseLimit));
        lightEnginePara.clear();
        return;
    }
    log(tr("Return of M701: ") + ReplyLines::shown(MySerialPort::responseData()));
    lightEnginePara = MySerialPort::splitResponse('\n');
}

void DlpSerialPort::handle_DeviceChanged()
{
    // A lost port serves nobody: it no longer counts as held.
    if (m_pSerialPort && m_pSerialPort->isLost())
        dropPort();
    MySerialPort* port = findPrinter();
    if (!port) {
        log(QStringLiteral("Printer OffLine!!"));
        dropPort();
        return;
    }
    if (m_pSerialPort) {
        delete port;
        return;
    }
    log(QStringLiteral("Printer OnLine!!"));
    m_bOnLine = true;
    holdPort(port);
    applySetting();
    LoadLightEnginePara();
}
