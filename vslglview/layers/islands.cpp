#include "layers/islands.h"

#include "layers/layeroutlines.h"
#include "layers/layerunion.h"
#include "layers/threadclipper.h"

#include <algorithm>

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
                regions.push_back({{*region}, boxes[size_t(group[0])]});
                if (outlines)
                    outlines->push_back(*region);
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
        if (outlines) {
            Paths united;
            PolyTreeToPaths(tree, united);
            outlines->insert(outlines->end(), united.begin(), united.end());
        }
        for (PolyNode* n = tree.GetFirst(); n; n = n->GetNext()) {
            if (n->IsHole() || n->Contour.empty())
                continue;
            Region region{{n->Contour}, BoxOf(n->Contour)};
            for (PolyNode* h : n->Childs)
                region.paths.push_back(h->Contour);
            regions.push_back(std::move(region));
        }
    }
}

bool IslandCounter::Rests(const Region& region)
{
    if (!m_groundIndexed) {
        m_groundModelGrid.Build(m_groundModelBoxes);
        if (!m_groundSolids)
            m_groundSupportGrid.Build(m_groundSupportBoxes);
        m_groundIndexed = true;
    }
    std::vector<int> nearModel, nearSupport;
    m_groundModelGrid.ForEachMeeting(region.box, [&](int i) { nearModel.push_back(i); });
    if (m_groundSolids) {
        m_groundSolids->ForEachNear(region.box, [&](int solid) {
            const int g = m_groundIndexOfSolid[size_t(solid)];
            if (g >= 0 && m_groundSupportBoxes[size_t(g)].Meets(region.box))
                nearSupport.push_back(g);
        });
    } else {
        m_groundSupportGrid.ForEachMeeting(region.box, [&](int i) { nearSupport.push_back(i); });
    }
    if (nearModel.empty() && nearSupport.empty())
        return false;
    auto model = [this](int i) -> const Path& { return m_groundModel[size_t(i)]; };
    auto support = [this](int i) -> const Path& { return *m_groundSupport[size_t(i)]; };

    // Most regions stand on the same solid below: the middle of their box,
    // inside the region and covered below, settles it cheaply.
    const Path& outer = region.paths.front();
    const IntPoint mid = region.box.Middle();
    if (PointInPolygon(mid, outer) == 1) {
        bool inHole = false;
        for (size_t h = 1; h < region.paths.size() && !inHole; ++h)
            inHole = PointInPolygon(mid, region.paths[h]) != 0;
        if (!inHole && (Winding(nearModel, model, mid) > 0 || Winding(nearSupport, support, mid) > 0))
            return true;
    }
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

void IslandCounter::CountSupportIslands(int layer, const std::vector<SupportOutline>& supports,
                                        const SupportLayerWalk* walk)
{
    const int n = int(supports.size());
    // 0 not yet seen, 1 rests on its own solid below, 2 taken into a group.
    std::vector<char> state(size_t(n), 0);
    for (int k = 0; k < n; ++k) {
        const SupportOutline& o = supports[size_t(k)];
        bool rests = o.repeated && o.convex;
        if (!rests && o.below && !o.path->empty()) {
            const IntPoint mid = o.box.Middle();
            rests = PointInPolygon(mid, *o.path) == 1 && PointInPolygon(mid, *o.below) == 1;
        }
        state[size_t(k)] = rests ? 1 : 0;
    }

    const bool byNeighbours = walk && walk->solids().hasNeighbours();
    BoxGrid layerGrid;
    bool layerGridBuilt = false;
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
            auto visit = [&](int j) {
                if (state[size_t(j)] != 2 && supports[size_t(j)].box.Meets(supports[size_t(k)].box)) {
                    state[size_t(j)] = 2;
                    queue.push_back(j);
                }
            };
            if (byNeighbours) {
                const SupportSolids& solids = walk->solids();
                const int solid = supports[size_t(k)].solid;
                for (const int* t = solids.neighboursBegin(solid); t != solids.neighboursEnd(solid); ++t) {
                    const int j = walk->OutlineOf(*t);
                    if (j >= 0)
                        visit(j);
                }
            } else {
                if (!layerGridBuilt) {
                    std::vector<OutlineBox> boxes(supports.size());
                    for (size_t i = 0; i < supports.size(); ++i)
                        boxes[i] = supports[i].box;
                    layerGrid.Build(boxes);
                    layerGridBuilt = true;
                }
                layerGrid.ForEachMeeting(supports[size_t(k)].box, visit);
            }
        }
        regions.clear();
        paths.clear();
        for (int k : group)
            paths.push_back(*supports[size_t(k)].path);
        Regions(paths, pftNonZero, regions, nullptr);
        for (const Region& r : regions) {
            if (Rests(r))
                continue;
            ++m_count.support;
            m_count.supportAt.append(qMakePair(layer, r.paths.front().front()));
        }
    }
}

void IslandCounter::AddLayer(int layer, const Paths& model, const std::vector<SupportOutline>& supports,
                             const SupportLayerWalk* walk)
{
    std::vector<Region> modelRegions;
    Paths modelOutlines;
    Regions(model, pftEvenOdd, modelRegions, &modelOutlines);
    if (m_hasGround) {
        m_groundIndexed = false;
        CountSupportIslands(layer, supports, walk);
        for (const Region& r : modelRegions) {
            if (Rests(r))
                continue;
            ++m_count.model;
            m_count.modelAt.append(qMakePair(layer, r.paths.front().front()));
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
    m_groundSupport.resize(supports.size());
    m_groundSupportBoxes.resize(supports.size());
    m_groundSupportSolid.resize(supports.size());
    for (size_t i = 0; i < supports.size(); ++i) {
        m_groundSupport[i] = supports[i].path;
        m_groundSupportBoxes[i] = supports[i].box;
        m_groundSupportSolid[i] = m_groundSolids ? supports[i].solid : -1;
        if (m_groundSolids && supports[i].solid >= 0)
            m_groundIndexOfSolid[size_t(supports[i].solid)] = int(i);
    }
    m_hasGround = true;
}

IslandCount CountUnsupportedIslands(const QVector<Paths>& model, const QVector<Paths>& support)
{
    IslandCounter counter;
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
