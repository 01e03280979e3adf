#include "layers/litgroups.h"

#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstring>
#include <numeric>

namespace layers {

namespace {

// Pixels round a group's pixel box that are read for its lit pixels (the
// renderer's own lit box keeps the same margin).
constexpr int kReadMargin = 1;
// Cells of the grid that finds the overlapping boxes: 16 pixels.
constexpr int kCellShift = 4;
// Boxes in one cell beyond which they are swept rather than paired.
constexpr int kPairedPerCell = 24;

quint64 KeyOf(const SlicePolygon* const* members, int count)
{
    quint64 h = 0x9E3779B97F4A7C15ull ^ quint64(count);
    for (int k = 0; k < count; ++k) {
        h = (h ^ quint64(reinterpret_cast<quintptr>(members[k]->constData()))) * 0xFF51AFD7ED558CCDull;
        h = (h ^ quint64(members[k]->size())) * 0xC4CEB9FE1A85EC53ull;
        h ^= h >> 29;
    }
    return h;
}

// The slice hands on an outline that repeats as the very same points.
bool SamePoints(const SlicePolygon& a, const SlicePolygon& b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

int Root(std::vector<int>& parent, int i)
{
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

void Unite(std::vector<int>& parent, int a, int b)
{
    a = Root(parent, a);
    b = Root(parent, b);
    if (a != b)
        parent[size_t(std::max(a, b))] = std::min(a, b);
}

// Eight grey pixels at once: whether none is lit, whether all are.
constexpr quint64 kLevelBits = 0x0101010101010101ull * quint64(0xFF << (8 - kLayerImageBits) & 0xFF);
inline bool NoneLit(quint64 eight) { return (eight & kLevelBits) == 0; }
inline bool AllLit(quint64 eight)
{
    const quint64 v = eight & kLevelBits;
    return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) == 0; // no byte is 0
}
inline quint64 Eight(const uchar* p)
{
    quint64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

void GroupedLitIslandCounter::Groups::Clear()
{
    members.clear();
    runs.clear();
    groups.clear();
    table.clear();
}

void GroupedLitIslandCounter::Groups::Index()
{
    size_t size = 16;
    while (size < 2 * groups.size())
        size *= 2;
    table.assign(size, -1);
    for (int g = 0; g < int(groups.size()); ++g) {
        size_t slot = size_t(groups[size_t(g)].key) & (size - 1);
        while (table[slot] >= 0)
            slot = (slot + 1) & (size - 1);
        table[slot] = g;
    }
}

int GroupedLitIslandCounter::Groups::Find(quint64 key, const SlicePolygon* const* polygons, int count) const
{
    if (table.empty())
        return -1;
    const size_t mask = table.size() - 1;
    for (size_t slot = size_t(key) & mask; table[slot] >= 0; slot = (slot + 1) & mask) {
        const Group& g = groups[size_t(table[slot])];
        if (g.key != key || g.memberCount != count)
            continue;
        bool same = true;
        for (int k = 0; same && k < count; ++k) {
            same = SamePoints(members[size_t(g.firstMember + k)], *polygons[k]);
        }
        if (same)
            return table[slot];
    }
    return -1;
}

GroupedLitIslandCounter::GroupedLitIslandCounter(const QSize& frame, bool turned) : m_frame(frame), m_turned(turned)
{
}

GroupedLitIslandCounter::~GroupedLitIslandCounter()
{
    m_painter.reset(); // before its image
}

bool GroupedLitIslandCounter::Scratch(int width, int height)
{
    if (m_scratch && m_scratch->width() >= width && m_scratch->height() >= height)
        return m_painter && m_painter->isActive();
    if (m_scratch) {
        // Grown by half at least: a layer's groups often outgrow the last by
        // a few pixels (a dome's rings), and each new image is cleared whole.
        width = std::max({width, m_scratch->width(), std::min(m_frame.width(), m_scratch->width() * 3 / 2)});
        height = std::max({height, m_scratch->height(), std::min(m_frame.height(), m_scratch->height() * 3 / 2)});
    }
    m_painter.reset();
    m_scratch = std::make_unique<QImage>(width, height, QImage::Format_Grayscale8);
    if (m_scratch->isNull()) {
        m_scratch.reset();
        return false;
    }
    m_scratch->fill(0);
    m_painter = std::make_unique<QPainter>(m_scratch.get());
    m_painter->setRenderHint(QPainter::Antialiasing, true);
    m_painter->setPen(Qt::NoPen);
    m_painter->setBrush(Qt::white);
    return m_painter->isActive();
}

void GroupedLitIslandCounter::GroupLayer(const QVector<SlicePolygon>& layer)
{
    const int W = m_frame.width(), H = m_frame.height();
    m_boxes.clear();
    m_polygonOf.clear();
    m_outside.clear();
    m_outsideOf.clear();
    for (int i = 0; i < layer.size(); ++i) {
        const SlicePolygon& polygon = layer[i];
        if (polygon.isEmpty())
            continue;
        // As the renderer maps it: a polygon within the frame as it is,
        // one reaching out of it cut at its edges. Its box as
        // SlicePolygon::boundingRect gives it, in the same pass. Turned,
        // (x, y) lands at (W - y, x), within the frame where (x, y) lies
        // within the layers' own.
        const double ownW = m_turned ? H : W, ownH = m_turned ? W : H;
        bool within = true;
        float minX = polygon.constData()[0].x, maxX = minX, minY = polygon.constData()[0].y, maxY = minY;
        for (const SlicePoint& p : polygon) {
            const double x = double(p.x), y = double(p.y);
            if (!(x >= 0 && x <= ownW && y >= 0 && y <= ownH)) {
                within = false;
                break;
            }
            if (p.x < minX)
                minX = p.x;
            else if (p.x > maxX)
                maxX = p.x;
            if (p.y < minY)
                minY = p.y;
            else if (p.y > maxY)
                maxY = p.y;
        }
        if (within && m_turned) {
            // W - y is exact in double.
            const double left = double(W) - double(maxY), right = double(W) - double(minY);
            m_boxes.push_back(layerdraw::PixelBoxOf(
                QRectF(left, double(minX), right - left, double(maxX) - double(minX))));
            m_outsideOf.push_back(-1);
        } else if (within) {
            m_boxes.push_back(layerdraw::PixelBoxOf(QRectF(double(minX), double(minY), double(maxX) - double(minX),
                                                           double(maxY) - double(minY))));
            m_outsideOf.push_back(-1);
        } else {
            QPolygonF mapped = MapLayerPolygon(polygon, m_turned, W, H);
            if (mapped.isEmpty())
                continue;
            m_boxes.push_back(layerdraw::PixelBoxOf(mapped));
            m_outsideOf.push_back(m_outside.size());
            m_outside.append(std::move(mapped));
        }
        m_polygonOf.push_back(i);
    }

    // Boxes that overlap share a cell of the grid: each cell's boxes are
    // paired (or swept, where many crowd one cell).
    const int n = int(m_boxes.size());
    m_parent.resize(size_t(n));
    std::iota(m_parent.begin(), m_parent.end(), 0);
    const int cellsX = ((W + 1) >> kCellShift) + 2, cellsY = ((H + 1) >> kCellShift) + 2;
    auto cellRange = [&](const PixelBox& b, int& x0, int& y0, int& x1, int& y1) {
        // Boxes reach a pixel beyond the frame at most: -1 .. W.
        x0 = (std::max(-1, std::min(W, b.left)) + 1) >> kCellShift;
        x1 = (std::max(-1, std::min(W, b.right)) + 1) >> kCellShift;
        y0 = (std::max(-1, std::min(H, b.top)) + 1) >> kCellShift;
        y1 = (std::max(-1, std::min(H, b.bottom)) + 1) >> kCellShift;
    };
    m_cellStart.assign(size_t(cellsX) * size_t(cellsY) + 1, 0);
    for (int i = 0; i < n; ++i) {
        int x0, y0, x1, y1;
        cellRange(m_boxes[size_t(i)], x0, y0, x1, y1);
        for (int cy = y0; cy <= y1; ++cy)
            for (int cx = x0; cx <= x1; ++cx)
                ++m_cellStart[size_t(cy) * size_t(cellsX) + size_t(cx) + 1];
    }
    for (size_t c = 1; c < m_cellStart.size(); ++c)
        m_cellStart[c] += m_cellStart[c - 1];
    m_cellItems.resize(size_t(m_cellStart.back()));
    m_work.assign(m_cellStart.begin(), m_cellStart.end() - 1);
    for (int i = 0; i < n; ++i) {
        int x0, y0, x1, y1;
        cellRange(m_boxes[size_t(i)], x0, y0, x1, y1);
        for (int cy = y0; cy <= y1; ++cy)
            for (int cx = x0; cx <= x1; ++cx)
                m_cellItems[size_t(m_work[size_t(cy) * size_t(cellsX) + size_t(cx)]++)] = i;
    }
    std::vector<int> active;
    for (size_t c = 0; c + 1 < m_cellStart.size(); ++c) {
        int* items = m_cellItems.data() + m_cellStart[c];
        const int k = m_cellStart[c + 1] - m_cellStart[c];
        if (k <= kPairedPerCell) {
            for (int a = 0; a < k; ++a)
                for (int b = a + 1; b < k; ++b)
                    if (m_boxes[size_t(items[a])].overlaps(m_boxes[size_t(items[b])]))
                        Unite(m_parent, items[a], items[b]);
            continue;
        }
        std::sort(items, items + k, [this](int a, int b) { return m_boxes[size_t(a)].left < m_boxes[size_t(b)].left; });
        active.clear();
        for (int t = 0; t < k; ++t) {
            const PixelBox& box = m_boxes[size_t(items[t])];
            size_t kept = 0;
            for (int j : active)
                if (m_boxes[size_t(j)].right >= box.left) {
                    active[kept++] = j;
                    if (box.overlaps(m_boxes[size_t(j)]))
                        Unite(m_parent, items[t], j);
                }
            active.resize(kept);
            active.push_back(items[t]);
        }
    }
    // Each group's members ascending, the groups in the order of their first.
    m_work.assign(size_t(n), -1); // group of each root
    m_groupStart.clear();
    m_groupOf.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        const int root = Root(m_parent, i);
        if (m_work[size_t(root)] < 0) {
            m_work[size_t(root)] = int(m_groupStart.size());
            m_groupStart.push_back(0);
        }
        m_groupOf[size_t(i)] = m_work[size_t(root)];
        ++m_groupStart[size_t(m_groupOf[size_t(i)])];
    }
    int at = 0;
    for (int& s : m_groupStart) {
        const int count = s;
        s = at;
        at += count;
    }
    m_groupStart.push_back(n);
    m_work.assign(m_groupStart.begin(), m_groupStart.end() - 1);
    m_groupMembers.resize(size_t(n));
    for (int i = 0; i < n; ++i)
        m_groupMembers[size_t(m_work[size_t(m_groupOf[size_t(i)])]++)] = i;
}

void GroupedLitIslandCounter::DrawRuns(const QVector<SlicePolygon>& layer, const int* members, int count,
                                       const PixelBox& box, std::vector<LitRun>& runs)
{
    const int W = m_frame.width(), H = m_frame.height();
    const QRect read = QRect(QPoint(box.left - kReadMargin, box.top - kReadMargin),
                             QPoint(box.right + kReadMargin, box.bottom + kReadMargin)) &
                       QRect(0, 0, W, H);
    if (read.isEmpty())
        return;
    // The group is drawn with its pixels moved by whole pixels (the
    // renderer sees the same fractions), into an image whose right and
    // bottom edges are the frame's where the group reaches them: the
    // renderer cuts a group's strips at its image's edges.
    const int ox = read.left(), oy = read.top();
    const bool toRight = box.right >= W - 1, toBottom = box.bottom >= H - 1;
    const int width = toRight ? W - ox : box.right + kReadMargin + 1 - ox;
    const int height = toBottom ? H - oy : box.bottom + kReadMargin + 1 - oy;
    QVector<QPolygonF> mapped;
    mapped.reserve(count);
    std::vector<PixelBox> boxes;
    boxes.reserve(size_t(count));
    std::vector<int> all(static_cast<size_t>(count));
    std::iota(all.begin(), all.end(), 0);
    const QPointF shift(ox, oy);
    for (int k = 0; k < count; ++k) {
        const int m = members[k];
        QPolygonF p;
        if (m_outsideOf[size_t(m)] >= 0) {
            p = m_outside[m_outsideOf[size_t(m)]];
            for (QPointF& q : p)
                q -= shift;
        } else {
            const SlicePolygon& polygon = layer[m_polygonOf[size_t(m)]];
            p.reserve(polygon.size());
            for (const SlicePoint& q : polygon)
                p.append(m_turned ? QPointF(double(W) - double(q.y) - shift.x(), double(q.x) - shift.y())
                                  : QPointF(double(q.x) - shift.x(), double(q.y) - shift.y()));
        }
        boxes.push_back(layerdraw::PixelBoxOf(p));
        mapped.append(std::move(p));
    }
    QImage own;
    std::unique_ptr<QPainter> ownPainter;
    QImage* image = nullptr;
    QPainter* painter = nullptr;
    if (toRight || toBottom) {
        own = QImage(width, height, QImage::Format_Grayscale8);
        if (own.isNull())
            return;
        own.fill(0);
        ownPainter = std::make_unique<QPainter>(&own);
        ownPainter->setRenderHint(QPainter::Antialiasing, true);
        ownPainter->setPen(Qt::NoPen);
        ownPainter->setBrush(Qt::white);
        image = &own;
        painter = ownPainter.get();
    } else {
        if (!Scratch(width, height))
            return;
        image = m_scratch.get();
        painter = m_painter.get();
    }
    layerdraw::DrawGroup(*painter, image, mapped, boxes, all);
    ++m_groupsDrawn;
    const int n = read.width();
    for (int y = read.top(); y <= read.bottom(); ++y) {
        uchar* row = image->scanLine(y - oy);
        for (int x = 0; x < n;) {
            while (x + 8 <= n && NoneLit(Eight(row + x)))
                x += 8;
            while (x < n && !LitLevel(row[x]))
                ++x;
            if (x >= n)
                break;
            const int start = x;
            while (x + 8 <= n && AllLit(Eight(row + x)))
                x += 8;
            while (x < n && LitLevel(row[x]))
                ++x;
            runs.push_back({y, start + ox, x - 1 + ox});
        }
        if (image == m_scratch.get())
            std::memset(row, 0, size_t(n)); // black again for the next group
    }
}

void GroupedLitIslandCounter::LayerRuns(const QVector<SlicePolygon>& layer, bool keep, std::vector<LitRun>& runs)
{
    GroupLayer(layer);
    m_making.Clear();
    m_drawn.clear();
    m_unsorted.clear();
    std::vector<LitRun>& made = keep ? m_making.runs : m_unsorted;
    const int groups = int(m_groupStart.size()) - 1;
    for (int g = 0; g < groups; ++g) {
        const int* members = m_groupMembers.data() + m_groupStart[size_t(g)];
        const int count = m_groupStart[size_t(g) + 1] - m_groupStart[size_t(g)];
        m_memberPolygons.resize(size_t(count));
        for (int k = 0; k < count; ++k)
            m_memberPolygons[size_t(k)] = &layer[m_polygonOf[size_t(members[k])]];
        const size_t firstRun = made.size();
        quint64 key = 0;
        bool have = false;
        if (keep) {
            key = KeyOf(m_memberPolygons.data(), count);
            const int found = m_kept.Find(key, m_memberPolygons.data(), count);
            if (found >= 0) {
                const Groups::Group& was = m_kept.groups[size_t(found)];
                made.insert(made.end(), m_kept.runs.begin() + was.firstRun,
                            m_kept.runs.begin() + was.firstRun + was.runCount);
                ++m_groupsKept;
                have = true;
            }
        }
        if (!have) {
            PixelBox box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
            for (int k = 0; k < count; ++k) {
                const PixelBox& b = m_boxes[size_t(members[k])];
                box = {std::min(box.left, b.left), std::min(box.top, b.top), std::max(box.right, b.right),
                       std::max(box.bottom, b.bottom)};
            }
            DrawRuns(layer, members, count, box, made);
            m_drawn.push_back({int(firstRun), int(made.size() - firstRun)});
        }
        if (keep) {
            m_making.groups.push_back({key, int(m_making.members.size()), count, int(firstRun),
                                       int(made.size() - firstRun)});
            for (const SlicePolygon* p : m_memberPolygons)
                m_making.members.push_back(*p);
        }
    }
    if (keep) {
        m_making.Index();
        std::swap(m_kept, m_making); // the ground of the next layer's lookups
    }
    const std::vector<LitRun>& source = keep ? m_kept.runs : m_unsorted;

    // In row order: by row, each group's runs kept in their order; groups
    // whose boxes interleave in a row are put in order there.
    const int H = m_frame.height();
    m_rowStart.assign(size_t(H) + 1, 0);
    for (const LitRun& r : source)
        ++m_rowStart[size_t(r.y) + 1];
    for (int y = 0; y < H; ++y)
        m_rowStart[size_t(y) + 1] += m_rowStart[size_t(y)];
    runs.resize(source.size());
    for (const LitRun& r : source)
        runs[size_t(m_rowStart[size_t(r.y)]++)] = r;
    // m_rowStart[y] is now where row y + 1 begins.
    for (size_t i = 1; i < runs.size(); ++i) {
        if (runs[i].y != runs[i - 1].y || runs[i].x0 > runs[i - 1].x1)
            continue;
        const int y = runs[i].y;
        const auto from = runs.begin() + (y > 0 ? m_rowStart[size_t(y) - 1] : 0), to = runs.begin() + m_rowStart[size_t(y)];
        std::sort(from, to, [](const LitRun& a, const LitRun& b) { return a.x0 < b.x0; });
        i = size_t(m_rowStart[size_t(y)]);
    }
    // Groups lighting neighbouring pixels of a row make one run there, as
    // one drawing of the layer would.
    size_t kept = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (kept > 0 && runs[kept - 1].y == runs[i].y && runs[i].x0 <= runs[kept - 1].x1 + 1) {
            runs[kept - 1].x1 = std::max(runs[kept - 1].x1, runs[i].x1);
            continue;
        }
        runs[kept++] = runs[i];
    }
    runs.resize(kept);
}

void GroupedLitIslandCounter::AddLayer(const QVector<SlicePolygon>& layer, bool count, std::vector<QPoint>& islands)
{
    // The very polygons of the layer below, in the same order (columns
    // only): the same pixels, each resting on itself.
    if (m_hasBelow && m_lastLayer.size() == layer.size()) {
        bool same = true;
        for (int i = 0; same && i < layer.size(); ++i)
            same = SamePoints(layer[i], m_lastLayer[i]);
        if (same) {
            ++m_layersRepeated;
            return;
        }
    }
    m_lastLayer = layer;
    LayerRuns(layer, true, m_here);
    IndexRows(m_here, m_frame.height(), m_hereRows);
    // A group taken over lights what it lit on the layer below, pixel for
    // pixel: it rests. So where every region of each group drawn rests, the
    // layer holds no island, and its regions are joined only when asked for.
    bool rests = !count || !m_hasBelow;
    if (!rests) {
        rests = true;
        for (size_t g = 0; rests && g < m_drawn.size(); ++g)
            rests = EveryRegionRests(m_kept.runs.data() + m_drawn[g].first, m_drawn[g].second, m_below, m_belowRows,
                                     m_groupRegions);
    }
    m_regionsJudged = !rests;
    if (!rests)
        JudgeLitRuns(m_here, &m_below, m_regionOf, &islands);
    // This layer is the ground of the next (and where LightIslands looks).
    m_below.swap(m_here);
    m_belowRows.swap(m_hereRows);
    m_hasBelow = true;
}

const std::vector<int>& GroupedLitIslandCounter::regionOf()
{
    if (!m_regionsJudged) {
        JudgeLitRuns(m_below, nullptr, m_regionOf, nullptr);
        m_regionsJudged = true;
    }
    return m_regionOf;
}

std::vector<bool> GroupedLitIslandCounter::LightIslands(const QVector<SlicePolygon>& polygons,
                                                       const std::vector<QPoint>& islands)
{
    if (islands.empty())
        return {};
    std::vector<LitRun> lit;
    LayerRuns(polygons, false, lit);
    return IslandsMeeting(m_below, regionOf(), islands, lit);
}

} // namespace layers
