#pragma once
#include "mesh/workerpriority.h"

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace vcg {

// Runs fn(begin, end) over [0, count) split into contiguous ranges, one per
// hardware thread (at most 16), on the calling thread alone below `serialBelow`
// items. Every thread is joined before it returns; the workers run at
// compute priority, the calling thread keeps its own.
template <class Fn> void ParallelFor(uint32_t count, uint32_t serialBelow, Fn fn)
{
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    const unsigned n = count < serialBelow ? 1u : std::min(hw, 16u);
    if (n == 1) {
        fn(0u, count);
        return;
    }
    std::vector<std::thread> workers;
    workers.reserve(n);
    const uint32_t step = (count + n - 1) / n;
    for (unsigned t = 0; t < n; ++t) {
        const uint32_t b = std::min<uint32_t>(count, t * step), e = std::min<uint32_t>(count, b + step);
        workers.emplace_back([=] {
            LowerThisThreadPriority();
            fn(b, e);
        });
    }
    for (std::thread& w : workers)
        w.join();
}

} // namespace vcg
