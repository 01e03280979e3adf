#include "layers/layerunion.h"

#include "layers/layeroutlines.h"
#include "layers/stripunion.h"

#include <algorithm>
#include <cmath>

namespace layers {

using ClipperLib::cInt;
using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;

namespace {

// Outlines up to this many points are linked by their boxes alone.
constexpr size_t kDirectLinkPoints = 64;
// Below this many outlines a pairwise box test beats building a grid.
constexpr size_t kPairwiseBelow = 24;
// Groups up to this many supports are searched for outlines lying inside another.
constexpr int kContainmentSearchUpTo = 64;
// Clipper may see edges within a unit or two as crossing: an outline this far
// inside a convex one never has an edge near it.
constexpr double kInsideUnits = 4.0;

OutlineBox EdgeBox(const IntPoint& a, const IntPoint& b)
{
    OutlineBox e;
    e.x0 = std::min(a.X, b.X);
    e.x1 = std::max(a.X, b.X);
    e.y0 = std::min(a.Y, b.Y);
    e.y1 = std::max(a.Y, b.Y);
    return e;
}

// `each(visit)` calls visit(x, y) for every point, which returns false on the first
// one that is not `margin` inside an edge of `outer`.
template <class Points> bool AllWellInside(const Path& outer, double margin, Points&& each)
{
    const size_t n = outer.size();
    for (size_t i = 0; i < n; ++i) {
        const IntPoint& a = outer[i];
        const IntPoint& b = outer[i + 1 < n ? i + 1 : 0];
        const double dx = double(b.X - a.X), dy = double(b.Y - a.Y);
        const double least = margin * std::sqrt(dx * dx + dy * dy);
        if (!each([&](double x, double y) { return dx * (y - double(a.Y)) - dy * (x - double(a.X)) >= least; }))
            return false;
    }
    return true;
}

// Drops from a group the supports that lie well inside a convex support of
// the same group: they add nothing to the union's region, their crossings
// with the rest lie inside it, and the sweep through the layer's heights
// still rounds every other crossing as the whole layer's union does.
void DropContainedSupports(std::vector<int>& group, int nModel, const std::vector<SupportOutline>& supports)
{
    const int count = int(group.size());
    if (count < 2 || count > kContainmentSearchUpTo)
        return;
    auto support = [&](int member) -> const SupportOutline* {
        return member >= nModel ? &supports[size_t(member - nModel)] : nullptr;
    };
    std::vector<char> dropped(size_t(count), 0);
    bool any = false;
    for (int i = 0; i < count; ++i) {
        const SupportOutline* inner = support(group[size_t(i)]);
        if (!inner || inner->path->empty())
            continue;
        for (int j = 0; j < count && !dropped[size_t(i)]; ++j) {
            const SupportOutline* outer = support(group[size_t(j)]);
            if (j == i || dropped[size_t(j)] || !outer || !outer->convex || !outer->box.Contains(inner->box))
                continue;
            dropped[size_t(i)] = WellInside(*outer->path, *inner->path, kInsideUnits);
            any = any || dropped[size_t(i)];
        }
    }
    if (!any)
        return;
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (!dropped[size_t(i)])
            group[size_t(kept++)] = group[size_t(i)];
    group.resize(size_t(kept));
}

} // namespace

// -------------------------------------------------------------- OutlineGrid

OutlineGrid::OutlineGrid(const Path& outline) : m_outline(outline), m_box(BoxOf(outline))
{
    const size_t n = outline.size();
    if (n == 0)
        return;
    m_cells = int(std::min<double>(256.0, std::max(1.0, std::ceil(std::sqrt(double(n) / 2.0)))));
    const double w = double(m_box.x1 - m_box.x0) + 1, h = double(m_box.y1 - m_box.y0) + 1;
    m_cellW = std::max<cInt>(1, cInt(std::ceil(w / m_cells)));
    m_cellH = std::max<cInt>(1, cInt(std::ceil(h / m_cells)));
    m_hasEdge.assign(size_t(m_cells) * size_t(m_cells), 0);
    std::vector<uint32_t> rowCount(size_t(m_cells) + 1, 0);
    for (size_t i = 0; i < n; ++i) {
        const OutlineBox e = EdgeBox(outline[i], outline[(i + 1) % n]);
        int cx0, cy0, cx1, cy1;
        CellRange(e, cx0, cy0, cx1, cy1);
        for (int cy = cy0; cy <= cy1; ++cy) {
            ++rowCount[size_t(cy)];
            for (int cx = cx0; cx <= cx1; ++cx)
                m_hasEdge[size_t(cy) * size_t(m_cells) + size_t(cx)] = 1;
        }
    }
    m_rowStart.assign(size_t(m_cells) + 1, 0);
    for (int r = 0; r < m_cells; ++r)
        m_rowStart[size_t(r) + 1] = m_rowStart[size_t(r)] + rowCount[size_t(r)];
    m_rowEdges.resize(m_rowStart.back());
    std::vector<uint32_t> fill(m_rowStart.begin(), m_rowStart.end() - 1);
    for (size_t i = 0; i < n; ++i) {
        const OutlineBox e = EdgeBox(outline[i], outline[(i + 1) % n]);
        int cx0, cy0, cx1, cy1;
        CellRange(e, cx0, cy0, cx1, cy1);
        for (int cy = cy0; cy <= cy1; ++cy)
            m_rowEdges[fill[size_t(cy)]++] = uint32_t(i);
    }
}

bool OutlineGrid::CellRange(const OutlineBox& box, int& cx0, int& cy0, int& cx1, int& cy1) const
{
    if (!box.Meets(m_box))
        return false;
    auto cell = [this](cInt v, cInt origin, cInt size) {
        return int(std::min<cInt>((std::max(v, origin) - origin) / size, m_cells - 1));
    };
    cx0 = cell(box.x0, m_box.x0, m_cellW);
    cx1 = cell(std::min(box.x1, m_box.x1), m_box.x0, m_cellW);
    cy0 = cell(box.y0, m_box.y0, m_cellH);
    cy1 = cell(std::min(box.y1, m_box.y1), m_box.y0, m_cellH);
    return true;
}

bool OutlineGrid::EdgesMayMeet(const OutlineBox& box) const
{
    int cx0, cy0, cx1, cy1;
    if (m_hasEdge.empty() || !CellRange(box, cx0, cy0, cx1, cy1))
        return false;
    bool cellHasEdge = false;
    for (int cy = cy0; cy <= cy1 && !cellHasEdge; ++cy)
        for (int cx = cx0; cx <= cx1 && !cellHasEdge; ++cx)
            cellHasEdge = m_hasEdge[size_t(cy) * size_t(m_cells) + size_t(cx)] != 0;
    if (!cellHasEdge)
        return false;
    // A cell is wide: the edges crossing its rows tell exactly.
    const size_t n = m_outline.size();
    for (int cy = cy0; cy <= cy1; ++cy)
        for (uint32_t k = m_rowStart[size_t(cy)]; k < m_rowStart[size_t(cy) + 1]; ++k) {
            const uint32_t i = m_rowEdges[k];
            if (EdgeBox(m_outline[i], m_outline[(i + 1) % n]).Meets(box))
                return true;
        }
    return false;
}

bool OutlineGrid::Contains(const IntPoint& p) const
{
    if (m_rowStart.empty() || p.Y < m_box.y0 || p.Y > m_box.y1 || p.X < m_box.x0 || p.X > m_box.x1)
        return false;
    const size_t n = m_outline.size();
    const int row = int(std::min<cInt>((p.Y - m_box.y0) / m_cellH, m_cells - 1));
    bool inside = false;
    for (uint32_t k = m_rowStart[size_t(row)]; k < m_rowStart[size_t(row) + 1]; ++k) {
        const IntPoint& a = m_outline[m_rowEdges[k]];
        const IntPoint& b = m_outline[(m_rowEdges[k] + 1) % n];
        if ((a.Y > p.Y) == (b.Y > p.Y))
            continue;
        // p lies left of the crossing: (p - a) x (b - a) has the sign of (b - a).y.
        const __int128 side = __int128(p.X - a.X) * (b.Y - a.Y) - __int128(p.Y - a.Y) * (b.X - a.X);
        if ((b.Y > a.Y) ? side < 0 : side > 0)
            inside = !inside;
    }
    return inside;
}

// --------------------------------------------------------------- UniteLayer

bool WellInside(const Path& outer, const Path& inner, double margin)
{
    return AllWellInside(outer, margin, [&](auto&& inside) {
        for (const IntPoint& p : inner)
            if (!inside(double(p.X), double(p.Y)))
                return false;
        return true;
    });
}

bool WellInside(const Path& outer, double x, double y, double margin)
{
    return AllWellInside(outer, margin, [&](auto&& inside) { return inside(x, y); });
}

std::vector<SupportOutline> PlainSupportOutlines(const Paths& paths)
{
    std::vector<SupportOutline> out(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        out[i].path = &paths[i];
        out[i].box = BoxOf(paths[i]);
        out[i].convex = IsConvexOutline(paths[i]);
    }
    return out;
}

UnionMemory::Group& UnionMemory::of(int solid, int layer)
{
    // What neither this layer nor the one below kept is of no more use.
    if (layer != m_layer) {
        m_layer = layer;
        for (int s : m_kept[layer & 1]) {
            const auto it = m_groups.find(s);
            if (it != m_groups.end() && it->second.layer < layer - 1)
                m_groups.erase(it);
        }
        m_kept[layer & 1].clear();
    }
    Group& g = m_groups[solid];
    if (g.layer != layer)
        m_kept[layer & 1].push_back(solid);
    return g;
}

void UniteLayer(const Paths& model, const std::vector<SupportOutline>& supports, const SupportLayerWalk* walk,
                LayerOutlines& out, UnionMemory* memory, bool modelIsUnion, const std::atomic<bool>* stop)
{
    out.Clear();
    if (supports.empty()) {
        for (const Path& p : model)
            out.items.push_back({&p});
        return;
    }
    if (model.empty() && supports.size() == 1) {
        out.items.push_back({supports[0].path, supports[0].solid, 0, supports[0].repeated, true});
        return;
    }

    const int nModel = int(model.size());
    const int nSupport = int(supports.size());
    Components groups(nModel + nSupport);

    std::vector<OutlineBox> modelBoxes(model.size());
    for (size_t i = 0; i < model.size(); ++i)
        modelBoxes[i] = BoxOf(model[i]);
    // Edges of long outlines on a grid, built when first asked.
    std::vector<std::unique_ptr<OutlineGrid>> grids(model.size());
    auto gridOf = [&](int m) -> const OutlineGrid* {
        if (model[size_t(m)].size() <= kDirectLinkPoints)
            return nullptr;
        if (!grids[size_t(m)])
            grids[size_t(m)] = std::make_unique<OutlineGrid>(model[size_t(m)]);
        return grids[size_t(m)].get();
    };
    // Of the long outlines round a point, the one with the least box.
    auto innermost = [&](const std::vector<int>& round) {
        return *std::min_element(round.begin(), round.end(), [&](int x, int y) {
            const OutlineBox& a = modelBoxes[size_t(x)];
            const OutlineBox& b = modelBoxes[size_t(y)];
            return double(a.x1 - a.x0) * double(a.y1 - a.y0) < double(b.x1 - b.x0) * double(b.y1 - b.y0);
        });
    };
    {
        // Model outlines (even-odd) whose edges may meet are united together.
        // One lying in a long outline away from its edges is a hole of the
        // innermost one round it when an odd number of them are round it;
        // when an even number, it stands in a hole, apart from them.
        std::vector<std::vector<int>> around(model.size());
        ForEachMeetingPair(modelBoxes, [&](int a, int b) {
            const OutlineGrid* ga = gridOf(a);
            const OutlineGrid* gb = gridOf(b);
            // Edges of the two meet only where one's edges reach into the
            // other's box and the other's into the one's.
            const bool mayMeet = (!ga || ga->EdgesMayMeet(modelBoxes[size_t(b)])) &&
                                 (!gb || gb->EdgesMayMeet(modelBoxes[size_t(a)]));
            if (mayMeet || model[size_t(a)].empty() || model[size_t(b)].empty()) {
                groups.Unite(a, b);
                return;
            }
            if (ga && ga->Contains(model[size_t(b)].front()))
                around[size_t(b)].push_back(a);
            else if (gb && gb->Contains(model[size_t(a)].front()))
                around[size_t(a)].push_back(b);
        });
        for (int m = 0; m < nModel; ++m)
            if (around[size_t(m)].size() % 2 == 1)
                groups.Unite(m, innermost(around[size_t(m)]));
    }

    if (walk && walk->solids().hasNeighbours()) {
        const SupportSolids& solids = walk->solids();
        for (int k = 0; k < nSupport; ++k) {
            const int solid = supports[size_t(k)].solid;
            for (const int* t = solids.neighboursBegin(solid); t != solids.neighboursEnd(solid); ++t) {
                if (*t < solid)
                    continue;
                const int j = walk->OutlineOf(*t);
                if (j >= 0 && supports[size_t(k)].box.Meets(supports[size_t(j)].box))
                    groups.Unite(nModel + k, nModel + j);
            }
        }
    } else {
        std::vector<OutlineBox> boxes(supports.size());
        for (size_t k = 0; k < supports.size(); ++k)
            boxes[k] = supports[k].box;
        ForEachMeetingPair(boxes, [&](int a, int b) { groups.Unite(nModel + a, nModel + b); });
    }

    if (nModel > 0) {
        // A support meets a long outline only where an edge passes; away
        // from the edges it lies inside the model (even-odd over the long
        // outlines round it) and is united with it, or in a hole and apart.
        std::vector<int> around;
        auto look = [&](int m, int k) {
            const SupportOutline& s = supports[size_t(k)];
            const OutlineGrid* grid = gridOf(m);
            if (grid && !s.path->empty() && !grid->EdgesMayMeet(s.box)) {
                if (grid->Contains(s.path->front()))
                    around.push_back(m);
                return;
            }
            groups.Unite(m, nModel + k);
        };
        const std::unique_ptr<BoxGrid> grid =
            model.size() < kPairwiseBelow ? nullptr : std::make_unique<BoxGrid>(modelBoxes);
        for (int k = 0; k < nSupport; ++k) {
            around.clear();
            if (grid) {
                grid->ForEachMeeting(supports[size_t(k)].box, [&](int m) { look(m, k); });
            } else {
                for (int m = 0; m < nModel; ++m)
                    if (modelBoxes[size_t(m)].Meets(supports[size_t(k)].box))
                        look(m, k);
            }
            // Inside the model: with the region of the innermost outline round it.
            if (around.size() % 2 == 1)
                groups.Unite(innermost(around), nModel + k);
        }
    }

    // Groups in the order of their first member, model outlines first.
    const int n = nModel + nSupport;
    std::vector<int> start(size_t(n) + 1, 0);
    std::vector<int> rootOf(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        rootOf[size_t(i)] = groups.Find(i);
        ++start[size_t(rootOf[size_t(i)]) + 1];
    }
    for (int i = 0; i < n; ++i)
        start[size_t(i) + 1] += start[size_t(i)];
    std::vector<int> members(static_cast<size_t>(n));
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (int i = 0; i < n; ++i)
        members[size_t(fill[size_t(rootOf[size_t(i)])]++)] = i;

    struct Entry {
        const Path* passed;
        int key, from, to; // key: leading solid of supports alone; outlines [from, to) of `owned`
        bool repeated;
        bool alone = true; // `passed` is a support's outline
    };
    std::vector<Entry> entries;
    std::vector<const Path*> subject, clip, outlines;
    Paths united;
    // With no model outline the union takes the last support as its subject.
    const int subjectSupport = nModel == 0 ? nSupport - 1 : -1;
    SweepHeights heights;
    bool heightsKnown = false;
    auto layerHeights = [&]() -> const SweepHeights& {
        if (!heightsKnown) {
            OutlineBox range;
            for (const OutlineBox& b : modelBoxes)
                range.Add(b);
            for (const SupportOutline& s : supports)
                range.Add(s.box);
            heights.Reset(range.y0, range.y1);
            for (const Path& p : model)
                heights.Add(p);
            for (const SupportOutline& s : supports) {
                if (s.convex)
                    heights.AddKept(*s.path);
                else
                    heights.Add(*s.path);
            }
            heightsKnown = true;
        }
        return heights;
    };
    std::vector<int> solids, group;
    for (int root = 0; root < n; ++root) {
        if (start[size_t(root) + 1] == start[size_t(root)])
            continue;
        group.assign(members.begin() + start[size_t(root)], members.begin() + start[size_t(root) + 1]);
        DropContainedSupports(group, nModel, supports);
        const int count = int(group.size());
        if (count == 1 && group[0] >= nModel && supports[size_t(group[0] - nModel)].convex) {
            const SupportOutline& s = supports[size_t(group[0] - nModel)];
            entries.push_back({s.path, s.solid, 0, 0, s.repeated});
            continue;
        }
        if (modelIsUnion && group.back() < nModel) { // members ascend: model outlines only
            for (int m : group)
                entries.push_back({&model[size_t(m)], -1, 0, 0, false, false});
            continue;
        }
        subject.clear();
        clip.clear();
        solids.clear();
        bool allRepeated = true;
        bool supportsAlone = true;
        bool mayRepeat = true;
        for (int k = 0; k < count; ++k) {
            if (group[k] < nModel) {
                subject.push_back(&model[size_t(group[k])]);
                supportsAlone = false;
                continue;
            }
            const bool asSubject = group[k] - nModel == subjectSupport;
            const SupportOutline& s = supports[size_t(group[k] - nModel)];
            (asSubject ? subject : clip).push_back(s.path);
            solids.push_back(s.solid);
            allRepeated = allRepeated && s.repeated;
            mayRepeat = mayRepeat && !s.changesEveryLayer;
            supportsAlone = supportsAlone && !asSubject && s.solid >= 0;
        }
        // A group with an outline that is never the one below cannot be
        // taken again on the next layer: keeping it would only cost.
        UnionMemory::Group* kept = memory && walk && supportsAlone && mayRepeat
                                       ? &memory->of(solids.front(), walk->layer())
                                       : nullptr;
        const int from = int(out.owned.size());
        if (kept && allRepeated && kept->layer == walk->layer() - 1 && kept->solids == solids &&
            HeightsIn(layerHeights(), kept->bands) == kept->heights) {
            kept->layer = walk->layer();
            out.owned.insert(out.owned.end(), kept->united.begin(), kept->united.end());
            entries.push_back({nullptr, solids.front(), from, int(out.owned.size()), true});
            continue;
        }
        if (stop && stop->load(std::memory_order_relaxed)) {
            out.Clear();
            return;
        }
        // A group united in strips sweeps no other heights: it keeps no
        // bands, and the same outlines on the next layer unite the same.
        HeightBands bands;
        std::vector<ClipperLib::cInt> sweep;
        if (clip.size() >= kStripUnionFrom) {
            if (UniteInStrips(subject, clip, united, stop) == StripUnion::Stopped) {
                out.Clear();
                return;
            }
        } else {
            outlines.assign(subject.begin(), subject.end());
            outlines.insert(outlines.end(), clip.begin(), clip.end());
            bands = CrossingBands(outlines);
            if (!bands.empty())
                sweep = HeightsIn(layerHeights(), bands);
            UniteSweeping(subject, ClipperLib::pftEvenOdd, clip, ClipperLib::pftNonZero, sweep, united);
        }
        if (kept) {
            kept->layer = walk->layer();
            kept->solids = solids;
            kept->bands = bands;
            kept->heights = std::move(sweep);
            kept->united = united;
        }
        for (Path& p : united)
            out.owned.push_back(std::move(p));
        entries.push_back({nullptr, kept ? solids.front() : -1, from, int(out.owned.size()), false});
    }
    for (const Entry& e : entries) {
        if (e.passed) {
            out.items.push_back({e.passed, e.key, 0, e.repeated, e.alone});
            continue;
        }
        for (int i = e.from; i < e.to; ++i)
            out.items.push_back({&out.owned[size_t(i)], e.key, i - e.from, e.repeated, false});
    }
}

} // namespace layers
