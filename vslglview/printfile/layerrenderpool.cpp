#include "printfile/layerrenderpool.h"

#include "printfile/renderthread.h"

#include <QDebug>
#include <QMutexLocker>

#include <memory>
#include <vector>

int LayerRenderPool::defaultWorkerCount(int layerCount)
{
    const int half = QThread::idealThreadCount() / 2;
    return qMin(qMax(half, 1), qMax(layerCount, 0));
}

LayerRenderPool::LayerRenderPool(bool swapXY, int bitsPerPixel, int width, int height, int workerCount)
    : m_swapXY(swapXY), m_bits(bitsPerPixel), m_width(width), m_height(height), m_workerCount(workerCount)
{
}

bool LayerRenderPool::run(const SliceLayers& layers,
                          const std::function<bool(int, const QVector<unsigned char>&)>& sink)
{
    const int layerCount = layers.size();
    const int n = qMin(qMax(m_workerCount, 1), layerCount);
    if (n == 0)
        return true;

    std::vector<std::unique_ptr<RenderThread>> workers;
    for (int k = 0; k < n; ++k) {
        workers.emplace_back(new RenderThread(m_swapXY, m_bits, m_width, m_height));
        if (!workers.back()->isValid())
            return false; // nothing started yet; the destructors free the frames
    }
    for (int k = 0; k < n; ++k) {
        workers[k]->setLayer(&layers[k]);
        workers[k]->start(QThread::HighestPriority);
    }

    bool ok = true;
    for (int i = 0; i < layerCount && ok; ++i) {
        RenderThread& worker = *workers[i % n];
        // Joining first means a worker that has not yet been scheduled is
        // awaited, not raced: the layer is rendered exactly once.
        worker.wait();
        {
            QMutexLocker lock(&worker.mutex());
            if (worker.output().isEmpty()) {
                qDebug() << "Warning: fails to render Layer" << i;
                worker.setLayer(&layers[i]);
                lock.unlock();
                worker.runRender();
                lock.relock();
            }
            ok = !worker.output().isEmpty() && sink(i, worker.output());
            worker.output().clear();
            if (ok && i + n < layerCount)
                worker.setLayer(&layers[i + n]);
        }
        if (ok && i + n < layerCount)
            worker.start(QThread::HighestPriority);
    }
    for (auto& worker : workers)
        worker->wait();
    return ok;
}
