#include "layers/islands.h"

#include <algorithm>

using namespace ClipperLib;

namespace layers {

namespace {

struct Box {
    cInt x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    bool Meets(const Box& o) const { return x0 <= o.x1 && o.x0 <= x1 && y0 <= o.y1 && o.y0 <= y1; }
};

Box BoxOf(const Path& p)
{
    Box b;
    if (p.empty())
        return b;
    b.x0 = b.x1 = p[0].X;
    b.y0 = b.y1 = p[0].Y;
    for (const IntPoint& q : p) {
        b.x0 = std::min(b.x0, q.X);
        b.x1 = std::max(b.x1, q.X);
        b.y0 = std::min(b.y0, q.Y);
        b.y1 = std::max(b.y1, q.Y);
    }
    return b;
}

const Paths& LayerOf(const QVector<Paths>& layers, int i)
{
    static const Paths empty;
    return i >= 0 && i < layers.size() ? layers[i] : empty;
}

// The union of `paths` under `fill`: its outlines, and its regions (outer
// outline with its holes).
struct Union {
    Paths outlines;
    QVector<Paths> regions;
};

Union Unite(const Paths& paths, PolyFillType fill)
{
    Union out;
    if (paths.empty())
        return out;
    Clipper c;
    c.AddPaths(paths, ptSubject, true);
    PolyTree tree;
    if (!c.Execute(ctUnion, tree, fill, fill))
        return out;
    PolyTreeToPaths(tree, out.outlines);
    for (PolyNode* n = tree.GetFirst(); n; n = n->GetNext()) {
        if (n->IsHole())
            continue;
        Paths region{n->Contour};
        for (PolyNode* h : n->Childs)
            region.push_back(h->Contour);
        out.regions.append(region);
    }
    return out;
}

// Winding of the union outlines `paths` (outer +1, hole -1) at p, strictly inside.
int Winding(const Paths& paths, const QVector<int>& which, const IntPoint& p)
{
    int w = 0;
    for (int i : which)
        if (PointInPolygon(p, paths[size_t(i)]) == 1)
            w += Orientation(paths[size_t(i)]) ? 1 : -1;
    return w;
}

// Count of the regions that overlap nothing of `below` (the union of the
// model below, then the union of the supports below, from `supportFrom` on).
int Unsupported(const QVector<Paths>& regions, const Paths& below, size_t supportFrom, const QVector<Box>& belowBoxes,
                QVector<IntPoint>* where = nullptr)
{
    int count = 0;
    for (const Paths& region : regions) {
        const Box box = BoxOf(region.front());
        Paths near;
        QVector<int> nearModel, nearSupport;
        for (int i = 0; i < belowBoxes.size(); ++i)
            if (box.Meets(belowBoxes[i])) {
                near.push_back(below[size_t(i)]);
                (size_t(i) < supportFrom ? nearModel : nearSupport).append(i);
            }
        bool rests = false;
        // Most regions stand on the same solid below: the middle of their
        // box, inside the region and covered below, settles it cheaply.
        const IntPoint mid((box.x0 + box.x1) / 2, (box.y0 + box.y1) / 2);
        if (!near.empty() && PointInPolygon(mid, region.front()) == 1) {
            bool inHole = false;
            for (size_t h = 1; h < region.size(); ++h)
                inHole = inHole || PointInPolygon(mid, region[h]) != 0;
            if (!inHole && (Winding(below, nearModel, mid) > 0 || Winding(below, nearSupport, mid) > 0))
                rests = true;
        }
        if (!rests && !near.empty()) {
            Clipper c;
            c.AddPaths(region, ptSubject, true);
            c.AddPaths(near, ptClip, true);
            Paths common;
            if (c.Execute(ctIntersection, common, pftNonZero, pftNonZero))
                for (const Path& p : common)
                    rests = rests || Area(p) != 0.0;
        }
        count += !rests;
        if (!rests && where && !region.front().empty())
            where->append(region.front().front());
    }
    return count;
}

} // namespace

IslandCount CountUnsupportedIslands(const QVector<Paths>& model, const QVector<Paths>& support)
{
    IslandCount n;
    const int layers = std::max(model.size(), support.size());
    if (layers == 0)
        return n;
    // Each layer is united once: as the layer above's ground, then as its own regions.
    Union modelBelow = Unite(LayerOf(model, 0), pftEvenOdd);
    Union supportBelow = Unite(LayerOf(support, 0), pftNonZero);
    for (int L = 1; L < layers; ++L) {
        Paths below = modelBelow.outlines;
        const size_t supportFrom = below.size();
        below.insert(below.end(), supportBelow.outlines.begin(), supportBelow.outlines.end());
        QVector<Box> boxes;
        for (const Path& p : below)
            boxes.append(BoxOf(p));
        Union modelHere = Unite(LayerOf(model, L), pftEvenOdd);
        Union supportHere = Unite(LayerOf(support, L), pftNonZero);
        QVector<IntPoint> where;
        n.support += Unsupported(supportHere.regions, below, supportFrom, boxes, &where);
        for (const IntPoint& p : where)
            n.supportAt.append(qMakePair(L, p));
        n.model += Unsupported(modelHere.regions, below, supportFrom, boxes);
        modelBelow = std::move(modelHere);
        supportBelow = std::move(supportHere);
    }
    return n;
}

} // namespace layers
