#pragma once
#include "mesh/clean.h"
#include "mesh/mymesh.h"
#include "mesh/parallel.h"


namespace vcg::tri {

// Fills an empty mesh with triCount faces whose corners come from
// corner(i, k), vertices merged by exact position on the way (+0 and -0 are
// one position). The result is exactly what one-vertex-per-corner followed by
// RemoveDuplicateVertex(m, true) and both compactions gives: vertices in order
// of first occurrence, faces in order, degenerate faces dropped. It runs on
// all cores: corners are bucketed by position hash, each bucket is merged on
// its own, and a prefix sum in corner order numbers the vertices.
template <class CornerFn>
void BuildMergedMesh(MyMesh& m, uint32_t triCount, CornerFn corner)
{
    constexpr int kBuckets = 64;
    const uint32_t corners = triCount * 3;
    auto hashOf = [&](uint32_t c) { return HashPosition(corner(c / 3, int(c % 3))); };

    // Bucket the corners (stable: ascending corner order inside a bucket).
    const unsigned threads = std::max(1u, std::min(16u, std::thread::hardware_concurrency()));
    const uint32_t step = (corners + threads - 1) / std::max(1u, threads);
    std::vector<uint32_t> counts(size_t(threads) * kBuckets, 0);
    ParallelFor(threads, 0, [&](uint32_t tb, uint32_t te) {
        for (uint32_t t = tb; t < te; ++t)
            for (uint32_t c = t * step; c < std::min(corners, (t + 1) * step); ++c)
                ++counts[size_t(t) * kBuckets + (hashOf(c) >> 58)];
    });
    std::vector<uint32_t> bucketStart(kBuckets + 1, 0);
    {
        uint32_t offset = 0;
        for (int b = 0; b < kBuckets; ++b) {
            bucketStart[b] = offset;
            for (unsigned t = 0; t < threads; ++t) {
                const uint32_t n = counts[size_t(t) * kBuckets + b];
                counts[size_t(t) * kBuckets + b] = offset;
                offset += n;
            }
        }
        bucketStart[kBuckets] = offset;
    }
    std::vector<uint32_t> order(corners);
    ParallelFor(threads, 0, [&](uint32_t tb, uint32_t te) {
        for (uint32_t t = tb; t < te; ++t)
            for (uint32_t c = t * step; c < std::min(corners, (t + 1) * step); ++c)
                order[counts[size_t(t) * kBuckets + (hashOf(c) >> 58)]++] = c;
    });

    // In each bucket, every corner finds the first corner at its position.
    std::vector<uint32_t> first(corners);
    ParallelFor(kBuckets, 0, [&](uint32_t bb, uint32_t be) {
        std::vector<uint32_t> table;
        for (uint32_t b = bb; b < be; ++b) {
            const uint32_t n = bucketStart[b + 1] - bucketStart[b];
            size_t cap = 16;
            while (cap < size_t(n) * 2)
                cap <<= 1;
            table.assign(cap, kNone);
            const size_t mask = cap - 1;
            for (uint32_t i = bucketStart[b]; i < bucketStart[b + 1]; ++i) {
                const uint32_t c = order[i];
                const Point3f p = corner(c / 3, int(c % 3));
                size_t s = size_t(hashOf(c)) & mask;
                while (table[s] != kNone && !(corner(table[s] / 3, int(table[s] % 3)) == p))
                    s = (s + 1) & mask;
                if (table[s] == kNone)
                    table[s] = c;
                first[c] = table[s];
            }
        }
    });

    // Number the first occurrences in corner order (reusing `order`).
    const uint32_t chunks = std::max(1u, std::min<uint32_t>(64, corners / 65536 + 1));
    const uint32_t chunk = (corners + chunks - 1) / chunks;
    std::vector<uint32_t> chunkBase(chunks + 1, 0);
    ParallelFor(chunks, 0, [&](uint32_t kb, uint32_t ke) {
        for (uint32_t k = kb; k < ke; ++k) {
            uint32_t n = 0;
            for (uint32_t c = k * chunk; c < std::min(corners, (k + 1) * chunk); ++c)
                n += first[c] == c;
            chunkBase[k + 1] = n;
        }
    });
    for (uint32_t k = 0; k < chunks; ++k)
        chunkBase[k + 1] += chunkBase[k];
    m.Clear();
    m.vert.resize(chunkBase[chunks]);
    ParallelFor(chunks, 0, [&](uint32_t kb, uint32_t ke) {
        for (uint32_t k = kb; k < ke; ++k) {
            uint32_t next = chunkBase[k];
            for (uint32_t c = k * chunk; c < std::min(corners, (k + 1) * chunk); ++c)
                if (first[c] == c) {
                    order[c] = next;
                    m.vert[next++].p = corner(c / 3, int(c % 3));
                }
        }
    });

    // Faces in order; those that collapsed onto a repeated vertex are dropped.
    m.face.resize(triCount);
    ParallelFor(triCount, 65536, [&](uint32_t b, uint32_t e) {
        for (uint32_t i = b; i < e; ++i) {
            MyFace& f = m.face[i];
            for (int k = 0; k < 3; ++k)
                f.v[k] = order[first[3 * i + k]];
            if (f.v[0] == f.v[1] || f.v[1] == f.v[2] || f.v[0] == f.v[2])
                f.SetD();
        }
    });
    uint32_t live = 0;
    for (uint32_t i = 0; i < triCount; ++i)
        if (!m.face[i].IsD()) {
            if (live != i)
                m.face[live] = m.face[i];
            ++live;
        }
    m.face.resize(live);
    m.fn = static_cast<int>(live);
    m.vn = static_cast<int>(m.vert.size());
}

} // namespace vcg::tri
