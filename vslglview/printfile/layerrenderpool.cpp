#include "printfile/layerrenderpool.h"

#include "printfile/renderthread.h"

#include <QDebug>
#include <QMutexLocker>

#include "mesh/workerpriority.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

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
    // One thread a worker for the whole file, handed layer after layer: a
    // thread started for each layer cost more than drawing a small one.
    struct Slot {
        std::mutex mutex;
        std::condition_variable changed;
        const QVector<SlicePolygon>* layer = nullptr;
        bool busy = false, quit = false;
    };
    std::vector<Slot> handoffs(static_cast<size_t>(n));
    auto hand = [&handoffs](int k, const QVector<SlicePolygon>* layer) {
        Slot& slot = handoffs[size_t(k)];
        std::lock_guard<std::mutex> lock(slot.mutex);
        slot.layer = layer;
        slot.busy = true;
        slot.changed.notify_all();
    };
    auto awaitDone = [&handoffs](int k) {
        Slot& slot = handoffs[size_t(k)];
        std::unique_lock<std::mutex> lock(slot.mutex);
        slot.changed.wait(lock, [&slot] { return !slot.busy; });
    };
    std::vector<std::thread> threads(static_cast<size_t>(n)); // not joinable: not started
    // Every thread started is told to end and joined, on every way out.
    struct Joiner {
        std::vector<Slot>& handoffs;
        std::vector<std::thread>& threads;
        ~Joiner()
        {
            for (Slot& slot : handoffs) {
                std::lock_guard<std::mutex> lock(slot.mutex);
                slot.quit = true;
                slot.changed.notify_all();
            }
            for (std::thread& t : threads)
                if (t.joinable())
                    t.join();
        }
    } joiner{handoffs, threads};
    for (int k = 0; k < n; ++k) {
        RenderThread* worker = workers[size_t(k)].get();
        Slot* slot = &handoffs[size_t(k)];
        try {
            threads[size_t(k)] = std::thread([worker, slot] {
                vcg::LowerThisThreadPriority();
                std::unique_lock<std::mutex> lock(slot->mutex);
                for (;;) {
                    slot->changed.wait(lock, [slot] { return slot->busy || slot->quit; });
                    if (slot->quit)
                        return;
                    worker->setLayer(slot->layer);
                    lock.unlock();
                    worker->runRender();
                    lock.lock();
                    slot->busy = false;
                    slot->changed.notify_all();
                }
            });
        } catch (const std::system_error&) {
            continue; // its layers are drawn on this thread, each at its turn
        }
        hand(k, &layers[toRender[size_t(k)]]);
    }

    bool ok = true;
    QVector<unsigned char> lastCode; // of the layer below, kept only while the next repeats it
    int job = 0;
    for (int i = 0; i < layerCount && ok; ++i) {
        if (repeatsBelow[i]) {
            ok = sink(i, lastCode);
            continue;
        }
        const int k = job % n;
        RenderThread& worker = *workers[size_t(k)];
        const bool started = threads[size_t(k)].joinable();
        if (started) {
            awaitDone(k);
        } else {
            worker.setLayer(&layers[i]);
            worker.runRender();
        }
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
        }
        if (ok && started && job + n < jobCount)
            hand(k, &layers[toRender[size_t(job + n)]]);
        ++job;
    }
    return ok;
}
