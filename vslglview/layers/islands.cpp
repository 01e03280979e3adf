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

// Regions (outer outline with its holes) of `paths` under `fill`.
QVector<Paths> Regions(const Paths& paths, PolyFillType fill)
{
    QVector<Paths> out;
    if (paths.empty())
        return out;
    Clipper c;
    c.AddPaths(paths, ptSubject, true);
    PolyTree tree;
    if (!c.Execute(ctUnion, tree, fill, fill))
        return out;
    for (PolyNode* n = tree.GetFirst(); n; n = n->GetNext()) {
        if (n->IsHole())
            continue;
        Paths region{n->Contour};
        for (PolyNode* h : n->Childs)
            region.push_back(h->Contour);
        out.append(region);
    }
    return out;
}

// Count of the regions that overlap nothing of `below`.
int Unsupported(const QVector<Paths>& regions, const Paths& below, const QVector<Box>& belowBoxes,
                QVector<IntPoint>* where = nullptr)
{
    int count = 0;
    for (const Paths& region : regions) {
        const Box box = BoxOf(region.front());
        Paths near;
        for (int i = 0; i < belowBoxes.size(); ++i)
            if (box.Meets(belowBoxes[i]))
                near.push_back(below[size_t(i)]);
        bool rests = false;
        if (!near.empty()) {
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
    for (int L = 1; L < layers; ++L) {
        // The united layer below, as the slicer merges it (model even-odd,
        // supports non-zero).
        Paths below;
        {
            Clipper c;
            c.AddPaths(LayerOf(model, L - 1), ptSubject, true);
            Clipper s;
            s.AddPaths(LayerOf(support, L - 1), ptSubject, true);
            Paths modelBelow, supportBelow;
            c.Execute(ctUnion, modelBelow, pftEvenOdd, pftEvenOdd);
            s.Execute(ctUnion, supportBelow, pftNonZero, pftNonZero);
            below = modelBelow;
            below.insert(below.end(), supportBelow.begin(), supportBelow.end());
        }
        QVector<Box> boxes;
        for (const Path& p : below)
            boxes.append(BoxOf(p));
        QVector<IntPoint> where;
        n.support += Unsupported(Regions(LayerOf(support, L), pftNonZero), below, boxes, &where);
        for (const IntPoint& p : where)
            n.supportAt.append(qMakePair(L, p));
        n.model += Unsupported(Regions(LayerOf(model, L), pftEvenOdd), below, boxes);
    }
    return n;
}

} // namespace layers
