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

} // namespace vcg::tri
