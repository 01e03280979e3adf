#pragma once
#include "mesh/mymesh.h"

namespace vcg::face {

// A position on the mesh: face f, its edge z and one end v of that edge.
// Used to walk around vertices and along border loops.
struct Pos {
    uint32_t f = kNone;
    int z = -1;
    uint32_t v = kNone;

    Pos() = default;
    Pos(uint32_t face, int edge, uint32_t vertex) : f(face), z(edge), v(vertex) {}

    bool operator==(const Pos& o) const { return f == o.f && z == o.z && v == o.v; }
    bool operator!=(const Pos& o) const { return !(*this == o); }

    bool IsNull() const { return f == kNone || z < 0 || z > 2; }
    bool IsBorder(const MyMesh& m) const { return m.face[f].ff[z] == f; }

    // The other end of the current edge.
    void FlipV(const MyMesh& m)
    {
        const MyFace& fc = m.face[f];
        v = fc.v[z] == v ? fc.v[(z + 1) % 3] : fc.v[z];
    }
    // The other edge of the current face that holds v.
    void FlipE(const MyMesh& m)
    {
        const MyFace& fc = m.face[f];
        z = fc.v[(z + 1) % 3] == v ? (z + 1) % 3 : (z + 2) % 3;
    }
    // Across the current edge. False (and no move) when the link is missing
    // or broken.
    bool FlipF(const MyMesh& m)
    {
        const MyFace& fc = m.face[f];
        const uint32_t nf = fc.ff[z];
        const int nz = fc.ffi[z];
        if (nf >= m.FaceCount() || nz < 0 || nz > 2 || m.face[nf].IsD())
            return false;
        f = nf;
        z = nz;
        return true;
    }
    // Next border edge of the loop: turns around v until a border edge is
    // met, then steps to its far end. Gives up (false) after maxSteps turns,
    // which ends walks on damaged or non-manifold vertices.
    bool NextB(const MyMesh& m, uint64_t maxSteps)
    {
        uint64_t steps = 0;
        do {
            FlipE(m);
            if (!FlipF(m))
                return false;
            const MyFace& fc = m.face[f];
            if (fc.v[z] != v && fc.v[(z + 1) % 3] != v)
                return false; // the link does not share v: broken adjacency
            if (++steps > maxSteps)
                return false;
        } while (!IsBorder(m));
        FlipV(m);
        return true;
    }
};

} // namespace vcg::face
