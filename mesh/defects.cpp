#include "mesh/defects.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace {

struct EdgeUse {
    uint32_t lo, hi; // vertex indices, lo < hi
    uint32_t face;
    uint8_t edge;    // k: the face's edge from corner k to corner k + 1
    bool forward;    // the face runs it from lo to hi
};

// Union-find with the parity of each element against its root.
class ParitySets {
public:
    explicit ParitySets(size_t n) : m_parent(n), m_parity(n, 0) { std::iota(m_parent.begin(), m_parent.end(), 0u); }

    std::pair<uint32_t, uint8_t> Find(uint32_t x)
    {
        uint8_t parity = 0;
        uint32_t root = x;
        while (m_parent[root] != root) {
            parity ^= m_parity[root];
            root = m_parent[root];
        }
        // Path compression, keeping each element's parity to the root.
        uint8_t toRoot = parity;
        while (m_parent[x] != root) {
            const uint32_t next = m_parent[x];
            const uint8_t p = m_parity[x];
            m_parent[x] = root;
            m_parity[x] = toRoot;
            toRoot ^= p;
            x = next;
        }
        return {root, parity};
    }

    // Joins a and b with `differ` telling whether their parities differ;
    // false when they were joined already with the other parity.
    bool Join(uint32_t a, uint32_t b, uint8_t differ)
    {
        const auto ra = Find(a), rb = Find(b);
        if (ra.first == rb.first)
            return (ra.second ^ rb.second) == differ;
        m_parent[rb.first] = ra.first;
        m_parity[rb.first] = ra.second ^ rb.second ^ differ;
        return true;
    }

private:
    std::vector<uint32_t> m_parent;
    std::vector<uint8_t> m_parity;
};

uint32_t UseIndex(const EdgeUse& u) { return u.face * 3 + u.edge; }

} // namespace

MeshDefectCounts CountMeshDefects(const MyMesh& m)
{
    MeshDefectCounts out;
    std::vector<EdgeUse> uses;
    uses.reserve(size_t(m.fn > 0 ? m.fn : 0) * 3);
    const uint32_t faces = m.FaceCount();
    const uint32_t verts = m.VertexCount();
    for (uint32_t f = 0; f < faces; ++f) {
        const MyFace& face = m.face[f];
        if (face.IsD())
            continue;
        if (face.v[0] >= verts || face.v[1] >= verts || face.v[2] >= verts)
            continue;
        if (face.v[0] == face.v[1] || face.v[1] == face.v[2] || face.v[2] == face.v[0])
            continue;
        for (int k = 0; k < 3; ++k) {
            const uint32_t a = face.v[k], b = face.v[(k + 1) % 3];
            uses.push_back({std::min(a, b), std::max(a, b), f, uint8_t(k), a < b});
        }
    }
    std::sort(uses.begin(), uses.end(), [](const EdgeUse& x, const EdgeUse& y) {
        return x.lo != y.lo ? x.lo < y.lo : x.hi != y.hi ? x.hi < y.hi : x.face < y.face;
    });

    // Per face edge (face * 3 + k): the other use of an edge of two faces,
    // the open-edge number of an edge of one face (marked in `open`), or
    // kThreeOrMore.
    constexpr uint32_t kThreeOrMore = 0xFFFFFFFFu;
    std::vector<uint32_t> across(size_t(faces) * 3, kThreeOrMore);
    std::vector<bool> open(size_t(faces) * 3, false);
    std::vector<uint32_t> openEdges; // face * 3 + k of each edge of one face
    ParitySets windings(faces);
    for (size_t i = 0; i < uses.size();) {
        size_t j = i + 1;
        while (j < uses.size() && uses[j].lo == uses[i].lo && uses[j].hi == uses[i].hi)
            ++j;
        const size_t n = j - i;
        if (n == 1) {
            across[UseIndex(uses[i])] = uint32_t(openEdges.size());
            open[UseIndex(uses[i])] = true;
            openEdges.push_back(UseIndex(uses[i]));
        } else if (n == 2) {
            across[UseIndex(uses[i])] = UseIndex(uses[i + 1]);
            across[UseIndex(uses[i + 1])] = UseIndex(uses[i]);
            // Neighbours agree when they run their edge opposite ways.
            windings.Join(uses[i].face, uses[i + 1].face, uses[i].forward == uses[i + 1].forward ? 1 : 0);
        } else {
            ++out.nonManifoldEdges;
        }
        i = j;
    }

    // Loops of open edges are followed edge by edge, not vertex by vertex:
    // at a corner where several loops meet, an open edge continues with the
    // open edge that closes the same fan of faces round that corner. The
    // fans round a vertex are chains (each face corner has at most two
    // neighbours across edges of two faces), so a walk from one open end
    // meets the other one, or an edge of three faces where the loop stops.
    ParitySets loops(uint32_t(openEdges.size()));
    for (uint32_t e = 0; e < openEdges.size(); ++e) {
        const uint32_t start = openEdges[e];
        const MyFace& first = m.face[start / 3];
        for (int end = 0; end < 2; ++end) {
            const uint32_t v = first.v[(start % 3 + end) % 3];
            uint32_t at = start;
            // Bounded all the same: a fan cannot hold more corners than faces.
            for (uint32_t step = 0; step <= faces; ++step) {
                const MyFace& f = m.face[at / 3];
                const int k = int(at % 3);
                // The face's other edge at v.
                const int other = f.v[k] == v ? (k + 2) % 3 : (k + 1) % 3;
                const uint32_t edge = at - k + other;
                const uint32_t next = across[edge];
                if (open[edge]) {
                    loops.Join(e, next, 0);
                    break;
                }
                if (next == kThreeOrMore)
                    break;
                at = next;
            }
        }
    }
    for (uint32_t e = 0; e < openEdges.size(); ++e)
        if (loops.Find(e).first == e)
            ++out.holes;

    // Per piece, how many faces wind each way against its root.
    std::vector<uint32_t> same(faces, 0), other(faces, 0);
    std::vector<uint8_t> live(faces, 0);
    for (const EdgeUse& u : uses)
        live[u.face] = 1;
    for (uint32_t f = 0; f < faces; ++f) {
        if (!live[f])
            continue;
        const auto r = windings.Find(f);
        (r.second ? other : same)[r.first] += 1;
    }
    for (uint32_t f = 0; f < faces; ++f)
        out.invertedFaces += int(std::min(same[f], other[f]));
    return out;
}
