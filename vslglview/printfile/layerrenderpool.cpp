#include "printfile/layerrenderpool.h"

#include "printfile/renderthread.h"

#include <QDebug>
#include <QMutexLocker>

#include <memory>
#include <vector>

int LayerRenderPool::defaultWorkerCount(int layerCount)
{
    // Every core but one: the writing thread streams codes to the file and
    // the window's thread must stay free to answer.
    const int allButOne = QThread::idealThreadCount() - 1;
    return qMin(qMax(allButOne, 1), qMax(layerCount, 0));
}

LayerRenderPool::LayerRenderPool(bool swapXY, int bitsPerPixel, int width, int height, int workerCount)
    : m_swapXY(swapXY), m_bits(bitsPerPixel), m_width(width), m_height(height), m_workerCount(workerCount)
{
}

bool LayerRenderPool::sameOutlines(const QVector<SlicePolygon>& a, const QVector<SlicePolygon>& b)
{
    if (a.size() != b.size())
        return false;
    if (a.constData() == b.constData())
        return true;
    for (int k = 0; k < a.size(); ++k)
        if (!BitEqual(a[k], b[k]))
            return false;
    return true;
}

bool LayerRenderPool::run(const SliceLayers& layers,
                          const std::function<bool(int, const QVector<unsigned char>&)>& sink)
{
    const int layerCount = layers.size();
    // A layer that repeats the one below it (support shafts, straight walls)
    // draws the same pixels: it takes that layer's code and is not rendered.
    std::vector<bool> repeatsBelow(size_t(qMax(layerCount, 0)), false);
    std::vector<int> toRender;
    for (int i = 0; i < layerCount; ++i) {
        repeatsBelow[i] = i > 0 && sameOutlines(layers[i], layers[i - 1]);
        if (!repeatsBelow[i])
            toRender.push_back(i);
    }
    const int jobCount = int(toRender.size());
    const int n = qMin(qMax(m_workerCount, 1), jobCount);
    if (n == 0)
        return true;

    std::vector<std::unique_ptr<RenderThread>> workers;
    for (int k = 0; k < n; ++k) {
        workers.emplace_back(new RenderThread(m_swapXY, m_bits, m_width, m_height));
        if (!workers.back()->isValid())
            return false; // nothing started yet; the destructors free the frames
    }
    for (int k = 0; k < n; ++k) {
        workers[k]->setLayer(&layers[toRender[k]]);
        workers[k]->start(QThread::HighestPriority);
    }

    bool ok = true;
    QVector<unsigned char> lastCode; // of the layer below, kept only while the next repeats it
    int job = 0;
    for (int i = 0; i < layerCount && ok; ++i) {
        if (repeatsBelow[i]) {
            ok = sink(i, lastCode);
            continue;
        }
        RenderThread& worker = *workers[job % n];
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
            if (ok && i + 1 < layerCount && repeatsBelow[i + 1])
                lastCode.swap(worker.output()); // the worker goes on with the old buffer
            worker.output().clear();
            if (ok && job + n < jobCount)
                worker.setLayer(&layers[toRender[job + n]]);
        }
        if (ok && job + n < jobCount)
            worker.start(QThread::HighestPriority);
        ++job;
    }
    for (auto& worker : workers)
        worker->wait();
    return ok;
}
