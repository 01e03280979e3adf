#include "scene/BoundedStarts.h"

#include <QThread>

bool BoundedStarts::StartQueued(const std::function<QThread*(int)>& thread, const std::function<void(int)>& forget,
                                const std::function<void(int)>& prepare)
{
    while (!m_queue.isEmpty() && m_running < m_limit) {
        const int number = m_queue.front();
        QThread* worker = thread(number);
        if (!worker) {
            m_queue.removeFirst();
            forget(number);
            continue;
        }
        worker->wait(); // may still be leaving its previous run
        if (prepare)
            prepare(number);
        worker->start(QThread::HighestPriority);
        // start() reports a refused thread only through its state.
        if (!worker->isRunning() && !worker->isFinished()) {
            qWarning("A worker could not be started; %d of its kind are running", m_running);
            return m_running > 0;
        }
        m_queue.removeFirst();
        ++m_running;
    }
    return true;
}

QVector<int> BoundedStarts::TakeQueued()
{
    QVector<int> queued;
    queued.swap(m_queue);
    return queued;
}
