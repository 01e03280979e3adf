#pragma once
#include "mesh/mymesh.h"

#include <polyclipping/clipper.hpp>

#include <QVector>

// Cross-sections of support solids (cones, cylinders, spheres) with the layer
// planes of one instance, as outlines in 1/1000 mm.
namespace layers {

// Crossing of segment a-b with the plane z, taken from a toward b. False when
// both ends lie strictly on one side. A segment lying in the plane yields a.
bool ZIntersect(const vcg::Point3f& a, const vcg::Point3f& b, float z, ClipperLib::IntPoint& out);

// Truncation toward zero to 32 bits; NaN gives 0 and out-of-range values clamp.
qint32 TruncToInt32(float value);

// Indices of the planes that lie within [zLow, zHigh]; first > last when none.
struct PlaneSpan {
    int first = 0;
    int last = -1;
    bool isEmpty() const { return first > last; }
};
PlaneSpan PlaneSpanOf(const QVector<float>& planesMm, float zLowMm, float zHighMm);

// Collects the cross-sections of support records, in the order they are added,
// one path list per layer plane. The work mesh (the unit column layout) is
// re-placed for every tilted cone; an unusable one is replaced by a private copy.
class SupportCrossSections {
public:
    SupportCrossSections(const QVector<float>& planesMm, MyMesh& columnWorkMesh);

    // Spheres first, then cones, each in list order; deleted records add nothing.
    void AddRecord(bool isDeleted, const QVector<QVector<vcg::Point3f>>& spheres,
                   const QVector<QVector<vcg::Point3f>>& cones);
    // sphere: {centre, (r, 0, 0)}
    void AddSphere(const QVector<vcg::Point3f>& sphere);
    // cone or cylinder: {p1, p2, (r1, r2, 0)}
    void AddCone(const QVector<vcg::Point3f>& cone);

    const QVector<ClipperLib::Paths>& paths() const { return m_paths; }
    QVector<ClipperLib::Paths> takePaths();

private:
    void PlaceColumn(const vcg::Point3f& p1, float r1, const vcg::Point3f& p2, float r2, float lengthMm,
                     const vcg::Point3f& axis);
    void WalkColumn(int layer);
    bool Crosses(int face, int edge, float z) const;
    ClipperLib::IntPoint Crossing(int face, int edge, float z) const;

    const QVector<float>& m_planes;
    MyMesh* m_mesh;
    MyMesh m_ownMesh;
    float m_sideLow[64] = {};
    float m_sideHigh[64] = {};
    QVector<ClipperLib::Paths> m_paths;
};

} // namespace layers
