#pragma once
#include <QSet>
#include <QVector>

#include <atomic>

// Which instances (by painter number) have a support or a slice job that has
// been started and whose done signal has not yet arrived. A job is pending
// from its start until its done slot ran, which covers the moment between the
// worker's last line and the queued delivery of its signal.
// Touched on the GUI thread; the counts are atomics so other threads may read them.
class SceneJobs {
public:
    bool HasSupportJob(int number) const { return m_support.contains(number); }
    bool HasSliceJob(int number) const { return m_slice.contains(number); }
    bool IsBusy(int number) const { return HasSupportJob(number) || HasSliceJob(number); }
    bool AnyJob() const { return !m_support.isEmpty() || !m_slice.isEmpty(); }

    // False, and nothing recorded, while a job of that instance is pending.
    bool BeginSupport(int number);
    // All or nothing: false while any job is pending.
    bool BeginSlice(QVector<int> const& numbers);
    // Forget a job whose worker could not be started.
    void CancelSupport(int number);
    void CancelSlice(int number);

    // True when a pending job of that instance was counted down; false for a
    // stray or repeated signal, which must not disturb the count.
    bool EndSupport(int number);
    bool EndSlice(int number);

    int supportJobs() const { return m_nSupportJobs.load(); }
    int sliceJobs() const { return m_nSliceJobs.load(); }

private:
    QSet<int> m_support;
    QSet<int> m_slice;
    std::atomic<int> m_nSupportJobs{0};
    std::atomic<int> m_nSliceJobs{0};
};
