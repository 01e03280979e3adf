#pragma once

#include "dlp/machineconfig.h"
#include "dlp/machinepara.h"
#include "dlp/slicebuildconfig.h"
#include "buildmanager.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <string>

class VSLGLView;

// The print-data thread: writes the print file of the current printer model
// from the sliced scene (command 5); the other commands have no caller.
class MyThread2 : public QThread
{
    Q_OBJECT
public:
    explicit MyThread2(QObject* parent = nullptr);

    bool generatePrintableData();
    bool sliceStart(QString);
    void openfile(VSLGLView* view, QString name);
    bool RepairGL();
    bool AddSuport(int n);
    bool isRepairing() const { return m_nCommand == 2 || (m_nStatus & 4); }
    bool isSupportAdding() const { return m_nCommand == 3 || (m_nStatus & 8); }
    bool isSlicing() const { return m_nCommand == 4 || m_nCommand == 5 || (m_nStatus & 16); }
    void StatusChanged(int);
    void stop();
    void convertConfigData(ST_MachinePara& para) const;
    void deleteModel() {}

    int m_nCommand = 0;
    int m_nSupportArg = 0;
    bool m_bStop = false;
    VSLGLView* m_pView = nullptr;
    DLP::SliceBuildConfig* m_pConfig = nullptr;
    DLP::MachineConfig m_machineConfig;
    float m_fSliceThickness = 0;
    QString m_strDirName;
    QString m_strFileName;
    std::string m_strPath;
    double m_sliceParams[6] = {0, 0, 0, 0, 0, 0};
    quint16 m_nStatus = 0;
    // The writer's result of the last command 5 (0: every file written).
    int m_nLastResult = 0;

signals:
    void signal_SliceDone(int layers);
    void signal_openFile(bool sts, QString fileName);
    // result: the writer's PrintFileResult, 0 when the file was written.
    void signal_PrintDataReady(QString fineName, int result);
    void signal_FixDone(int result, int holes, int manifold, int normal);
    void signal_AddSupportDone();
    void signal_stsChange(int ch, int type);

protected:
    void run() override;
};

// One direct print on the print thread: hands a copy of the runner's job to
// its StartPrint, which returns when the job ends or is cancelled, then resets
// the runner. Works with any runner offering gcodeFile, StartPrint, SetState,
// signal_printEnded and signal_printDone (tests use a fake).
template <class Runner>
void runPrintJob(Runner& runner, std::atomic<bool>& stopFlag)
{
    // A stop that came before the loop began would be overwritten by the
    // loop's own start state: the job is not started at all, and its end is
    // reported as a cancelled job's would be.
    if (stopFlag.load()) {
        emit runner.signal_printEnded(int(DLP::PrintEnd::Cancelled), QString());
        emit runner.signal_printDone();
    }
    else
        runner.StartPrint(runner.gcodeFile());
    stopFlag = true;
    runner.SetState(false, false);
}

// The print thread: one direct projector print through its print runner.
class MyThread1 : public QThread
{
    Q_OBJECT
public:
    explicit MyThread1(QObject* parent = nullptr);
    ~MyThread1() override;

    // Clears the stop flag and starts the thread; the flag is cleared here,
    // not in run, so that a stop right after the start is not lost.
    void startJob(QThread::Priority priority = QThread::HighPriority);
    // The normal cancel: the loop runs its cancel sequence and returns.
    void stop();
    // For shutdown: stop, wait up to `ms`, and terminate only if the loop has
    // not returned by then. Returns whether it ended on its own.
    bool stopAndWait(unsigned long ms);

    std::atomic<bool> m_bStop{false};
    DLP::BuildManager m_runner;

protected:
    void run() override;

private:
    void repeatCancel();
};
