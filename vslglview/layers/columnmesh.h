#pragma once
#include "mesh/mymesh.h"

#include <QVector>

// The unit column work mesh of the support cut: a closed 16-sided prism of
// radius 1 from z = 0 down to z = -1 with face-face adjacency.
// Vertices 0..15 ring A (z = 0), 16..31 ring B (z = -1), 32 and 33 the ring
// centres; faces 0..15 cap A, 16..31 cap B, 32..63 the side quads as pairs.
namespace layers {

constexpr int kColumnRingPoints = 16;
constexpr int kColumnVertices = 34;
constexpr int kColumnFaces = 64;
constexpr int kColumnFirstSideFace = 32;

// 16 points (cos a, sin a, 0), a = k * 22.5 degrees, in double then stored as float.
const QVector<vcg::Point3f>& ColumnUnitCircle();

// Builds the column in `mesh` (192 vertex slots, 64 faces) with its adjacency.
void BuildColumnMesh(MyMesh& mesh);

// True when `mesh` has the column's element counts and a consistent
// face-face adjacency, so that a walk over it stays inside its faces.
bool IsColumnMeshUsable(const MyMesh& mesh);

// Faces of the column that lie in one plane by construction: both in cap A,
// both in cap B, or the two halves of one side quad.
bool ColumnFacesCoplanar(int f, int g);

} // namespace layers
