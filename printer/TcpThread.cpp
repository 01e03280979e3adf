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
#include <limits>
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

struct CountResult {
    QSemaphore done;
    std::atomic<bool> set{false};
    std::atomic<qint64> value{0};
};

}  // namespace

TcpTimings TcpTimings::scaled(double factor) const
{
    TcpTimings t = *this;
    for (int* ms : {&t.connectWaitMs, &t.writeWaitMs, &t.disconnectWaitMs, &t.pollMs, &t.reconnectPassMs,
                    &t.idlePassMs, &t.reconnectWaitMs, &t.callWaitMs, &t.finalAckWaitMs})
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
    // Replies are read as they come; a printer that talks faster than that
    // waits on the line instead of filling the memory.
    m_socket->setReadBufferSize(64 * 1024);
    m_passTimer = new QTimer(m_ctx);
    m_attemptTimer = new QTimer(m_ctx);
    m_writeTimer = new QTimer(m_ctx);
    m_disconnectTimer = new QTimer(m_ctx);
    m_finalAckTimer = new QTimer(m_ctx);
    for (QTimer* t : {m_passTimer, m_attemptTimer, m_writeTimer, m_disconnectTimer, m_finalAckTimer})
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
    connect(m_finalAckTimer, &QTimer::timeout, m_ctx, [this] {
        if (m_state == 3)
            fail(QStringLiteral("No final acknowledgement from the printer within %1 ms").arg(m_timings.finalAckWaitMs));
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
    for (QTimer* t : {m_passTimer, m_attemptTimer, m_writeTimer, m_disconnectTimer, m_finalAckTimer})
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

qint64 TcpThread::callCount(std::function<void(Count)> task, qint64 fallback, int waitMs)
{
    if (m_stop)
        return fallback;
    auto result = std::make_shared<CountResult>();
    auto answer = [result](qint64 v) {
        if (!result->set.exchange(true)) {
            result->value = v;
            result->done.release();
        }
    };
    if (QThread::currentThread() == this) {
        task(answer);
        return result->set ? result->value.load() : fallback;
    }
    post([task, answer] { task(answer); });
    if (!isRunning() || !result->done.tryAcquire(1, std::max(0, waitMs)))
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

QString TcpThread::failureReason() const
{
    QMutexLocker lock(&m_postLock);
    return m_failure;
}

void TcpThread::streamBodySend()
{
    post([this] {
        if (m_state != 2 || bytesSended >= TotalBytes)
            return;
        sendBodyPacket();
        emit signal_tcpBytesSend(bytesSended.load(), TotalBytes.load());
    });
}

void TcpThread::streamResend()
{
    post([this] {
        if (m_state == 1 || m_state == 2)
            writePacket(m_packet.left(static_cast<int>(std::max<qint64>(0, m_lastLength))), ResentPacket);
    });
}

qint64 TcpThread::tcpSend(char* data, short length)
{
    if (!data || length <= 0)
        return -1;
    const QByteArray bytes(data, length);
    return callCount(
        [this, bytes](Count done) {
            const qint64 written = writePacket(bytes, SentPacket);
            if (written <= 0 || QThread::currentThread() != this) {
                done(written);
                return;
            }
            // Answered once the socket has handed the bytes on, or at the
            // write's wait at the latest.
            m_flushDone = [done, written](qint64) { done(written); };
        },
        -1, m_timings.writeWaitMs + m_timings.callWaitMs);
}

qint64 TcpThread::tcpSend(QString text)
{
    QByteArray bytes = framed(text).toLatin1();
    if (bytes.size() > std::numeric_limits<short>::max())
        return -1;
    return tcpSend(bytes.data(), static_cast<short>(bytes.size()));
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
    // The last acknowledgement is waited for, but not for ever.
    if (state == 3)
        m_finalAckTimer->start(m_timings.finalAckWaitMs);
    else
        m_finalAckTimer->stop();
    if (m_state.exchange(state) != state)
        emit signal_stateChanged(state);
}

void TcpThread::fail(const QString& reason)
{
    {
        QMutexLocker lock(&m_postLock);
        m_failure = reason;
    }
    qDebug().noquote() << "TCP transfer failed:" << reason;
    setState(kFailedState);
    schedulePass();
    emit signal_transferFailed(reason);
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
    // A transfer under way cannot go on over another connection.
    const int st = m_state;
    if (st == 1 || st == 2 || st == 3)
        fail(QStringLiteral("The printer closed the connection before the transfer was acknowledged"));
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
            if (before >= kResendAt) {
                if (m_headerSends >= m_timings.headerSends) {
                    fail(QStringLiteral("No acknowledgement of the header after %1 sends").arg(m_headerSends));
                    return;
                }
                ++m_headerSends;
                writePacket(m_packet.left(static_cast<int>(m_lastLength)), ResentPacket);
            }
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

QString TcpThread::framed(const QString& text)
{
    // N counts characters, not the bytes they take in some encoding.
    return QStringLiteral("L:0S:") + QString::number(text.toUcs4().size()) + QStringLiteral("D:") + text;
}

QByteArray TcpThread::headerPacket(const QString& fileName, qint64 size)
{
    return framed(QStringLiteral("FN:") + fileName + QStringLiteral(" FS:") + QString::number(size)).toLocal8Bit();
}

void TcpThread::streamHeadSend(const QString& path)
{
    if (m_state != 0)
        return;
    m_path = path;
    m_file.close();
    m_file.setFileName(path);
    m_fileData.clear();
    // A file that cannot be read whole is no transfer: nothing is offered.
    if (!m_file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("Cannot read %1: %2").arg(path, m_file.errorString()));
        return;
    }
    if (m_file.size() > std::numeric_limits<int>::max() - 1) {
        fail(QStringLiteral("%1 is too large to send (%2 bytes)").arg(path).arg(m_file.size()));
        return;
    }
    m_fileData = m_file.readAll();
    if (m_fileData.size() != m_file.size()) {
        fail(QStringLiteral("Cannot read %1: %2").arg(path, m_file.errorString()));
        return;
    }
    TotalBytes = m_fileData.size();
    bytesSended = 0;
    const QByteArray header = headerPacket(QFileInfo(path).fileName(), m_fileData.size());
    writePacket(header, HeaderPacket);
    m_lastLength = header.size();
    setState(1);
    m_headerSends = 1;
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
    if (m_flushDone)
        std::exchange(m_flushDone, Count())(0);
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
    sendBodyPacket();
}

void TcpThread::sendBodyPacket()
{
    const qint64 offset = bytesSended;
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
    // Replies may come in pieces: a message counts once it is whole.
    for (const TransferReplies::Message& m : m_replies.feed(m_receive)) {
        if (m.kind == TransferReplies::Message::Progress) {
            emit signal_tcpBytesSend(m.bytes, 0);
            continue;
        }
        if (m.code != 0)
            continue;
        const int st = m_state;
        if (st == 3) {
            setState(m.bytes == bytesSended ? 4 : 5);
        } else if (st == 1) {
            setState(2);
            schedulePass();
            pumpBody();
        }
    }
}

unsigned char TcpThread::actCalcChecksum(const char* data, unsigned short length)
{
    unsigned char sum = 0;
    for (unsigned short i = 0; i < length; ++i)
        sum ^= static_cast<unsigned char>(data[i]);
    return sum;
}
