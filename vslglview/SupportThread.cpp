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
    // Lowering an instance that is not raised would sink it into the plate.
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
