#include "mesh/defects.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace {

struct EdgeUse {
    uint32_t lo, hi; // vertex indices, lo < hi
    uint32_t face;
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
            uses.push_back({std::min(a, b), std::max(a, b), f, a < b});
        }
    }
    std::sort(uses.begin(), uses.end(), [](const EdgeUse& x, const EdgeUse& y) {
        return x.lo != y.lo ? x.lo < y.lo : x.hi != y.hi ? x.hi < y.hi : x.face < y.face;
    });

    ParitySets windings(faces);
    ParitySets borders(verts);
    std::vector<uint8_t> onBorder(verts, 0);
    for (size_t i = 0; i < uses.size();) {
        size_t j = i + 1;
        while (j < uses.size() && uses[j].lo == uses[i].lo && uses[j].hi == uses[i].hi)
            ++j;
        const size_t n = j - i;
        if (n == 1) {
            borders.Join(uses[i].lo, uses[i].hi, 0);
            onBorder[uses[i].lo] = onBorder[uses[i].hi] = 1;
        } else if (n == 2) {
            // Neighbours agree when they run their edge opposite ways.
            windings.Join(uses[i].face, uses[i + 1].face, uses[i].forward == uses[i + 1].forward ? 1 : 0);
        } else {
            ++out.nonManifoldEdges;
        }
        i = j;
    }

    for (uint32_t v = 0; v < verts; ++v)
        if (onBorder[v] && borders.Find(v).first == v)
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
