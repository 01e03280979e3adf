#include "layers/sweepheights.h"

#include "layers/outlinebox.h"
#include "layers/threadclipper.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>

namespace layers {

using ClipperLib::cInt;
using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;

namespace {

// No point repeats its neighbour and none lies in line with both
// neighbours: Clipper keeps every point, in order.
bool KeepsEveryPoint(const Path& outline)
{
    const size_t n = outline.size();
    if (n < 3)
        return false;
    for (size_t i = 0; i < n; ++i) {
        const IntPoint& a = outline[i];
        const IntPoint& b = outline[i + 1 < n ? i + 1 : i + 1 - n];
        const IntPoint& c = outline[i + 2 < n ? i + 2 : i + 2 - n];
        if (__int128(a.Y - b.Y) * (b.X - c.X) == __int128(a.X - b.X) * (b.Y - c.Y))
            return false;
    }
    return true;
}

Path KeptPointsWalk(const Path& outline);

} // namespace

void ClipperKeptPoints(const Path& outline, Path& kept)
{
    if (KeepsEveryPoint(outline))
        kept.assign(outline.begin(), outline.end());
    else
        kept = KeptPointsWalk(outline);
}

Path ClipperKeptPoints(const Path& outline)
{
    Path kept;
    ClipperKeptPoints(outline, kept);
    return kept;
}

namespace {

Path KeptPointsWalk(const Path& outline)
{
    // The same steps, in the same order, as Clipper's own intake of a closed
    // path: trailing copies of the first and last point, then a walk round
    // the ring dropping repeated points and points in line with both
    // neighbours until it comes round without a change.
    int high = int(outline.size()) - 1;
    while (high > 0 && outline[size_t(high)] == outline[0])
        --high;
    while (high > 0 && outline[size_t(high)] == outline[size_t(high) - 1])
        --high;
    if (high < 2)
        return {};
    const int n = high + 1;
    std::vector<int> next(static_cast<size_t>(n)), prev(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        next[size_t(i)] = (i + 1) % n;
        prev[size_t(i)] = (i + n - 1) % n;
    }
    auto remove = [&](int e) {
        next[size_t(prev[size_t(e)])] = next[size_t(e)];
        prev[size_t(next[size_t(e)])] = prev[size_t(e)];
        return next[size_t(e)];
    };
    auto at = [&](int e) -> const IntPoint& { return outline[size_t(e)]; };
    int e = 0, start = 0, loopStop = 0;
    for (;;) {
        if (at(e) == at(next[size_t(e)])) {
            if (e == next[size_t(e)])
                break;
            if (e == start)
                start = next[size_t(e)];
            e = remove(e);
            loopStop = e;
            continue;
        }
        if (prev[size_t(e)] == next[size_t(e)])
            break;
        const IntPoint& a = at(prev[size_t(e)]);
        const IntPoint& b = at(e);
        const IntPoint& c = at(next[size_t(e)]);
        if (__int128(a.Y - b.Y) * (b.X - c.X) == __int128(a.X - b.X) * (b.Y - c.Y)) {
            if (e == start)
                start = next[size_t(e)];
            e = remove(e);
            e = prev[size_t(e)];
            loopStop = e;
            continue;
        }
        e = next[size_t(e)];
        if (e == loopStop)
            break;
    }
    if (prev[size_t(e)] == next[size_t(e)])
        return {};
    Path kept;
    int k = start;
    do {
        kept.push_back(at(k));
        k = next[size_t(k)];
    } while (k != start);
    const bool flat = std::all_of(kept.begin(), kept.end(), [&](const IntPoint& p) { return p.Y == kept[0].Y; });
    return flat ? Path() : kept;
}

} // namespace

namespace {

// Taller ranges than this (about 67 m) keep a list instead of bits.
constexpr ClipperLib::cInt kMaxBitRange = ClipperLib::cInt(1) << 26;

} // namespace

void SweepHeights::Reset(cInt lo, cInt hi)
{
    m_lo = lo;
    m_hi = hi;
    m_list.clear();
    m_sorted = true;
    m_bits.clear();
    if (hi >= lo && hi - lo < kMaxBitRange)
        m_bits.assign(size_t((hi - lo) / 64 + 1), 0);
}

void SweepHeights::Insert(cInt y)
{
    if (!m_bits.empty() && y >= m_lo && y <= m_hi) {
        const uint64_t offset = uint64_t(y - m_lo);
        m_bits[offset / 64] |= uint64_t(1) << (offset % 64);
        return;
    }
    m_list.push_back(y);
    m_sorted = false;
}

void SweepHeights::AddKept(const Path& outline)
{
    for (const IntPoint& p : outline)
        Insert(p.Y);
}

void SweepHeights::Add(const Path& outline)
{
    if (KeepsEveryPoint(outline))
        AddKept(outline);
    else
        AddKept(KeptPointsWalk(outline));
}

void SweepHeights::Nearest(cInt lo, cInt hi, std::vector<cInt>& out) const
{
    bool below = false, above = false;
    cInt under = 0, over = 0;
    if (!m_bits.empty()) {
        for (cInt y = std::min(lo - 1, m_hi); y >= m_lo;) {
            const uint64_t offset = uint64_t(y - m_lo);
            const uint64_t word = m_bits[offset / 64] & (~uint64_t(0) >> (63 - offset % 64));
            if (word != 0) {
                under = y - cInt(offset % 64) + cInt(63 - __builtin_clzll(word));
                below = true;
                break;
            }
            y -= cInt(offset % 64) + 1;
        }
        for (cInt y = std::max(hi + 1, m_lo); y <= m_hi;) {
            const uint64_t offset = uint64_t(y - m_lo);
            const uint64_t word = m_bits[offset / 64] >> (offset % 64);
            if (word != 0) {
                over = y + cInt(__builtin_ctzll(word));
                above = true;
                break;
            }
            y += cInt(64 - offset % 64);
        }
    }
    if (!m_list.empty()) {
        SortList();
        const auto at = std::lower_bound(m_list.begin(), m_list.end(), lo);
        if (at != m_list.begin() && (!below || *(at - 1) > under)) {
            under = *(at - 1);
            below = true;
        }
        const auto past = std::upper_bound(m_list.begin(), m_list.end(), hi);
        if (past != m_list.end() && (!above || *past < over)) {
            over = *past;
            above = true;
        }
    }
    if (below)
        out.push_back(under);
    if (above)
        out.push_back(over);
}

void SweepHeights::SortList() const
{
    if (!m_sorted) {
        std::sort(m_list.begin(), m_list.end());
        m_list.erase(std::unique(m_list.begin(), m_list.end()), m_list.end());
        m_sorted = true;
    }
}

void SweepHeights::Between(cInt lo, cInt hi, std::vector<cInt>& out) const
{
    const size_t first = out.size();
    if (!m_bits.empty() && lo <= m_hi && hi >= m_lo) {
        const cInt from = std::max(lo, m_lo), to = std::min(hi, m_hi);
        for (cInt y = from; y <= to;) {
            const uint64_t offset = uint64_t(y - m_lo);
            const uint64_t word = m_bits[offset / 64] >> (offset % 64);
            if (word == 0) {
                y += cInt(64 - offset % 64);
                continue;
            }
            const cInt at = y + cInt(__builtin_ctzll(word));
            if (at > to)
                break;
            out.push_back(at);
            y = at + 1;
        }
    }
    if (!m_list.empty()) {
        SortList();
        for (auto it = std::lower_bound(m_list.begin(), m_list.end(), lo); it != m_list.end() && *it <= hi; ++it)
            out.push_back(*it);
        std::sort(out.begin() + std::ptrdiff_t(first), out.end());
        out.erase(std::unique(out.begin() + std::ptrdiff_t(first), out.end()), out.end());
    }
}

namespace {

using PathRefs = std::vector<const Path*>;

PathRefs RefsOf(const Paths& paths)
{
    PathRefs refs;
    refs.reserve(paths.size());
    for (const Path& p : paths)
        refs.push_back(&p);
    return refs;
}

bool Unite(const PathRefs& subject, ClipperLib::PolyFillType subjectFill, const PathRefs& clip,
           ClipperLib::PolyFillType clipFill, const Path* sweep, Paths& out)
{
    return ExecuteOnThreadClipper(ClipperLib::ctUnion, subject, subjectFill, clip, clipFill, out, sweep);
}

int Side(const IntPoint& a, const IntPoint& b, const IntPoint& c)
{
    const __int128 cross = __int128(b.X - a.X) * (c.Y - a.Y) - __int128(b.Y - a.Y) * (c.X - a.X);
    return (cross > 0) - (cross < 0);
}

bool Within(const IntPoint& a, const IntPoint& b, const IntPoint& p)
{
    return std::min(a.X, b.X) <= p.X && p.X <= std::max(a.X, b.X) && std::min(a.Y, b.Y) <= p.Y &&
           p.Y <= std::max(a.Y, b.Y);
}

// Segments a-b and c-d share a point (crossing, touching or overlapping).
bool SegmentsMeet(const IntPoint& a, const IntPoint& b, const IntPoint& c, const IntPoint& d)
{
    const int s1 = Side(a, b, c), s2 = Side(a, b, d), s3 = Side(c, d, a), s4 = Side(c, d, b);
    if (s1 * s2 < 0 && s3 * s4 < 0)
        return true;
    return (s1 == 0 && Within(a, b, c)) || (s2 == 0 && Within(a, b, d)) || (s3 == 0 && Within(c, d, a)) ||
           (s4 == 0 && Within(c, d, b));
}

double PointSegmentDistance(const IntPoint& p, const IntPoint& a, const IntPoint& b)
{
    const double dx = double(b.X - a.X), dy = double(b.Y - a.Y);
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((double(p.X - a.X)) * dx + (double(p.Y - a.Y)) * dy) / len2 : 0.0;
    t = std::max(0.0, std::min(1.0, t));
    const double ex = double(a.X) + t * dx - double(p.X), ey = double(a.Y) + t * dy - double(p.Y);
    return std::sqrt(ex * ex + ey * ey);
}

// Clipper finds crossings from edge positions rounded at each sweep height,
// so edges that only come within a unit or two of each other may "cross" too.
constexpr double kNearUnits = 2.5;

bool SegmentsNear(const IntPoint& a, const IntPoint& b, const IntPoint& c, const IntPoint& d)
{
    return PointSegmentDistance(a, c, d) <= kNearUnits || PointSegmentDistance(b, c, d) <= kNearUnits ||
           PointSegmentDistance(c, a, b) <= kNearUnits || PointSegmentDistance(d, a, b) <= kNearUnits;
}

struct Edge {
    IntPoint a, b;
    OutlineBox box; // widened by the nearness, so near pairs meet
    int path, index, count; // count: edges of its path
};

using Bands = HeightBands;

const cInt kMargin = cInt(std::ceil(kNearUnits));

OutlineBox Widened(OutlineBox b)
{
    b.x0 -= kMargin;
    b.x1 += kMargin;
    b.y0 -= kMargin;
    b.y1 += kMargin;
    return b;
}

// Edges e and f meet or come near: the union works out a crossing there,
// anywhere within the heights both span.
void AddBandIfMeeting(const Edge& e, const Edge& f, Bands& bands)
{
    if (!e.box.Meets(f.box))
        return;
    // Neighbours on one outline share their corner and cross nowhere else.
    if (e.path == f.path && (std::abs(e.index - f.index) == 1 || std::abs(e.index - f.index) == e.count - 1))
        return;
    const cInt lo = std::max(std::min(e.a.Y, e.b.Y), std::min(f.a.Y, f.b.Y)) - kMargin;
    const cInt hi = std::min(std::max(e.a.Y, e.b.Y), std::max(f.a.Y, f.b.Y)) + kMargin;
    // Two sloped edges keep their order at every sweep height where they
    // lie more than a unit apart across, as rounding moves each by half a
    // unit at most. So only the heights where their lines come that close,
    // and the sweep heights either side of those, which bound where the
    // union looks for the crossing, can change where it puts it. (Both
    // edges' own ends bound their common heights.)
    if (e.a.Y != e.b.Y && f.a.Y != f.b.Y) {
        const double de = double(e.b.X - e.a.X) / double(e.b.Y - e.a.Y);
        const double df = double(f.b.X - f.a.X) / double(f.b.Y - f.a.Y);
        const double slopeGap = std::abs(de - df);
        if (slopeGap > 1e-6) {
            const double at = (double(f.a.X - e.a.X) + de * double(e.a.Y) - df * double(f.a.Y)) / (de - df);
            const double reach = 2.0 / slopeGap + double(kMargin);
            const double from = std::max(double(lo), std::floor(at - reach));
            const double to = std::min(double(hi), std::ceil(at + reach));
            if (from <= to)
                bands.push_back({cInt(from), cInt(to), true});
            return;
        }
    }
    if (SegmentsMeet(e.a, e.b, f.a, f.b) || SegmentsNear(e.a, e.b, f.a, f.b))
        bands.push_back({lo, hi, false});
}

// Every pair of [begin, end) (same path or not, as `acrossOnly` says) whose
// boxes meet, swept upward: each edge meets the ones still open at its
// lowest point. Sorts the range.
void SweepPairs(Edge* begin, Edge* end, bool acrossOnly, std::vector<int>& open, Bands& bands)
{
    std::sort(begin, end, [](const Edge& e, const Edge& f) { return e.box.y0 < f.box.y0; });
    open.clear();
    const int n = int(end - begin);
    for (int i = 0; i < n; ++i) {
        const Edge& e = begin[i];
        open.erase(std::remove_if(open.begin(), open.end(), [&](int j) { return begin[j].box.y1 < e.box.y0; }),
                   open.end());
        for (int j : open)
            if (!acrossOnly || begin[j].path != e.path)
                AddBandIfMeeting(e, begin[j], bands);
        open.push_back(i);
    }
}

void AddEdges(const Path& path, int pathIndex, std::vector<Edge>& edges)
{
    const int n = int(path.size());
    for (int i = 0; i < n; ++i) {
        const IntPoint& a = path[size_t(i)];
        const IntPoint& b = path[size_t(i + 1 < n ? i + 1 : 0)];
        OutlineBox box;
        box.x0 = std::min(a.X, b.X);
        box.x1 = std::max(a.X, b.X);
        box.y0 = std::min(a.Y, b.Y);
        box.y1 = std::max(a.Y, b.Y);
        edges.push_back({a, b, Widened(box), pathIndex, i, n});
    }
}

// Scratch of one thread's band searches, kept between calls.
struct BandScratch {
    std::deque<Path> walked;          // kept points of outlines Clipper trims (stable addresses)
    std::vector<const Path*> kept;    // what Clipper keeps of each outline
    std::vector<OutlineBox> boxes;    // of each kept outline, widened
    std::vector<Edge> edges;          // of every kept outline, by outline
    std::vector<uint32_t> edgeStart;  // outline -> its first edge
    std::vector<int> nearP, nearQ, open;
    std::vector<Edge> pair;
    Bands bands;
};

// Height bands in which two edges meet. Edges of different outlines can
// only meet where the outlines' widened boxes do, so the outlines are taken
// pair by pair rather than all in one sweep.
HeightBands BandsOfKept(BandScratch& s)
{
    const size_t count = s.kept.size();
    s.bands.clear();
    s.boxes.resize(count);
    s.edges.clear();
    s.edgeStart.assign(1, 0);
    for (size_t p = 0; p < count; ++p) {
        s.boxes[p] = Widened(BoxOf(*s.kept[p]));
        AddEdges(*s.kept[p], int(p), s.edges);
        s.edgeStart.push_back(uint32_t(s.edges.size()));
        Edge* first = s.edges.data() + s.edgeStart[p];
        Edge* last = s.edges.data() + s.edgeStart[p + 1];
        // A short outline's pairs cost less than sorting its edges.
        if (last - first > 32) {
            SweepPairs(first, last, false, s.open, s.bands);
            continue;
        }
        for (Edge* e = first; e != last; ++e)
            for (Edge* f = e + 1; f != last; ++f)
                AddBandIfMeeting(*e, *f, s.bands);
    }
    auto gather = [&s](int p, const OutlineBox& near, std::vector<int>& out) {
        out.clear();
        for (uint32_t e = s.edgeStart[size_t(p)]; e < s.edgeStart[size_t(p) + 1]; ++e)
            if (s.edges[e].box.Meets(near))
                out.push_back(int(e));
    };
    ForEachMeetingPair(s.boxes, [&](int p, int q) {
        gather(p, s.boxes[size_t(q)], s.nearP);
        if (s.nearP.empty())
            return;
        gather(q, s.boxes[size_t(p)], s.nearQ);
        if (s.nearQ.empty())
            return;
        if (s.nearP.size() * s.nearQ.size() <= 256) {
            for (int i : s.nearP)
                for (int j : s.nearQ)
                    AddBandIfMeeting(s.edges[size_t(i)], s.edges[size_t(j)], s.bands);
            return;
        }
        s.pair.clear();
        for (int i : s.nearP)
            s.pair.push_back(s.edges[size_t(i)]);
        for (int j : s.nearQ)
            s.pair.push_back(s.edges[size_t(j)]);
        SweepPairs(s.pair.data(), s.pair.data() + s.pair.size(), true, s.open, s.bands);
    });
    std::sort(s.bands.begin(), s.bands.end());
    HeightBands merged;
    for (const HeightBand& b : s.bands) {
        if (!merged.empty() && b.lo <= merged.back().hi) {
            merged.back().hi = std::max(merged.back().hi, b.hi);
            merged.back().nearest = merged.back().nearest || b.nearest;
        } else {
            merged.push_back(b);
        }
    }
    return merged;
}

BandScratch& ThreadBandScratch()
{
    thread_local BandScratch scratch;
    return scratch;
}

} // namespace

HeightBands CrossingBands(const std::vector<const Path*>& outlines)
{
    BandScratch& s = ThreadBandScratch();
    s.kept.clear();
    s.walked.clear();
    for (const Path* p : outlines) {
        if (KeepsEveryPoint(*p)) {
            s.kept.push_back(p);
            continue;
        }
        Path k = KeptPointsWalk(*p);
        if (k.empty())
            continue;
        s.walked.push_back(std::move(k));
        s.kept.push_back(&s.walked.back());
    }
    HeightBands bands = BandsOfKept(s);
    // What a huge outline needed is not worth keeping for the next group.
    s.walked.clear();
    if (s.edges.capacity() > 65536) {
        std::vector<Edge>().swap(s.edges);
        std::vector<Edge>().swap(s.pair);
    }
    return bands;
}

HeightBands CrossingBands(const Paths& subject, const Paths& clip)
{
    PathRefs outlines = RefsOf(subject);
    for (const Path& p : clip)
        outlines.push_back(&p);
    return CrossingBands(outlines);
}

std::vector<cInt> HeightsIn(const SweepHeights& heights, const HeightBands& bands)
{
    std::vector<cInt> out;
    for (const HeightBand& band : bands) {
        heights.Between(band.lo, band.hi, out);
        if (band.nearest)
            heights.Nearest(band.lo, band.hi, out);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

bool UniteSweeping(const PathRefs& subject, ClipperLib::PolyFillType subjectFill, const PathRefs& clip,
                   ClipperLib::PolyFillType clipFill, const std::vector<cInt>& sweep, Paths& out)
{
    if (sweep.size() < 2)
        return Unite(subject, subjectFill, clip, clipFill, nullptr, out);
    cInt right = sweep.front();
    bool any = false;
    for (const PathRefs* paths : {&subject, &clip})
        for (const Path* p : *paths)
            for (const IntPoint& q : *p) {
                right = any ? std::max(right, q.X) : q.X;
                any = true;
            }
    // A comb right of everything: its teeth stop the sweep at those heights
    // and cross nothing; it comes out on its own and is dropped.
    const cInt x = right + 16;
    Path comb;
    comb.reserve(sweep.size() + 2);
    for (size_t k = 0; k < sweep.size(); ++k)
        comb.emplace_back(x + cInt(k % 2), sweep[k]);
    comb.emplace_back(x + 2, sweep.back());
    comb.emplace_back(x + 2, sweep.front());
    Paths withComb;
    if (!Unite(subject, subjectFill, clip, clipFill, &comb, withComb))
        return false;
    out.clear();
    for (Path& p : withComb) {
        const bool isComb = std::all_of(p.begin(), p.end(), [x](const IntPoint& q) { return q.X >= x; });
        if (!isComb)
            out.push_back(std::move(p));
    }
    return true;
}


} // namespace layers
