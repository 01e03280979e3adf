#pragma once
#include <QVector2D>
#include <QVector>

// 2-D polygon routines for instance footprints on the build plate. A polygon
// is closed implicitly and does not repeat its first point.
class VPolygonAlgorithm {
public:
    // out = convex hull of in: clockwise (y up), starting at the point with
    // the largest sort key. Non-finite points are ignored.
    static void FormConvexPolygon(QVector<QVector2D>& out, QVector<QVector2D> const& in);
    // Convex hull of all pairwise sums; empty when a or b is empty.
    static QVector<QVector2D> MinkowskHull(QVector<QVector2D> const& a, QVector<QVector2D> const& b);
    // True when the convex polygons a and b overlap; push then moves a clear
    // of b along the axis of least overlap, one unit beyond touching.
    static bool PolygonCollisionPushVector(QVector<QVector2D> const& a, QVector<QVector2D> const& b,
                                           QVector2D& push);
    // Largest (third) and smallest (fourth) projection on the axis.
    static void ProjectPoly(QVector2D const& axis, QVector<QVector2D> const& polygon, double& third,
                            double& fourth);
};
