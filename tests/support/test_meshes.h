#pragma once
#include "vslfunction/VSLTriangle3D.h"

#include <QByteArray>
#include <QVector2D>
#include <QVector>

// Meshes generated in code for tests and benchmarks. Triangles are wound
// counter-clockwise seen from outside; normals and bounds are set.
namespace testmesh {

VSLTriangle3D Tri(QVector3D a, QVector3D b, QVector3D c);
// Axis-aligned box from min to max: 12 triangles.
QVector<VSLTriangle3D> Box(QVector3D min, QVector3D max);
QVector<VSLTriangle3D> Cube(float size = 10.f, QVector3D origin = {0, 0, 0});
QVector<VSLTriangle3D> Tetrahedron(float size = 10.f);
// Closed UV sphere: 2 * slices * (stacks - 1) triangles.
// weldPoles false writes each pole once per slice, as files written elsewhere
// may hold them: the copies lie within a hair of each other.
QVector<VSLTriangle3D> UvSphere(float radius, int slices, int stacks, QVector3D centre = {0, 0, 0},
                                bool weldPoles = true);
// Open cylinder side, no caps: 2 * segments triangles, axis along z.
QVector<VSLTriangle3D> OpenTube(float radius, float height, int segments);
// Upright tube with walls and caps (8 triangles a segment) whose triangles
// share no vertex: every corner is moved by up to `jitterMm` in x and y, so
// the loader cannot weld them. Triangles in segment order, or shuffled.
QVector<VSLTriangle3D> UnweldedTube(int segments, float outerRadius, float innerRadius, float height,
                                    float jitterMm = 0.002f, bool shuffled = false);
QVector<VSLTriangle3D> TwoDisjointCubes();
// Three triangles sharing the edge (0,0,0)-(0,0,1).
QVector<VSLTriangle3D> ThreeFacesOnOneEdge();
// Sphere with about `triangles` triangles.
QVector<VSLTriangle3D> SphereWithTriangles(int triangles, float radius = 20.f);
// Closed prism over a rectangle (x0..x0+w, y0..y0+d, z 0..h) whose top and
// bottom are fans of long thin triangles from the centre to `rimPoints`
// points along the perimeter: 4 * rimPoints triangles.
QVector<VSLTriangle3D> FanSlab(float x0, float y0, float w, float d, float h, int rimPoints);
// A UV sphere of radius r with bumps of relative height `bump`, resting on z = 0.
QVector<VSLTriangle3D> BumpySphere(float r, float bump, int slices, int stacks, QVector3D centreXY);
// The support benchmark model: a bumpy sphere (radius 20) beside a fan slab
// (60 x 60 x 4 mm); about 200k triangles with the defaults.
QVector<VSLTriangle3D> BumpySphereBesideFanSlab(int slices = 400, int stacks = 240, int rimPoints = 2000);
QVector<VSLTriangle3D> Translated(QVector<VSLTriangle3D> tris, QVector3D by);
// The same triangles wound the other way round: a closed shell written inside out.
QVector<VSLTriangle3D> InsideOut(QVector<VSLTriangle3D> tris);
// A block 10 mm square and 4 mm high, centred on x = y = 0, whose side towards
// `edge` (a plan direction) hangs out at 45 degrees from a narrower foot: the
// supports under that side lean out with it, past its rim.
QVector<VSLTriangle3D> Ledge(QVector2D edge);
// A plate (w x d x thick mm, underside at z = heightMm) whose underside is a
// field of downward square pyramids, one every `pitchMm` in x and y, each
// `bumpMm` deep, standing on four corner legs (legMm square boxes from z = 0 that
// reach into the plate): 2 * (w / (pitch / 2)) * (d / (pitch / 2)) underside
// triangles, one support contact per pyramid. Centred on x = y = 0.
QVector<VSLTriangle3D> BumpPlateOnLegs(float w, float d, float pitchMm, float bumpMm, float thickMm, float heightMm,
                                       float legMm = 4.f);
// A mechanical part of ten shells standing at z = 0, centred on x = y = 0:
// an open tray (w x d x h mm, 4 mm floor, 3 mm walls, corners rounded with
// `cornerSegments` edges a quarter) with six upright bosses on its floor, two
// shelves across it (at 40 and 50 mm) and a ball of 12 mm radius floating
// under them at 30 mm. The undersides of the tray, the shelves and the ball
// take supports on the plate and on the model.
QVector<VSLTriangle3D> Housing(float w, float d, float h, int cornerSegments);

// STL bytes written independently of the production writer.
QByteArray BinaryStl(const QVector<VSLTriangle3D>& tris, const QByteArray& header = QByteArray(),
                     qint64 countOverride = -1);
QByteArray AsciiStl(const QVector<VSLTriangle3D>& tris, const char* lineEnd = "\n");
bool WriteFile(const QString& path, const QByteArray& bytes);
// The whole file; empty when it cannot be read.
QByteArray ReadFile(const QString& path);

} // namespace testmesh
