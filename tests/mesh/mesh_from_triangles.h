#pragma once
// Meshes of the mesh layer built from test triangles.
#include "mesh/allocator.h"
#include "mesh/clean.h"
#include "mesh/topology.h"
#include "test_meshes.h"

// One vertex per corner, as an unmerged triangle soup.
inline vcg::MyMesh Soup(const QVector<VSLTriangle3D>& tris)
{
    using namespace vcg;
    MyMesh m;
    const uint32_t f0 = tri::Allocator<MyMesh>::AddFaces(m, uint32_t(tris.size()));
    const uint32_t v0 = tri::Allocator<MyMesh>::AddVertices(m, uint32_t(3 * tris.size()));
    for (int i = 0; i < tris.size(); ++i)
        for (int k = 0; k < 3; ++k) {
            const QVector3D& c = tris[i].vertices[k];
            m.vert[v0 + 3 * i + k].p = Point3f(c.x(), c.y(), c.z());
            m.face[f0 + i].v[k] = v0 + 3 * i + k;
        }
    return m;
}

// The soup with its equal corners merged and its topology built.
inline vcg::MyMesh Merged(const QVector<VSLTriangle3D>& tris)
{
    using namespace vcg;
    MyMesh m = Soup(tris);
    tri::Clean<MyMesh>::RemoveDuplicateVertex(m, true);
    tri::Allocator<MyMesh>::CompactVertexVector(m);
    tri::Allocator<MyMesh>::CompactFaceVector(m);
    tri::UpdateTopology<MyMesh>::FaceFace(m);
    tri::UpdateTopology<MyMesh>::VertexFace(m);
    return m;
}
