#include "VPolygonAlgorithm.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Sort key y + x * 10000 in single precision, truncated toward zero; widened
// to 64 bits so that large coordinates cannot overflow the conversion.
int64_t SortKey(const QVector2D& p)
{
    const float k = p.y() + p.x() * 10000.0f;
    constexpr float kLimit = 9.0e18f;
    if (k >= kLimit)
        return std::numeric_limits<int64_t>::max();
    if (k <= -kLimit)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(k);
}

// Keeps b only on a strict clockwise turn a, b, c.
bool StrictClockwise(const QVector2D& a, const QVector2D& b, const QVector2D& c)
{
    const float s1 = a.x() * c.y() + c.x() * b.y() + b.x() * a.y();
    const float s2 = b.x() * c.y() + b.y() * a.x() + a.y() * c.x();
    return static_cast<double>(s1) - static_cast<double>(s2) > 0.0;
}

void PopMiddlePoints(QVector<QVector2D>& chain)
{
    while (chain.size() >= 3) {
        const int n = chain.size();
        if (StrictClockwise(chain[n - 3], chain[n - 2], chain[n - 1]))
            return;
        chain.remove(n - 2);
    }
}

struct Interval {
    double min;
    double max;
};

Interval Project(const QVector2D& axis, const QVector<QVector2D>& poly)
{
    Interval r{0.0, 0.0};
    bool first = true;
    for (const QVector2D& p : poly) {
        const double d = static_cast<double>(QVector2D::dotProduct(axis, p));
        if (first || d < r.min)
            r.min = d;
        if (first || d > r.max)
            r.max = d;
        first = false;
    }
    return r;
}

// Edges of `edges` as axes; false as soon as one separates the polygons.
bool CollectCandidates(const QVector<QVector2D>& edges, const QVector<QVector2D>& a,
                       const QVector<QVector2D>& b, QVector<QVector2D>& candidates)
{
    const int n = edges.size();
    for (int i = 0; i < n; ++i) {
        const QVector2D d = edges[(i + 1) % n] - edges[i];
        const QVector2D axis = QVector2D(-d.y(), d.x()).normalized();
        const Interval ia = Project(axis, a);
        const Interval ib = Project(axis, b);
        if (ib.max <= ia.min || ia.max <= ib.min)
            return false;
        candidates << axis * static_cast<float>(ib.min - ia.max) << axis * static_cast<float>(ib.max - ia.min);
    }
    return true;
}

} // namespace

void VPolygonAlgorithm::FormConvexPolygon(QVector<QVector2D>& out, QVector<QVector2D> const& in)
{
    out.clear();
    if (in.size() < 2) {
        out = in;
        return;
    }
    struct Keyed {
        int64_t key;
        int order;
    };
    QVector<Keyed> keyed;
    keyed.reserve(in.size());
    for (int i = 0; i < in.size(); ++i) {
        if (std::isfinite(in[i].x()) && std::isfinite(in[i].y()))
            keyed.append({SortKey(in[i]), i});
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& l, const Keyed& r) {
        return l.key != r.key ? l.key < r.key : l.order < r.order;
    });
    // A later point with the same key replaces the earlier one.
    QVector<QVector2D> p;
    p.reserve(keyed.size());
    for (int i = 0; i < keyed.size(); ++i) {
        if (i + 1 < keyed.size() && keyed[i + 1].key == keyed[i].key)
            continue;
        p.append(in[keyed[i].order]);
    }
    const int n = p.size();
    if (n < 2) {
        out = p;
        return;
    }
    QVector<QVector2D> upper{p[0], p[1]};
    QVector<QVector2D> lower{p[n - 1], p[n - 2]};
    for (int i = 2; i < n; ++i) {
        upper.append(p[i]);
        lower.append(p[n - 1 - i]);
        PopMiddlePoints(upper);
        PopMiddlePoints(lower);
    }
    upper.removeFirst();
    upper.removeLast();
    out = lower + upper;
}

QVector<QVector2D> VPolygonAlgorithm::MinkowskHull(QVector<QVector2D> const& a, QVector<QVector2D> const& b)
{
    QVector<QVector2D> result;
    if (a.isEmpty() || b.isEmpty())
        return result;
    QVector<QVector2D> sums;
    sums.reserve(a.size() * b.size());
    for (const QVector2D& p : a)
        for (const QVector2D& q : b)
            sums.append(p + q);
    FormConvexPolygon(result, sums);
    return result;
}

bool VPolygonAlgorithm::PolygonCollisionPushVector(QVector<QVector2D> const& a, QVector<QVector2D> const& b,
                                                   QVector2D& push)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    QVector<QVector2D> candidates;
    if (!CollectCandidates(a, a, b, candidates) || !CollectCandidates(b, a, b, candidates))
        return false;
    QVector2D best = candidates.first();
    for (const QVector2D& c : candidates) {
        if (c.length() < best.length())
            best = c;
    }
    push = best + best.normalized();
    return true;
}

void VPolygonAlgorithm::ProjectPoly(QVector2D const& axis, QVector<QVector2D> const& polygon, double& third,
                                    double& fourth)
{
    if (polygon.isEmpty())
        return;
    const QVector2D n = axis.normalized();
    third = fourth = static_cast<double>(QVector2D::dotProduct(polygon.first(), n));
    for (const QVector2D& p : polygon) {
        const double d = static_cast<double>(QVector2D::dotProduct(p, n));
        if (d > third)
            third = d;
        if (!(d > fourth))
            fourth = d;
    }
}
