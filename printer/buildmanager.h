#pragma once

#include "dlp/gcodefile.h"
#include "dlp/typeconversion.h"
#include "jobmotion.h"
#include "printertimings.h"

#include <QMutex>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <atomic>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

class frmDLP;
class MySerialPort;

namespace DLP {

// How a job ended (signal_printEnded). Only Completed means every line ran.
enum class PrintEnd : int {
    Completed = 0,
    Cancelled = 1,
    NoPrinter = 2,         // no printer port when the job started
    Disconnected = 3,      // the port closed or vanished during the job
    NotAcknowledged = 4,   // a command found no acknowledgement
    JobUnreadable = 5,     // the job file could not be read or was empty
    ProjectorNotReady = 6, // the projector had no light tables (main window)
};

// Plays one direct print: walks the G-code job line by line, sends each
// command over the serial link and waits for its "ok", waits out the delay
// markers, switches the projector window at each slice marker and carries out
// a cancel request. StartPrint blocks the calling (print) thread for the whole
// job; SetState(false, false) from any thread asks for the cancel.
class BuildManager : public QObject
{
    Q_OBJECT

public:
    enum State : int { Start = 0, Run = 1, Delay = 2, None = 3, Idle = 4, Done = 5, Cancel = 6, Failed = 7 };

    BuildManager();
    ~BuildManager() override;

    void StartPrint(DLP::GCodeFile job);
    void SetState(bool running, bool busy);
    // A job is about to be started on this runner (the print thread's start):
    // from now until that job ends, a cancel request is kept for it, whenever
    // it comes.
    void armJob();

    // Called (print thread) at the start's steps "enter", "busy", "started"
    // and "loaded"; lets tests cancel at each of them.
    using StartProbe = std::function<void(const char* step)>;
    void setStartProbe(StartProbe probe) { m_startProbe = std::move(probe); }

    void PrintLayer(int layer, int type);
    void ViewLayer(int layer, int);

    // Sends one command and waits for "ok"; the position of "ok", or -1 when
    // the command was given up (no port, a cancel pending, or a single window
    // ran out for the cancel sequence's commands).
    int sendCmd(QString command);
    void PrintCancel();
    int getvarfromline(std::string line);
    bool portInfoSave(std::string text);

    frmDLP* projector() const { return m_projector; }
    int state() const { return m_state.load(); }
    bool isBusy() const { return m_busy.load(); }
    int sliceNumber() const { return m_sliceNumber; }
    int layerIndex() const { return m_layerIndex; }

    // A copy of the job under its lock; empty between jobs.
    DLP::GCodeFile gcodeFile() const;
    // Empties the job, but never a running one: the loop empties it at its end.
    void clearJob();

    // Set by the main window before the start; the loop reads only m_gcodePath
    // (an empty path plays the job handed to StartPrint).
    QString m_jobDir;
    QString m_jobName;
    std::string m_gcodePath;

signals:
    void signal_curLayer(int index, int type);
    // Emitted once per job, just before signal_printDone: a PrintEnd and, for
    // anything but a completed or cancelled job, why it ended.
    void signal_printEnded(int end, QString reason);
    void signal_printDone();

public slots:
    void handleError(QSerialPort::SerialPortError error);

private:
    void BuildThread();
    void processLine(const std::string& line);
    // Moves to `next` unless a cancel request is pending.
    void moveTo(int next);
    // Back to idle with the job emptied; endJob also reports the end.
    void resetJob();
    void endJob(PrintEnd end, const QString& reason = QString());
    // Records why the job cannot go on; the loop ends it at its next pass
    // (after the cancel sequence when a cancel is pending).
    void fail(PrintEnd end, const QString& reason);
    // rewrite: write the command again after each window without "ok".
    // moveMs: how long the command keeps the axes moving; a missing "ok" is
    // waited for that much longer before the command counts as unanswered.
    int sendCommand(const QString& command, bool rewrite, double moveMs = 0);
    qint64 nowMs() const;
    void sleepMs(int ms) const;
    // The job's port is closed, lost or no longer the connection's: the job
    // fails as disconnected. Returns whether it did.
    bool failIfDisconnected();

    DLP::TypeConversion m_conversion;
    int m_sliceNumber = 0;
    int m_layerIndex = 0;
    int m_lineIndex = 0;
    std::atomic<int> m_state{Idle};
    DLP::GCodeFile m_gcodeFile;  // written by the loop only while a job runs
    mutable QMutex m_jobLock;    // guards m_gcodeFile against readers elsewhere
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_armed{false};          // armJob until the job's end
    std::atomic<bool> m_cancelPending{false};  // a cancel came for this job
    StartProbe m_startProbe;
    std::ofstream m_portInfoFile;
    frmDLP* m_projector = nullptr;
    MySerialPort* m_port = nullptr;
    // Keeps the job's port alive should the connection drop it meanwhile.
    std::shared_ptr<MySerialPort> m_portHold;

    PrinterTimings m_timings;  // copied at each start
    PrintEnd m_failure = PrintEnd::Completed;  // print thread only
    QString m_failureReason;
    qint64 m_delayStartMs = 0;
    int m_delayMs = 0;
    JobMotion m_motion;  // where the job's moves have taken the axes
};

}  // namespace DLP
