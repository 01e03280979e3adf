#pragma once
#include "mesh/cancel.h"
#include "mesh/mymesh.h"

#include <cstring>
#include <functional>

namespace vcg::tri {

// Hash of an exact position; +0 and -0 hash alike since they compare equal.
inline uint64_t HashPosition(const Point3f& p)
{
    uint64_t h = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 3; ++i) {
        const float c = p[i] == 0.f ? 0.f : p[i];
        uint32_t bits;
        std::memcpy(&bits, &c, 4);
        h = (h ^ bits) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 29;
    }
    return h;
}

// Open-addressing table of vertex indices keyed by exact position
// (+0 and -0 are one position).
class PositionIndex {
public:
    explicit PositionIndex(size_t expected);
    // Index already stored for p, or `candidate` after storing it.
    uint32_t FindOrInsert(const std::vector<MyVertex>& vert, const Point3f& p, uint32_t candidate);

private:
    void Grow(const std::vector<MyVertex>& vert);
    std::vector<uint32_t> m_slots;
    size_t m_used = 0;
};

// Turns the faces marked in `flip` (one entry per face) over, keeping the
// face-face links right, and rebuilds the vertex-face rings.
void FlipFaces(MyMesh& m, const std::vector<uint8_t>& flip);

template <class MeshType> struct Clean;

template <> struct Clean<MyMesh> {
    // Merges vertices with identical positions into the one with the lowest
    // index (the others are marked deleted); faces are remapped and keep their
    // order. With removeDegenerate, faces left with a repeated vertex are
    // marked deleted. Returns the number of merged vertices, or -1 when
    // `cancel` stopped it, the mesh untouched.
    static int RemoveDuplicateVertex(MyMesh& m, bool removeDegenerate = true, Cancel cancel = {});
    static int RemoveDegenerateFace(MyMesh& m);
    // Makes the orientation of every connected piece agree with its first
    // face; see orient.cpp.
    static void OrientCoherentlyMesh(MyMesh& m, bool& isOriented, bool& isOrientable);
    // Turns each closed, coherently oriented shell that faces inward to face
    // out, unless it lies inside another shell (a cavity); needs the
    // face-face links. Returns the number of shells turned, or -1 when
    // `cancel` stopped it (the mesh then as it was); see shellorient.cpp.
    // `leftAsWritten`, when given, gets the number of inward shells left
    // unjudged once the ray-test budget ran out.
    static int OrientClosedShellsOutward(MyMesh& m, int* leftAsWritten = nullptr, Cancel cancel = {});
    // The same pass; with `everyPair` it tries every shell as the holder
    // of every other and casts each ray at every face of the holder, the
    // slow way the indexed one must agree with. `boxesCompared` gets the
    // number of shell boxes looked at to find the possible holders;
    // `afterEachShell`, when set, is called with the number of inward
    // shells dealt with so far each time one more is.
    static int OrientClosedShellsOutwardForTest(MyMesh& m, bool everyPair, int* leftAsWritten = nullptr,
                                                long long* boxesCompared = nullptr, Cancel cancel = {},
                                                const std::function<void(int done)>& afterEachShell = {});
};

} // namespace vcg::tri
