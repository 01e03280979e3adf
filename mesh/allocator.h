#pragma once
#include "mesh/mymesh.h"

namespace vcg::tri {

template <class MeshType> struct Allocator;

template <> struct Allocator<MyMesh> {
    // Appends n vertices / faces and returns the index of the first new one.
    static uint32_t AddVertices(MyMesh& m, uint32_t n);
    static uint32_t AddFaces(MyMesh& m, uint32_t n);
    static void DeleteVertex(MyMesh& m, uint32_t v);
    static void DeleteFace(MyMesh& m, uint32_t f);
    // Squeeze out deleted elements; survivors keep their order and every
    // reference to them is remapped. References to removed elements become kNone.
    static void CompactVertexVector(MyMesh& m);
    static void CompactFaceVector(MyMesh& m);
};

} // namespace vcg::tri
