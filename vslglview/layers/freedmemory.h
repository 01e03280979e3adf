#pragma once

// glibc's own allocator only: under a sanitizer its arenas are never set up,
// and trimming them from a worker thread aborts at that thread's exit.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#if defined(__has_feature)
#if !__has_feature(address_sanitizer) && !__has_feature(thread_sanitizer) && !__has_feature(memory_sanitizer)
#define LAYERS_TRIM_FREED_MEMORY 1
#endif
#else
#define LAYERS_TRIM_FREED_MEMORY 1
#endif
#endif

#if LAYERS_TRIM_FREED_MEMORY
#include <malloc.h>
#endif

#include <chrono>
#include <mutex>

namespace layers {

// Slicing frees its cut outlines, unions and island counts in small pieces
// between the polygons it keeps, and the allocator keeps those pages: without
// handing them back, they add up to most of the layers' own size.
inline void ReturnFreedMemory()
{
#if LAYERS_TRIM_FREED_MEMORY
    malloc_trim(0);
#endif
}

// Who trims between runs of layers. A trim walks every arena under its lock,
// and the next allocations fault the pages it handed back in again: done by
// every worker after every run, it took a quarter of a large plate's slice.
// So one worker trims at a time, and not again within `gap` of the last.
class TrimTurns {
public:
    using Clock = std::chrono::steady_clock;
    explicit TrimTurns(Clock::duration gap) : m_gap(gap) {}
    // True: the caller trims now and then calls Done.
    bool Claim(Clock::time_point now);
    void Done(Clock::time_point now);

private:
    std::mutex m_mutex;
    const Clock::duration m_gap;
    bool m_trimming = false, m_trimmed = false;
    Clock::time_point m_last;
};

// Between runs of layers: ReturnFreedMemory when it is this caller's turn
// (the process's turns, two seconds apart). The slice's end trims anyway.
void ReturnFreedMemoryInTurn();

} // namespace layers
