#pragma once
#include "slicegeometry.h"

#include <deque>
#include <memory>

namespace contour {

struct OpenShellJoinWork;

// Outlines of the open shells in one plane: every crossed face gives one
// segment; segments whose ends are equal are chained, and the chains that do
// not close are joined nearest free ends first until all are closed.
// Works from the plane's candidate faces only, so its cost follows the
// crossings, not the size of the mesh.
class OpenShellChainer {
public:
    using Chain = std::deque<ClipperLib::IntPoint>;

    OpenShellChainer(const MyMesh& mesh, const QVector<uint>& shellOfFace, const std::vector<uint8_t>& openShell);
    ~OpenShellChainer();

    // Appends the plane's open-shell outlines to out; faces used are marked
    // in visits.
    void Run(float h, const uint32_t* candBegin, const uint32_t* candEnd, PlaneVisits& visits,
             ClipperLib::Paths& out);

    // The joining stage on its own: the two nearest free ends of all chains
    // are joined first however far apart they lie (ties: the pair of later
    // ends wins), and a chain whose two ends are paired is emitted. A grid
    // pairs the ends whose nearest is close by (nearly all in an unwelded
    // mesh); a k-d tree of the rest keeps this near n log n for n chains.
    static void JoinLooseChains(const std::vector<Chain>& loose, ClipperLib::Paths& out);

private:
    struct Segment {
        ClipperLib::IntPoint a, b;
        bool valid = false;
    };
    // A chain that did not close: its points are the head buffer's range
    // backwards, then the tail buffer's range.
    struct Span {
        uint32_t headBegin, headEnd, tailBegin, tailEnd;
    };
    struct SpanStore;
    struct DequeStore;

    static constexpr uint32_t kNoEnd = 0xFFFFFFFFu;
    // Exact-point table of the segment ends; ends of one point are listed in
    // candidate order through m_nextEnd.
    void IndexEnds(size_t count);
    // First usable end equal to p, or -1: ends of the chain's own face and of
    // visited faces are skipped.
    int64_t FindEnd(const ClipperLib::IntPoint& p, uint32_t ownPos, const uint32_t* cand,
                    const PlaneVisits& visits) const;
    const ClipperLib::IntPoint& EndPoint(uint32_t end) const
    {
        const Segment& s = m_segments[end / 2];
        return (end & 1) ? s.b : s.a;
    }

    const MyMesh& m_mesh;
    const QVector<uint>& m_shellOfFace;
    const std::vector<uint8_t>& m_openShell;
    // Working data of one plane, kept between planes for its memory.
    std::vector<Segment> m_segments;
    std::vector<uint32_t> m_table;   // open addressing: first end of a point
    std::vector<uint32_t> m_nextEnd; // per end: next end of the same point
    std::vector<ClipperLib::IntPoint> m_head, m_tail;
    std::vector<Span> m_loose;
    std::unique_ptr<OpenShellJoinWork> m_join; // the joining's buffers
};

} // namespace contour
