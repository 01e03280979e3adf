#include "mesh/topology.h"
#include "mesh/parallel.h"

#include <algorithm>
#include <mutex>
#include <thread>

namespace vcg::tri {

namespace {

// Live faces around each vertex, ascending face order (compressed rows).
// Each entry also holds the vertices after and before the row's vertex in
// that face, so matching an edge reads no face record.
struct VertexFaceTable {
    struct Entry {
        uint32_t face;
        uint32_t next; // vertex after the row's vertex in the face
        uint32_t prev; // vertex before it
        int32_t corner;
    };
    std::vector<uint32_t> offset;
    std::vector<Entry> faces;

    // A table left incomplete by `cancel` has `complete` false.
    bool complete = false;

    VertexFaceTable(const MyMesh& m, Cancel cancel)
    {
        // Faces are split into contiguous ranges; each range counts its own
        // entries per vertex, and fills its slice of every row after the
        // slices of the ranges before it, so rows stay in ascending face order.
        const uint32_t faceCount = m.FaceCount(), vertexCount = m.VertexCount();
        const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
        const uint32_t ranges = faceCount < 65536 ? 1u : std::min(hw, 8u);
        const uint32_t step = (faceCount + ranges - 1) / std::max(1u, ranges);
        // Each corner of a live face, a vertex named twice by one face once.
        auto forCorners = [&m, vertexCount, cancel](uint32_t b, uint32_t e, auto&& fn) {
            for (uint32_t fi = b; fi < e; ++fi) {
                if (cancel.At(fi - b))
                    return;
                const MyFace& f = m.face[fi];
                if (f.IsD())
                    continue;
                for (int k = 0; k < 3; ++k) {
                    const uint32_t v = f.v[k];
                    if (v < vertexCount && !(k > 0 && f.v[0] == v) && !(k > 1 && f.v[1] == v))
                        fn(fi, f, k, v);
                }
            }
        };
        std::vector<std::vector<uint32_t>> starts(ranges, std::vector<uint32_t>(vertexCount, 0));
        ParallelFor(ranges, 2, [&](uint32_t rb, uint32_t re) {
            for (uint32_t r = rb; r < re; ++r)
                forCorners(r * step, std::min(faceCount, (r + 1) * step),
                           [&](uint32_t, const MyFace&, int, uint32_t v) { ++starts[r][v]; });
        });
        if (cancel())
            return;
        offset.assign(size_t(vertexCount) + 1, 0);
        for (uint32_t v = 0; v < vertexCount; ++v) {
            uint32_t row = 0;
            for (uint32_t r = 0; r < ranges; ++r)
                row += starts[r][v];
            offset[v + 1] = offset[v] + row;
        }
        ParallelFor(vertexCount, 65536, [&](uint32_t b, uint32_t e) {
            for (uint32_t v = b; v < e; ++v) {
                uint32_t at = offset[v];
                for (uint32_t r = 0; r < ranges; ++r) {
                    const uint32_t n = starts[r][v];
                    starts[r][v] = at;
                    at += n;
                }
            }
        });
        if (!ResizeCancellable(faces, offset.back(), cancel))
            return;
        ParallelFor(ranges, 2, [&](uint32_t rb, uint32_t re) {
            for (uint32_t r = rb; r < re; ++r)
                forCorners(r * step, std::min(faceCount, (r + 1) * step),
                           [&](uint32_t fi, const MyFace& f, int k, uint32_t v) {
                               faces[starts[r][v]++] = {fi, f.v[(k + 1) % 3], f.v[(k + 2) % 3], k};
                           });
        });
        complete = !cancel();
    }
};

// Edge index, in the entry's face, of the edge joining the row's vertex and
// `other`, or -1. Same answer as scanning the face's edges in order 0, 1, 2.
int EdgeOf(const VertexFaceTable::Entry& g, uint32_t other)
{
    const int c = g.corner;
    const int viaNext = g.next == other ? c : -1;              // edge c: corner c -> c + 1
    const int viaPrev = g.prev == other ? (c + 2) % 3 : -1;    // edge c + 2: corner c + 2 -> c
    if (viaNext < 0)
        return viaPrev;
    if (viaPrev < 0)
        return viaNext;
    return std::min(viaNext, viaPrev);
}

// An edge both of whose rows are long (the same triangle repeated, many
// faces on one edge): scanning a row per face would cost the square of it,
// so such edges are matched by sorting.
struct HalfEdge {
    uint32_t lo, hi, face;
    int edge;
    bool operator<(const HalfEdge& o) const
    {
        return lo != o.lo ? lo < o.lo : hi != o.hi ? hi < o.hi : face != o.face ? face < o.face : edge < o.edge;
    }
};

struct Link {
    uint32_t face;
    int edge;
};

// Each face points to the next of the group, the last to the first.
void LinkRing(MyMesh& m, const std::vector<Link>& group)
{
    const size_t k = group.size();
    for (size_t i = 0; i < k; ++i) {
        const Link& from = group[i];
        const Link& to = group[(i + 1) % k];
        m.face[from.face].ff[from.edge] = to.face;
        m.face[from.face].ffi[from.edge] = static_cast<int8_t>(to.edge);
    }
}

void LinkRange(MyMesh& m, const VertexFaceTable& table, uint32_t begin, uint32_t end, uint32_t maxScannedRow,
               std::vector<HalfEdge>& sorted, Cancel cancel)
{
    std::vector<Link> group;
    for (uint32_t fi = begin; fi < end; ++fi) {
        if (cancel.At(fi - begin))
            return;
        MyFace& f = m.face[fi];
        if (f.IsD())
            continue;
        for (int e = 0; e < 3; ++e) {
            const uint32_t a = f.v[e], b = f.v[(e + 1) % 3];
            if (a == b || a >= m.VertexCount() || b >= m.VertexCount()) {
                f.ff[e] = fi;
                f.ffi[e] = static_cast<int8_t>(e);
                continue;
            }
            // Either end's row lists the faces of the edge in the same order;
            // the shorter one spares the scan of a fan's centre.
            const uint32_t rowA = table.offset[a + 1] - table.offset[a], rowB = table.offset[b + 1] - table.offset[b];
            if (std::min(rowA, rowB) > maxScannedRow) {
                sorted.push_back({std::min(a, b), std::max(a, b), fi, e});
                continue;
            }
            group.clear();
            const bool useB = rowB < rowA;
            const uint32_t r = useB ? b : a, other = useB ? a : b;
            for (uint32_t i = table.offset[r]; i < table.offset[r + 1]; ++i) {
                const VertexFaceTable::Entry& g = table.faces[i];
                if (g.face == kNone)
                    continue;
                const int ge = EdgeOf(g, other);
                if (ge >= 0)
                    group.push_back({g.face, ge});
            }
            // The group is in ascending face order; only its first face
            // writes it, so every edge is linked by exactly one thread.
            if (group.empty() || group.front().face != fi || group.front().edge != e)
                continue;
            LinkRing(m, group);
        }
    }
}

// The groups of the edges left to sorting, as the row scan makes them: in
// ascending face order, each face once (a face naming a vertex twice, which
// the merge removes, with its first edge on the pair).
bool LinkSorted(MyMesh& m, std::vector<HalfEdge>& sorted, Cancel cancel)
{
    std::sort(sorted.begin(), sorted.end());
    std::vector<Link> group;
    for (size_t i = 0; i < sorted.size();) {
        if (cancel())
            return false;
        size_t j = i;
        group.clear();
        for (; j < sorted.size() && sorted[j].lo == sorted[i].lo && sorted[j].hi == sorted[i].hi; ++j)
            if (group.empty() || group.back().face != sorted[j].face)
                group.push_back({sorted[j].face, sorted[j].edge});
        LinkRing(m, group);
        i = j;
    }
    return true;
}

bool FaceFaceScanningRowsUpTo(MyMesh& m, uint32_t maxScannedRow, Cancel cancel)
{
    const VertexFaceTable table(m, cancel);
    if (!table.complete)
        return false;
    for (MyFace& f : m.face)
        for (int e = 0; e < 3; ++e) {
            f.ff[e] = kNone;
            f.ffi[e] = -1;
        }
    std::mutex lock;
    std::vector<HalfEdge> sorted;
    ParallelFor(m.FaceCount(), 65536, [&](uint32_t b, uint32_t e) {
        std::vector<HalfEdge> mine;
        LinkRange(m, table, b, e, maxScannedRow, mine, cancel);
        const std::lock_guard<std::mutex> held(lock);
        sorted.insert(sorted.end(), mine.begin(), mine.end());
    });
    return !cancel() && LinkSorted(m, sorted, cancel);
}

} // namespace

bool UpdateTopology<MyMesh>::FaceFace(MyMesh& m, Cancel cancel)
{
    // Rows of a well-formed mesh hold a handful of faces.
    return FaceFaceScanningRowsUpTo(m, 64, cancel);
}

bool UpdateTopology<MyMesh>::FaceFaceForTest(MyMesh& m, uint32_t maxScannedRow)
{
    return FaceFaceScanningRowsUpTo(m, maxScannedRow, {});
}

bool UpdateTopology<MyMesh>::VertexFace(MyMesh& m, Cancel cancel)
{
    for (MyVertex& v : m.vert) {
        v.vfFace = kNone;
        v.vfCorner = -1;
    }
    for (uint32_t fi = 0; fi < m.FaceCount(); ++fi) {
        if (cancel.At(fi))
            return false;
        MyFace& f = m.face[fi];
        if (f.IsD())
            continue;
        for (int z = 0; z < 3; ++z) {
            if (f.v[z] >= m.VertexCount())
                continue;
            MyVertex& v = m.vert[f.v[z]];
            f.vf[z] = v.vfFace;
            f.vfi[z] = v.vfCorner;
            v.vfFace = fi;
            v.vfCorner = static_cast<int8_t>(z);
        }
    }
    return true;
}

} // namespace vcg::tri
