#include "SupportThread.h"

#include "VSLModelPainter.h"

void SupportThread::stop()
{
    if (m_pPainter)
        m_pPainter->m_bStopSupport = true;
}

void SupportThread::run()
{
    if (m_pPainter)
        m_pPainter->GenSupportX();
}

// Compiled here rather than with the library's other meta-object code, so it
// is linked only together with the painter.
#include "moc_SupportThread.cpp"
