#include "SlicePreview.h"

#include "VSLGLView.h"

#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Antialiased fills of one path with thousands of far-apart sections (a
// plate of many small parts) cost many times what the same sections cost in
// small batches. Odd-even needs every contour that may overlap another in one
// path, so sections whose boxes touch or overlap are grouped, and the groups,
// binned by area of the frame, are filled in batches.
constexpr int kBatchPolygons = 128;
constexpr int kCellsAcross = 32; // batch areas: a 32 x 32 grid over the frame
// Beyond this many box comparisons (nested or crossing sections by the
// thousand) the layer is filled as one path.
constexpr qint64 kMaxComparisons = 4000000;

int findRoot(QVector<int>& parent, int i)
{
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}

// Indices of the non-empty polygons, in batches; empty when one path will do.
QVector<QVector<int>> overlapBatches(const QVector<SlicePolygon>& polys, double cell)
{
    const int n = polys.size();
    if (n <= kBatchPolygons || !(cell > 0))
        return {};
    QVector<QRectF> box(n);
    QVector<int> order;
    order.reserve(n);
    for (int i = 0; i < n; ++i)
        if (!polys[i].isEmpty()) {
            box[i] = polys[i].boundingRect();
            order.append(i);
        }
    std::sort(order.begin(), order.end(), [&](int a, int b) { return box[a].left() < box[b].left(); });
    QVector<int> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    QVector<int> active;
    qint64 comparisons = 0;
    for (int i : order) {
        const QRectF& r = box[i];
        int kept = 0;
        for (int j : active) {
            if (box[j].right() < r.left())
                continue; // passed for good: sorted by left
            active[kept++] = j;
            if (box[j].bottom() >= r.top() && box[j].top() <= r.bottom())
                parent[findRoot(parent, j)] = findRoot(parent, i);
        }
        comparisons += active.size();
        if (comparisons > kMaxComparisons)
            return {};
        active.resize(kept);
        active.append(i);
    }
    // Groups binned by where their boxes start, so that each batch covers a
    // small area of the frame.
    QVector<QVector<int>> groups;
    QVector<int> groupOf(n, -1);
    QVector<QPointF> groupCorner;
    for (int i : order) {
        const int root = findRoot(parent, i);
        if (groupOf[root] < 0) {
            groupOf[root] = groups.size();
            groups.append(QVector<int>());
            groupCorner.append(box[i].topLeft());
        }
        const int g = groupOf[root];
        groups[g].append(i);
        groupCorner[g].ry() = std::min(groupCorner[g].y(), box[i].top());
    }
    using Cell = std::pair<qint64, qint64>;
    QVector<Cell> cells(groups.size());
    for (int g = 0; g < groups.size(); ++g)
        cells[g] = {qint64(std::floor(groupCorner[g].y() / cell)), qint64(std::floor(groupCorner[g].x() / cell))};
    const auto cellOf = [&](int g) { return cells[g]; };
    QVector<int> groupOrder(groups.size());
    std::iota(groupOrder.begin(), groupOrder.end(), 0);
    std::sort(groupOrder.begin(), groupOrder.end(), [&](int a, int b) { return cells[a] < cells[b]; });
    QVector<QVector<int>> batches(1);
    auto lastCell = cellOf(groupOrder.first());
    for (int g : groupOrder) {
        const auto c = cellOf(g);
        if (!batches.last().isEmpty() && (c != lastCell || batches.last().size() + groups[g].size() > kBatchPolygons))
            batches.append(QVector<int>());
        lastCell = c;
        batches.last() += groups[g];
    }
    return batches;
}

void fillOddEven(QPainter& painter, const QVector<SlicePolygon>& polys, const QVector<int>* only)
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    const auto add = [&](const QPolygonF& poly) {
        if (!poly.isEmpty()) {
            path.addPolygon(poly);
            path.closeSubpath();
        }
    };
    if (only)
        for (int i : *only)
            add(polys[i]);
    else
        for (const SlicePolygon& poly : polys)
            add(poly);
    painter.drawPath(path);
}

} // namespace

void paintSlicePreview(QPainter& painter, const SlicePreviewLayer& what, const SliceLayers& model,
                       const SliceLayers& supports)
{
    if (what.xResolution <= 0 || what.yResolution <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(double(what.previewSize.width()) / what.xResolution,
                  double(what.previewSize.height()) / what.yResolution);
    paintSliceLayer(painter, what, model, supports);
    painter.restore();
}

void paintSliceLayer(QPainter& painter, const SlicePreviewLayer& what, const SliceLayers& model,
                     const SliceLayers& supports)
{
    if (what.xResolution <= 0 || what.yResolution <= 0)
        return;
    painter.save();
    // Support outlines are not clamped to the frame: nothing is drawn past it.
    painter.setClipRect(QRectF(0, 0, what.xResolution, what.yResolution), Qt::IntersectClip);
    painter.setPen(Qt::NoPen);
    painter.fillRect(QRectF(0, 0, what.xResolution, what.yResolution), Qt::black);
    if (what.drawLayer && what.layer >= 0) {
        painter.setBrush(Qt::white);
        if (what.layer < supports.size())
            for (const SlicePolygon& poly : supports.at(what.layer)) {
                if (poly.isEmpty())
                    continue;
                QPainterPath p;
                p.addPolygon(poly);
                p.closeSubpath();
                painter.drawPath(p);
            }
        if (what.layer < model.size()) {
            const QVector<SlicePolygon>& polys = model.at(what.layer);
            const QVector<QVector<int>> batches =
                overlapBatches(polys, std::max(what.xResolution, what.yResolution) / double(kCellsAcross));
            if (batches.isEmpty())
                fillOddEven(painter, polys, nullptr);
            for (const QVector<int>& batch : batches)
                fillOddEven(painter, polys, &batch);
        }
    }
    painter.restore();
}

void paintPanelLayer(QPainter& painter, const VSLGLView& view, int layer)
{
    const SliceLayers model = view.GetSliceData();
    if (model.isEmpty())
        return;
    QPainterPath path;
    if (layer >= 0 && layer < model.size())
        for (const SlicePolygon& poly : model.at(layer))
            path.addPolygon(poly);
    const SliceLayers supports = view.GetSliceDataSup();
    if (layer >= 0 && layer < supports.size())
        for (const SlicePolygon& poly : supports.at(layer)) {
            QPainterPath sup;
            sup.addPolygon(poly);
            painter.drawPath(sup);
        }
    painter.drawPath(path);
}
