#include "layers/litislands.h"

#include "layers/outlinebox.h"
#include "printfile/layerrender.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace layers {

namespace {

// Pixels kept round the points: the renderer lights a pixel an edge merely
// grazes, and clips at the image's edges, which must lie clear of every
// point except where they are the frame's own.
constexpr int kAreaMargin = 2;

} // namespace

QRect LitArea(const SliceLayers& layers, int from, int to, const QSize& frame)
{
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (int layer = std::max(0, from); layer < std::min(to, layers.size()); ++layer)
        for (const SlicePolygon& polygon : layers[layer]) {
            if (polygon.isEmpty())
                continue;
            const QRectF box = polygon.boundingRect();
            x0 = std::min(x0, box.left());
            y0 = std::min(y0, box.top());
            x1 = std::max(x1, box.right());
            y1 = std::max(y1, box.bottom());
        }
    if (!(x0 <= x1 && y0 <= y1))
        return QRect();
    // What the renderer draws of a polygon reaching out of the frame lies
    // on the frame's side of its edges: the points' box cut by the frame.
    auto pixel = [](double v, int low, int high) {
        return int(std::max(double(low), std::min(double(high), std::floor(v))));
    };
    const QRect box(QPoint(pixel(x0, -1, frame.width()) - kAreaMargin, pixel(y0, -1, frame.height()) - kAreaMargin),
                    QPoint(pixel(x1, -1, frame.width()) + kAreaMargin, pixel(y1, -1, frame.height()) + kAreaMargin));
    return box & QRect(QPoint(0, 0), frame);
}

LitIslandCounter::LitIslandCounter(const QSize& frame, const QRect& area, bool turned)
    : m_frame(frame), m_area((turned ? QRect(QPoint(0, 0), frame) : area) & QRect(QPoint(0, 0), frame)),
      m_turned(turned)
{
    if (m_area.isEmpty())
        return;
    m_image = std::make_unique<QImage>(m_area.size(), QImage::Format_Grayscale8);
    if (m_image->isNull()) {
        m_image.reset();
        return;
    }
    m_image->fill(0);
    m_painter = std::make_unique<QPainter>(m_image.get());
    m_painter->setRenderHint(QPainter::Antialiasing, true);
    m_painter->setPen(Qt::NoPen);
}

LitIslandCounter::~LitIslandCounter() = default;

bool LitIslandCounter::Draw(const QVector<SlicePolygon>& layer)
{
    if (!m_painter || !m_painter->isActive())
        return false;
    if (m_turned) {
        // As the file's writer draws it.
        m_litBox = RenderLayer(*m_painter, layer, true, m_frame.width(), m_frame.height(), m_litBox);
        return true;
    }
    // Whole pixels: the renderer sees the same fractions as in the frame
    // (a float less a whole number below it, under 2^24, is exact).
    const float dx = float(m_area.left()), dy = float(m_area.top());
    QVector<SlicePolygon> moved;
    moved.reserve(layer.size());
    for (const SlicePolygon& polygon : layer) {
        SlicePolygon p;
        p.reserve(polygon.size());
        for (const SlicePoint& q : polygon)
            p.append(q.x - dx, q.y - dy);
        moved.append(p);
    }
    m_litBox = RenderLayer(*m_painter, moved, false, m_area.width(), m_area.height(), m_litBox);
    return true;
}

void LitIslandCounter::LitRuns(std::vector<Run>& runs) const
{
    runs.clear();
    if (!m_image)
        return;
    const QRect box = m_litBox & m_image->rect();
    // Eight pixels at a time where none is lit: most of a part's box is dark.
    constexpr quint64 kHighBits = 0x0101010101010101ull * quint64(0xFF << (8 - kLayerImageBits) & 0xFF);
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const uchar* row = m_image->constScanLine(y);
        for (int x = box.left(); x <= box.right(); ++x) {
            if (x + 8 <= box.right() + 1) {
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
            while (x + 1 <= box.right() && LitLevel(row[x + 1]))
                ++x;
            runs.push_back({y + m_area.top(), start + m_area.left(), x + m_area.left()});
        }
    }
}

namespace {

// Joins the runs `here[0 .. n)` (in row order) of each region: runs of
// neighbouring rows that overlap or meet at a corner.
void JoinRegions(const LitRun* here, int n, Components& regions)
{
    regions.Reset(n);
    for (int i = 0, j = 0; i < n; ++i) {
        const LitRun& a = here[i];
        while (j < n && (here[j].y < a.y - 1 || (here[j].y == a.y - 1 && here[j].x1 < a.x0 - 1)))
            ++j;
        for (int k = j; k < n && here[k].y == a.y - 1 && here[k].x0 <= a.x1 + 1; ++k)
            regions.Unite(i, k);
    }
}

} // namespace

void IndexRows(const std::vector<LitRun>& runs, int rows, std::vector<int>& rowStart)
{
    rowStart.assign(size_t(rows) + 1, 0);
    for (const LitRun& r : runs)
        ++rowStart[size_t(r.y) + 1];
    for (int y = 0; y < rows; ++y)
        rowStart[size_t(y) + 1] += rowStart[size_t(y)];
}

bool EveryRegionRests(const LitRun* here, int n, const std::vector<LitRun>& below, const std::vector<int>& belowRows,
                      Components& regions)
{
    JoinRegions(here, n, regions);
    std::vector<char> rests(size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        const LitRun& a = here[i];
        if (a.y < 0 || a.y + 1 >= int(belowRows.size()))
            continue;
        // The first run of the row below ending at or right of a.x0.
        const auto from = below.begin() + belowRows[size_t(a.y)], to = below.begin() + belowRows[size_t(a.y) + 1];
        const auto b = std::lower_bound(from, to, a.x0, [](const LitRun& r, int x) { return r.x1 < x; });
        if (b != to && b->x0 <= a.x1)
            rests[size_t(regions.Find(i))] = 1;
    }
    for (int i = 0; i < n; ++i)
        if (regions.Find(i) == i && !rests[size_t(i)])
            return false;
    return true;
}

void JudgeLitRuns(const std::vector<LitRun>& here, const std::vector<LitRun>* below, std::vector<int>& regionOf,
                  std::vector<QPoint>* islands)
{
    const int n = int(here.size());
    Components regions;
    JoinRegions(here.data(), n, regions);
    regionOf.resize(size_t(n));
    for (int i = 0; i < n; ++i)
        regionOf[size_t(i)] = regions.Find(i);
    if (!below || !islands)
        return;
    // A region rests when one of its runs has a lit pixel under it.
    std::vector<char> rests(size_t(n), 0);
    size_t b = 0;
    for (int i = 0; i < n; ++i) {
        const LitRun& a = here[size_t(i)];
        while (b < below->size() && ((*below)[b].y < a.y || ((*below)[b].y == a.y && (*below)[b].x1 < a.x0)))
            ++b;
        if (b < below->size() && (*below)[b].y == a.y && (*below)[b].x0 <= a.x1)
            rests[size_t(regionOf[size_t(i)])] = 1;
    }
    // The smallest run of a region is its representative: its first in row order.
    for (int i = 0; i < n; ++i)
        if (regionOf[size_t(i)] == i && !rests[size_t(i)])
            islands->push_back(QPoint(here[size_t(i)].x0, here[size_t(i)].y));
}

std::vector<bool> IslandsMeeting(const std::vector<LitRun>& runs, const std::vector<int>& regionOf,
                                 const std::vector<QPoint>& islands, const std::vector<LitRun>& lit)
{
    std::vector<bool> met(islands.size(), false);
    std::unordered_map<qint64, size_t> islandAt;
    for (size_t k = 0; k < islands.size(); ++k)
        islandAt.emplace(qint64(islands[k].y()) << 32 | quint32(islands[k].x()), k);
    std::unordered_map<int, size_t> islandOfRegion; // region -> index in `islands`
    for (size_t i = 0; i < runs.size(); ++i) {
        const auto it = islandAt.find(qint64(runs[i].y) << 32 | quint32(runs[i].x0));
        if (it != islandAt.end() && regionOf[i] == int(i))
            islandOfRegion.emplace(int(i), it->second);
    }
    if (islandOfRegion.empty())
        return met;
    size_t b = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        const LitRun& a = runs[i];
        while (b < lit.size() && (lit[b].y < a.y || (lit[b].y == a.y && lit[b].x1 < a.x0)))
            ++b;
        if (b >= lit.size() || lit[b].y != a.y || lit[b].x0 > a.x1)
            continue;
        const auto it = islandOfRegion.find(regionOf[i]);
        if (it != islandOfRegion.end())
            met[it->second] = true;
    }
    return met;
}

std::vector<QPoint> FirstPixelsUnturned(const std::vector<LitRun>& runs, const std::vector<int>& regionOf,
                                        const std::vector<QPoint>& islands)
{
    std::vector<QPoint> first(islands);
    std::unordered_map<int, size_t> islandOfRegion; // region -> index in `islands`
    {
        std::unordered_map<qint64, size_t> islandAt;
        for (size_t k = 0; k < islands.size(); ++k)
            islandAt.emplace(qint64(islands[k].y()) << 32 | quint32(islands[k].x()), k);
        for (size_t i = 0; i < runs.size(); ++i) {
            const auto it = islandAt.find(qint64(runs[i].y) << 32 | quint32(runs[i].x0));
            if (it != islandAt.end() && regionOf[i] == int(i))
                islandOfRegion.emplace(int(i), it->second);
        }
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        const auto it = islandOfRegion.find(regionOf[i]);
        if (it == islandOfRegion.end())
            continue;
        QPoint& p = first[it->second];
        // Rows come in order: a later run of the same reach lies lower.
        if (runs[i].x1 > p.x())
            p = QPoint(runs[i].x1, runs[i].y);
    }
    return first;
}

void LitIslandCounter::AddLayer(const QVector<SlicePolygon>& layer, bool count, std::vector<QPoint>& islands)
{
    m_here.clear();
    if (Draw(layer))
        LitRuns(m_here);
    JudgeLitRuns(m_here, count && m_hasBelow ? &m_below : nullptr, m_regionOf, &islands);
    // This layer is the ground of the next (and where LightIslands looks).
    m_below.swap(m_here);
    m_hasBelow = true;
}

std::vector<bool> LitIslandCounter::LightIslands(const QVector<SlicePolygon>& polygons,
                                                const std::vector<QPoint>& islands)
{
    std::vector<bool> lit(islands.size(), false);
    // A layer may hold thousands of islands (a field of points hanging
    // down): each run is looked at once, and the polygons drawn once.
    std::unordered_map<int, size_t> islandOfRegion; // region -> index in `islands`
    {
        std::unordered_map<qint64, size_t> islandAt;
        for (size_t k = 0; k < islands.size(); ++k)
            islandAt.emplace(qint64(islands[k].y()) << 32 | quint32(islands[k].x()), k);
        for (size_t i = 0; i < m_below.size(); ++i) {
            const auto it = islandAt.find(qint64(m_below[i].y) << 32 | quint32(m_below[i].x0));
            if (it != islandAt.end() && m_regionOf[i] == int(i))
                islandOfRegion.emplace(int(i), it->second);
        }
    }
    if (islandOfRegion.empty() || !Draw(polygons))
        return lit;
    for (size_t i = 0; i < m_below.size(); ++i) {
        const auto it = islandOfRegion.find(m_regionOf[i]);
        if (it == islandOfRegion.end() || lit[it->second])
            continue;
        const Run& r = m_below[i];
        const uchar* row = m_image->constScanLine(r.y - m_area.top());
        for (int x = r.x0; x <= r.x1 && !lit[it->second]; ++x)
            lit[it->second] = LitLevel(row[x - m_area.left()]);
    }
    return lit;
}

} // namespace layers
