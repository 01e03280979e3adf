#include "vslfunction/geometry.h"

#include <algorithm>
#include <cmath>

bool IsZero(double v, double eps) { return std::fabs(v) <= eps; }

bool PointsShare(QVector2D a, QVector2D b, double eps)
{
    const float dx = b.x() - a.x(), dy = b.y() - a.y();
    return std::fabs(double(dx)) <= eps && std::fabs(double(dy)) <= eps;
}

int PointLineCompare(QVector2D a, QVector2D d, QVector2D p)
{
    const float cross = d.x() * (p.y() - a.y()) - d.y() * (p.x() - a.x());
    return -static_cast<int>(std::ceil(cross));
}

double Distance2D(QVector2D a, QVector2D b)
{
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    return std::sqrt(dx * dx + dy * dy);
}

double Distance3D(QVector3D a, QVector3D b)
{
    const double dx = b.x() - a.x(), dy = b.y() - a.y(), dz = b.z() - a.z();
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

bool VectorComponentsEqual(const QVector3D& v) { return v.x() == v.y() && v.x() == v.z(); }

double VectorMaxComponentLength(QVector3D v)
{
    return std::max({std::fabs(double(v.x())), std::fabs(double(v.y())), std::fabs(double(v.z()))});
}

double MinAngleBetweenVectors(QVector3D a, QVector3D b)
{
    const double dot = std::clamp(double(QVector3D::dotProduct(a, b)), -1.0, 1.0);
    return std::acos(dot);
}

double PolygonArea(const QPointF* p, int n)
{
    if (n < 3)
        return 0.0;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const QPointF& prev = p[(i + n - 1) % n];
        const QPointF& next = p[(i + 1) % n];
        sum += p[i].y() * (prev.x() - next.x());
    }
    return 0.5 * sum;
}

int ClockWise(const QPointF* p, int n)
{
    const double a = PolygonArea(p, n);
    return a > 0 ? 1 : (a < 0 ? -1 : 0);
}

void MapPlanBox(const QMatrix4x4& m, QVector2D& lo, QVector2D& hi)
{
    const QVector2D corners[4] = {lo, hi, QVector2D(lo.x(), hi.y()), QVector2D(hi.x(), lo.y())};
    bool first = true;
    for (const QVector2D& c : corners) {
        const QVector2D w = m.map(QVector3D(c, 0.f)).toVector2D();
        lo = first ? w : QVector2D(std::min(lo.x(), w.x()), std::min(lo.y(), w.y()));
        hi = first ? w : QVector2D(std::max(hi.x(), w.x()), std::max(hi.y(), w.y()));
        first = false;
    }
}
