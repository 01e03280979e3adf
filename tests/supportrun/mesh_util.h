#pragma once
#include "mesh/merge.h"
#include "mesh/mymesh.h"
#include "mesh/topology.h"
#include "vslfunction/VSLTriangle3D.h"

#include <QMatrix4x4>
#include <QVector>

// Indexed mesh of a triangle list with merged vertices and both adjacencies.
inline MyMesh MeshOf(const QVector<VSLTriangle3D>& tris)
{
    MyMesh m;
    vcg::tri::BuildMergedMesh(m, uint32_t(tris.size()), [&](uint32_t i, int k) {
        const QVector3D& v = tris[int(i)].vertices[k];
        return vcg::Point3f(v.x(), v.y(), v.z());
    });
    vcg::tri::UpdateTopology<MyMesh>::FaceFace(m);
    vcg::tri::UpdateTopology<MyMesh>::VertexFace(m);
    return m;
}

inline QVector<VSLTriangle3D> Transformed(QVector<VSLTriangle3D> tris, const QMatrix4x4& m)
{
    for (VSLTriangle3D& t : tris)
        t.Convert(m);
    return tris;
}

// Signed volume of the live faces (closed, outward meshes: positive).
inline double SignedVolume(const MyMesh& m)
{
    double v = 0;
    for (uint32_t f = 0; f < m.FaceCount(); ++f) {
        if (m.face[f].IsD())
            continue;
        const vcg::Point3f &a = m.P(f, 0), &b = m.P(f, 1), &c = m.P(f, 2);
        v += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) -
              double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0]) +
              double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) / 6.0;
    }
    return v;
}
