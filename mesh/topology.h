#pragma once
#include "mesh/cancel.h"
#include "mesh/mymesh.h"

namespace vcg::tri {

template <class MeshType> struct UpdateTopology;

template <> struct UpdateTopology<MyMesh> {
    // Face-face adjacency of the live faces: edges are matched by their
    // unordered vertex pair. A border edge points to its own face; three or
    // more faces on one edge form a cycle in ascending face order (each
    // points to the next, the last to the first). Both return false when
    // `cancel` stopped them: vertices and faces are untouched, the links of
    // that kind stale.
    static bool FaceFace(MyMesh& m, Cancel cancel = {});
    // The same links, with edges whose shorter row exceeds `maxScannedRow`
    // faces matched by sorting: both ways must agree.
    static bool FaceFaceForTest(MyMesh& m, uint32_t maxScannedRow);
    // Vertex-face adjacency: each vertex heads the ring of its incident live
    // faces, linked through the faces' VFp/VFi, in descending face order.
    static bool VertexFace(MyMesh& m, Cancel cancel = {});
};

} // namespace vcg::tri
