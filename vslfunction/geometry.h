#pragma once
#include <QMatrix4x4>
#include <QPointF>
#include <QPolygonF>
#include <QVector2D>
#include <QVector3D>

// Small 2-D/3-D helpers. Differences are taken in single precision and sums
// in double precision.
bool IsZero(double v, double eps);
bool PointsShare(QVector2D a, QVector2D b, double eps);
// Negated ceiling of cross(d, p - a): positive when p lies to the right of
// the line through a along d.
int PointLineCompare(QVector2D a, QVector2D d, QVector2D p);
double Distance2D(QVector2D a, QVector2D b);
double Distance3D(QVector3D a, QVector3D b);
bool VectorComponentsEqual(const QVector3D& v);
double VectorMaxComponentLength(QVector3D v);
// Angle between two unit vectors, radians.
double MinAngleBetweenVectors(QVector3D a, QVector3D b);
// Signed shoelace area (positive counter-clockwise, y up); 0 below 3 points.
// p needs n points; the ring is closed without writing to the array.
double PolygonArea(const QPointF* p, int n);
int ClockWise(const QPointF* p, int n);
// The plan box round the four corners of the box lo..hi (at z 0) where `m`
// takes them, in place.
void MapPlanBox(const QMatrix4x4& m, QVector2D& lo, QVector2D& hi);

// One Sutherland-Hodgman step: `in` clipped to the side where inside(p)
// holds, into `out`, with the crossing points cross(a, b) puts on the edge.
template <class Inside, class Cross>
void ClipAgainst(const QPolygonF& in, QPolygonF& out, Inside inside, Cross cross)
{
    out.clear();
    const int n = in.size();
    for (int i = 0; i < n; ++i) {
        const QPointF& a = in[(i + n - 1) % n];
        const QPointF& b = in[i];
        const bool aIn = inside(a), bIn = inside(b);
        if (aIn != bIn)
            out.append(cross(a, b));
        if (bIn)
            out.append(b);
    }
}
