#pragma once
#include <polyclipping/clipper.hpp>

#include <vector>

// Clipper rounds the points where edges cross and pulls a rounded point back
// into the band between the two sweep heights it was found in. Those heights
// are the vertex heights of everything in the union, so a union of part of
// a layer rounds its crossings as a union of the whole layer does only when
// it sweeps through the whole layer's heights where it crosses edges. This
// keeps a layer's union, done group by group, the very union of before.
namespace layers {

// The vertices Clipper keeps of a closed outline on the way in: no repeated
// point, no point on the line through its neighbours; nothing of an outline
// left with fewer than three points or no height.
ClipperLib::Path ClipperKeptPoints(const ClipperLib::Path& outline);
void ClipperKeptPoints(const ClipperLib::Path& outline, ClipperLib::Path& kept);

// The sweep heights of one whole layer: a bit per height over the layer's
// range (a sorted list when the range is absurdly tall).
class SweepHeights {
public:
    // Starts an empty set for heights lo .. hi.
    void Reset(ClipperLib::cInt lo, ClipperLib::cInt hi);
    // Every point of `outline` stays on the way in (a convex outline).
    void AddKept(const ClipperLib::Path& outline);
    // The heights of what Clipper keeps of `outline`.
    void Add(const ClipperLib::Path& outline);
    // The heights in [lo, hi], ascending, each once, appended to `out`.
    void Between(ClipperLib::cInt lo, ClipperLib::cInt hi, std::vector<ClipperLib::cInt>& out) const;
    // The highest height below lo and the lowest above hi, those there are.
    void Nearest(ClipperLib::cInt lo, ClipperLib::cInt hi, std::vector<ClipperLib::cInt>& out) const;

private:
    void Insert(ClipperLib::cInt y);
    void SortList() const;
    ClipperLib::cInt m_lo = 0, m_hi = -1;
    std::vector<uint64_t> m_bits;
    mutable std::vector<ClipperLib::cInt> m_list; // when the range is too tall for bits
    mutable bool m_sorted = true;
};

// Heights lo .. hi; `nearest`: with the layer's nearest height either side.
struct HeightBand {
    ClipperLib::cInt lo = 0, hi = 0;
    bool nearest = false;
    bool operator==(const HeightBand& o) const { return lo == o.lo && hi == o.hi && nearest == o.nearest; }
    bool operator<(const HeightBand& o) const { return lo != o.lo ? lo < o.lo : hi < o.hi; }
};
using HeightBands = std::vector<HeightBand>;

// Height bands in which edges of the outlines come within a unit or so of
// each other across: only there can the union work out (rounded) crossings.
HeightBands CrossingBands(const ClipperLib::Paths& subject, const ClipperLib::Paths& clip);
HeightBands CrossingBands(const std::vector<const ClipperLib::Path*>& outlines);
// The layer's heights within `bands` (and the nearest either side of those
// that ask for them), ascending, each once.
std::vector<ClipperLib::cInt> HeightsIn(const SweepHeights& heights, const HeightBands& bands);
// union(subject, clip) of outlines held elsewhere, sweeping also through
// `sweep` (heights, ascending). False, and `out` empty, when Clipper refuses
// the input.
bool UniteSweeping(const std::vector<const ClipperLib::Path*>& subject, ClipperLib::PolyFillType subjectFill,
                   const std::vector<const ClipperLib::Path*>& clip, ClipperLib::PolyFillType clipFill,
                   const std::vector<ClipperLib::cInt>& sweep, ClipperLib::Paths& out);

} // namespace layers
