#pragma once
#include "slicegeometry.h"

#include <deque>

namespace contour {

// Outlines of the open shells in one plane: every crossed face gives one
// segment; segments whose ends are equal are chained, and the chains that do
// not close are joined nearest free ends first until all are closed.
// Works from the plane's candidate faces only, so its cost follows the
// crossings, not the size of the mesh.
class OpenShellChainer {
public:
    using Chain = std::deque<ClipperLib::IntPoint>;

    OpenShellChainer(const MyMesh& mesh, const QVector<uint>& shellOfFace, const std::vector<uint8_t>& openShell)
        : m_mesh(mesh), m_shellOfFace(shellOfFace), m_openShell(openShell)
    {
    }

    // Appends the plane's open-shell outlines to out; faces used are marked
    // in visits.
    void Run(float h, const uint32_t* candBegin, const uint32_t* candEnd, PlaneVisits& visits,
             ClipperLib::Paths& out);

    // The joining stage on its own: nearest free ends first (ties: the pair
    // met later wins), a chain paired with itself is emitted. Chains are
    // taken in groups of at most kMaxJoinGroup so that many loose chains on a
    // damaged mesh cost bounded memory.
    static void JoinLooseChains(std::vector<Chain>& loose, ClipperLib::Paths& out);
    static constexpr size_t kMaxJoinGroup = 512;

private:
    struct Segment {
        ClipperLib::IntPoint a, b;
        bool valid = false;
    };
    struct EndRef {
        ClipperLib::cInt x, y;
        uint32_t end; // 2 * candidate position (+1 for the second point)
    };
    // First usable end equal to p, or -1: ends of the chain's own face and of
    // visited faces are skipped.
    int64_t FindEnd(const ClipperLib::IntPoint& p, uint32_t ownPos, const uint32_t* cand,
                    const PlaneVisits& visits) const;
    static void JoinGroup(std::vector<Chain>& loose, size_t first, size_t count, ClipperLib::Paths& out);

    const MyMesh& m_mesh;
    const QVector<uint>& m_shellOfFace;
    const std::vector<uint8_t>& m_openShell;
    std::vector<Segment> m_segments;
    std::vector<EndRef> m_ends; // sorted by point, then end id
};

} // namespace contour
