#pragma once
#include <QPolygonF>
#include <QVector>

// Independent readings of a slice layer, as the print-file renderer fills it.
namespace layercheck {

// Even-odd fill of the whole layer at p.
inline bool Lit(const QVector<QPolygonF>& layer, QPointF p)
{
    bool inside = false;
    for (const QPolygonF& poly : layer)
        for (int i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
            const QPointF& a = poly[i];
            const QPointF& b = poly[j];
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

} // namespace layercheck
