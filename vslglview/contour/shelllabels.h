#pragma once
#include "mesh/mymesh.h"

#include <QVector>

namespace contour {

// Connected sets of faces across the face-face links, numbered in the order
// of their lowest face index (breadth-first from it, edges in order 0, 1, 2).
// Returns the number of shells.
int LabelShells(const MyMesh& mesh, QVector<uint>& shellOfFace);

} // namespace contour
