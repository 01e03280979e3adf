#include "SupportThread.h"

#include "VSLModelPainter.h"
#include "mesh/workerpriority.h"

void SupportThread::stop()
{
    if (m_pPainter)
        m_pPainter->m_bStopSupport = true;
}

bool SupportThread::CheckStopped()
{
    if (!m_pPainter || !m_pPainter->m_bStopSupport)
        return false;
    // Only a run of its own is lowered here, and only once; a scene job's
    // instance goes down on the GUI thread when the job ends.
    m_pPainter->LowerLiftOfRun();
    return true;
}

void SupportThread::run()
{
    vcg::LowerThisThreadPriority();
    if (m_pPainter)
        m_pPainter->GenSupportX();
}

// Compiled here rather than with the library's other meta-object code, so it
// is linked only together with the painter.
#include "moc_SupportThread.cpp"
