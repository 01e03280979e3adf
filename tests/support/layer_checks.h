#pragma once
#include <QPolygonF>
#include <QVector>

#include <vector>

// Independent readings of a slice layer, as the print-file renderer fills it.
namespace layercheck {

// Even-odd fill of the whole layer (of QPolygonF or SlicePolygon) at p.
template <class Layer>
inline bool Lit(const Layer& layer, QPointF p)
{
    bool inside = false;
    for (const auto& poly : layer)
        for (int i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
            const QPointF a = poly[i];
            const QPointF b = poly[j];
            if ((a.y() > p.y()) != (b.y() > p.y())
                && p.x() < (b.x() - a.x()) * (p.y() - a.y()) / (b.y() - a.y()) + a.x())
                inside = !inside;
        }
    return inside;
}

// Signed shoelace area of one polygon.
inline double Area(const QPolygonF& p)
{
    double a = 0;
    for (int i = 0; i < p.size(); ++i) {
        const QPointF& u = p[i];
        const QPointF& v = p[(i + 1) % p.size()];
        a += u.x() * v.y() - v.x() * u.y();
    }
    return a / 2;
}

// Lit regions of `here` with no lit cell under them in `below`; both hold
// `width` cells a row, `height` rows. Cells that meet at an edge join (4),
// or also those that meet at a corner (8). `firstCells`, when given, gets
// the first cell (row by row) of each such region.
template <class Cells>
int FloatingRegions(const Cells& here, const Cells& below, int width, int height, int connectivity = 4,
                    std::vector<int>* firstCells = nullptr)
{
    std::vector<char> seen(size_t(width) * size_t(height), 0);
    int floating = 0;
    for (int start = 0; start < width * height; ++start) {
        if (!here[start] || seen[size_t(start)])
            continue;
        bool rests = false;
        std::vector<int> stack{start};
        seen[size_t(start)] = 1;
        while (!stack.empty()) {
            const int c = stack.back();
            stack.pop_back();
            rests = rests || below[c] != 0;
            const int x = c % width, y = c / width;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dx == 0 && dy == 0) || (connectivity == 4 && dx != 0 && dy != 0))
                        continue;
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= width || ny >= height)
                        continue;
                    const int q = ny * width + nx;
                    if (here[q] && !seen[size_t(q)]) {
                        seen[size_t(q)] = 1;
                        stack.push_back(q);
                    }
                }
        }
        if (!rests && firstCells)
            firstCells->push_back(start);
        floating += !rests;
    }
    return floating;
}

} // namespace layercheck
