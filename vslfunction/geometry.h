#pragma once
#include <QPointF>
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
