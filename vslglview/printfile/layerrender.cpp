#include "printfile/layerrender.h"
#include "vslfunction/geometry.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>
#include <cmath>
#include <numeric>

QPointF MapLayerPoint(QPointF p, bool swapXY, int imageWidth, int imageHeight)
{
    if (swapXY)
        p = QPointF(imageWidth - p.y(), p.x());
    // qBound also turns NaN into a frame edge, so the rasteriser never sees it.
    return QPointF(qBound(0.0, p.x(), double(imageWidth)), qBound(0.0, p.y(), double(imageHeight)));
}

QPolygonF MapLayerPolygon(const SlicePolygon& polygon, bool swapXY, int imageWidth, int imageHeight)
{
    const double w = imageWidth, h = imageHeight;
    QPolygonF mapped(polygon.size());
    bool within = true;
    for (int i = 0; i < polygon.size(); ++i) {
        QPointF p = polygon.point(i);
        if (swapXY)
            p = QPointF(w - p.y(), p.x());
        mapped[i] = p;
        within = within && p.x() >= 0 && p.x() <= w && p.y() >= 0 && p.y() <= h;
    }
    if (within)
        return mapped;
    QPolygonF other;
    auto atX = [](const QPointF& a, const QPointF& b, double x) {
        return QPointF(x, a.y() + (x - a.x()) * (b.y() - a.y()) / (b.x() - a.x()));
    };
    auto atY = [](const QPointF& a, const QPointF& b, double y) {
        return QPointF(a.x() + (y - a.y()) * (b.x() - a.x()) / (b.y() - a.y()), y);
    };
    ClipAgainst(mapped, other, [](const QPointF& p) { return p.x() >= 0; },
                [&](const QPointF& a, const QPointF& b) { return atX(a, b, 0); });
    ClipAgainst(other, mapped, [w](const QPointF& p) { return p.x() <= w; },
                [&](const QPointF& a, const QPointF& b) { return atX(a, b, w); });
    ClipAgainst(mapped, other, [](const QPointF& p) { return p.y() >= 0; },
                [&](const QPointF& a, const QPointF& b) { return atY(a, b, 0); });
    ClipAgainst(other, mapped, [h](const QPointF& p) { return p.y() <= h; },
                [&](const QPointF& a, const QPointF& b) { return atY(a, b, h); });
    if (mapped.size() < 3)
        return QPolygonF();
    // Rounding (and a NaN, which is inside no edge) kept on the frame.
    for (QPointF& p : mapped)
        p = QPointF(qBound(0.0, p.x(), w), qBound(0.0, p.y(), h));
    return mapped;
}

namespace {

// The rasteriser takes points in 1/64 pixel steps and lights a pixel only
// where the outline covers part of it: a polygon whose points lie within
// [x0, x1] touches pixels floor(x0 - 1/64) .. floor(x1 + 1/64) at most. The
// margin is four of its steps. Supports often stand a pixel apart; a whole
// pixel of margin would join their boxes into one group of thousands.
constexpr double kTouchMarginPx = 1.0 / 16;

using layerdraw::PixelBox;

// Of the segment a-b.
PixelBox pixelBoxOf(const QPointF& a, const QPointF& b)
{
    return {int(std::floor(qMin(a.x(), b.x()) - kTouchMarginPx)), int(std::floor(qMin(a.y(), b.y()) - kTouchMarginPx)),
            int(std::floor(qMax(a.x(), b.x()) + kTouchMarginPx)), int(std::floor(qMax(a.y(), b.y()) + kTouchMarginPx))};
}

PixelBox pixelBoxOf(const QPolygonF& polygon)
{
    const QRectF r = polygon.boundingRect();
    return pixelBoxOf(r.topLeft(), r.bottomRight());
}

class DisjointSets
{
public:
    explicit DisjointSets(int n) : m_parent(n) { std::iota(m_parent.begin(), m_parent.end(), 0); }
    int find(int i)
    {
        while (m_parent[i] != i) {
            m_parent[i] = m_parent[m_parent[i]];
            i = m_parent[i];
        }
        return i;
    }
    void unite(int a, int b)
    {
        a = find(a);
        b = find(b);
        if (a != b)
            m_parent[qMax(a, b)] = qMin(a, b);
    }

private:
    std::vector<int> m_parent;
};

// Groups polygons whose pixel boxes overlap, directly or through others.
// Groups touch disjoint pixels, so drawing each as its own odd-even path gives
// the same pixels as one path of everything: a closed outline lying wholly to
// the left of a pixel adds no crossing to it. The rasteriser re-walks every
// edge of a path for each band of rows it processes, so one path of
// many far-apart outlines costs several times the separate groups.
// Groups of indices into `boxes`.
std::vector<std::vector<int>> groupByOverlap(const std::vector<PixelBox>& boxes)
{
    const int n = int(boxes.size());
    std::vector<int> byLeft(n);
    std::iota(byLeft.begin(), byLeft.end(), 0);
    std::sort(byLeft.begin(), byLeft.end(), [&](int a, int b) { return boxes[a].left < boxes[b].left; });

    DisjointSets sets(n);
    std::vector<int> active; // boxes that may still reach the sweep position
    for (int i : byLeft) {
        const PixelBox& box = boxes[i];
        auto stillOpen = [&](int j) { return boxes[j].right >= box.left; };
        active.erase(std::stable_partition(active.begin(), active.end(), stillOpen), active.end());
        for (int j : active)
            if (box.overlaps(boxes[j]))
                sets.unite(i, j);
        active.push_back(i);
    }

    std::vector<std::vector<int>> groups;
    std::vector<int> groupOfRoot(n, -1);
    for (int i = 0; i < n; ++i) {
        const int root = sets.find(i);
        if (groupOfRoot[root] < 0) {
            groupOfRoot[root] = int(groups.size());
            groups.emplace_back();
        }
        groups[size_t(groupOfRoot[root])].push_back(i);
    }
    return groups;
}

// A wide group of many outlines is drawn a strip of columns at a time into a
// frame of the strip's width, then taken over where it lit pixels. The
// rasteriser keeps the cells of a row in a list it searches for every new
// one, so rows crossing thousands of supports cost the square of their
// cells; in a narrow frame the cells left of it fold into one, which keeps
// every pixel's coverage (its row's edges up to it sum the same) while a row
// holds no more cells than the strip is wide. Outlines wholly left of a
// strip add nothing to it and are left out.
constexpr int kStripPixels = 32;
constexpr int kStripsFrom = 32; // outlines in a group

// The lighter of each pair of pixels; a fixed width lets the compiler do it
// a vector at a time.
template <int Width>
void takeLit(uchar* __restrict to, const uchar* __restrict from)
{
    for (int x = 0; x < Width; ++x)
        to[x] = std::max(to[x], from[x]);
}

void takeLit(uchar* __restrict to, const uchar* __restrict from, int width)
{
    for (int x = 0; x < width; ++x)
        to[x] = std::max(to[x], from[x]);
}


// Of an outline drawn into the strip of columns [x0, x1], the points a
// strip's pixels depend on. Where it runs well left of the strip, a row's
// pixels only see the sum of its crossings there, which is the same for
// any path between the same two points on that side; right of the strip it
// adds nothing. So of each run of points on one side, the first and the
// last are kept: the edge between them stays on that side.
void keepNearStrip(const QPolygonF& outline, int x0, int x1, QPolygonF& kept)
{
    // Two pixels clear: the rasteriser folds cells left of its frame into
    // one and clips those right of it, whatever their fractions.
    const double leftOf = x0 - 2, rightOf = x1 + 3;
    auto side = [&](const QPointF& p) { return p.x() < leftOf ? -1 : p.x() > rightOf ? 1 : 0; };
    kept.clear();
    const int n = outline.size();
    for (int i = 0; i < n; ++i) {
        const int s = side(outline[i]);
        // Inside a run: its neighbours both lie on its side too.
        if (s != 0 && side(outline[(i + n - 1) % n]) == s && side(outline[(i + 1) % n]) == s)
            continue;
        kept.append(outline[i]);
    }
}

// Outlines of at least this many points are cut down to the points near a strip.
constexpr int kCutFromPoints = 64;

struct Strip {
    int x0, x1; // columns
};

// One odd-even path of the outlines `which` (nested outlines are holes);
// into a strip, long outlines keep only their points near it.
void drawPath(QPainter& painter, const QVector<QPolygonF>& mapped, const std::vector<int>& which,
              const Strip* strip = nullptr)
{
    QPainterPath path;
    QPolygonF cut;
    for (int i : which) {
        if (!strip || mapped[i].size() < kCutFromPoints) {
            path.addPolygon(mapped[i]);
            continue;
        }
        keepNearStrip(mapped[i], strip->x0, strip->x1, cut);
        path.addPolygon(cut);
    }
    painter.drawPath(path);
}

// An outline this long and this wide is walked again by every strip it
// reaches: a model wall round the supports standing inside it.
constexpr int kLongPoints = 128;
constexpr int kLongWidthPixels = 4 * kStripPixels;
// Cells of the map of pixels long outlines' edges may touch.
constexpr int kEdgeCellPixels = 4;

// Splits a group into the long outlines, with every outline whose pixels
// they may touch or that lies inside them (a hole, or what stands in a
// hole of a hole), and the rest. Each part touches pixels the other does
// not, and each is even-odd outside the other's pixels: drawn apart they
// give the pixels of one path. False when there is nothing to split off.
bool splitOffLong(const QVector<QPolygonF>& mapped, const std::vector<int>& members,
                  const std::vector<PixelBox>& boxes, const PixelBox& all, std::vector<int>& longPart,
                  std::vector<int>& rest)
{
    const size_t n = members.size();
    std::vector<char> inLong(n, 0);
    bool any = false;
    for (size_t k = 0; k < n; ++k) {
        const QPolygonF& p = mapped[members[k]];
        inLong[k] = p.size() >= kLongPoints && boxes[k].right - boxes[k].left >= kLongWidthPixels;
        any = any || inLong[k];
    }
    if (!any)
        return false;
    const int cellsX = (all.right - all.left) / kEdgeCellPixels + 1, cellsY = (all.bottom - all.top) / kEdgeCellPixels + 1;
    std::vector<char> touched(size_t(cellsX) * size_t(cellsY), 0);
    auto cellRange = [&](const PixelBox& b, int& x0, int& y0, int& x1, int& y1) {
        x0 = qBound(0, (b.left - all.left) / kEdgeCellPixels, cellsX - 1);
        x1 = qBound(0, (b.right - all.left) / kEdgeCellPixels, cellsX - 1);
        y0 = qBound(0, (b.top - all.top) / kEdgeCellPixels, cellsY - 1);
        y1 = qBound(0, (b.bottom - all.top) / kEdgeCellPixels, cellsY - 1);
    };
    auto markEdges = [&](const QPolygonF& p) {
        for (int i = 0; i < p.size(); ++i) {
            const PixelBox e = pixelBoxOf(p[i], p[(i + 1) % p.size()]);
            int x0, y0, x1, y1;
            cellRange(e, x0, y0, x1, y1);
            for (int y = y0; y <= y1; ++y)
                std::fill(touched.begin() + y * cellsX + x0, touched.begin() + y * cellsX + x1 + 1, char(1));
        }
    };
    auto touches = [&](const PixelBox& b) {
        int x0, y0, x1, y1;
        cellRange(b, x0, y0, x1, y1);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (touched[size_t(y * cellsX + x)])
                    return true;
        return false;
    };
    // Where each row's middle crosses the long part's edges, sorted: a
    // point away from those edges lies inside the long part (even-odd) when
    // an odd number of them lie left of it.
    const int rows = all.bottom - all.top + 1;
    std::vector<std::vector<double>> crossings(static_cast<size_t>(rows));
    std::vector<char> unsorted(static_cast<size_t>(rows), 0);
    auto addCrossings = [&](const QPolygonF& p) {
        for (int i = 0; i < p.size(); ++i) {
            const QPointF& a = p[i];
            const QPointF& b = p[(i + 1) % p.size()];
            if (a.y() == b.y())
                continue;
            const double y0 = qMin(a.y(), b.y()), y1 = qMax(a.y(), b.y());
            // Row middles r + 0.5 in [y0, y1).
            const int r0 = qMax(all.top, int(std::ceil(y0 - 0.5))), r1 = qMin(all.bottom, int(std::ceil(y1 - 0.5)) - 1);
            for (int r = r0; r <= r1; ++r) {
                const double y = r + 0.5;
                crossings[size_t(r - all.top)].push_back(a.x() + (y - a.y()) * (b.x() - a.x()) / (b.y() - a.y()));
                unsorted[size_t(r - all.top)] = 1;
            }
        }
    };
    auto insideLong = [&](const PixelBox& b) {
        const int r = qBound(all.top, (b.top + b.bottom) / 2, all.bottom);
        std::vector<double>& row = crossings[size_t(r - all.top)];
        if (unsorted[size_t(r - all.top)]) {
            std::sort(row.begin(), row.end());
            unsorted[size_t(r - all.top)] = 0;
        }
        const double x = 0.5 * (b.left + b.right) + 0.5;
        return (std::lower_bound(row.begin(), row.end(), x) - row.begin()) % 2 == 1;
    };
    auto takeIn = [&](size_t k) {
        inLong[k] = 1;
        markEdges(mapped[members[k]]);
        addCrossings(mapped[members[k]]);
    };
    for (size_t k = 0; k < n; ++k)
        if (inLong[k])
            takeIn(k);
    // Until nothing moves: an outline taken in changes what the others touch
    // and what they lie inside. Larger outlines first, holes before what
    // stands in them.
    std::vector<size_t> order;
    for (size_t k = 0; k < n; ++k)
        if (!inLong[k])
            order.push_back(k);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return qint64(boxes[a].right - boxes[a].left) * (boxes[a].bottom - boxes[a].top) >
               qint64(boxes[b].right - boxes[b].left) * (boxes[b].bottom - boxes[b].top);
    });
    for (bool moved = true; moved;) {
        moved = false;
        for (size_t k : order) {
            if (inLong[k])
                continue;
            // Away from the long part's edges its inside does not change
            // over the outline's box: its middle tells.
            if (touches(boxes[k]) || insideLong(boxes[k])) {
                takeIn(k);
                moved = true;
            }
        }
    }
    longPart.clear();
    rest.clear();
    for (size_t k = 0; k < n; ++k)
        (inLong[k] ? longPart : rest).push_back(members[k]);
    return !rest.empty();
}

// Draws the outlines `members` of `mapped`, whose pixel boxes are `pixelBoxes`.
void drawMembers(QPainter& painter, QImage* frame, const QVector<QPolygonF>& mapped,
                 const std::vector<PixelBox>& pixelBoxes, const std::vector<int>& members, bool splitLong)
{
    std::vector<PixelBox> boxes;
    boxes.reserve(members.size());
    PixelBox all{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int i : members) {
        boxes.push_back(pixelBoxes[size_t(i)]);
        const PixelBox& b = boxes.back();
        all = {qMin(all.left, b.left), qMin(all.top, b.top), qMax(all.right, b.right), qMax(all.bottom, b.bottom)};
    }
    if (!frame || frame->format() != QImage::Format_Grayscale8 || members.size() < size_t(kStripsFrom) ||
        all.right - all.left < 2 * kStripPixels) {
        drawPath(painter, mapped, members);
        return;
    }
    std::vector<int> longPart, rest;
    if (splitLong && splitOffLong(mapped, members, boxes, all, longPart, rest)) {
        drawMembers(painter, frame, mapped, pixelBoxes, longPart, false);
        // Without the long part round them, the rest mostly stand apart.
        std::vector<PixelBox> restBoxes;
        restBoxes.reserve(rest.size());
        for (int i : rest)
            restBoxes.push_back(pixelBoxes[size_t(i)]);
        std::vector<int> group;
        for (const std::vector<int>& indices : groupByOverlap(restBoxes)) {
            group.clear();
            for (int k : indices)
                group.push_back(rest[size_t(k)]);
            drawMembers(painter, frame, mapped, pixelBoxes, group, false);
        }
        return;
    }
    // Rows of the group within the frame; the strips cover them and no more.
    const int top = qMax(all.top, 0), bottom = qMin(all.bottom, frame->height() - 1);
    const int left = qMax(all.left, 0), right = qMin(all.right, frame->width() - 1);
    if (top > bottom || left > right)
        return;
    QImage strip(kStripPixels, bottom - top + 1, QImage::Format_Grayscale8);
    if (strip.isNull()) {
        drawPath(painter, mapped, members);
        return;
    }
    QPainter stripPainter(&strip);
    stripPainter.setRenderHint(QPainter::Antialiasing, true);
    stripPainter.setPen(Qt::NoPen);
    stripPainter.setBrush(painter.brush());
    std::vector<int> reaching;
    for (int x0 = left; x0 <= right; x0 += kStripPixels) {
        const int x1 = qMin(x0 + kStripPixels - 1, right);
        reaching.clear();
        // Only the rows the reaching outlines cover can light.
        int y0 = bottom + 1, y1 = top - 1;
        for (size_t k = 0; k < members.size(); ++k)
            if (boxes[k].right >= x0 && boxes[k].left <= x1) {
                reaching.push_back(members[k]);
                y0 = qMin(y0, boxes[k].top);
                y1 = qMax(y1, boxes[k].bottom);
            }
        y0 = qMax(y0, top);
        y1 = qMin(y1, bottom);
        if (reaching.empty() || y0 > y1)
            continue;
        for (int y = y0; y <= y1; ++y)
            std::memset(strip.scanLine(y - top), 0, size_t(kStripPixels));
        stripPainter.resetTransform();
        // Whole pixels: the rasteriser sees the same fractions at every point.
        stripPainter.translate(-x0, -top);
        const Strip columns{x0, x1};
        drawPath(stripPainter, mapped, reaching, &columns);
        const int width = x1 - x0 + 1;
        for (int y = y0; y <= y1; ++y) {
            const uchar* from = strip.constScanLine(y - top);
            uchar* to = frame->scanLine(y) + x0;
            if (width == kStripPixels)
                takeLit<kStripPixels>(to, from);
            else
                takeLit(to, from, width);
        }
    }
}

} // namespace

namespace layerdraw {

PixelBox PixelBoxOf(const QRectF& bounds) { return pixelBoxOf(bounds.topLeft(), bounds.bottomRight()); }

PixelBox PixelBoxOf(const QPolygonF& polygon) { return pixelBoxOf(polygon); }

std::vector<std::vector<int>> GroupByOverlap(const std::vector<PixelBox>& boxes) { return groupByOverlap(boxes); }

void DrawGroup(QPainter& painter, QImage* frame, const QVector<QPolygonF>& mapped, const std::vector<PixelBox>& boxes,
               const std::vector<int>& members)
{
    drawMembers(painter, frame, mapped, boxes, members, true);
}

} // namespace layerdraw

QRect RenderLayer(QPainter& painter, const QVector<SlicePolygon>& layer, bool swapXY, int imageWidth, int imageHeight,
                  const QRect& dirty)
{
    const QRect frame(0, 0, imageWidth, imageHeight);
    // Only what the previous layer lit needs clearing; a frame is mostly black.
    const QRect toClear = dirty & frame;
    if (!toClear.isEmpty()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(toClear, Qt::black);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setBrush(Qt::white);

    QVector<QPolygonF> mapped;
    mapped.reserve(layer.size());
    for (const SlicePolygon& polygon : layer) {
        if (polygon.isEmpty())
            continue;
        QPolygonF copy = MapLayerPolygon(polygon, swapXY, imageWidth, imageHeight);
        if (!copy.isEmpty())
            mapped.append(copy);
    }

    // The lit box is what the encoder scans and the next layer clears, so a
    // pixel lit outside it would be lost or left behind: keep a wider margin
    // than the grouping needs.
    PixelBox lit{imageWidth, imageHeight, -1, -1};
    std::vector<PixelBox> boxes;
    boxes.reserve(size_t(mapped.size()));
    for (const QPolygonF& polygon : mapped) {
        const PixelBox box = pixelBoxOf(polygon);
        lit = {qMin(lit.left, box.left - 1), qMin(lit.top, box.top - 1), qMax(lit.right, box.right + 1),
               qMax(lit.bottom, box.bottom + 1)};
        boxes.push_back(box);
    }

    // Groups touch disjoint pixels, all black until drawn: a strip's pixels
    // are taken over as they are.
    QImage* image = dynamic_cast<QImage*>(painter.device());
    for (const std::vector<int>& group : groupByOverlap(boxes))
        drawMembers(painter, image, mapped, boxes, group, true);
    return QRect(QPoint(lit.left, lit.top), QPoint(lit.right, lit.bottom)) & frame;
}
