#include "layers/sweepheights.h"

#include "layers/outlinebox.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace layers {

using ClipperLib::cInt;
using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;

Path ClipperKeptPoints(const Path& outline)
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

void SweepHeights::Clear()
{
    m_heights.clear();
    m_sorted = true;
}

void SweepHeights::AddKept(const Path& outline)
{
    for (const IntPoint& p : outline)
        m_heights.push_back(p.Y);
    m_sorted = m_heights.empty();
}

void SweepHeights::Add(const Path& outline) { AddKept(ClipperKeptPoints(outline)); }

void SweepHeights::Sort() const
{
    if (m_sorted)
        return;
    std::sort(m_heights.begin(), m_heights.end());
    m_heights.erase(std::unique(m_heights.begin(), m_heights.end()), m_heights.end());
    m_sorted = true;
}

void SweepHeights::Between(cInt lo, cInt hi, std::vector<cInt>& out) const
{
    Sort();
    for (auto it = std::lower_bound(m_heights.begin(), m_heights.end(), lo); it != m_heights.end() && *it <= hi; ++it)
        out.push_back(*it);
}

namespace {

bool Unite(const Paths& subject, ClipperLib::PolyFillType subjectFill, const Paths& clip,
           ClipperLib::PolyFillType clipFill, const Path* sweep, Paths& out)
{
    out.clear();
    try {
        ClipperLib::Clipper clipper;
        clipper.AddPaths(subject, ClipperLib::ptSubject, true);
        clipper.AddPaths(clip, ClipperLib::ptClip, true);
        if (sweep)
            clipper.AddPath(*sweep, ClipperLib::ptClip, true);
        if (!clipper.Execute(ClipperLib::ctUnion, out, subjectFill, clipFill)) {
            out.clear();
            return false;
        }
    } catch (...) {
        out.clear();
        return false;
    }
    return true;
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
    int path, index, count; // count: edges of its path
};

// Height bands in which two edges meet: there the union works out a
// crossing, anywhere within the heights both edges span.
std::vector<std::pair<cInt, cInt>> CrossingBands(const std::vector<Path>& kept)
{
    std::vector<Edge> edges;
    for (size_t p = 0; p < kept.size(); ++p) {
        const int n = int(kept[p].size());
        for (int i = 0; i < n; ++i)
            edges.push_back({kept[p][size_t(i)], kept[p][size_t((i + 1) % n)], int(p), i, n});
    }
    // Boxes widened by the nearness, so near pairs meet.
    const cInt margin = cInt(std::ceil(kNearUnits));
    std::vector<OutlineBox> boxes(edges.size());
    for (size_t i = 0; i < edges.size(); ++i) {
        OutlineBox& b = boxes[i];
        b.x0 = std::min(edges[i].a.X, edges[i].b.X) - margin;
        b.x1 = std::max(edges[i].a.X, edges[i].b.X) + margin;
        b.y0 = std::min(edges[i].a.Y, edges[i].b.Y) - margin;
        b.y1 = std::max(edges[i].a.Y, edges[i].b.Y) + margin;
    }
    std::vector<std::pair<cInt, cInt>> bands;
    ForEachMeetingPair(boxes, [&](int i, int j) {
        const Edge& e = edges[size_t(i)];
        const Edge& f = edges[size_t(j)];
        // Neighbours on one outline share their corner and cross nowhere else.
        if (e.path == f.path && (std::abs(e.index - f.index) == 1 || std::abs(e.index - f.index) == e.count - 1))
            return;
        if (!SegmentsMeet(e.a, e.b, f.a, f.b) && !SegmentsNear(e.a, e.b, f.a, f.b))
            return;
        bands.emplace_back(std::max(std::min(e.a.Y, e.b.Y), std::min(f.a.Y, f.b.Y)) - margin,
                           std::min(std::max(e.a.Y, e.b.Y), std::max(f.a.Y, f.b.Y)) + margin);
    });
    std::sort(bands.begin(), bands.end());
    std::vector<std::pair<cInt, cInt>> merged;
    for (const auto& b : bands) {
        if (!merged.empty() && b.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, b.second);
        else
            merged.push_back(b);
    }
    return merged;
}

} // namespace

bool UniteAsInLayer(const Paths& subject, ClipperLib::PolyFillType subjectFill, const Paths& clip,
                    ClipperLib::PolyFillType clipFill, const SweepHeights& heights, Paths& out)
{
    std::vector<Path> kept;
    cInt right = 0;
    bool any = false;
    for (const Paths* paths : {&subject, &clip})
        for (const Path& p : *paths) {
            for (const IntPoint& q : p) {
                right = any ? std::max(right, q.X) : q.X;
                any = true;
            }
            Path k = ClipperKeptPoints(p);
            if (!k.empty())
                kept.push_back(std::move(k));
        }
    std::vector<cInt> sweepHeights;
    for (const auto& band : CrossingBands(kept))
        heights.Between(band.first, band.second, sweepHeights);
    std::sort(sweepHeights.begin(), sweepHeights.end());
    sweepHeights.erase(std::unique(sweepHeights.begin(), sweepHeights.end()), sweepHeights.end());
    if (sweepHeights.size() < 2)
        return Unite(subject, subjectFill, clip, clipFill, nullptr, out);

    // A comb right of everything: its teeth stop the sweep at those heights
    // and cross nothing; it comes out on its own and is dropped.
    const cInt x = right + 16;
    Path comb;
    comb.reserve(sweepHeights.size() + 2);
    for (size_t k = 0; k < sweepHeights.size(); ++k)
        comb.emplace_back(x + cInt(k % 2), sweepHeights[k]);
    comb.emplace_back(x + 2, sweepHeights.back());
    comb.emplace_back(x + 2, sweepHeights.front());
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
