#include "TcpThread.h"

#include "LoopbackGuard.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QSemaphore>
#include <QTcpSocket>

#include <algorithm>
#include <cmath>
#include <memory>

std::atomic<bool> TcpThread::s_isexist{false};
std::atomic<qint64> TcpThread::TotalBytes{0};
std::atomic<qint64> TcpThread::bytesSended{0};
std::atomic<qint64> TcpThread::bytesToSend{0};

namespace {

constexpr int kPacketSize = 1024;
// The resend and reconnect counters keep the printer's own arithmetic.
constexpr int kPollStep = 100;
constexpr int kResendAt = 4901;
constexpr int kReconnectStep = 1000;
constexpr int kReconnectAt = 4000;
constexpr int kMaxAttempts = 9;

int scaleMs(int ms, double factor)
{
    return std::max(1, static_cast<int>(std::lround(ms * factor)));
}

// The worker's context object: a wake-up event runs the queued calls.
class WorkerContext : public QObject
{
public:
    explicit WorkerContext(std::function<void()> onWake) : m_onWake(std::move(onWake)) {}
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        m_onWake();
        return true;
    }

private:
    std::function<void()> m_onWake;
};

struct CallResult {
    QSemaphore done;
    std::atomic<bool> set{false};
    std::atomic<bool> value{false};
};

}  // namespace

TcpTimings TcpTimings::scaled(double factor) const
{
    TcpTimings t = *this;
    for (int* ms : {&t.connectWaitMs, &t.writeWaitMs, &t.disconnectWaitMs, &t.pollMs, &t.reconnectPassMs,
                    &t.idlePassMs, &t.reconnectWaitMs, &t.callWaitMs})
        *ms = scaleMs(*ms, factor);
    return t;
}

TcpThread::TcpThread(QString, QString address, QObject*, const TcpTimings& timings)
    : QThread(nullptr)
    , m_address(address)
    , m_timings(timings)
{
    s_isexist = true;
    setupWorker();
    // The first connection is made as soon as the worker's loop runs.
    post([this] { startAttempt(m_timings.connectWaitMs, {}); });
}

TcpThread::~TcpThread()
{
    // Owners stop the thread with a bounded wait first; here it has ended.
    stop(m_timings.disconnectWaitMs + m_timings.callWaitMs);
    wait();
    delete m_ctx;
    s_isexist = false;
    qDebug() << "TCP Thread Close OK";
}

void TcpThread::setupWorker()
{
    m_ctx = new WorkerContext([this] { runPosted(); });
    m_socket = new QTcpSocket(m_ctx);
    // A printer stands on the local network; no proxy lies between.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_passTimer = new QTimer(m_ctx);
    m_attemptTimer = new QTimer(m_ctx);
    m_writeTimer = new QTimer(m_ctx);
    m_disconnectTimer = new QTimer(m_ctx);
    for (QTimer* t : {m_passTimer, m_attemptTimer, m_writeTimer, m_disconnectTimer})
        t->setSingleShot(true);

    // Made once, here: every reconnect reuses them.
    connect(m_socket, &QTcpSocket::connected, m_ctx, [this] { connectedSlot(); });
    connect(m_socket, &QTcpSocket::disconnected, m_ctx, [this] { disconnectedSlot(); });
    connect(m_socket, &QTcpSocket::readyRead, m_ctx, [this] { receiveData(); });
    connect(m_socket, &QTcpSocket::errorOccurred, m_ctx,
            [this](QAbstractSocket::SocketError e) { displayError(e); });
    connect(m_socket, &QTcpSocket::bytesWritten, m_ctx, [this] {
        if (m_socket->bytesToWrite() == 0)
            onWritten();
    });
    connect(m_passTimer, &QTimer::timeout, m_ctx, [this] { pass(); });
    connect(m_writeTimer, &QTimer::timeout, m_ctx, [this] { onWritten(); });
    connect(m_attemptTimer, &QTimer::timeout, m_ctx, [this] {
        m_socket->abort();
        finishAttempt(false);
    });
    connect(m_disconnectTimer, &QTimer::timeout, m_ctx, [this] {
        if (m_disconnectDone)
            std::exchange(m_disconnectDone, Done())(false);
    });
    m_ctx->moveToThread(this);
}

void TcpThread::run()
{
    qDebug() << "TcpThread id : " << currentThreadId();
    if (s_isexist && !m_stop)
        exec();
    teardownWorker();
}

void TcpThread::teardownWorker()
{
    for (QTimer* t : {m_passTimer, m_attemptTimer, m_writeTimer, m_disconnectTimer})
        t->stop();
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_socket->disconnectFromHost();
        if (m_socket->state() != QAbstractSocket::UnconnectedState
            && !m_socket->waitForDisconnected(m_timings.disconnectWaitMs))
            m_socket->abort();
    }
    m_connected = false;
    // Socket notifiers belong to this thread: the socket goes here.
    QObject::disconnect(m_socket, nullptr, m_ctx, nullptr);
    delete m_socket;
    m_socket = nullptr;
}

bool TcpThread::stop(int waitMs)
{
    m_stop = true;
    quit();
    if (QThread::currentThread() == this)
        return false;
    return wait(static_cast<unsigned long>(std::max(0, waitMs)));
}

bool TcpThread::call(std::function<void(Done)> task, bool fallback, int waitMs)
{
    if (m_stop)
        return fallback;
    auto result = std::make_shared<CallResult>();
    if (QThread::currentThread() == this) {
        // Inside the worker a result that comes later cannot be waited for.
        task([result](bool v) {
            if (!result->set.exchange(true))
                result->value = v;
        });
        return result->set ? result->value.load() : fallback;
    }
    post([task, result] {
        task([result](bool v) {
            if (!result->set.exchange(true)) {
                result->value = v;
                result->done.release();
            }
        });
    });
    if (!isRunning())
        return fallback;  // runs once the worker starts
    if (!result->done.tryAcquire(1, std::max(0, waitMs)))
        return fallback;
    return result->value;
}

void TcpThread::post(std::function<void()> task)
{
    {
        QMutexLocker lock(&m_postLock);
        m_posted.push_back(std::move(task));
    }
    QCoreApplication::postEvent(m_ctx, new QEvent(QEvent::User));
}

void TcpThread::runPosted()
{
    for (;;) {
        std::function<void()> task;
        {
            QMutexLocker lock(&m_postLock);
            if (m_posted.empty())
                return;
            task = std::move(m_posted.front());
            m_posted.pop_front();
        }
        if (m_socket)
            task();
    }
}

// ---- caller side ------------------------------------------------------------

bool TcpThread::newConnect(QString address)
{
    return call(
        [this, address](Done done) {
            m_address = address;
            startAttempt(m_timings.connectWaitMs, done);
        },
        false, m_timings.connectWaitMs + m_timings.callWaitMs);
}

bool TcpThread::disConnect()
{
    return call(
        [this](Done done) {
            if (m_socket->state() == QAbstractSocket::UnconnectedState) {
                done(true);
                return;
            }
            m_disconnectDone = done;
            m_disconnectTimer->start(m_timings.disconnectWaitMs);
            m_socket->disconnectFromHost();
        },
        false, m_timings.disconnectWaitMs + m_timings.callWaitMs);
}

bool TcpThread::transferCancel()
{
    return call(
        [this](Done done) {
            if (!m_connected) {
                done(false);
                return;
            }
            setState(4);
            schedulePass();
            done(true);
        },
        false, m_timings.callWaitMs);
}

void TcpThread::slot_sendFile(QString path)
{
    const bool accepted = call([this, path](Done done) { done(offer(path)); }, true, m_timings.callWaitMs);
    if (!accepted)
        showInfo(m_infoBox, nullptr, QStringLiteral("tcpthread File is Sending,Wait Please"));
}

void TcpThread::showInfo(const InfoBox& box, QWidget* parent, const QString& text)
{
    const QString title = QStringLiteral("Warnning");
    if (box)
        box(title, text);
    else
        QMessageBox::information(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
}

// ---- worker side ------------------------------------------------------------

void TcpThread::setState(int state)
{
    if (m_state.exchange(state) != state)
        emit signal_stateChanged(state);
}

void TcpThread::startAttempt(int waitMs, Done done)
{
    m_connecting = true;
    m_passTimer->stop();
    m_attemptTimer->stop();
    m_socket->abort();
    if (LoopbackGuard::enabled() && !LoopbackGuard::isLoopbackHost(m_address)) {
        qDebug() << "Loopback guard: connection dropped" << m_address;
        m_connecting = false;
        m_connected = false;
        if (done)
            done(false);
        schedulePass();
        return;
    }
    m_attemptDone = std::move(done);
    m_attemptTimer->start(waitMs);
    m_socket->connectToHost(m_address, m_timings.port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void TcpThread::finishAttempt(bool ok)
{
    if (!m_connecting)
        return;
    m_connecting = false;
    m_attemptTimer->stop();
    m_connected = ok;
    if (m_attemptDone)
        std::exchange(m_attemptDone, Done())(ok);
    schedulePass();
    if (ok)
        pumpBody();
}

void TcpThread::connectedSlot()
{
    m_connected = true;
    qDebug() << "TCP Server Connect OK";
    if (m_connecting)
        finishAttempt(true);
    else
        pumpBody();
}

void TcpThread::markDisconnected()
{
    m_connected = false;
    m_reconnectCounter = 0;
    m_attempts = 0;
    m_socket->close();
    qDebug() << "TCP Server disConnect OK";
    if (m_disconnectDone) {
        m_disconnectTimer->stop();
        std::exchange(m_disconnectDone, Done())(true);
    }
    schedulePass();
}

void TcpThread::disconnectedSlot()
{
    if (m_connecting)
        return;  // the abort that starts a new attempt
    markDisconnected();
}

void TcpThread::displayError(QAbstractSocket::SocketError)
{
    qDebug() << "Tcpserver Socket Error : " << m_socket->errorString();
    if (m_connecting) {
        // A failed try is no disconnection: the attempt count stays, so an
        // unreachable printer ends in "The Server is Wrong".
        m_socket->abort();
        finishAttempt(false);
        return;
    }
    markDisconnected();
}

void TcpThread::schedulePass()
{
    if (m_stop || m_connecting) {
        m_passTimer->stop();
        return;
    }
    const int st = m_state;
    int interval;
    if (!m_connected)
        interval = m_timings.reconnectPassMs + ((st == 0 || st == 4) ? m_timings.idlePassMs : 0);
    else if (st == 1)
        interval = m_timings.pollMs;
    else {
        // States 0, 2 to 5 while connected wait for an event, not a pass.
        m_passTimer->stop();
        return;
    }
    if (!m_passTimer->isActive())
        m_passTimer->start(interval);
}

void TcpThread::pass()
{
    if (m_connected) {
        if (m_state == 1) {
            ++m_pollCount;
            const int before = m_resendCounter;
            m_resendCounter += kPollStep;
            if (before >= kResendAt)
                writePacket(m_packet.left(static_cast<int>(m_lastLength)), ResentPacket);
        }
    } else {
        reconnectStep();
    }
    schedulePass();
}

void TcpThread::reconnectStep()
{
    const int passNo = ++m_reconnectPasses;
    const int before = m_reconnectCounter;
    m_reconnectCounter += kReconnectStep;
    if (before < kReconnectAt)
        return;
    m_reconnectCounter = 0;
    if (m_attempts > kMaxAttempts) {
        qDebug() << "The Server is Wrong";
        return;
    }
    ++m_attempts;
    qDebug().noquote() << QStringLiteral("TCP reconnect attempt %1 at pass %2").arg(m_attempts).arg(passNo);
    startAttempt(m_timings.reconnectWaitMs, {});
}

bool TcpThread::offer(const QString& path)
{
    const int st = m_state;
    if (st == 1 || st == 2 || st == 5)
        return false;
    setState(0);
    streamHeadSend(path);
    return true;
}

QByteArray TcpThread::headerPacket(const QString& fileName, qint64 size)
{
    const QByteArray t = (QStringLiteral("FN:") + fileName + QStringLiteral(" FS:") + QString::number(size)).toLocal8Bit();
    return QByteArrayLiteral("L:0S:") + QByteArray::number(t.size()) + QByteArrayLiteral("D:") + t;
}

void TcpThread::streamHeadSend(const QString& path)
{
    if (m_state != 0)
        return;
    m_path = path;
    m_file.close();
    m_file.setFileName(path);
    m_fileData.clear();
    if (m_file.open(QIODevice::ReadOnly))
        m_fileData = m_file.readAll();
    else
        qDebug() << "TcpThread cannot read" << path << m_file.errorString();
    TotalBytes = m_fileData.size();
    bytesSended = 0;
    const QByteArray header = headerPacket(QFileInfo(path).fileName(), m_fileData.size());
    writePacket(header, HeaderPacket);
    m_lastLength = header.size();
    setState(1);
    schedulePass();
}

qint64 TcpThread::writePacket(const QByteArray& packet, PacketKind kind)
{
    QMutexLocker locker(&m_sendLock);
    m_packet = packet;
    qint64 written = -1;
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        written = m_socket->write(m_packet);
    m_lastLength = written;
    m_resendCounter = 0;
    if (written >= 0)
        emit signal_packetWritten(kind, packet.size());
    if (written > 0) {
        m_flushPending = true;
        m_writeTimer->start(m_timings.writeWaitMs);
    }
    return written;
}

void TcpThread::onWritten()
{
    if (!m_flushPending)
        return;
    m_flushPending = false;
    m_writeTimer->stop();
    pumpBody();
}

void TcpThread::pumpBody()
{
    if (!m_connected || m_state != 2 || m_flushPending)
        return;
    const qint64 offset = bytesSended;
    if (offset >= TotalBytes) {
        // Nothing left to pack (an empty file, or one of whole packets).
        setState(3);
        return;
    }
    const QByteArray packet = m_fileData.mid(static_cast<int>(offset), kPacketSize);
    bytesSended = offset + packet.size();
    writePacket(packet, BodyPacket);
    if (packet.size() < kPacketSize)
        qDebug().noquote() << QString::asprintf("File size is %d less than 1024;Send Finish", packet.size());
    if (bytesSended >= TotalBytes)
        setState(3);
}

void TcpThread::receiveData()
{
    m_receive = m_socket->readAll();
    struct Count {
        std::atomic<int>& n;
        ~Count() { ++n; }
    } count{m_replyCount};
    const int p = m_receive.indexOf("L11 P");
    const int r = m_receive.indexOf("R:");
    if (p >= 0 && r > p) {
        // B runs from p + 5 to r - 2: the character just before "R:" is a separator.
        const int bLength = r - 1 - (p + 5);
        const qint64 b = bLength > 0 ? m_receive.mid(p + 5, bLength).toLongLong() : 0;
        const int code = m_receive.mid(r + 2).trimmed().toInt();
        if (code != 0)
            return;
        const int st = m_state;
        if (st == 3) {
            setState(b == bytesSended ? 4 : 5);
        } else if (st == 1) {
            setState(2);
            schedulePass();
            pumpBody();
        }
        return;
    }
    const int l = m_receive.indexOf("L12 Print:");
    if (l >= 0) {
        const qlonglong v = m_receive.mid(l + 10).trimmed().toLongLong();
        emit signal_tcpBytesSend(v, 0);
    }
}

unsigned char TcpThread::actCalcChecksum(const char* data, unsigned short length)
{
    unsigned char sum = 0;
    for (unsigned short i = 0; i < length; ++i)
        sum ^= static_cast<unsigned char>(data[i]);
    return sum;
}
