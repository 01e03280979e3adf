#pragma once
#include "mesh/mymesh.h"

#include <cstring>

namespace vcg::tri {

// Open-addressing table of vertex indices keyed by exact position
// (+0 and -0 are one position).
class PositionIndex {
public:
    explicit PositionIndex(size_t expected);
    // Index already stored for p, or `candidate` after storing it.
    uint32_t FindOrInsert(const std::vector<MyVertex>& vert, const Point3f& p, uint32_t candidate);

private:
    static uint64_t Hash(const Point3f& p);
    void Grow(const std::vector<MyVertex>& vert);
    std::vector<uint32_t> m_slots;
    size_t m_used = 0;
};

template <class MeshType> struct Clean;

template <> struct Clean<MyMesh> {
    // Merges vertices with identical positions into the one with the lowest
    // index (the others are marked deleted); faces are remapped and keep their
    // order. With removeDegenerate, faces left with a repeated vertex are
    // marked deleted. Returns the number of merged vertices.
    static int RemoveDuplicateVertex(MyMesh& m, bool removeDegenerate = true);
    static int RemoveDegenerateFace(MyMesh& m);
    // Makes the orientation of every connected piece agree with its first
    // face; see orient.cpp.
    static void OrientCoherentlyMesh(MyMesh& m, bool& isOriented, bool& isOrientable);
};

// Fills an empty mesh with triCount faces whose corners come from
// corner(i, k), vertices merged by exact position on the way. The result is
// what one-vertex-per-corner followed by RemoveDuplicateVertex(m, true) and
// both compactions gives, without the 3-vertices-per-face intermediate.
template <class CornerFn>
void BuildMergedMesh(MyMesh& m, uint32_t triCount, CornerFn corner)
{
    m.Clear();
    m.face.resize(triCount);
    m.vert.reserve(triCount / 2 + 16);
    PositionIndex index(triCount / 2 + 16);
    uint32_t live = 0;
    for (uint32_t i = 0; i < triCount; ++i) {
        MyFace& f = m.face[live];
        f = MyFace();
        for (int k = 0; k < 3; ++k) {
            const Point3f p = corner(i, k);
            const uint32_t next = static_cast<uint32_t>(m.vert.size());
            const uint32_t v = index.FindOrInsert(m.vert, p, next);
            if (v == next) {
                m.vert.emplace_back();
                m.vert.back().p = p;
            }
            f.v[k] = v;
        }
        if (f.v[0] != f.v[1] && f.v[1] != f.v[2] && f.v[0] != f.v[2])
            ++live;
    }
    m.face.resize(live);
    m.face.shrink_to_fit();
    m.fn = static_cast<int>(live);
    m.vn = static_cast<int>(m.vert.size());
}

} // namespace vcg::tri
