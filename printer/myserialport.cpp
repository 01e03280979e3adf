#include "myserialport.h"

#include "printertimings.h"
#include "replylines.h"

#include <QMutexLocker>
#include <QThread>
#include <limits>

QByteArray MySerialPort::receivedResponseData;
bool MySerialPort::ms_responseMidLine = false;
bool MySerialPort::ms_responseOverflowed = false;
QMutex MySerialPort::ms_responseLock;

MySerialPort::MySerialPort(QString portName)
    : m_portName(std::move(portName))
{
    m_serialPort = new QSerialPort;
    m_thread = new QThread;
    m_serialPort->moveToThread(m_thread);
    moveToThread(m_thread);
    // The port dies in its own thread, where its notifiers live.
    connect(m_thread, &QThread::finished, m_serialPort, &QObject::deleteLater);
    m_thread->start(QThread::InheritPriority);

    connect(m_serialPort, &QSerialPort::readyRead, this, &MySerialPort::slotDataReady, Qt::DirectConnection);
    connect(m_serialPort, &QSerialPort::errorOccurred, this, &MySerialPort::slotError, Qt::DirectConnection);
    connect(this, &MySerialPort::sigSetCOM, this, &MySerialPort::slotSetCOM);
    connect(this, &MySerialPort::sigClose, this, &MySerialPort::slotClose);
    connect(this, &MySerialPort::sigClear, this, &MySerialPort::slotClear);
    connect(this, &MySerialPort::sigWrite, this, &MySerialPort::slotWrite);
    connect(this, &MySerialPort::sigDataReady, this, &MySerialPort::slot_ReceiveReadData);
}

MySerialPort::~MySerialPort()
{
    close();
    m_thread->quit();
    m_thread->wait();
    m_serialPort = nullptr;  // deleted as its thread finished
    delete m_thread;
}

template <typename Emit>
bool MySerialPort::request(QMutex& lock, QSemaphore& done, Emit emitRequest)
{
    QMutexLocker locker(&lock);
    // Permits left by requests that timed out belong to nobody now.
    done.tryAcquire(done.available());
    emitRequest();
    return done.tryAcquire(1, printerTimings().requestWaitMs);
}

bool MySerialPort::setCOM(QString strCOM, int iBautRate, int iDataBits, char chParity, char chStopBits)
{
    const bool answered = request(m_openLock, m_openDone, [&] {
        emit sigSetCOM(strCOM, iBautRate, iDataBits, chParity, chStopBits);
    });
    return answered && m_isOpen.load();
}

QString MySerialPort::portName() const
{
    QMutexLocker locker(&m_nameLock);
    return m_portName;
}

qint64 MySerialPort::write(const QByteArray& data)
{
    return write(data.constData(), data.size());
}

qint64 MySerialPort::write(const char* data, qint64 length)
{
    if (!m_isOpen.load() || length > std::numeric_limits<int>::max())
        return -1;
    // The request carries its own copy: a request that times out must not
    // read the caller's buffer later.
    QByteArray copy;
    if (data)
        copy = length < 0 ? QByteArray(data) : QByteArray(data, static_cast<int>(length));
    if (!request(m_writeLock, m_writeDone, [&] { emit sigWrite(copy); }))
        return 0;
    QMutexLocker locker(&m_writeResultLock);
    return m_writeResult;
}

void MySerialPort::clear()
{
    request(m_clearLock, m_clearDone, [&] { emit sigClear(); });
}

void MySerialPort::close()
{
    request(m_closeLock, m_closeDone, [&] { emit sigClose(); });
}

bool MySerialPort::EchoCommand(const QString& command, const QString& expected, QString* reply)
{
    QMutexLocker echo(&m_echoLock);
    {
        QMutexLocker locker(&m_replyLock);
        m_expectedReply = expected;
    }
    clear();
    {
        QMutexLocker locker(&m_waitingLock);
        m_waitingReply = true;
    }
    m_replyReady.tryAcquire(m_replyReady.available());
    auto stopWaiting = [this] {
        QMutexLocker locker(&m_waitingLock);
        m_waitingReply = false;
    };

    const QByteArray bytes = command.toLatin1() + "\r\n";
    if (write(bytes) < bytes.size()) {
        stopWaiting();
        return false;
    }
    const bool seen = m_replyReady.tryAcquire(1, printerTimings().echoWaitMs);
    if (!reply && expected.isEmpty()) {
        stopWaiting();
        return true;
    }
    if (reply)
        reply->clear();
    stopWaiting();

    QString lastReply;
    {
        QMutexLocker locker(&m_replyLock);
        lastReply = m_lastReply;
    }
    bool result;
    if (seen)
        result = !lastReply.contains(QLatin1String("ES")) && !lastReply.contains(QLatin1String("EL"));
    else
        result = lastReply.contains(expected) && lastReply.endsWith(QLatin1Char('\n'));
    if (reply)
        *reply = lastReply;
    return result;
}

SerialSettings MySerialPort::mapSettings(int baudRate, int dataBits, char parity, char stopBits)
{
    SerialSettings s;
    switch (baudRate) {
    case 1200: case 2400: case 4800: case 19200: case 38400: case 57600: case 115200:
        s.baudRate = baudRate;
        break;
    default:
        s.baudRate = 9600;
    }
    switch (dataBits) {
    case 5: s.dataBits = QSerialPort::Data5; break;
    case 6: s.dataBits = QSerialPort::Data6; break;
    case 7: s.dataBits = QSerialPort::Data7; break;
    default: s.dataBits = QSerialPort::Data8;
    }
    switch (parity) {
    case 'E': s.parity = QSerialPort::EvenParity; break;
    case 'O': s.parity = QSerialPort::OddParity; break;
    case 'M': s.parity = QSerialPort::MarkParity; break;
    case 'S': s.parity = QSerialPort::SpaceParity; break;
    default: s.parity = QSerialPort::NoParity;
    }
    switch (stopBits) {
    case 3: s.stopBits = QSerialPort::OneAndHalfStop; break;
    case 2: s.stopBits = QSerialPort::TwoStop; break;
    default: s.stopBits = QSerialPort::OneStop;
    }
    return s;
}

void MySerialPort::slotSetCOM(QString strCOM, int iBautRate, int iDataBits, char chParity, char chStopBits)
{
    m_serialPort->close();
    m_isOpen = false;
    m_lost = false;
    QString name;
    {
        QMutexLocker locker(&m_nameLock);
        if (!strCOM.isEmpty())
            m_portName = strCOM;
        name = m_portName;
    }
    if (name.isEmpty()) {
        m_openDone.release();
        return;
    }
    m_serialPort->setPortName(name);
    if (!m_serialPort->isOpen() && !m_serialPort->open(QIODevice::ReadWrite)) {
        m_openDone.release();
        return;
    }
    const SerialSettings s = mapSettings(iBautRate, iDataBits, chParity, chStopBits);
    m_serialPort->setBaudRate(s.baudRate, QSerialPort::AllDirections);
    m_serialPort->setDataBits(s.dataBits);
    m_serialPort->setParity(s.parity);
    m_serialPort->setStopBits(s.stopBits);
    m_serialPort->clear(QSerialPort::AllDirections);
    m_isOpen = true;
    m_openDone.release();
}

void MySerialPort::slotWrite(QByteArray data)
{
    {
        QMutexLocker locker(&m_writeResultLock);
        m_writeResult = -1;
        if (m_serialPort->isOpen())
            m_writeResult = m_serialPort->write(data);
    }
    m_writeDone.release();
}

void MySerialPort::slotError(QSerialPort::SerialPortError error)
{
    // A device that vanishes reports a resource error on the open port, a
    // line whose other end hung up a read error (over and over): nothing more
    // will pass either way.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) || !m_isOpen.load())
        return;
    const QString reason = m_serialPort->errorString();
    m_serialPort->close();
    m_isOpen = false;
    m_lost = true;
    emit sigPortLost(reason);
}

void MySerialPort::slotClose()
{
    m_serialPort->close();
    m_isOpen = false;
    m_closeDone.release();
}

void MySerialPort::slotClear()
{
    m_serialPort->clear(QSerialPort::AllDirections);
    {
        QMutexLocker locker(&m_replyLock);
        m_replyBuffer.clear();
        m_lastReply.clear();
    }
    m_clearDone.release();
}

void MySerialPort::slotDataReady()
{
    bool waiting;
    {
        QMutexLocker locker(&m_waitingLock);
        waiting = m_waitingReply;
    }
    if (!waiting) {
        emit sigDataReady(m_serialPort->readAll());
        return;
    }
    bool complete = false;
    {
        QMutexLocker locker(&m_replyLock);
        const QByteArray chunk = m_serialPort->readAll();
        const int nul = chunk.indexOf('\0');
        m_replyBuffer += QString::fromLatin1(nul < 0 ? chunk : chunk.left(nul));
        m_lastReply = m_replyBuffer;
        const int p = m_replyBuffer.indexOf(m_expectedReply);
        complete = p >= 0 && m_replyBuffer.indexOf(QLatin1Char('\n'), p + 1) >= 0;
    }
    if (complete) {
        {
            QMutexLocker locker(&m_waitingLock);
            m_waitingReply = false;
        }
        m_replyReady.release();
    }
}

void MySerialPort::slot_ReceiveReadData(QByteArray data)
{
    appendResponse(data);
}

void MySerialPort::clearResponse()
{
    QMutexLocker locker(&ms_responseLock);
    receivedResponseData.clear();
    ms_responseMidLine = false;
    ms_responseOverflowed = false;
}

void MySerialPort::appendResponse(const QByteArray& bytes)
{
    QMutexLocker locker(&ms_responseLock);
    receivedResponseData.append(bytes);
    const int excess = receivedResponseData.size() - kResponseLimit;
    if (excess <= 0)
        return;
    ms_responseOverflowed = true;
    // Drop through the line end that follows the excess, so that the buffer
    // still begins a line; without one, everything goes and the next bytes
    // continue a line whose start is lost.
    int cut = -1;
    for (int i = excess - 1; i < receivedResponseData.size() && cut < 0; ++i)
        if (receivedResponseData[i] == '\n' || receivedResponseData[i] == '\r')
            cut = i + 1;
    if (cut < 0) {
        receivedResponseData.clear();
        ms_responseMidLine = true;
    } else {
        receivedResponseData.remove(0, cut);
        ms_responseMidLine = false;
    }
}

bool MySerialPort::responseOverflowed()
{
    QMutexLocker locker(&ms_responseLock);
    return ms_responseOverflowed;
}

int MySerialPort::indexOfAck()
{
    QMutexLocker locker(&ms_responseLock);
    return ReplyLines::ackPosition(receivedResponseData, ms_responseMidLine);
}

int MySerialPort::scanResponse(AckScanner& scanner, QList<QByteArray>* others)
{
    QMutexLocker locker(&ms_responseLock);
    return scanner.scan(receivedResponseData, ms_responseMidLine, others);
}

QByteArray MySerialPort::responseData()
{
    QMutexLocker locker(&ms_responseLock);
    return receivedResponseData;
}

int MySerialPort::indexOfResponse(const QByteArray& text)
{
    QMutexLocker locker(&ms_responseLock);
    return receivedResponseData.indexOf(text);
}

QList<QByteArray> MySerialPort::splitResponse(char separator)
{
    QMutexLocker locker(&ms_responseLock);
    return receivedResponseData.split(separator);
}
