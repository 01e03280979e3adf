#pragma once
#include "mesh/mymesh.h"

namespace vcg::tri {

template <class MeshType> struct UpdateTopology;

template <> struct UpdateTopology<MyMesh> {
    // Face-face adjacency of the live faces: edges are matched by their
    // unordered vertex pair. A border edge points to its own face; three or
    // more faces on one edge form a cycle in ascending face order (each
    // points to the next, the last to the first).
    static void FaceFace(MyMesh& m);
    // Vertex-face adjacency: each vertex heads the ring of its incident live
    // faces, linked through the faces' VFp/VFi, in descending face order.
    static void VertexFace(MyMesh& m);
};

} // namespace vcg::tri
