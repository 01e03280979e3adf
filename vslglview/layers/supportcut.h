#pragma once
#include "layers/columnmesh.h"
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

// Outline of a 16-point circle around (centreX, centreY) mm of radius
// radiusUnits (1/1000 mm), from angle 0 counter-clockwise.
ClipperLib::Path CircleOutline(float centreX, float centreY, float radiusUnits);

// Faces of the unit column with their adjacency, taken from a usable work
// mesh or, when the one handed over is not, from a freshly built column.
struct ColumnTopology {
    explicit ColumnTopology(const MyMesh& workMesh);
    int v[kColumnFaces][3];
    int ff[kColumnFaces][3];
    int ffi[kColumnFaces][3];
};

// The column placed along one tilted cone: ring heights on the micrometre
// grid and the height range of each side face, placed once and walked for
// every plane the cone spans.
class PlacedColumn {
public:
    void Place(const ColumnTopology& topology, const vcg::Point3f& p1, float r1, const vcg::Point3f& p2, float r2, float lengthMm,
               const vcg::Point3f& axis);
    // The section with plane z, counter-clockwise; empty when no side face
    // straddles the plane or the walk does not close.
    void Walk(const ColumnTopology& topology, float zMm, ClipperLib::Path& outline) const;
    // Smallest and largest x and y of the placed vertices, mm.
    void BoundsXY(float& x0, float& y0, float& x1, float& y1) const;

private:
    bool Crosses(const ColumnTopology& t, int face, int edge, float z) const;
    ClipperLib::IntPoint Crossing(const ColumnTopology& t, int face, int edge, float z) const;

    vcg::Point3f m_pos[kColumnVertices];
    float m_sideLow[kColumnFaces] = {};
    float m_sideHigh[kColumnFaces] = {};
};

// The solid's axis and tilt as the cut uses them; false when the solid has
// no usable axis (coincident or non-finite ends, non-finite radii).
struct ConeAxis {
    vcg::Point3f axis;
    float lengthMm = 0.f;
    float zLowMm = 0.f;  // lowest point of the two end discs
    float zHighMm = 0.f; // highest point of the two end discs
    bool upright = false; // standing straight down: cut as circles
};
// No coordinate is infinite or not a number.
bool IsFinite(const vcg::Point3f& p);
bool ConeAxisOf(const vcg::Point3f& p1, float r1, const vcg::Point3f& p2, float r2, ConeAxis& out);

// Hands a record's spheres, then its cones, each in list order, to
// target.AddSphere and target.AddCone; a deleted record hands nothing.
template <class Target>
void AddSupportRecord(Target& target, bool isDeleted, const QVector<QVector<vcg::Point3f>>& spheres,
                      const QVector<QVector<vcg::Point3f>>& cones)
{
    if (isDeleted)
        return;
    for (const QVector<vcg::Point3f>& sphere : spheres)
        target.AddSphere(sphere);
    for (const QVector<vcg::Point3f>& cone : cones)
        target.AddCone(cone);
}

// Collects the cross-sections of support records, in the order they are added,
// one path list per layer plane. Each tilted cone is placed on a copy of the
// column's layout; an unusable work mesh is replaced by a freshly built one.
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
    const QVector<float>& m_planes;
    ColumnTopology m_topology;
    PlacedColumn m_column;
    QVector<ClipperLib::Paths> m_paths;
};

} // namespace layers
