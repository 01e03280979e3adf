#include "contour/tracedlayers.h"

#include <limits>

namespace contour {

void TracedLayers::Begin(int layerCount, bool openSlot)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_begun || m_finished)
        return;
    m_begun = true;
    m_layerCount = layerCount;
    m_openSlot = openSlot;
    m_changed.notify_all();
}

void TracedLayers::Traced(int planes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (planes > m_traced.load(std::memory_order_relaxed))
        m_traced.store(planes, std::memory_order_release);
    m_changed.notify_all();
}

void TracedLayers::Finish()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_finished = true;
    // Nothing is written after this: every plane reads as it stands.
    m_traced.store(std::numeric_limits<int>::max(), std::memory_order_release);
    m_changed.notify_all();
}

bool TracedLayers::WaitBegun(int& layerCount, bool& openSlot) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_begun || m_finished; });
    layerCount = m_layerCount;
    openSlot = m_openSlot;
    return m_begun;
}

void TracedLayers::WaitTraced(int planes) const
{
    if (m_traced.load(std::memory_order_acquire) >= planes)
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this, planes] { return m_traced.load(std::memory_order_acquire) >= planes; });
}

} // namespace contour
