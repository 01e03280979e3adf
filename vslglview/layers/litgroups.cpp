#include "layers/litgroups.h"

#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstring>

namespace layers {

namespace {

// Pixels round a group's pixel box that are read for its lit pixels (the
// renderer's own lit box keeps the same margin).
constexpr int kReadMargin = 1;

quint64 MembersKey(const QVector<SlicePolygon>& layer, const std::vector<int>& polygonOf, const std::vector<int>& members)
{
    quint64 h = 0x9E3779B97F4A7C15ull ^ quint64(members.size());
    for (int m : members) {
        const SlicePolygon& p = layer[polygonOf[size_t(m)]];
        h = (h ^ quint64(reinterpret_cast<quintptr>(p.constData()))) * 0xFF51AFD7ED558CCDull;
        h = (h ^ quint64(p.size())) * 0xC4CEB9FE1A85EC53ull;
        h ^= h >> 29;
    }
    return h;
}

// The same points, by their storage: a copy of a kept polygon shares it.
bool SameStorage(const SlicePolygon& a, const SlicePolygon& b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

} // namespace

GroupedLitIslandCounter::GroupedLitIslandCounter(const QSize& frame) : m_frame(frame) {}

GroupedLitIslandCounter::~GroupedLitIslandCounter()
{
    m_painter.reset(); // before its image
}

bool GroupedLitIslandCounter::Scratch(int width, int height)
{
    if (m_scratch && m_scratch->width() >= width && m_scratch->height() >= height)
        return m_painter && m_painter->isActive();
    if (m_scratch) {
        width = std::max(width, m_scratch->width());
        height = std::max(height, m_scratch->height());
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

void GroupedLitIslandCounter::DrawRuns(const QVector<SlicePolygon>& layer, const std::vector<int>& members,
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
    mapped.reserve(int(members.size()));
    std::vector<PixelBox> boxes;
    boxes.reserve(members.size());
    std::vector<int> all;
    all.reserve(members.size());
    const QPointF shift(ox, oy);
    for (int m : members) {
        QPolygonF p = m_outsideOf[size_t(m)] >= 0 ? m_outside[m_outsideOf[size_t(m)]]
                                                  : layer[m_polygonOf[size_t(m)]].toPolygonF();
        for (QPointF& q : p)
            q -= shift;
        boxes.push_back(layerdraw::PixelBoxOf(p));
        all.push_back(int(mapped.size()));
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
    // Eight pixels at a time where none is lit.
    constexpr quint64 kHighBits = 0x0101010101010101ull * quint64(0xFF << (8 - kLayerImageBits) & 0xFF);
    const int n = read.width();
    for (int y = read.top(); y <= read.bottom(); ++y) {
        uchar* row = image->scanLine(y - oy);
        for (int x = 0; x < n; ++x) {
            if (x + 8 <= n) {
                quint64 eight;
                std::memcpy(&eight, row + x, sizeof eight);
                if ((eight & kHighBits) == 0) {
                    x += 7;
                    continue;
                }
            }
            if (!LitLevel(row[x]))
                continue;
            const int start = x;
            while (x + 1 < n && LitLevel(row[x + 1]))
                ++x;
            runs.push_back({y, start + ox, x + ox});
        }
        if (image == m_scratch.get())
            std::memset(row, 0, size_t(n)); // black again for the next group
    }
}

void GroupedLitIslandCounter::LayerRuns(const QVector<SlicePolygon>& layer, bool keep, std::vector<LitRun>& runs)
{
    const int W = m_frame.width(), H = m_frame.height();
    runs.clear();
    m_boxes.clear();
    m_polygonOf.clear();
    m_outside.clear();
    m_outsideOf.clear();
    for (int i = 0; i < layer.size(); ++i) {
        const SlicePolygon& polygon = layer[i];
        if (polygon.isEmpty())
            continue;
        // As the renderer maps it: a polygon within the frame as it is,
        // one reaching out of it cut at its edges.
        bool within = true;
        for (const SlicePoint& p : polygon) {
            const double x = double(p.x), y = double(p.y);
            if (!(x >= 0 && x <= W && y >= 0 && y <= H)) {
                within = false;
                break;
            }
        }
        if (within) {
            m_boxes.push_back(layerdraw::PixelBoxOf(polygon.boundingRect()));
            m_outsideOf.push_back(-1);
        } else {
            QPolygonF mapped = MapLayerPolygon(polygon, false, W, H);
            if (mapped.isEmpty())
                continue;
            m_boxes.push_back(layerdraw::PixelBoxOf(mapped));
            m_outsideOf.push_back(m_outside.size());
            m_outside.append(std::move(mapped));
        }
        m_polygonOf.push_back(i);
    }

    m_unsorted.clear();
    for (const std::vector<int>& members : layerdraw::GroupByOverlap(m_boxes)) {
        PixelBox box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int m : members) {
            const PixelBox& b = m_boxes[size_t(m)];
            box = {std::min(box.left, b.left), std::min(box.top, b.top), std::max(box.right, b.right),
                   std::max(box.bottom, b.bottom)};
        }
        quint64 key = 0;
        if (keep) {
            key = MembersKey(layer, m_polygonOf, members);
            const auto range = m_kept.equal_range(key);
            auto found = range.second;
            for (auto it = range.first; it != range.second && found == range.second; ++it) {
                const Group& g = it->second;
                bool same = g.members.size() == members.size();
                for (size_t k = 0; same && k < members.size(); ++k)
                    same = SameStorage(g.members[k], layer[m_polygonOf[size_t(members[k])]]);
                if (same)
                    found = it;
            }
            if (found != range.second) {
                found->second.used = m_layer;
                m_unsorted.insert(m_unsorted.end(), found->second.runs.begin(), found->second.runs.end());
                ++m_groupsKept;
                continue;
            }
        }
        const size_t first = m_unsorted.size();
        DrawRuns(layer, members, box, m_unsorted);
        if (keep) {
            Group g;
            g.members.reserve(members.size());
            for (int m : members)
                g.members.push_back(layer[m_polygonOf[size_t(m)]]);
            g.runs.assign(m_unsorted.begin() + long(first), m_unsorted.end());
            g.used = m_layer;
            m_kept.emplace(key, std::move(g));
        }
    }
    if (keep)
        for (auto it = m_kept.begin(); it != m_kept.end();)
            it = it->second.used == m_layer ? std::next(it) : m_kept.erase(it);

    // In row order: by row, each group's runs kept in their order; groups
    // whose boxes interleave in a row are put in order there.
    std::vector<int> start(size_t(H) + 1, 0);
    for (const LitRun& r : m_unsorted)
        ++start[size_t(r.y) + 1];
    for (int y = 0; y < H; ++y)
        start[size_t(y) + 1] += start[size_t(y)];
    runs.resize(m_unsorted.size());
    for (const LitRun& r : m_unsorted)
        runs[size_t(start[size_t(r.y)]++)] = r;
    // start[y] is now where row y + 1 begins.
    for (size_t i = 1; i < runs.size(); ++i) {
        if (runs[i].y != runs[i - 1].y || runs[i].x0 > runs[i - 1].x1)
            continue;
        const int y = runs[i].y;
        const auto from = runs.begin() + (y > 0 ? start[size_t(y) - 1] : 0), to = runs.begin() + start[size_t(y)];
        std::sort(from, to, [](const LitRun& a, const LitRun& b) { return a.x0 < b.x0; });
        i = size_t(start[size_t(y)]);
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
    ++m_layer;
    LayerRuns(layer, true, m_here);
    JudgeLitRuns(m_here, count && m_hasBelow ? &m_below : nullptr, m_regionOf, &islands);
    // This layer is the ground of the next (and where LightIslands looks).
    m_below.swap(m_here);
    m_hasBelow = true;
}

std::vector<bool> GroupedLitIslandCounter::LightIslands(const QVector<SlicePolygon>& polygons,
                                                       const std::vector<QPoint>& islands)
{
    if (islands.empty())
        return {};
    std::vector<LitRun> lit;
    LayerRuns(polygons, false, lit);
    return IslandsMeeting(m_below, m_regionOf, islands, lit);
}

} // namespace layers
