#pragma once
// The open-shell joining rule the slow way, to check the fast one against.
#include "contour/openshell.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace contour {

// The joining rule the slow way: all end pairs, nearest first, later-listed on ties.
inline ClipperLib::Paths JoinByAllPairs(std::vector<OpenShellChainer::Chain> chains)
{
    struct Pair {
        unsigned __int128 dist;
        uint32_t seq, a, b;
    };
    const uint32_t n = uint32_t(chains.size());
    auto at = [&](uint32_t id) { return (id & 1) ? chains[id / 2].back() : chains[id / 2].front(); };
    std::vector<Pair> pairs;
    for (uint32_t a = 0; a < 2 * n; ++a)
        for (uint32_t b = a + 1; b < 2 * n; ++b) {
            const __int128 dx = __int128(at(a).X) - at(b).X, dy = __int128(at(a).Y) - at(b).Y;
            pairs.push_back({(unsigned __int128)(dx * dx + dy * dy), uint32_t(pairs.size()), a, b});
        }
    std::sort(pairs.begin(), pairs.end(), [](const Pair& x, const Pair& y) {
        return x.dist != y.dist ? x.dist < y.dist : x.seq > y.seq;
    });
    constexpr uint32_t kGone = ~0u;
    std::vector<uint32_t> slotOf(2 * n), endAt(2 * n); // free end <-> chain side
    for (uint32_t id = 0; id < 2 * n; ++id)
        slotOf[id] = endAt[id] = id;
    ClipperLib::Paths out;
    for (const Pair& p : pairs) {
        if (slotOf[p.a] == kGone || slotOf[p.b] == kGone)
            continue;
        const uint32_t sa = slotOf[p.a], sb = slotOf[p.b], i = sa / 2, j = sb / 2;
        slotOf[p.a] = slotOf[p.b] = kGone;
        if (i == j) {
            out.push_back(ClipperLib::Path(chains[i].begin(), chains[i].end()));
            continue;
        }
        for (auto& cj = chains[j]; !cj.empty();) {
            const ClipperLib::IntPoint q = (sb & 1) ? cj.back() : cj.front();
            (sb & 1) ? cj.pop_back() : cj.pop_front();
            (sa & 1) ? chains[i].push_back(q) : chains[i].push_front(q);
        }
        const uint32_t far = endAt[sb ^ 1];
        slotOf[far] = sa;
        endAt[sa] = far;
    }
    return out;
}

} // namespace contour
