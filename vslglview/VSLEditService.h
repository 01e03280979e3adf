#pragma once
#include <QMatrix4x4>
#include <QPoint>
#include <QVector3D>
#include <QVector>

#include <functional>

// The pending edit of the selected instance as one 4x4 matrix, and the
// screen-ray geometry behind mouse editing. Every Try operation but the
// directional scale starts from identity, so the matrix is always the whole
// edit since the press or the command. A Try that returns false leaves the
// matrix as it was: no edit ever produces a non-finite or collapsing matrix.
class VSLEditService {
public:
    // Two points on the pick ray through a widget point (nearer first);
    // false when no ray can be had. The view supplies its un-projection.
    using RaySource = std::function<bool(QPoint const& p, QVector3D& nearPoint, QVector3D& farPoint)>;

    VSLEditService() = default;
    explicit VSLEditService(RaySource rays) : m_rays(std::move(rays)) {}
    void SetRaySource(RaySource rays) { m_rays = std::move(rays); }

    QMatrix4x4 const& matrix() const { return m_matrix; }
    void Reset() { m_matrix.setToIdentity(); }

    bool TryTranslate(QVector3D const& v);
    bool TryRotate(QVector3D const& centre, float angle, QVector3D const& axis);
    // Every factor must be finite and above 0.
    bool TryScale(QVector3D const& centre, QVector3D const& factors);
    // Stretch along axis keeping the plane through fixedPoint: applied only
    // for a finite ratio above 0.001.
    bool TryScale(QVector3D const& pressPoint, QVector3D const& dragPoint, QVector3D const& fixedPoint,
                  QVector3D const& axis);
    // Largest uniform factor (at most 1000) that fits the model into 95 % of
    // the volume, bottom centre onto the volume's bottom centre.
    bool TryResize(QVector3D const& modelMax, QVector3D const& modelMin, QVector3D const& volumeMax,
                   QVector3D const& volumeMin);

    // False (out untouched) when the ray is parallel to the plane.
    bool ChoosePoint(QPoint const& p, QVector3D& out, QVector3D const& planePoint,
                     QVector3D const& planeNormal) const;
    // Rotation angle in degrees from startPoint to the cursor about the
    // plane's normal, snapped to 15 degrees.
    bool CalRotateAngle(float& angle, QVector3D const& startPoint, QPoint const& p, QVector3D const& centre,
                        QVector3D const& normal) const;
    // Point of the line (linePoint, axis) nearest the cursor's ray.
    bool CalScalePoint(QPoint const& p, QVector3D& out, QVector3D const& linePoint, QVector3D const& axis) const;
    bool CalTranslateVector(QPoint const& p, QVector3D& out, QVector3D const& reference) const;

    QVector3D MapPoint(QVector3D const& v) const { return m_matrix.map(v); }
    QVector3D MapVector(QVector3D const& v) const { return m_matrix.mapVector(v); }

    // Crossing of the line (a, b) with a plane, from the signed distances of
    // a and b to it; false when both are equal (line parallel to the plane).
    static bool GetCrossPoint(QVector3D const& a, QVector3D const& b, double da, double db, QVector3D& out);
    // Points of the arc from p1 to p2 about centre, for the angle rubber band.
    static void CalRotateArcPoint(QVector3D const& centre, QVector3D const& p1, QVector3D const& p2,
                                  QVector<QVector3D>& points);

private:
    bool Ray(QPoint const& p, QVector3D& a, QVector3D& b) const;
    bool Commit(QMatrix4x4 const& m);

    QMatrix4x4 m_matrix;
    RaySource m_rays;
};
