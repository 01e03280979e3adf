#include "layers/freedmemory.h"

namespace layers {

bool TrimTurns::Claim(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_trimming || (m_trimmed && now - m_last < m_gap))
        return false;
    m_trimming = true;
    return true;
}

void TrimTurns::Done(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trimming = false;
    m_trimmed = true;
    m_last = now;
}

void ReturnFreedMemoryInTurn()
{
    static TrimTurns turns(std::chrono::seconds(2));
    if (!turns.Claim(TrimTurns::Clock::now()))
        return;
    ReturnFreedMemory();
    turns.Done(TrimTurns::Clock::now());
}

} // namespace layers
