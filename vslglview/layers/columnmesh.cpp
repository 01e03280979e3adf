#include "layers/columnmesh.h"

#include "mesh/allocator.h"
#include "mesh/topology.h"

#include <cmath>

namespace layers {

const QVector<vcg::Point3f>& ColumnUnitCircle()
{
    static const QVector<vcg::Point3f> circle = [] {
        QVector<vcg::Point3f> points;
        const double stepRad = 22.5 * M_PI / 180.0;
        for (int k = 0; k < kColumnRingPoints; ++k)
            points.append(vcg::Point3f(float(std::cos(k * stepRad)), float(std::sin(k * stepRad)), 0.f));
        return points;
    }();
    return circle;
}

void BuildColumnMesh(MyMesh& mesh)
{
    mesh.Clear();
    vcg::tri::Allocator<MyMesh>::AddFaces(mesh, kColumnFaces);
    vcg::tri::Allocator<MyMesh>::AddVertices(mesh, 192);
    const QVector<vcg::Point3f>& circle = ColumnUnitCircle();
    for (int k = 0; k < kColumnRingPoints; ++k) {
        mesh.vert[k].p = circle[k];
        mesh.vert[16 + k].p = vcg::Point3f(circle[k].X(), circle[k].Y(), -1.f);
    }
    mesh.vert[32].p = vcg::Point3f(0.f, 0.f, 0.f);
    mesh.vert[33].p = vcg::Point3f(0.f, 0.f, -1.f);
    auto setFace = [&mesh](int f, uint32_t a, uint32_t b, uint32_t c) {
        mesh.face[f].v[0] = a;
        mesh.face[f].v[1] = b;
        mesh.face[f].v[2] = c;
    };
    for (uint32_t k = 0; k < 16; ++k) {
        const uint32_t next = (k + 1) % 16;
        setFace(int(k), 32, k, next);
        setFace(int(16 + k), 33, 16 + next, 16 + k);
        setFace(int(32 + 2 * k), k, 16 + k, 16 + next);
        setFace(int(33 + 2 * k), next, k, 16 + next);
    }
    vcg::tri::UpdateTopology<MyMesh>::FaceFace(mesh);
    vcg::tri::UpdateTopology<MyMesh>::VertexFace(mesh);
}

bool IsColumnMeshUsable(const MyMesh& mesh)
{
    if (mesh.VertexCount() < uint32_t(kColumnVertices) || mesh.FaceCount() != uint32_t(kColumnFaces))
        return false;
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        const MyFace& face = mesh.face[f];
        for (int e = 0; e < 3; ++e) {
            if (face.v[e] >= uint32_t(kColumnVertices))
                return false;
            const uint32_t across = face.ff[e];
            const int back = face.ffi[e];
            if (across >= mesh.FaceCount() || back < 0 || back > 2)
                return false;
            if (mesh.face[across].ff[back] != f)
                return false;
        }
    }
    return true;
}

bool ColumnFacesCoplanar(int f, int g)
{
    if (f < 0 || g < 0 || f >= kColumnFaces || g >= kColumnFaces)
        return false;
    if (f < 16 && g < 16)
        return true;
    if (f >= 16 && f < 32 && g >= 16 && g < 32)
        return true;
    if (f >= kColumnFirstSideFace && g >= kColumnFirstSideFace && f != g)
        return (f - kColumnFirstSideFace) / 2 == (g - kColumnFirstSideFace) / 2;
    return false;
}

} // namespace layers
