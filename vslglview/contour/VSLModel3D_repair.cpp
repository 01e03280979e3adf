#include "VSLModel3D.h"
#include "mesh/clean.h"
#include "mesh/hole.h"
#include "slicegeometry.h"

#include <cmath>
#include <limits>
#include <iostream>

namespace {

// One face around a non-manifold edge and the index of that edge in it.
struct FaceEdge {
    uint32_t face;
    int edge;
};

constexpr int kMaxFan = 9;
constexpr float kSameDirection = 1000.0f;

bool ValidLink(const MyMesh& m, uint32_t f, int e)
{
    return f < m.FaceCount() && e >= 0 && e <= 2 && !m.face[f].IsD();
}

void DumpFan(const MyMesh& m, const std::vector<FaceEdge>& fan, const std::vector<int>& partner,
             const std::vector<std::vector<float>>& angle)
{
    for (size_t r = 0; r < fan.size(); ++r) {
        std::cout << partner[r] << "\n";
        for (float a : angle[r])
            std::cout << a << "\n";
        for (int k = 0; k < 3; ++k) {
            const vcg::Point3f& p = m.P(fan[r].face, k);
            std::cout << p.X() << " " << p.Y() << " " << p.Z() << " ";
        }
        std::cout << "\n\n";
    }
}

} // namespace

int VSLModel3D::CheckHoles()
{
    m_bNoHoles = false;
    if (m_mesh.fn < 2)
        return -1;
    m_Flags.resize(m_mesh.FaceCount(), 0);
    int count = 0;
    for (uint32_t i = 0; i < m_mesh.FaceCount(); ++i) {
        const MyFace& f = m_mesh.face[i];
        char& flag = m_Flags[i];
        flag = char(flag & ~0x01);
        if (f.IsD())
            continue;
        if (f.ff[0] == i || f.ff[1] == i || f.ff[2] == i) {
            flag = char(flag | 0x01);
            ++count;
        }
    }
    if (count == 0)
        m_bNoHoles = true;
    return count;
}

int VSLModel3D::RepairHoles()
{
    const int n = m_mesh.fn;
    if (n < 2)
        return -1;
    const uint32_t before = m_mesh.FaceCount();
    vcg::tri::Hole<MyMesh>::EarCuttingIntersectionFill<vcg::tri::SelfIntersectionEar<MyMesh>>(m_mesh, 10, false);
    const uint32_t after = m_mesh.FaceCount();
    if (after > before) {
        m_Flags.resize(before, 0);
        m_Flags.resize(after, char(0x80));
        CopyMesh(MeshToTriangles);
    }
    return CheckHoles();
}

int VSLModel3D::CheckRepairManifold()
{
    m_bManifold = false;
    const uint32_t n = m_mesh.FaceCount();
    if (m_mesh.fn < 4)
        return -1;
    // Callers run CheckHoles first; without its flags the mesh is refused.
    if (m_Flags.size() != n)
        return -2;
    std::vector<FaceEdge> fan;
    std::vector<int> partner;
    std::vector<std::vector<float>> angle;
    for (uint32_t f = 0; f < n; ++f) {
        if (m_mesh.face[f].IsD())
            continue;
        for (int z = 0; z < 3; ++z) {
            const MyFace& fc = m_mesh.face[f];
            const uint32_t g = fc.ff[z];
            const int gz = fc.ffi[z];
            if (ValidLink(m_mesh, g, gz) && m_mesh.face[g].ff[gz] == f)
                continue;
            fan.clear();
            FaceEdge at{f, z};
            do {
                fan.push_back(at);
                const MyFace& ac = m_mesh.face[at.face];
                const FaceEdge next{ac.ff[at.edge], ac.ffi[at.edge]};
                if (!ValidLink(m_mesh, next.face, next.edge))
                    break;
                at = next;
            } while (at.face != f && int(fan.size()) < kMaxFan);
            const int k = int(fan.size());
            if (k % 2 != 0)
                return -3;
            angle.assign(size_t(k), std::vector<float>(size_t(k), kSameDirection));
            for (int i = 0; i < k; ++i)
                for (int j = i + 1; j < k; ++j) {
                    const FaceEdge &a = fan[size_t(i)], &b = fan[size_t(j)];
                    const MyFace &fa = m_mesh.face[a.face], &fb = m_mesh.face[b.face];
                    float v = kSameDirection;
                    if (fa.v[a.edge] != fb.v[b.edge])
                        v = DihedralAngleRad(m_mesh.P(a.face, a.edge), m_mesh.P(a.face, (a.edge + 1) % 3),
                                             m_mesh.P(a.face, (a.edge + 2) % 3), m_mesh.P(b.face, (b.edge + 2) % 3));
                    angle[size_t(i)][size_t(j)] = angle[size_t(j)][size_t(i)] = v;
                }
            partner.assign(size_t(k), -1);
            for (int i = 0; i + 1 < k; ++i) {
                if (partner[size_t(i)] != -1)
                    continue;
                for (int j = i + 1; j < k; ++j)
                    if (partner[size_t(j)] == -1 && angle[size_t(i)][size_t(j)] < 10.0f) {
                        partner[size_t(i)] = j;
                        partner[size_t(j)] = i;
                        break;
                    }
                MyFace& fi = m_mesh.face[fan[size_t(i)].face];
                fi.ff[fan[size_t(i)].edge] = fan[size_t(i)].face;
                fi.ffi[fan[size_t(i)].edge] = int8_t(fan[size_t(i)].edge);
            }
            for (int i = 0; i < k; ++i) {
                const int j = partner[size_t(i)];
                if (j < 0)
                    continue;
                if (partner[size_t(j)] != i) {
                    DumpFan(m_mesh, fan, partner, angle);
                    return -4;
                }
                const FaceEdge &a = fan[size_t(i)], &b = fan[size_t(j)];
                m_mesh.face[a.face].ff[a.edge] = b.face;
                m_mesh.face[a.face].ffi[a.edge] = int8_t(b.edge);
                m_mesh.face[b.face].ff[b.edge] = a.face;
                m_mesh.face[b.face].ffi[b.edge] = int8_t(a.edge);
            }
        }
    }
    m_bManifold = true;
    return 0;
}

float VSLModel3D::DihedralAngleRad(const vcg::Point3f& p0, const vcg::Point3f& p1, const vcg::Point3f& p2,
                                   const vcg::Point3f& p3)
{
    const vcg::Point3f e = p1 - p0;
    vcg::Point3f na = e ^ (p2 - p0);
    vcg::Point3f nb = (p3 - p0) ^ e;
    na.Normalize();
    nb.Normalize();
    return DihedralAngleRadEx(na, nb, p2, p3);
}

float VSLModel3D::DihedralAngleRadEx(const vcg::Point3f& na, const vcg::Point3f& nb, const vcg::Point3f& a,
                                     const vcg::Point3f& b)
{
    const float a1 = na * (a - b);
    const float a2 = nb * (b - a);
    const float s = std::fabs(a2) < std::fabs(a1) ? a1 : a2;
    float q = na * nb;
    q = q < -1.f ? -1.f : (q > 1.f ? 1.f : q);
    const float theta = std::acos(q);
    if (s < 0)
        return float(double(theta) + M_PI);
    if (s > 0)
        return float(M_PI) - theta;
    return q > 0 ? float(M_PI) : 0.f;
}

int VSLModel3D::CheckRepairNormal()
{
    if (m_mesh.fn < 4)
        return -1;
    if (!m_bNoHoles)
        return -2;
    if (!m_bManifold)
        return -3;
    bool oriented = false, orientable = false;
    vcg::tri::Clean<MyMesh>::OrientCoherentlyMesh(m_mesh, oriented, orientable);
    return orientable ? 0 : -4;
}

void VSLModel3D::TriRound(int n)
{
    if (n <= 0)
        return; // a grid of 1/n mm needs n > 0
    for (VSLTriangle3D& t : m_vTriangles) {
        for (QVector3D& c : t.vertices)
            for (int a = 0; a < 3; ++a) {
                const float scaled = c[a] * float(n);
                const double half = c[a] >= 0 ? 0.5 : -0.5;
                c[a] = float(contour::TruncToInt32(double(scaled) + half)) / float(n);
            }
        t.UpdateBound();
    }
}

void VSLModel3D::MoveZ(int dz)
{
    for (MyVertex& v : m_mesh.vert)
        v.p.Z() += float(dz);
    // Shifted positions are no exact placement of the model-space table.
    m_meshMatrix.fill(std::numeric_limits<float>::quiet_NaN());
}

void VSLModel3D::GetAngleTris(VSLModel3D* out, float t)
{
    if (!out)
        return;
    const QVector<VSLTriangle3D> source = m_vTriangles; // out may be this model
    for (const VSLTriangle3D& tri : source)
        if (tri.normal.normalized().z() <= t)
            out->m_vTriangles.append(tri);
}

void VSLModel3D::GetRegions(MyMesh& m, bool selectedOnly, std::vector<vcg::tri::Hole<MyMesh>::Info>& out)
{
    vcg::tri::Hole<MyMesh>::GetInfo(m, selectedOnly, out);
}
