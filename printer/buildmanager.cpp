#include "buildmanager.h"

#include "dlpserialport.h"
#include "frmDLP.h"
#include "myserialport.h"
#include "replylines.h"
#include "settingsrangecheck.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace DLP {

namespace {

void log(const QString& text)
{
    qDebug().noquote() << text;
}

// Line ends of a command stay on the wire, not in the log.
QString forLog(const QString& command)
{
    QString text = command;
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

// Replies that are no "ok" logged while one command waits; the rest are counted.
constexpr int kOtherRepliesLogged = 5;

qint64 steadyMs()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

}  // namespace

BuildManager::BuildManager()
{
    m_projector = new frmDLP(nullptr);
}

BuildManager::~BuildManager()
{
    delete m_projector;
}

qint64 BuildManager::nowMs() const
{
    return m_timings.nowMs ? m_timings.nowMs() : steadyMs();
}

void BuildManager::sleepMs(int ms) const
{
    if (m_timings.sleep)
        m_timings.sleep(ms);
    else
        QThread::msleep(static_cast<unsigned long>(ms));
}

void BuildManager::moveTo(int next)
{
    int current = m_state.load();
    // A pending cancel request stays until the loop has seen it.
    while (current != Cancel && !m_state.compare_exchange_weak(current, next)) {
    }
}

DLP::GCodeFile BuildManager::gcodeFile() const
{
    QMutexLocker locker(&m_jobLock);
    return m_gcodeFile;
}

void BuildManager::clearJob()
{
    if (m_busy.load())
        return;
    QMutexLocker locker(&m_jobLock);
    m_gcodeFile.clearfile();
}

void BuildManager::StartPrint(DLP::GCodeFile job)
{
    auto probe = [this](const char* step) {
        if (m_startProbe)
            m_startProbe(step);
    };
    probe("enter");
    DlpSerialPort::getInstance();
    if (m_busy.exchange(true))
        return;
    probe("busy");
    m_portHold = DlpSerialPort::sharedPort();
    m_port = m_portHold.get();
    m_timings = printerTimings();
    m_failure = PrintEnd::Completed;
    m_failureReason.clear();
    {
        QMutexLocker locker(&m_jobLock);
        m_gcodeFile.text = job.text;
        m_gcodeFile.lines = job.lines;
    }
    m_state = Start;
    // A cancel that came since the start was asked for is not overwritten.
    if (m_cancelPending.load())
        m_state = Cancel;
    m_running = true;
    probe("started");
    // Every job opens with a blank marker, which reports the last layer shown:
    // that must be this job's, not the one before.
    m_layerIndex = 0;
    if (!m_port) {
        log(QStringLiteral("Offline, No Operate"));
        endJob(PrintEnd::NoPrinter, tr("No printer is connected"));
        return;
    }
    BuildThread();
}

void BuildManager::SetState(bool running, bool busy)
{
    if (running || busy) {
        m_running = running;
        m_busy = busy;
        return;
    }
    if (m_armed.load() || m_busy.load())
        m_cancelPending = true;
    m_state = Cancel;
}

void BuildManager::armJob()
{
    m_cancelPending = false;
    m_armed = true;
}

void BuildManager::resetJob()
{
    m_portHold.reset();
    m_armed = false;
    m_cancelPending = false;
    m_running = false;
    m_state = Idle;
    {
        QMutexLocker locker(&m_jobLock);
        m_gcodeFile.clearfile();
    }
    m_busy = false;
}

void BuildManager::endJob(PrintEnd end, const QString& reason)
{
    if (end != PrintEnd::Completed && end != PrintEnd::Cancelled) {
        // Nothing may stay lit on the resin once the job is given up.
        m_projector->m_layer = -1;
        m_projector->requestRepaint();
        log(tr("Print failed: %1").arg(reason));
    }
    resetJob();
    emit signal_printEnded(int(end), reason);
    emit signal_printDone();
}

void BuildManager::fail(PrintEnd end, const QString& reason)
{
    if (m_failure == PrintEnd::Completed) {
        m_failure = end;
        m_failureReason = reason;
    }
    moveTo(Failed);
}

void BuildManager::BuildThread()
{
    const QString path = QString::fromStdString(m_gcodePath);
    if (!m_gcodePath.empty()) {
        DLP::GCodeFile loaded;
        const bool ok = loaded.Load(m_gcodePath);
        // Nothing of a damaged file reaches the printer; an empty one is told as such below.
        const std::string problem = ok && !loaded.text.empty() ? DLP::JobFileProblem(loaded.text) : std::string();
        {
            QMutexLocker locker(&m_jobLock);
            // A job that cannot be read is not replaced by another one.
            m_gcodeFile.text = ok && problem.empty() ? loaded.text : std::string();
            m_gcodeFile.lines.clear();
        }
        if (!ok) {
            const QFileInfo info(path);
            if (info.isFile() && info.size() > DLP::GCodeFile::kMaxLoadBytes)
                endJob(PrintEnd::JobUnreadable, tr("The job file %1 is larger than %2 MB, more than a job holds")
                                                    .arg(path)
                                                    .arg(DLP::GCodeFile::kMaxLoadBytes / (1024 * 1024)));
            else
                endJob(PrintEnd::JobUnreadable, tr("The job file %1 cannot be read").arg(path));
            return;
        }
        if (!problem.empty()) {
            endJob(PrintEnd::JobUnreadable,
                   tr("The job file %1 cannot be printed: %2").arg(path, QString::fromStdString(problem)));
            return;
        }
    }
    if (m_startProbe)
        m_startProbe("loaded");
    if (!m_running.load())
        return;
    if (m_gcodeFile.text.empty() && m_gcodeFile.lines.empty()) {
        endJob(PrintEnd::JobUnreadable, tr("The job file %1 is empty").arg(path));
        return;
    }

    while (m_running.load()) {
        switch (m_state.load()) {
        case Start: {
            m_lineIndex = 0;
            m_motion.reset();
            moveTo(Run);
            m_sliceNumber = 0;
            QMutexLocker locker(&m_jobLock);
            if (m_gcodeFile.lines.empty())
                m_gcodeFile.GenerateLines();
            break;
        }
        case Run:
            // Read without the lock: only this loop changes the job while it runs.
            if (m_lineIndex < static_cast<int>(m_gcodeFile.lines.size())) {
                const std::string line = m_gcodeFile.lines[static_cast<size_t>(m_lineIndex)];
                ++m_lineIndex;
                processLine(line);
            } else {
                moveTo(Done);
            }
            break;
        case Delay: {
            // A printer lost during an exposure ends the job at once.
            if (failIfDisconnected())
                break;
            const qint64 t = nowMs() - m_delayStartMs;
            if (t > m_delayMs) {
                moveTo(Run);
                log(QStringLiteral("Delay end"));
            } else if (t <= m_delayMs - m_timings.delayTailMs) {
                sleepMs(m_timings.delayPollMs);
            }
            // In the tail the clock is polled without sleeping.
            break;
        }
        case Idle:
            sleepMs(m_timings.idleSleepMs);
            break;
        case Done:
            endJob(PrintEnd::Completed);
            return;
        case Failed:
            // A printer that still listens is asked to switch its light off.
            if (m_port && m_port->isOpen())
                sendCommand(QStringLiteral("M220"), false);
            endJob(m_failure, m_failureReason);
            return;
        case Cancel: {
            const PrintEnd failure = m_failure;
            const QString reason = m_failureReason;
            PrintCancel();
            // A job that had already failed reports why, not only the cancel.
            if (failure != PrintEnd::Completed) {
                endJob(failure, reason);
            } else {
                emit signal_printEnded(int(PrintEnd::Cancelled), QString());
                emit signal_printDone();
            }
            return;
        }
        default:
            break;
        }
    }
}

void BuildManager::processLine(const std::string& line)
{
    if (line.empty())
        return;
    switch (DLP::JobLineKind(line)) {
    case DLP::JobLine::Wait: {
        // Read as the job check read it ("1e+06" is a million, not one); a job
        // made here and never checked falls back to the whole number in front.
        double ms = 0;
        m_delayMs = DLP::ReadJobWait(line, ms) ? int(std::lround(ms)) : getvarfromline(line);
        moveTo(Delay);
        m_delayStartMs = nowMs();
        log(QStringLiteral("Delay start"));
        return;
    }
    case DLP::JobLine::Layer: {
        const int n = getvarfromline(line);
        m_sliceNumber = n;
        int type = -1;
        if (n != -1) {
            m_layerIndex = n;
            type = 0;
        }
        PrintLayer(n, type);
        log(tr("Printing: %1").arg(m_sliceNumber));
        emit signal_curLayer(m_layerIndex, type);
        return;
    }
    case DLP::JobLine::Kept: // other comments, and commands with such a comment behind them
        return;
    case DLP::JobLine::Sent:
        break;
    }
    const QString command = QString::fromLatin1(line.data(), static_cast<int>(line.size())) + QStringLiteral("\r\n");
    log(tr("Start") + forLog(command));
    sendCommand(command, true, m_motion.take(line));
}

int BuildManager::sendCmd(QString command)
{
    return sendCommand(command, true);
}

int BuildManager::sendCommand(const QString& command, bool rewrite, double moveMs)
{
    DlpSerialPort::getInstance();
    if (!m_port) {
        log(QStringLiteral("Offline, No Operate"));
        fail(PrintEnd::Disconnected, tr("The printer was disconnected"));
        return -1;
    }
    if (failIfDisconnected())
        return -1;
    const QByteArray bytes = command.toLatin1();
    auto noOk = [&](int look) {
        log(tr("No OK: %1").arg(look) + tr("times: ") + forLog(command) + QLatin1Char(' ')
            + ReplyLines::shown(MySerialPort::responseData()));
    };
    AckScanner scanner;
    int otherReplies = 0;
    // Only a reply line with the word "ok" or "execok" acknowledges, and no
    // error line does (ReplyLines); other lines are logged once each and
    // waited past.
    auto look = [&]() -> int {
        if (!m_port->isOpen())
            return -2;  // lost: no reply will come
        QList<QByteArray> others;
        const int pos = MySerialPort::scanResponse(scanner, &others);
        for (const QByteArray& line : others)
            if (++otherReplies <= kOtherRepliesLogged)
                log(tr("Reply is no acknowledgement: %1").arg(ReplyLines::shown(line)));
        return pos;
    };
    // However the wait ends, the count of the replies not logged is.
    struct CountOthers {
        const int& count;
        ~CountOthers()
        {
            if (count > kOtherRepliesLogged)
                log(BuildManager::tr("%1 more replies were no acknowledgement").arg(count - kOtherRepliesLogged));
        }
    } countOthers{otherReplies};
    const auto sleep = [this](int ms) { sleepMs(ms); };
    LookLoop moveLoop = m_timings.command;
    moveLoop.lookAfterLastSleep = false;
    // At least one look after the window: a last word "ok" that came at its
    // very end is judged once no further byte follows it.
    moveLoop.looks = std::max(1, int(std::min(std::ceil(moveMs * m_timings.moveScale / moveLoop.sleepMs), 1e9)));
    for (int writes = 1;; ++writes) {
        MySerialPort::clearResponse();
        scanner.reset();
        const qint64 written = m_port->write(bytes);
        int pos = written < 0 ? -2 : waitUntil(look, m_timings.command, sleep, noOk);
        // A controller answers a move once it has run: until then a missing
        // "ok" is no lost command, and a second copy would be carried out
        // after the first, its late "ok" taken for the next command's.
        if (pos == -1)
            pos = waitUntil(look, moveLoop, sleep, [&](int n) { noOk(m_timings.command.looks + 1 + n); });
        if (pos >= 0)
            return pos;
        if (pos < -1) {
            // Not written, or the port went: no command of the job may be skipped.
            if (!failIfDisconnected())
                fail(PrintEnd::Disconnected, tr("The printer was disconnected"));
            return -1;
        }
        if (!rewrite) {
            noOk(m_timings.command.looks);
            return -1;
        }
        // Waiting on while a cancel is pending would make the print impossible
        // to cancel on a printer that stopped answering.
        if (m_state.load() == Cancel) {
            log(tr("Command given up for the cancel: %1").arg(forLog(command)));
            return -1;
        }
        if (writes >= m_timings.commandWrites) {
            fail(PrintEnd::NotAcknowledged,
                 tr("The printer did not acknowledge %1 (written %2 times)").arg(forLog(command)).arg(writes));
            return -1;
        }
    }
}

bool BuildManager::failIfDisconnected()
{
    // The connection may drop a lost port on its own thread; the job's port
    // is kept alive by m_portHold, so asking it is safe.
    const bool gone = !m_port || !m_port->isOpen() || m_port->isLost();
    if (!gone)
        return false;
    fail(PrintEnd::Disconnected, tr("The printer was disconnected"));
    return true;
}

void BuildManager::PrintCancel()
{
    m_projector->m_layer = m_sliceNumber;
    m_projector->requestRepaint();
    MySerialPort::clearResponse();
    log(QStringLiteral("Print Cancell"));
    // One window each and no rewrite: the cancel always completes.
    sendCommand(QStringLiteral("M220"), false);
    sendCommand(QStringLiteral("G1 Y0"), false, m_motion.take("G1 Y0"));
    sendCommand(QStringLiteral("M220"), false);
    resetJob();
}

void BuildManager::PrintLayer(int layer, int type)
{
    Q_UNUSED(type);
    m_projector->m_layer = layer;
    m_projector->requestRepaint();
}

void BuildManager::ViewLayer(int layer, int)
{
    m_projector->m_layer = layer;
    m_projector->requestRepaint();
}

int BuildManager::getvarfromline(std::string line)
{
    const size_t close = line.find(')');
    if (close != std::string::npos)
        line[close] = ' ';
    const size_t open = line.find('>');
    std::string text = open == std::string::npos ? line : line.substr(open + 1);
    if (text.find("Blank") != std::string::npos)
        return -1;
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return 0;
    const size_t last = text.find_last_not_of(' ');
    text = text.substr(first, last - first + 1);
    return m_conversion.str2int(text);
}

bool BuildManager::portInfoSave(std::string text)
{
    if (m_portInfoFile.is_open())
        return false;
    m_portInfoFile.open("DLPportInfo.txt", std::ios::out | std::ios::trunc | std::ios::binary);
    if (!m_portInfoFile.is_open())
        return false;
    m_portInfoFile << text;
    m_portInfoFile.close();
    return true;
}

void BuildManager::handleError(QSerialPort::SerialPortError error)
{
    Q_UNUSED(error);
}

}  // namespace DLP
