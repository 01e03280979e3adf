#pragma once
#include "mesh/matrix33.h"
#include "mesh/mymesh.h"
#include "mesh/point3.h"
#include "support/DLP_Support.h"
#include "vslfunction/VSLTriangle3D.h"

#include <QMatrix4x4>
#include <QVector>

// Unit shapes and tessellation of support primitives. The unit shapes are
// built here and held class-static by the instance painter.
namespace supportgeom {

// 480 triangles as groups {facet normal, v1, v2, v3}, outward.
QVector<vcg::Point3f> BuildUnitSphere();
// 16 points (cos a, sin a, 0), a = k * 22.5 degrees.
QVector<vcg::Point3f> BuildUnitCircle();
// 64 x 64 coplanarity table of the faces of the unit column mesh.
QVector<QVector<int>> BuildCoPlane();
// The 16-sided unit column from z = 0 down to z = -1 with face-face and
// vertex-face adjacency; 192 vertex slots, 34 of them used, 64 faces.
void BuildUnitColumn(MyMesh& mesh, const QVector<vcg::Point3f>& unitCircle);

// A proper rotation carrying unit vector a onto unit vector b. Unlike the
// mesh library's RotationMatrix it never returns -I for opposite vectors
// (a reflection would turn the tessellated solids inside out): it gives the
// half turn about the x axis (or y when a lies along x) instead.
vcg::Matrix33f ProperRotation(const vcg::Point3f& a, const vcg::Point3f& b);

// Truncated cone from p0 (radius r0) to p1 (radius r1) with n segments:
// 4 n triangles, closed and facing outward; none when n < 1.
QVector<VSLTriangle3D> GenerateConeTris(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, int n);
// Sphere of radius r at c from the unit sphere; none when it is empty.
QVector<VSLTriangle3D> GenerateSphereTris(vcg::Point3f c, double r, const QVector<vcg::Point3f>& unitSphere);
// Segments of every support cone drawn or written as triangles.
constexpr int kConeSegments = 16;
// Primitives that hold what they need: {p0, p1, (r0, r1)} and {centre, (r)}.
inline bool IsCone(const QVector<vcg::Point3f>& primitive) { return primitive.size() >= 3; }
inline bool IsSphere(const QVector<vcg::Point3f>& primitive) { return primitive.size() >= 2; }
// The first cone is the tip cone.
inline bool HasTipCone(const DLP_Support& support) { return !support.cones.isEmpty() && IsCone(support.cones.first()); }

// Every cone, then every sphere of one support, in its frame.
QVector<VSLTriangle3D> SupportTriangles(const DLP_Support& support, const QVector<vcg::Point3f>& unitSphere);
// How many triangles SupportTriangles gives, without making them.
long SupportTriangleCount(const DLP_Support& support, const QVector<vcg::Point3f>& unitSphere);
// Corners through m and normals made anew; nothing for the identity.
void MapTriangles(QVector<VSLTriangle3D>& triangles, const QMatrix4x4& m);
// Both ends of every cone and the centre of every sphere through m; radii
// kept (m only ever moves). Nothing for the identity.
void MapPrimitives(QVector<QVector<vcg::Point3f>>& cones, QVector<QVector<vcg::Point3f>>& spheres,
                   const QMatrix4x4& m);

// The supports of one instance as a file takes them (implicitly shared):
// tessellated one by one as they are written, since ten thousand supports
// are some 30 million triangles, 2 GB held whole.
struct PlacedSupports {
    SupportMap supports;
    QMatrix4x4 toWorld;               // the instance's support matrix
    QVector<vcg::Point3f> unitSphere; // the spheres' facets
};
// One support's triangles in the world.
QVector<VSLTriangle3D> WorldTriangles(const PlacedSupports& placed, const DLP_Support& support);
// How many triangles all of them give.
long TriangleCount(const SupportMap& supports, const QVector<vcg::Point3f>& unitSphere);
long TriangleCount(const PlacedSupports& placed);

} // namespace supportgeom
