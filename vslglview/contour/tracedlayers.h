#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace contour {

// How far a cut has got, for makers of layers that run beside it. Once
// begun, the slots of the cut's outlines keep their storage in place, and
// the outlines of every plane below `traced` are final.
class TracedLayers {
public:
    // The slots are laid out; `openSlot`: the last one holds open shells.
    void Begin(int layerCount, bool openSlot);
    // The planes below `planes` are final.
    void Traced(int planes);
    // No more writes: the cut is done, stopped or never begun.
    void Finish();

    // Waits for the cut to begin; false when it finished without.
    bool WaitBegun(int& layerCount, bool& openSlot) const;
    // Waits until the planes below `planes` are final or the cut finishes.
    void WaitTraced(int planes) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_begun = false, m_finished = false, m_openSlot = false;
    int m_layerCount = 0;
    std::atomic<int> m_traced{0};
};

} // namespace contour
