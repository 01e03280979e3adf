#include "NetUI.h"

#include "LoopbackGuard.h"
#include "ui_NetUI.h"

#include <QDebug>
#include <QNetworkDatagram>
#include <QTimer>

const char* const NetUI::searchWordDefault = "Vexmor3D";
const char* const NetUI::cancelWord = "Vexmor3D_NET_TRANSFER_CANCEL";

namespace {

bool loopbackAddress(const QHostAddress& address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);  // also the IPv4 form of ::ffff:a.b.c.d
    return ok && (v4 >> 24) == 127;
}

bool guardAllows(const QHostAddress& address)
{
    return !LoopbackGuard::enabled() || loopbackAddress(address);
}

// The address part of an entry: the text after its last "=>" (the text
// before it came from the printer and may hold "=>" itself).
QString entryAddress(const QString& entry)
{
    const int at = entry.lastIndexOf(QStringLiteral("=>"));
    return at < 0 ? entry : entry.mid(at + 2);
}

QString textUpToNul(const QByteArray& bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
}

}  // namespace

NetUI::NetUI(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_NetUI)
    , m_searchWord(QString::fromLatin1(searchWordDefault))
{
    ui->setupUi(this);
}

NetUI::~NetUI()
{
    if (m_tcp) {
        if (m_tcp->stop(m_settings.stopWaitMs())) {
            delete m_tcp;
        } else {
            // Never destroy a running thread: it deletes itself once it ends.
            qWarning() << "NetUI: transfer thread still running, left to end by itself";
            connect(m_tcp, &QThread::finished, m_tcp, &QObject::deleteLater);
        }
        m_tcp = nullptr;
    }
    delete ui;
}

void NetUI::setInfoBox(InfoBox box)
{
    m_infoBox = box;
    if (m_tcp)
        m_tcp->setInfoBox(box);
}

void NetUI::info(const QString& text)
{
    TcpThread::showInfo(m_infoBox, this, text);
}

void NetUI::netSearch(bool on)
{
    m_devices.clear();
    if (!on) {
        if (m_searchTimer)
            m_searchTimer->stop();
        return;
    }
    ensureSearchTimer();
    m_searchTimer->start(m_settings.searchIntervalMs);
}

void NetUI::ensureSearchTimer()
{
    if (m_searchTimer)
        return;
    m_searchTimer = new QTimer(this);
    connect(m_searchTimer, &QTimer::timeout, this, &NetUI::udpTimeOut);
    if (!m_udp.bind(m_settings.bindAddress, m_settings.localPort))
        qDebug() << "NetUI: UDP bind failed" << m_udp.errorString();
    connect(&m_udp, &QUdpSocket::readyRead, this, &NetUI::udpProcessPendingDatagrams);
}

void NetUI::udpTimeOut()
{
    sendWord();
}

void NetUI::sendWord()
{
    if (!guardAllows(m_settings.target)) {
        qDebug() << "Loopback guard: datagram dropped" << m_settings.target.toString();
        return;
    }
    m_udp.writeDatagram(m_searchWord.toLatin1(), m_settings.target, m_settings.targetPort);
}

void NetUI::udpProcessPendingDatagrams()
{
    // Printers answering together each count, in the order they came.
    while (m_udp.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udp.receiveDatagram();
        if (!datagram.isValid())
            break;
        if (!guardAllows(datagram.senderAddress()))
            continue;
        handleDatagram(datagram.data(), datagram.senderAddress());
    }
}

void NetUI::handleDatagram(const QByteArray& data, const QHostAddress& sender)
{
    const QString text = textUpToNul(data);
    if (!text.contains(QLatin1Char('_')))
        return;
    if (m_searchWord == QLatin1String(cancelWord) && text.contains(QStringLiteral("NET_TRANSFER_CANCEL")))
        m_searchWord = QString::fromLatin1(searchWordDefault);

    QString address = sender.toString();
    address = address.mid(address.lastIndexOf(QLatin1Char(':')) + 1);
    const QString entry = text + QStringLiteral("=>") + address;
    for (QString& listed : m_devices) {
        if (entryAddress(listed) != address)
            continue;
        if (listed == entry)
            return;
        listed = entry;
        emit signal_dev_list(m_devices);
        return;
    }
    m_devices.append(entry);
    emit signal_dev_list(m_devices);
}

bool NetUI::netConnect(QString dev, bool isconnect)
{
    if (!isconnect)
        return m_tcp ? !m_tcp->disConnect() : false;

    const QString address = entryAddress(dev);
    bool result = true;
    if (m_tcp) {
        result = m_tcp->newConnect(address);
    } else {
        m_tcp = new TcpThread(QString(), address, nullptr, m_settings.tcp);
        if (m_infoBox)
            m_tcp->setInfoBox(m_infoBox);
        connect(this, &NetUI::signal_fileSend, m_tcp, &TcpThread::slot_sendFile);
        // A transfer that failed says why, in the panel's own box.
        connect(m_tcp, &TcpThread::signal_transferFailed, this,
                [this](const QString& reason) { info(tr("File transfer failed: %1").arg(reason)); });
        m_tcp->start(QThread::HighPriority);
    }
    if (m_searchTimer)
        m_searchTimer->stop();
    return result;
}

void NetUI::slot_fileSend(QString filename)
{
    if (!m_tcp || !TcpThread::s_isexist) {
        info(QStringLiteral("Printer is not Exist, Check the network Please"));
        return;
    }
    if (filename.isNull()) {
        info(QStringLiteral("Not File is selected"));
        return;
    }
    if (m_searchTimer)
        m_searchTimer->stop();
    // Each file reports its progress from 0 again.
    m_lastPercent = 0;
    emit signal_fileSend(filename);
    if (!m_speedTimer) {
        m_speedTimer = new QTimer(this);
        connect(m_speedTimer, &QTimer::timeout, this, &NetUI::speedTimeOut);
    }
    m_speedTimer->start(m_settings.progressIntervalMs);
}

void NetUI::speedTimeOut()
{
    const qint64 total = TcpThread::TotalBytes;
    const qint64 sent = TcpThread::bytesSended;
    if (total <= 0)
        return;
    if (sent > 0) {
        const quint8 percent = static_cast<quint8>(sent * 100 / total);
        if (percent > m_lastPercent) {
            emit signal_tcpByteSend(static_cast<qulonglong>(sent), static_cast<qulonglong>(total));
            m_lastPercent = percent;
        } else if (sent >= total) {
            emit signal_tcpByteSend(static_cast<qulonglong>(sent), static_cast<qulonglong>(total));
            m_lastPercent = 100;
        }
    }
    if (sent >= total && m_speedTimer)
        m_speedTimer->stop();
}

void NetUI::slot_tcpByteSend(qulonglong sent, qulonglong total)
{
    ui->textBrowser->append(QString::number(sent) + QLatin1Char(':') + QString::number(total));
}

void NetUI::netTransfer(unsigned char cmd)
{
    if (cmd != 1 || !m_tcp)
        return;
    m_tcp->transferCancel();
    // A cancel before any search makes the timer and socket a search would.
    ensureSearchTimer();
    if (!m_searchTimer->isActive())
        m_searchTimer->start(m_settings.searchIntervalMs);
    m_searchWord = QString::fromLatin1(cancelWord);
    sendWord();
}
