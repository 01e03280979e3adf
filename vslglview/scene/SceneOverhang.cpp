// Overhang detection of the grid supports: shallow downward edges and the
// lowest points of undersides, with the surface below each from the grid.
#include "SupportGrid.h"
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"

#include <QMutexLocker>

#include <cmath>

namespace gridsupport {

namespace {
// Corner with the smallest z; the earlier one on a tie.
int LowestCorner(const MyMesh& mesh, uint32_t f)
{
    int low = 0;
    for (int k = 1; k < 3; ++k)
        if (mesh.P(f, k).Z() < mesh.P(f, low).Z())
            low = k;
    return low;
}

// Index of the edge joining corners a and b.
int EdgeOf(int a, int b)
{
    if (a > b)
        std::swap(a, b);
    return a == 0 ? (b == 1 ? 0 : 2) : 1;
}
} // namespace

void FindOverhangs(MyMesh& mesh, QVector<QPair<vcg::Point3f, vcg::Point3f>>& edges, QVector<vcg::Point3f>& lowest)
{
    edges.clear();
    lowest.clear();
    const uint32_t faceCount = mesh.FaceCount();
    std::vector<char> visited(faceCount, 0);
    for (uint32_t f = 0; f < faceCount; ++f) {
        const MyFace& face = mesh.face[f];
        if (face.IsD() || visited[f])
            continue;
        const float nz = face.n.Z();
        if (!(nz < 0.f && nz >= -0.95f))
            continue;
        const int low = LowestCorner(mesh, f);
        const vcg::Point3f L = mesh.P(f, low);
        for (int j = 0; j < 3; ++j) {
            if (j == low)
                continue;
            const vcg::Point3f V = mesh.P(f, j);
            const float length = vcg::Distance(V, L);
            if (!(length > 0.f) || !((V.Z() - L.Z()) / length < 0.3f))
                continue;
            const uint32_t nb = face.ff[EdgeOf(low, j)];
            if (nb >= faceCount)
                continue; // no adjacency across this edge
            if (nz + mesh.face[nb].n.Z() < 0.f) {
                edges.append(qMakePair(V, L));
                visited[nb] = 1;
            }
        }
    }
    for (uint32_t f = 0; f < faceCount; ++f) {
        const MyFace& face = mesh.face[f];
        if (face.IsD())
            continue;
        const int low = face.n.Z() >= 0.f ? -1 : LowestCorner(mesh, f);
        for (int k = 0; k < 3; ++k)
            if (k != low && face.v[k] < mesh.VertexCount())
                mesh.vert[face.v[k]].SetV();
    }
    for (const MyVertex& v : mesh.vert)
        if (!v.IsD() && !v.IsV())
            lowest.append(v.p);
}

QVector<vcg::Point3f> OverhangCandidates(const QVector<QPair<vcg::Point3f, vcg::Point3f>>& edges,
                                         const QVector<vcg::Point3f>& lowest, double step)
{
    QVector<vcg::Point3f> out;
    if (step > 0 && std::isfinite(step)) {
        for (const auto& e : edges) {
            const vcg::Point3f& A = e.first;
            const vcg::Point3f& B = e.second;
            const double length = vcg::Distance(A, B);
            if (!std::isfinite(length))
                continue;
            const qint64 n = qint64(std::floor(length / step)) + 1;
            if (n <= 1)
                continue;
            for (qint64 i = 0; i < n; ++i)
                out.append(A + (B - A) * float(double(i) * step / length));
        }
    }
    out += lowest;
    return out;
}

QVector<QVector<SupportPoint>> OverhangPointLists(const SupportStorage& grid, const QVector<vcg::Point3f>& candidates)
{
    QVector<QVector<SupportPoint>> out;
    out.reserve(candidates.size());
    for (const vcg::Point3f& c : candidates) {
        SupportPoint cand;
        cand.x = c.X();
        cand.y = c.Y();
        cand.z = c.Z();
        cand.nz = -1;
        const SupportPoint* below = nullptr;
        const double gx = (double(c.X()) * 1000.0 - grid.originX) / grid.cellSize;
        const double gy = (double(c.Y()) * 1000.0 - grid.originY) / grid.cellSize;
        if (grid.width > 0 && std::isfinite(gx) && std::isfinite(gy) && std::fabs(gx) < 1e9 && std::fabs(gy) < 1e9) {
            const double fx = std::floor(gx), fy = std::floor(gy);
            const qint64 index = qint64(grid.width) * qint64(std::fabs(fy)) + qint64(std::fabs(fx)) +
                                 (gy - fy > 0.5 ? grid.width : 0) + (gx - fx > 0.5 ? 1 : 0);
            if (index >= 0 && index < grid.cellCount) {
                const QVector<SupportPoint>& cell = grid.cells[int(index)];
                for (int i = 1; i < cell.size() && cell[i].z < cand.z; i += 2)
                    below = &cell[i];
            }
        }
        if (below)
            out.append({*below, cand});
        else
            out.append({cand});
    }
    return out;
}

} // namespace gridsupport

bool VSL3DScene::DetectOverhang(VSLModelPainter* painter)
{
    if (!painter || !painter->m_pModel)
        return false;
    MeshReadyGate& gate = painter->m_pModel->readyGate();
    if (!gate.TryAcquire())
        return false;
    const bool ok = DetectOverhangHeld(painter);
    gate.Release();
    return ok;
}

bool VSL3DScene::DetectOverhangHeld(VSLModelPainter* painter)
{
    m_vOverhangEdges.clear();
    m_vLowestPoints.clear();
    VSLModel3D* model = painter->m_pModel;
    {
        QMutexLocker data(model->dataMutex());
        MyMesh& mesh = model->m_mesh;
        const int vertexCount = int(mesh.VertexCount());
        // World positions come from the model-space table; the mesh itself may
        // hold the positions a support or slice run placed.
        const QVector<vcg::Point3f>& table = model->m_vVertexCopy;
        const bool fromTable = table.size() == vertexCount;
        if (!fromTable && !model->m_meshMatrix.isIdentity())
            return false;
        std::vector<vcg::Point3f> keptPositions(vertexCount);
        std::vector<vcg::Point3f> keptNormals(mesh.FaceCount());
        const QMatrix4x4 M = painter->m_matrix;
        for (int i = 0; i < vertexCount; ++i) {
            MyVertex& v = mesh.vert[i];
            keptPositions[i] = v.p;
            v.ClearV(); // marks of an earlier run would hide its lowest points
            const vcg::Point3f& s = fromTable ? table[i] : v.p;
            const QVector4D w = M * QVector4D(s.X(), s.Y(), s.Z(), 1.f);
            const float d = w.w() != 0.f ? w.w() : 1.f;
            v.p = vcg::Point3f(w.x() / d, w.y() / d, w.z() / d);
        }
        for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
            MyFace& face = mesh.face[f];
            keptNormals[f] = face.n;
            bool valid = true;
            for (int k = 0; k < 3; ++k)
                valid = valid && face.v[k] < mesh.VertexCount();
            if (face.IsD() || !valid)
                continue;
            vcg::Point3f n = (mesh.P(f, 1) - mesh.P(f, 0)) ^ (mesh.P(f, 2) - mesh.P(f, 0));
            const float len = n.Norm();
            if (len > 0.f)
                n = n / len;
            face.n = n;
        }
        gridsupport::FindOverhangs(mesh, m_vOverhangEdges, m_vLowestPoints);
        for (int i = 0; i < vertexCount; ++i)
            mesh.vert[i].p = keptPositions[i];
        for (uint32_t f = 0; f < mesh.FaceCount(); ++f)
            mesh.face[f].n = keptNormals[f];
    }
    getOverhangSupPt();
    return true;
}

void VSL3DScene::getOverhangSupPt()
{
    m_vOverhangPoints = gridsupport::OverhangPointLists(
        m_supportGrid,
        gridsupport::OverhangCandidates(m_vOverhangEdges, m_vLowestPoints, m_nSupportGridSpacing / 1000.0));
}
