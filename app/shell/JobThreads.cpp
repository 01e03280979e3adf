#include "JobThreads.h"

#include "VSLGLView.h"

#include "mesh/workerpriority.h"

#include <QTimer>
#include <QtDebug>

MyThread2::MyThread2(QObject* parent)
    : QThread(parent)
{
}

bool MyThread2::generatePrintableData()
{
    m_nCommand = 5;
    return true;
}

bool MyThread2::sliceStart(QString)
{
    m_nCommand = 4;
    return true;
}

void MyThread2::openfile(VSLGLView* view, QString name)
{
    m_pView = view;
    m_strFileName = name;
    m_nStatus |= 2;
    m_nCommand = 1;
}

bool MyThread2::RepairGL()
{
    if (m_nStatus & 4)
        return false;
    m_nCommand = 2;
    return true;
}

bool MyThread2::AddSuport(int n)
{
    if (m_nStatus & 8)
        return false;
    m_nCommand = 3;
    m_nSupportArg = n;
    return true;
}

void MyThread2::StatusChanged(int)
{
    m_nStatus = 0;
    m_nCommand = 0;
}

void MyThread2::stop()
{
    m_bStop = true;
    emit signal_stsChange(m_nCommand, 1);
    m_nCommand = 0;
}

void MyThread2::convertConfigData(ST_MachinePara& para) const
{
    if (m_pConfig)
        para = DLP::machineParaFrom(*m_pConfig);
}

void MyThread2::run()
{
    // Writes print files; the print thread (MyThread1) keeps its priority.
    vcg::LowerThisThreadPriority();
    m_bStop = false;
    const int command = m_nCommand;
    emit signal_stsChange(command, 0);
    if (!m_bStop) {
        auto markRepaired = [this] {
            if (!(m_nStatus & 4)) {
                emit signal_FixDone(0, 0, 0, 0);
                m_nStatus |= 4;
            }
        };
        switch (command) {
        case 1:
            if (m_pView)
                m_pView->OpenSTLFile(m_strFileName);
            m_nStatus |= 2;
            emit signal_openFile(true, m_strFileName);
            break;
        case 2:
            emit signal_FixDone(0, 0, 0, 0);
            m_nStatus |= 4;
            break;
        case 3:
            markRepaired();
            m_nStatus |= 8;
            break;
        case 4:
            markRepaired();
            m_nStatus |= 8;
            if (m_pConfig) {
                m_fSliceThickness = m_pConfig->SliceThickness;
                m_sliceParams[0] = m_pConfig->XResolution;
                m_sliceParams[1] = m_pConfig->YResolution;
                m_sliceParams[2] = m_pConfig->DotsPermmX;
                m_sliceParams[3] = m_pConfig->DotsPermmY;
                m_sliceParams[5] = m_pConfig->PlateLayers;
            }
            m_nStatus |= 16;
            qDebug() << ">>>>>>Slice ThreadID>>>>>>>>" << QThread::currentThreadId();
            emit signal_SliceDone(int(m_sliceParams[4]));
            break;
        case 5: {
            markRepaired();
            m_nStatus |= 8;
            const QString path = m_strDirName + QStringLiteral("/") + m_strFileName + QStringLiteral(".") +
                                 (m_pView ? m_pView->GetFileType() : QString());
            ST_MachinePara para = m_pConfig ? DLP::machineParaFrom(*m_pConfig) : ST_MachinePara{};
            // Without a view nothing can be written: reported as no layers.
            m_nLastResult = 1;
            if (m_pView) {
                m_pView->generatePrintableData(para, path);
                m_nLastResult = m_pView->lastPrintableDataResult();
            }
            emit signal_PrintDataReady(path, m_nLastResult);
            m_nStatus |= 16;
            break;
        }
        default: break;
        }
    }
    m_bStop = true;
    emit signal_stsChange(command, 1);
    m_nCommand = 0;
}

MyThread1::MyThread1(QObject* parent)
    : QThread(parent)
{
}

MyThread1::~MyThread1()
{
    stopAndWait(5000);
}

void MyThread1::startJob(QThread::Priority priority)
{
    if (isRunning())
        return;
    m_runner.armJob();
    m_bStop = false;
    start(priority);
}

void MyThread1::run()
{
    runPrintJob(m_runner, m_bStop);
}

void MyThread1::stop()
{
    m_bStop = true;
    m_runner.SetState(false, false);
    repeatCancel();
}

void MyThread1::repeatCancel()
{
    // A stop between the thread's start and the loop's first state would be
    // overwritten by that state: say it again until the loop is under way.
    if (!isRunning() || m_runner.isBusy() || !m_bStop.load())
        return;
    QTimer::singleShot(10, this, [this] {
        if (isRunning() && m_bStop.load()) {
            m_runner.SetState(false, false);
            repeatCancel();
        }
    });
}

bool MyThread1::stopAndWait(unsigned long ms)
{
    if (!isRunning())
        return true;
    m_bStop = true;
    m_runner.SetState(false, false);
    const QDeadlineTimer deadline(static_cast<qint64>(ms));
    while (!deadline.hasExpired()) {
        if (wait(20))
            return true;
        // The loop may not have begun yet: repeat the cancel.
        m_runner.SetState(false, false);
    }
    if (wait(0))
        return true;
    qWarning() << "print thread did not end after its cancel; terminating it";
    terminate();
    wait();
    return false;
}
