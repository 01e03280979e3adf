#pragma once
#include <QMatrix4x4>
#include <QVector3D>

// One triangle of a model, millimetres. Producers call UpdateNormal() and then
// UpdateBound() after setting the corners.
class VSLTriangle3D {
public:
    QVector3D vertices[3];
    QVector3D normal;   // unit normal from the corners; zero when degenerate
    QVector3D maxBound; // per-axis maximum of the corners
    QVector3D minBound; // per-axis minimum of the corners

    QVector3D& operator[](int index);
    const QVector3D& operator[](int index) const;

    void UpdateNormal();
    void UpdateBound();
    // Corners as points through m, the normal as a direction (not
    // renormalised); the bounds are left as they were.
    VSLTriangle3D& Convert(const QMatrix4x4& m);
};
Q_DECLARE_TYPEINFO(VSLTriangle3D, Q_MOVABLE_TYPE);
