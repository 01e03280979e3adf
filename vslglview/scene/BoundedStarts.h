#pragma once
#include <QVector>

#include <functional>

class QThread;

// Starts the workers of queued jobs a few at a time: a plate of many copies
// must not need a thread (and the file handle each thread's event
// dispatcher takes) per copy. GUI thread only.
class BoundedStarts {
public:
    explicit BoundedStarts(int limit) : m_limit(limit) {}

    void Enqueue(int number) { m_queue.append(number); }
    // Starts queued workers while fewer than the limit run. `thread` gives a
    // job's thread (null: the job is gone, `forget` is told); `prepare` runs
    // once that thread has left any earlier run, just before the start. A
    // thread the system refuses stays queued for when a running one ends;
    // false when it was refused while none of these runs, so nothing would
    // ever retry.
    bool StartQueued(const std::function<QThread*(int)>& thread, const std::function<void(int)>& forget,
                     const std::function<void(int)>& prepare = {});
    // A started worker's job ended.
    void Ended() { if (m_running > 0) --m_running; }
    // Empties the queue; the jobs that were waiting.
    QVector<int> TakeQueued();
    int Running() const { return m_running; }

private:
    const int m_limit;
    QVector<int> m_queue;
    int m_running = 0;
};
