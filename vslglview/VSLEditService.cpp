#include "VSLEditService.h"

#include <algorithm>
#include <cmath>

namespace {

bool Finite(QVector3D const& v)
{
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

double Dot(QVector3D const& a, QVector3D const& b)
{
    return double(a.x()) * b.x() + double(a.y()) * b.y() + double(a.z()) * b.z();
}

// Below this the ray and the plane (or axis) are taken as parallel: the cut
// would lie at the horizon or beyond it.
constexpr double kParallel = 1e-9;

} // namespace

bool VSLEditService::Commit(QMatrix4x4 const& m)
{
    const float* d = m.constData();
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(d[i]))
            return false;
    // The linear part must keep volume; a zero determinant flattens the mesh.
    const double det = double(m(0, 0)) * (double(m(1, 1)) * m(2, 2) - double(m(1, 2)) * m(2, 1)) -
                       double(m(0, 1)) * (double(m(1, 0)) * m(2, 2) - double(m(1, 2)) * m(2, 0)) +
                       double(m(0, 2)) * (double(m(1, 0)) * m(2, 1) - double(m(1, 1)) * m(2, 0));
    if (!std::isfinite(det) || det == 0.0)
        return false;
    m_matrix = m;
    return true;
}

bool VSLEditService::TryTranslate(QVector3D const& v)
{
    QMatrix4x4 m;
    m.translate(v);
    return Finite(v) && Commit(m);
}

bool VSLEditService::TryRotate(QVector3D const& centre, float angle, QVector3D const& axis)
{
    if (!Finite(centre) || !std::isfinite(angle) || !Finite(axis))
        return false;
    QMatrix4x4 m;
    // A zero axis or angle is no turn at all.
    if (angle != 0.f && axis.lengthSquared() > 0.f) {
        m.translate(centre);
        m.rotate(angle, axis);
        m.translate(-centre);
    }
    return Commit(m);
}

bool VSLEditService::TryScale(QVector3D const& centre, QVector3D const& factors)
{
    for (int a = 0; a < 3; ++a)
        if (!std::isfinite(factors[a]) || !(factors[a] > 0.f))
            return false;
    if (!Finite(centre))
        return false;
    QMatrix4x4 m;
    m.translate(centre);
    m.scale(factors);
    m.translate(-centre);
    return Commit(m);
}

bool VSLEditService::TryScale(QVector3D const& pressPoint, QVector3D const& dragPoint,
                              QVector3D const& fixedPoint, QVector3D const& axis)
{
    const QVector3D d = axis.normalized();
    const double s = Dot(dragPoint - fixedPoint, d) / Dot(pressPoint - fixedPoint, d);
    // A press on the fixed plane gives an unbounded ratio.
    if (!std::isfinite(s) || !(s > 0.001))
        return false;
    QMatrix4x4 stretch;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            stretch(r, c) = float((r == c ? 1.0 : 0.0) + (s - 1.0) * double(d[r]) * d[c]);
    QMatrix4x4 m;
    m.translate(fixedPoint);
    m *= stretch;
    m.translate(-fixedPoint);
    return Finite(fixedPoint) && Commit(m);
}

bool VSLEditService::TryResize(QVector3D const& modelMax, QVector3D const& modelMin,
                               QVector3D const& volumeMax, QVector3D const& volumeMin)
{
    const QVector3D vMax = volumeMax * 0.95f;
    const QVector3D vMin = volumeMin * 0.95f;
    const QVector3D vSize = vMax - vMin;
    const QVector3D mSize = modelMax - modelMin;
    // A model flat along an axis puts no limit there (ratio infinite or NaN).
    double k = 1000;
    for (int a = 0; a < 3; ++a) {
        const double r = double(vSize[a]) / mSize[a];
        if (r < k)
            k = r;
    }
    // A volume of size 0 asks for 0: that would collapse the model.
    if (!std::isfinite(k) || !(k > 0))
        return false;
    const QVector3D mCentre = (modelMax + modelMin) / 2;
    const QVector3D vCentre = (vMax + vMin) / 2;
    QMatrix4x4 m;
    m.translate(vCentre.x(), vCentre.y(), vMin.z());
    m.scale(float(k));
    m.translate(-mCentre.x(), -mCentre.y(), -modelMin.z());
    return Commit(m);
}

bool VSLEditService::Ray(QPoint const& p, QVector3D& a, QVector3D& b) const
{
    if (!m_rays || !m_rays(p, a, b))
        return false;
    return Finite(a) && Finite(b) && a != b;
}

bool VSLEditService::GetCrossPoint(QVector3D const& a, QVector3D const& b, double da, double db, QVector3D& out)
{
    const double den = da - db;
    if (!std::isfinite(den) || std::fabs(den) < kParallel)
        return false;
    const double t = da / den;
    const QVector3D q(float(a.x() + (double(b.x()) - a.x()) * t), float(a.y() + (double(b.y()) - a.y()) * t),
                      float(a.z() + (double(b.z()) - a.z()) * t));
    if (!Finite(q))
        return false;
    out = q;
    return true;
}

bool VSLEditService::ChoosePoint(QPoint const& p, QVector3D& out, QVector3D const& planePoint,
                                 QVector3D const& planeNormal) const
{
    QVector3D a, b;
    if (!Ray(p, a, b))
        return false;
    const QVector3D n = planeNormal.normalized();
    if (n.isNull())
        return false;
    // Parallel when the ray's direction has (almost) no part along the normal.
    const QVector3D r = (b - a).normalized();
    if (std::fabs(Dot(r, n)) < 1e-6)
        return false;
    return GetCrossPoint(a, b, Dot(a - planePoint, n), Dot(b - planePoint, n), out);
}

bool VSLEditService::CalRotateAngle(float& angle, QVector3D const& startPoint, QPoint const& p,
                                    QVector3D const& centre, QVector3D const& normal) const
{
    QVector3D q;
    if (!ChoosePoint(p, q, centre, normal))
        return false;
    const QVector3D u = (startPoint - centre).normalized();
    const QVector3D w = (q - centre).normalized();
    if (u.isNull() || w.isNull())
        return false;
    // Rounding can push the cosine of two near-equal directions past 1.
    const float c = std::max(-1.f, std::min(1.f, QVector3D::dotProduct(u, w)));
    double deg = std::floor((double(std::acos(c)) / 3.1415926 * 180) / 15 + 0.5) * 15;
    if (QVector3D::dotProduct(QVector3D::crossProduct(u, w), normal) < 0)
        deg = -deg;
    angle = float(deg);
    return true;
}

bool VSLEditService::CalScalePoint(QPoint const& p, QVector3D& out, QVector3D const& linePoint,
                                   QVector3D const& axis) const
{
    QVector3D a, b;
    if (!Ray(p, a, b))
        return false;
    const QVector3D r = b - a;
    // The plane through the ray that faces the axis best; a ray along the
    // axis has none.
    const QVector3D n = QVector3D::crossProduct(QVector3D::crossProduct(r, axis), r).normalized();
    if (n.isNull())
        return false;
    const QVector3D d = axis.normalized();
    if (std::fabs(Dot(d, n)) < 1e-6)
        return false;
    const double d1 = Dot(linePoint - a, n);
    const double d2 = Dot(linePoint + axis - a, n);
    return GetCrossPoint(linePoint, linePoint + axis, d1, d2, out);
}

bool VSLEditService::CalTranslateVector(QPoint const& p, QVector3D& out, QVector3D const& reference) const
{
    QVector3D q;
    if (!ChoosePoint(p, q, reference, QVector3D(0, 0, 1)))
        return false;
    out = q - reference;
    return true;
}

void VSLEditService::CalRotateArcPoint(QVector3D const& centre, QVector3D const& p1, QVector3D const& p2,
                                       QVector<QVector3D>& points)
{
    static const int parts[7] = {5, 10, 10, 20, 30, 35, 40};
    points.clear();
    const QVector3D u = (p1 - centre).normalized();
    const QVector3D w = (p2 - centre).normalized();
    const float c = QVector3D::dotProduct(u, w);
    const int index = c > 1 ? 0 : c + 0.134f > 1 ? 1 : c > 0.5f ? 2 : c > 0 ? 3 : c > -0.5f ? 4 : c > -0.866f ? 5 : 6;
    const int n = parts[index];
    const float radius = std::min((p1 - centre).length(), (p2 - centre).length()) / 5;
    for (int i = 0; i <= n; ++i)
        points.append(centre + radius * (u + float(i) * (w - u) / float(n)).normalized());
}
