#include "layers/islands.h"

#include "layers/layeroutlines.h"
#include "layers/layerunion.h"
#include "layers/threadclipper.h"
#include "vslfunction/geometry.h"

#include <algorithm>
#include <cmath>

using namespace ClipperLib;

namespace layers {

void IslandCount::Add(const IslandCount& other)
{
    support += other.support;
    model += other.model;
    supportAt += other.supportAt;
    modelAt += other.modelAt;
}

namespace {

// Winding of the outlines `which` of `paths` (outer +1, hole -1) at p, strictly inside.
template <class PathOf> int Winding(const std::vector<int>& which, PathOf pathOf, const IntPoint& p)
{
    int w = 0;
    for (int i : which) {
        const Path& outline = pathOf(i);
        if (PointInPolygon(p, outline) == 1)
            w += Orientation(outline) ? 1 : -1;
    }
    return w;
}

// Points of a region's edges tried before intersecting it with what lies below.
constexpr size_t kEdgePointTries = 8;
// How far inside the middle of an edge such a point is taken (1/1000 mm).
constexpr double kInsetUnits = 4;

// A point kInsetUnits inside the middle of the region's outer edge k (the
// region's outer outline runs counter-clockwise), strictly inside the region.
bool JustInside(const std::vector<Path>& region, size_t k, IntPoint& p)
{
    const Path& outer = region.front();
    const IntPoint& a = outer[k];
    const IntPoint& b = outer[(k + 1) % outer.size()];
    const double dx = double(b.X - a.X), dy = double(b.Y - a.Y), length = std::sqrt(dx * dx + dy * dy);
    if (length < 4 * kInsetUnits)
        return false;
    p = IntPoint(cInt(std::llround((double(a.X) + double(b.X)) / 2 - dy / length * kInsetUnits)),
                 cInt(std::llround((double(a.Y) + double(b.Y)) / 2 + dx / length * kInsetUnits)));
    if (PointInPolygon(p, outer) != 1)
        return false;
    for (size_t h = 1; h < region.size(); ++h)
        if (PointInPolygon(p, region[h]) != 0)
            return false;
    return true;
}

// Radius of the disc two outlines must share for their union to join them
// whatever Clipper rounds (it moves a crossing by under a unit).
constexpr double kSharedDiscUnits = 2;
// An outline this far inside a convex one is in its region whatever the
// union rounds: all of its crossings lie inside it.
constexpr double kInsideUnits = 1;

QPointF PointOf(const IntPoint& v) { return QPointF(double(v.X), double(v.Y)); }
// Twice the area of the triangle p q v: positive with v left of p -> q.
double Left(const QPointF& p, const QPointF& q, const QPointF& v)
{
    return (q.x() - p.x()) * (v.y() - p.y()) - (q.y() - p.y()) * (v.x() - p.x());
}

// Whether two convex outlines (counter-clockwise) share a disc of
// kSharedDiscUnits: the middle of the corners of their intersection lies
// that far inside every edge of both.
bool ShareADisc(const Path& a, const Path& b)
{
    QPolygonF poly, next;
    for (const IntPoint& v : b)
        poly.append(PointOf(v));
    // b clipped to the inner side of each edge of a.
    for (size_t i = 0; i < a.size() && poly.size() >= 3; ++i) {
        const QPointF p = PointOf(a[i]), q = PointOf(a[(i + 1) % a.size()]);
        ClipAgainst(
            poly, next, [&](const QPointF& v) { return Left(p, q, v) >= 0; },
            [&](const QPointF& u, const QPointF& v) {
                const double su = Left(p, q, u), sv = Left(p, q, v);
                return u + su / (su - sv) * (v - u);
            });
        poly.swap(next);
    }
    if (poly.size() < 3)
        return false;
    QPointF c(0, 0);
    for (const QPointF& v : qAsConst(poly))
        c += v;
    c /= double(poly.size());
    return WellInside(a, c.x(), c.y(), kSharedDiscUnits) && WellInside(b, c.x(), c.y(), kSharedDiscUnits);
}

} // namespace

void IslandCounter::Regions(const Paths& paths, PolyFillType fill, std::vector<Region>& regions, Paths* outlines)
{
    std::vector<OutlineBox> boxes(paths.size());
    for (size_t i = 0; i < paths.size(); ++i)
        boxes[i] = BoxOf(paths[i]);
    Components groups(int(paths.size()));
    ForEachMeetingPair(boxes, [&](int a, int b) { groups.Unite(a, b); });
    std::vector<std::vector<int>> members(paths.size());
    for (int i = 0; i < int(paths.size()); ++i)
        members[size_t(groups.Find(i))].push_back(i);

    for (const std::vector<int>& group : members) {
        if (group.empty())
            continue;
        if (group.size() == 1) {
            // A lone convex outline is its own region, outer outlines counter-clockwise.
            const Path& p = paths[size_t(group[0])];
            Path reversed;
            const Path* region = IsConvexOutline(p) ? &p : nullptr;
            if (!region && p.size() >= 3) {
                reversed.assign(p.rbegin(), p.rend());
                if (IsConvexOutline(reversed))
                    region = &reversed;
            }
            if (region) {
                regions.push_back({{*region}, boxes[size_t(group[0])], {}});
                if (outlines) {
                    regions.back().outlines.push_back(int(outlines->size()));
                    outlines->push_back(*region);
                }
                continue;
            }
        }
        PolyTree tree;
        try {
            Clipper& c = ThreadClipper();
            for (int i : group)
                c.AddPath(paths[size_t(i)], ptSubject, true);
            if (!c.Execute(ctUnion, tree, fill, fill))
                continue;
        } catch (...) {
            ForgetThreadClipper();
            continue; // coordinates beyond Clipper's range: no region
        }
        for (PolyNode* n = tree.GetFirst(); n; n = n->GetNext()) {
            if (n->IsHole() || n->Contour.empty())
                continue;
            Region region{{n->Contour}, BoxOf(n->Contour), {}};
            for (PolyNode* h : n->Childs)
                region.paths.push_back(h->Contour);
            if (outlines)
                for (const Path& p : region.paths)
                    if (!p.empty()) {
                        region.outlines.push_back(int(outlines->size()));
                        outlines->push_back(p);
                    }
            regions.push_back(std::move(region));
        }
    }
}

bool IslandCounter::Negligible(const Region& region) const
{
    if (m_negligibleArea <= 0)
        return false;
    double area = 0;
    for (const Path& p : region.paths)
        area += Area(p);
    return std::abs(area) < m_negligibleArea;
}

IslandCounter::Verdict IslandCounter::Judge(const Region& region, bool count, bool onPlate, bool onModel)
{
    // A region that lights no pixel holds nothing up, whatever it rests on.
    if (Negligible(region))
        return Verdict::Dropped;
    if (onPlate || !count)
        return Verdict::Rests; // on the plate, or not asked
    return Rests(region, onModel) ? Verdict::Rests : Verdict::Island;
}

bool IslandCounter::Rests(const Region& region, bool onModel)
{
    if (!m_groundIndexed) {
        m_groundModelGrid.Build(m_groundModelBoxes);
        if (!m_groundSolids)
            m_groundSupportGrid.Build(m_groundSupportBoxes);
        m_groundIndexed = true;
    }
    auto model = [this](int i) -> const Path& { return m_groundModel[size_t(i)]; };
    auto support = [this](int i) -> const Path& { return *m_groundSupport[size_t(i)]; };

    // Points strictly inside the region: the middle of its box, where most
    // regions stand on the same solid below, then points just inside its
    // outer edges: where the region is a wall that barely moves from layer
    // to layer (its middle in a hole), one of them lies in the wall below.
    // Each found when first asked for: most regions rest on the first.
    std::vector<IntPoint> inside;
    const Path& outer = region.paths.front();
    const size_t n = outer.size(), step = std::max<size_t>(1, n / kEdgePointTries);
    size_t nextEdge = 0;
    bool midTried = false;
    auto insidePoint = [&](size_t i, IntPoint& p) {
        while (inside.size() <= i) {
            if (!midTried) {
                midTried = true;
                const IntPoint mid = region.box.Middle();
                bool in = PointInPolygon(mid, outer) == 1;
                for (size_t h = 1; h < region.paths.size() && in; ++h)
                    in = PointInPolygon(mid, region.paths[h]) == 0;
                if (in)
                    inside.push_back(mid);
                continue;
            }
            if (nextEdge >= n)
                return false;
            IntPoint q;
            if (JustInside(region.paths, nextEdge, q))
                inside.push_back(q);
            nextEdge += step;
        }
        p = inside[i];
        return true;
    };
    // A point the layer below winds round has cover all round it on one
    // side at least: region and ground share area. The side the region
    // most likely stands on is looked up first, the other only if need be.
    std::vector<int> nearModel, nearSupport;
    auto woundRound = [&](const std::vector<int>& near, auto pathOf) {
        IntPoint p;
        for (size_t i = 0; !near.empty() && insidePoint(i, p); ++i)
            if (Winding(near, pathOf, p) > 0)
                return true;
        return false;
    };
    for (int pass = 0; pass < 2; ++pass) {
        if ((pass == 0) == onModel) {
            m_groundModelGrid.ForEachMeeting(region.box, [&](int i) { nearModel.push_back(i); });
            if (woundRound(nearModel, model))
                return true;
        } else {
            if (m_groundSolids) {
                m_groundSolids->ForEachNear(region.box, [&](int solid) {
                    const int g = m_groundIndexOfSolid[size_t(solid)];
                    if (g >= 0 && m_groundSupportBoxes[size_t(g)].Meets(region.box))
                        nearSupport.push_back(g);
                });
            } else {
                m_groundSupportGrid.ForEachMeeting(region.box, [&](int i) { nearSupport.push_back(i); });
            }
            if (woundRound(nearSupport, support))
                return true;
        }
    }
    if (nearModel.empty() && nearSupport.empty())
        return false;
    Paths near;
    for (int i : nearModel)
        near.push_back(model(i));
    for (int i : nearSupport)
        near.push_back(support(i));
    Paths common;
    try {
        Clipper& c = ThreadClipper();
        c.AddPaths(region.paths, ptSubject, true);
        c.AddPaths(near, ptClip, true);
        if (!c.Execute(ctIntersection, common, pftNonZero, pftNonZero))
            return false;
    } catch (...) {
        ForgetThreadClipper();
        return false;
    }
    for (const Path& p : common)
        if (Area(p) != 0.0)
            return true;
    return false;
}

bool IslandCounter::TooLargeToNeglect(const Path& outline) const
{
    if (m_negligibleArea <= 0)
        return true;
    // Rounding the union's crossings takes from the outline at most a band a
    // unit wide along its edges: at most its perimeter (here over-estimated
    // as the sum of its edges' widths and heights).
    double perimeter = 0;
    for (size_t i = 0; i < outline.size(); ++i) {
        const IntPoint& p = outline[i];
        const IntPoint& q = outline[(i + 1) % outline.size()];
        perimeter += std::abs(double(q.X - p.X)) + std::abs(double(q.Y - p.Y));
    }
    return std::abs(Area(outline)) - perimeter >= 2 * m_negligibleArea;
}

void IslandCounter::CountSupportIslands(int layer, const std::vector<SupportOutline>& supports,
                                        const SupportLayerWalk* walk, bool count, bool onPlate,
                                        std::vector<char>& dropped)
{
    const int n = int(supports.size());
    // 0 not yet seen, 1 rests on its own solid below, 2 taken into a group.
    std::vector<char> state(size_t(n), 0);
    for (int k = 0; k < n; ++k) {
        const SupportOutline& o = supports[size_t(k)];
        // Its own outline below may have been left out of the ground.
        const bool belowKept = !o.below || !m_groundSolids || o.solid < 0 ||
                               m_groundIndexOfSolid[size_t(o.solid)] >= 0;
        bool rests = belowKept && o.repeated && o.convex;
        if (!rests && belowKept && o.below && !o.path->empty()) {
            const IntPoint mid = o.box.Middle();
            rests = PointInPolygon(mid, *o.path) == 1 && PointInPolygon(mid, *o.below) == 1;
        }
        state[size_t(k)] = rests ? 1 : 0;
    }
    // Outlines known to lie in a region that rests: at first those resting on
    // their own solid below.
    std::vector<char> resting(state);

    const bool byNeighbours = walk && walk->solids().hasNeighbours();
    BoxGrid layerGrid;
    bool layerGridBuilt = false;
    // Calls fn(j) for the outlines whose boxes meet outline k's (and some more).
    auto forEachNear = [&](int k, auto&& fn) {
        if (byNeighbours) {
            const SupportSolids& solids = walk->solids();
            const int solid = supports[size_t(k)].solid;
            for (const int* t = solids.neighboursBegin(solid); t != solids.neighboursEnd(solid); ++t) {
                const int j = walk->OutlineOf(*t);
                if (j >= 0)
                    fn(j);
            }
            return;
        }
        if (!layerGridBuilt) {
            std::vector<OutlineBox> boxes(supports.size());
            for (size_t i = 0; i < supports.size(); ++i)
                boxes[i] = supports[i].box;
            layerGrid.Build(boxes);
            layerGridBuilt = true;
        }
        layerGrid.ForEachMeeting(supports[size_t(k)].box, fn);
    };
    // Where the outlines below are known (a walk's), a group all of whose
    // regions surely rest and none negligible needs no union: every outline
    // that does not rest on its own solid below overlaps, through others
    // like it, one that does, and each of those is too large to neglect. In
    // a dense field one new outline would otherwise unite the whole layer.
    const bool mayShowGroupsRest = !m_uniteEveryGroup && walk && m_groundSolids;
    std::vector<int> pending;
    auto groupRests = [&](const std::vector<int>& group) {
        pending.clear();
        for (int k : group) {
            const SupportOutline& o = supports[size_t(k)];
            if (resting[size_t(k)] ? !TooLargeToNeglect(*o.path) : !o.convex)
                return false;
            if (!resting[size_t(k)])
                pending.push_back(k);
        }
        for (bool joined = true; joined && !pending.empty();) {
            joined = false;
            for (size_t i = 0; i < pending.size();) {
                const int k = pending[i];
                const SupportOutline& o = supports[size_t(k)];
                bool rests = false;
                forEachNear(k, [&](int j) {
                    const SupportOutline& other = supports[size_t(j)];
                    rests = rests || (resting[size_t(j)] && other.convex && other.box.Meets(o.box) &&
                                      (WellInside(*other.path, *o.path, kInsideUnits) || ShareADisc(*o.path, *other.path)));
                });
                if (!rests) {
                    ++i;
                    continue;
                }
                resting[size_t(k)] = 1;
                pending[i] = pending.back();
                pending.pop_back();
                joined = true;
            }
        }
        return pending.empty();
    };

    std::vector<int> group, queue;
    std::vector<Region> regions;
    Paths paths;
    for (int start = 0; start < n; ++start) {
        if (state[size_t(start)] != 0)
            continue;
        // Everything whose box chains to the outline may share its region.
        group.clear();
        queue.assign(1, start);
        state[size_t(start)] = 2;
        while (!queue.empty()) {
            const int k = queue.back();
            queue.pop_back();
            group.push_back(k);
            forEachNear(k, [&](int j) {
                if (state[size_t(j)] != 2 && supports[size_t(j)].box.Meets(supports[size_t(k)].box)) {
                    state[size_t(j)] = 2;
                    queue.push_back(j);
                }
            });
        }
        if (mayShowGroupsRest && groupRests(group)) {
            ++m_groupsShownToRest;
            continue;
        }
        regions.clear();
        paths.clear();
        for (int k : group)
            paths.push_back(*supports[size_t(k)].path);
        Regions(paths, pftNonZero, regions, nullptr);
        for (const Region& r : regions) {
            const Verdict v = Judge(r, count, onPlate, false);
            if (v == Verdict::Dropped) {
                // Each outline lies whole in one region of its group.
                for (int k : group)
                    if (r.box.Contains(supports[size_t(k)].box))
                        dropped[size_t(k)] = 1;
            }
            if (v != Verdict::Island)
                continue;
            ++m_count.support;
            m_count.supportAt.append(qMakePair(layer, r.paths.front().front()));
        }
    }
}

bool IslandCounter::NestedRegions(const Paths& united, std::vector<Region>& regions)
{
    std::vector<int> outers, holes;
    std::vector<OutlineBox> boxes(united.size());
    std::vector<double> areas(united.size());
    for (size_t i = 0; i < united.size(); ++i) {
        boxes[i] = BoxOf(united[i]);
        areas[i] = Area(united[i]);
        (areas[i] > 0 ? outers : holes).push_back(int(i));
    }
    const size_t first = regions.size();
    std::vector<int> regionOf(united.size(), -1);
    for (int o : outers) {
        regionOf[size_t(o)] = int(regions.size());
        regions.push_back({{united[size_t(o)]}, boxes[size_t(o)], {o}});
    }
    for (int h : holes) {
        const Path& hole = united[size_t(h)];
        int parent = -1;
        for (int o : outers) {
            if (!boxes[size_t(o)].Contains(boxes[size_t(h)]) || (parent >= 0 && areas[size_t(o)] >= areas[size_t(parent)]))
                continue;
            // A hole's points lie inside its outer outline or on it; the
            // first point off it tells.
            int in = -1;
            for (size_t k = 0; k < hole.size() && in < 0; ++k)
                in = PointInPolygon(hole[k], united[size_t(o)]);
            if (in < 0) {
                regions.resize(first);
                return false;
            }
            if (in == 1)
                parent = o;
        }
        if (parent < 0) {
            regions.resize(first);
            return false;
        }
        Region& region = regions[size_t(regionOf[size_t(parent)])];
        region.paths.push_back(hole);
        region.outlines.push_back(h);
    }
    return true;
}

void IslandCounter::AddLayer(int layer, const Paths& model, const std::vector<SupportOutline>& supports,
                             const SupportLayerWalk* walk, bool modelIsUnion, bool count)
{
    std::vector<Region> modelRegions;
    Paths modelOutlines;
    if (modelIsUnion && NestedRegions(model, modelRegions))
        modelOutlines = model;
    else
        Regions(model, pftEvenOdd, modelRegions, &modelOutlines);
    std::vector<char> droppedSupports(supports.size(), 0);
    // The first layer rests on the plate, but a speck there lights nothing
    // and holds nothing up either.
    const bool onPlate = !m_hasGround && layer == 0 && m_negligibleArea > 0;
    if (m_hasGround || onPlate) {
        m_groundIndexed = false;
        CountSupportIslands(layer, supports, walk, count, onPlate, droppedSupports);
        std::vector<char> droppedModel;
        for (const Region& r : modelRegions) {
            const Verdict v = Judge(r, count, onPlate, true);
            if (v == Verdict::Dropped) {
                droppedModel.resize(modelOutlines.size(), 0);
                for (int i : r.outlines)
                    droppedModel[size_t(i)] = 1;
            }
            if (v != Verdict::Island)
                continue;
            ++m_count.model;
            m_count.modelAt.append(qMakePair(layer, r.paths.front().front()));
        }
        if (!droppedModel.empty()) {
            size_t kept = 0;
            for (size_t i = 0; i < modelOutlines.size(); ++i)
                if (!droppedModel[i])
                    modelOutlines[kept++].swap(modelOutlines[i]);
            modelOutlines.resize(kept);
        }
    }

    // This layer is the ground of the next.
    m_groundModel.swap(modelOutlines);
    m_groundModelBoxes.resize(m_groundModel.size());
    for (size_t i = 0; i < m_groundModel.size(); ++i)
        m_groundModelBoxes[i] = BoxOf(m_groundModel[i]);
    for (int solid : m_groundSupportSolid)
        if (solid >= 0)
            m_groundIndexOfSolid[size_t(solid)] = -1;
    m_groundSolids = walk ? &walk->solids() : nullptr;
    if (m_groundSolids && m_groundIndexOfSolid.size() != size_t(m_groundSolids->count()))
        m_groundIndexOfSolid.assign(size_t(m_groundSolids->count()), -1);
    m_groundSupport.clear();
    m_groundSupportBoxes.clear();
    m_groundSupportSolid.clear();
    for (size_t i = 0; i < supports.size(); ++i) {
        if (droppedSupports[i])
            continue;
        const int g = int(m_groundSupport.size());
        m_groundSupport.push_back(supports[i].path);
        m_groundSupportBoxes.push_back(supports[i].box);
        m_groundSupportSolid.push_back(m_groundSolids ? supports[i].solid : -1);
        if (m_groundSolids && supports[i].solid >= 0)
            m_groundIndexOfSolid[size_t(supports[i].solid)] = g;
    }
    m_hasGround = true;
}

IslandCount CountUnsupportedIslands(const QVector<Paths>& model, const QVector<Paths>& support, double negligibleArea)
{
    IslandCounter counter(negligibleArea);
    const int layers = std::max(model.size(), support.size());
    static const Paths empty;
    // The ground of a layer points into the outlines of the layer before.
    Paths united[2];
    for (int L = 0; L < layers; ++L) {
        const Paths& s = L < support.size() ? support[L] : empty;
        Paths& u = united[L & 1];
        u.clear();
        // Outlines of any orientation count as their non-zero union.
        if (!s.empty())
            UnitePaths(s, pftNonZero, Paths(), pftNonZero, u);
        counter.AddLayer(L, L < model.size() ? model[L] : empty, PlainSupportOutlines(u));
    }
    return counter.count();
}

} // namespace layers
