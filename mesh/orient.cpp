#include "mesh/clean.h"
#include "mesh/topology.h"

#include <deque>

namespace vcg::tri {

void FlipFaces(MyMesh& m, const std::vector<uint8_t>& flip)
{
    const uint32_t n = m.FaceCount();
    // Links into a flipped face: its edges 0 and 2 trade places.
    static const int8_t swapped[3] = {2, 1, 0};
    for (MyFace& g : m.face)
        for (int k = 0; k < 3; ++k)
            if (g.ff[k] < n && flip[g.ff[k]] && g.ffi[k] >= 0 && g.ffi[k] <= 2)
                g.ffi[k] = swapped[g.ffi[k]];
    for (uint32_t f = 0; f < n; ++f) {
        if (!flip[f])
            continue;
        MyFace& fc = m.face[f];
        std::swap(fc.v[1], fc.v[2]);
        std::swap(fc.ff[0], fc.ff[2]);
        std::swap(fc.ffi[0], fc.ffi[2]);
        fc.n = -fc.n;
    }
    UpdateTopology<MyMesh>::VertexFace(m);
}

// Breadth-first over the face-face links: a neighbour that runs the shared
// edge in the same direction as its face must be flipped. A face reached with
// two contradicting demands makes the mesh not orientable.
void Clean<MyMesh>::OrientCoherentlyMesh(MyMesh& m, bool& isOriented, bool& isOrientable)
{
    isOriented = true;
    isOrientable = true;
    const uint32_t n = m.FaceCount();
    std::vector<uint8_t> seen(n, 0), flip(n, 0);
    std::deque<uint32_t> queue;
    for (uint32_t seed = 0; seed < n; ++seed) {
        if (seen[seed] || m.face[seed].IsD())
            continue;
        seen[seed] = 1;
        queue.push_back(seed);
        while (!queue.empty()) {
            const uint32_t f = queue.front();
            queue.pop_front();
            const MyFace& fc = m.face[f];
            for (int e = 0; e < 3; ++e) {
                const uint32_t g = fc.ff[e];
                const int ge = fc.ffi[e];
                if (g == f || g >= n || ge < 0 || ge > 2 || m.face[g].IsD())
                    continue;
                const uint32_t a = fc.v[e], b = fc.v[(e + 1) % 3];
                const MyFace& gc = m.face[g];
                const uint32_t ga = gc.v[ge], gb = gc.v[(ge + 1) % 3];
                if (!((ga == a && gb == b) || (ga == b && gb == a)))
                    continue; // broken link: not the same edge
                const uint8_t need = flip[f] ^ uint8_t(ga == a);
                if (!seen[g]) {
                    seen[g] = 1;
                    flip[g] = need;
                    queue.push_back(g);
                } else if (flip[g] != need) {
                    isOrientable = false;
                }
            }
        }
    }
    bool any = false;
    for (uint8_t x : flip)
        any = any || x;
    if (!any)
        return;
    isOriented = false;
    FlipFaces(m, flip);
}

} // namespace vcg::tri
