#include "MeshReadyGate.h"

void MeshReadyGate::Open()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
    }
    m_changed.notify_all();
}

bool MeshReadyGate::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

bool MeshReadyGate::Acquire()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waiting;
    m_changed.wait(lock, [this] { return m_cancelled || (m_open && !m_held); });
    --m_waiting;
    if (m_cancelled)
        return false;
    m_held = true;
    return true;
}

bool MeshReadyGate::TryAcquire()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled || !m_open || m_held)
        return false;
    m_held = true;
    return true;
}

void MeshReadyGate::Release()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_held = false;
    }
    m_changed.notify_all();
}

void MeshReadyGate::Cancel()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancelled = true;
    }
    m_changed.notify_all();
}

bool MeshReadyGate::IsCancelled() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cancelled;
}

int MeshReadyGate::Waiting() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waiting;
}
