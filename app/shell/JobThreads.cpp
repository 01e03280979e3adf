#include "JobThreads.h"

#include "VSLGLView.h"

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
    if (!m_pConfig)
        return;
    const DLP::SliceBuildConfig& c = *m_pConfig;
    para.DotsPermmX = c.DotsPermmX;
    para.DotsPermmY = c.DotsPermmY;
    para.XResolution = float(c.XResolution);
    para.YResolution = float(c.YResolution);
    para.SliceThickness = c.SliceThickness;
    para.ExposureTimePerLayer = float(c.ExposureTimePerLayer);
    para.BottomExposureTime = float(c.BottomExposureTime);
    para.ZLiftBottomLayer = float(c.ZLiftBottomLayer);
    para.BottomMaterialStable = float(c.BottomMaterialStable);
    para.MaterialStable = float(c.MaterialStable);
    para.HighofBottomLayer = c.HighofBottomLayer;
    para.HighofMiddleLayer = c.HighofMiddleLayer;
    para.ZLiftDistance = c.ZLiftDistance;
    para.ZLiftDistance2 = c.ZLiftDistance2;
    para.ZLiftSpeed = c.ZLiftSpeed;
    para.ZRetractSpeed = c.ZRetractSpeed;
    para.ZLiftBottomSpeed = c.ZLiftBottomSpeed;
    para.ZLiftFirstBottomSpeed = c.ZLiftFirstBottomSpeed;
    para.TiltDistance1 = c.TiltDistance1;
    para.TiltSpeed1 = c.TiltSpeed1;
    para.TiltDistance2 = c.TiltDistance2;
    para.TiltSpeed2 = c.TiltSpeed2;
    para.TiltRetractSpeed = c.TiltRetractSpeed;
    para.TiltNearDistance = c.TiltNearDistance;
    para.TiltNearDistance2 = c.TiltNearDistance2;
    para.TiltNearSpeed = c.TiltNearSpeed;
    para.RotateDistance = c.RotateDistance;
    para.RotateSpeed = c.RotateSpeed;
    para.Dp = c.Dp;
    para.MaterialID = float(c.MaterialID);
    para.MachineHeight = c.MachineHeight;
    para.BlankTime = float(c.BlankTime);
    para.XOffset = 0;
    para.YOffset = 0;
}

void MyThread2::run()
{
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
            ST_MachinePara para{};
            convertConfigData(para);
            m_bLastWriteOk = m_pView && m_pView->generatePrintableData(para, path);
            emit signal_PrintDataReady(path);
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
