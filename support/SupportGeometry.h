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
// Every cone (16 segments), then every sphere of one support, in its frame.
QVector<VSLTriangle3D> SupportTriangles(const DLP_Support& support, const QVector<vcg::Point3f>& unitSphere);
// How many triangles SupportTriangles gives, without making them.
long SupportTriangleCount(const DLP_Support& support, const QVector<vcg::Point3f>& unitSphere);
// Corners through m and normals made anew; nothing for the identity.
void MapTriangles(QVector<VSLTriangle3D>& triangles, const QMatrix4x4& m);

} // namespace supportgeom
