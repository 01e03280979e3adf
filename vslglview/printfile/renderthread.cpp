#include "printfile/renderthread.h"

#include "printfile/layerrender.h"
#include "printfile/runlength.h"

#include "mesh/workerpriority.h"

#include <QImage>
#include <QMutexLocker>
#include <QPainter>

RenderThread::RenderThread(bool swapXY, int bits, int width, int height)
    : m_swapXY(swapXY)
    , m_bits(bits)
    , m_imageWidth(swapXY ? height : width)
    , m_imageHeight(swapXY ? width : height)
    , m_image(new QImage(m_imageWidth, m_imageHeight, QImage::Format_Grayscale8))
    , m_painter(nullptr)
    , m_litBox(0, 0, m_imageWidth, m_imageHeight) // not yet cleared: the first layer blacks it out on its thread
{
    if (!m_image->isNull()) {
        m_painter = new QPainter(m_image);
        m_painter->setRenderHint(QPainter::Antialiasing, true);
        m_painter->setPen(Qt::NoPen);
    }
}

RenderThread::~RenderThread()
{
    wait();
    delete m_painter;
    delete m_image;
}

bool RenderThread::isValid() const
{
    return m_painter != nullptr && m_painter->isActive();
}

void RenderThread::runRender()
{
    render();
}

void RenderThread::run()
{
    vcg::LowerThisThreadPriority();
    render();
}

void RenderThread::render()
{
    QMutexLocker lock(&m_mutex);
    m_output.clear();
    if (!isValid())
        return;

    static const QVector<SlicePolygon> noPolygons;
    m_litBox = RenderLayer(*m_painter, m_layer != nullptr ? *m_layer : noPolygons, m_swapXY, m_imageWidth,
                           m_imageHeight, m_litBox);
    EncodeRunLength(*m_image, m_bits, m_output, m_litBox);
}
