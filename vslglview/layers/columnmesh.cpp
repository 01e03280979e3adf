#include "layers/columnmesh.h"

#include "support/SupportGeometry.h"

namespace layers {

// The same unit shapes as the instance painter's, so the cut and the
// painter's own work mesh can never drift apart.
const QVector<vcg::Point3f>& ColumnUnitCircle()
{
    static const QVector<vcg::Point3f> circle = supportgeom::BuildUnitCircle();
    return circle;
}

void BuildColumnMesh(MyMesh& mesh) { supportgeom::BuildUnitColumn(mesh, ColumnUnitCircle()); }

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
    static const QVector<QVector<int>> coPlane = supportgeom::BuildCoPlane();
    if (f < 0 || g < 0 || f >= kColumnFaces || g >= kColumnFaces)
        return false;
    return coPlane[f][g] == 1;
}

} // namespace layers
