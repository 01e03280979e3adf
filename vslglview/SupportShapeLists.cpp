#include "SupportShapeLists.h"

#include "VSLModelPainter.h"
#include "gltriangles.h"
#include "support/SupportGeometry.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

// Shapes of one run share a few radii; past this many lists the rest are
// drawn from their triangles.
constexpr size_t kMaxLists = 256;

template <typename Fn>
GLuint Compiled(Fn body)
{
    const GLuint list = glGenLists(1);
    if (list == 0)
        return 0;
    glNewList(list, GL_COMPILE);
    body();
    glEndList();
    return list;
}

// The coarse sphere at radius r (8 sectors, 6 bands, 80 facets), facets lit
// by their own normals as the full sphere's are.
void CoarseSphere(float r)
{
    static const QVector<VSLTriangle3D> unit = SupportShapeLists::FacetedUnitSphere(8, 6);
    glBegin(GL_TRIANGLES);
    for (const VSLTriangle3D& t : unit) {
        glNormal3f(t.normal.x(), t.normal.y(), t.normal.z());
        for (const QVector3D& v : t.vertices)
            glVertex3f(v.x() * r, v.y() * r, v.z() * r);
    }
    glEnd();
}

} // namespace

QVector<VSLTriangle3D> SupportShapeLists::FacetedUnitSphere(int sectors, int bands)
{
    auto point = [sectors, bands](int band, int sector) {
        const double p = M_PI * band / bands, a = 2 * M_PI * sector / sectors;
        return vcg::Point3f(float(std::sin(p) * std::cos(a)), float(std::sin(p) * std::sin(a)), float(std::cos(p)));
    };
    auto facet = [](const vcg::Point3f& a, const vcg::Point3f& b, const vcg::Point3f& c) {
        VSLTriangle3D t;
        t.vertices[0] = QVector3D(a[0], a[1], a[2]);
        t.vertices[1] = QVector3D(b[0], b[1], b[2]);
        t.vertices[2] = QVector3D(c[0], c[1], c[2]);
        vcg::Point3f n = (b - a) ^ (c - a);
        if (n.Norm() > 0)
            n.Normalize();
        t.normal = QVector3D(n[0], n[1], n[2]);
        return t;
    };
    QVector<VSLTriangle3D> out;
    for (int band = 0; band < bands; ++band)
        for (int k = 0; k < sectors; ++k) {
            const vcg::Point3f a = point(band, k), b = point(band + 1, k), c = point(band + 1, k + 1),
                               d = point(band, k + 1);
            if (band > 0)
                out << facet(a, b, d); // the top band's is the pole
            if (band < bands - 1)
                out << facet(d, b, c); // the bottom band's is the pole
        }
    return out;
}

QVector<VSLTriangle3D> SupportShapeLists::UnitCone(const ConeKey& key)
{
    return supportgeom::GenerateConeTris(vcg::Point3f(0, 0, 0), std::get<1>(key), vcg::Point3f(0, 0, -1),
                                         std::get<2>(key), std::get<0>(key));
}

bool SupportShapeLists::UnitConeOf(const vcg::Point3f& p0, double r0, const vcg::Point3f& p1, double r1, int n,
                                   ConeKey& key)
{
    const float length = (p1 - p0).Norm();
    const double larger = std::max(r0, r1);
    if (!(length > 0.f) || !std::isfinite(length) || !(larger > 0.0) || !std::isfinite(larger) || !(r0 >= 0.0) ||
        !(r1 >= 0.0) || !std::isfinite(p0.X() + p0.Y() + p0.Z()))
        return false;
    key = ConeKey(n, float(r0 / larger), float(r1 / larger));
    return true;
}

void SupportShapeLists::MakeSphere(double r)
{
    const float key = float(r);
    if (m_spheres.count(key) || listCount() >= int(kMaxLists) || !std::isfinite(key))
        return;
    const bool coarse = m_coarse;
    if (const GLuint list = Compiled([key, coarse] {
            if (coarse)
                CoarseSphere(key);
            else
                VSLModelPainter::GenerateSphere(vcg::Point3f(0, 0, 0), key);
        }))
        m_spheres[key] = list;
}

void SupportShapeLists::MakeCone(double r0, double r1, int n)
{
    n = Segments(n);
    ConeKey key;
    if (!UnitConeOf(vcg::Point3f(0, 0, 0), r0, vcg::Point3f(0, 0, -1), r1, n, key) || m_cones.count(key) ||
        listCount() >= int(kMaxLists))
        return;
    const GLuint list = Compiled([&key] { GlTriangles(UnitCone(key)); });
    if (list)
        m_cones[key] = list;
}

void SupportShapeLists::Prepare(const SupportMap& supports, bool bodies)
{
    for (const DLP_Support& s : supports) {
        if (supportgeom::HasTipCone(s))
            MakeSphere(s.cones.first()[2][0]);
        if (!bodies)
            continue;
        for (const QVector<vcg::Point3f>& c : s.cones)
            if (supportgeom::IsCone(c))
                MakeCone(c[2][0], c[2][1], supportgeom::kConeSegments);
        for (const QVector<vcg::Point3f>& sp : s.spheres)
            if (supportgeom::IsSphere(sp))
                MakeSphere(sp[1][0]);
    }
}

void SupportShapeLists::Sphere(const vcg::Point3f& c, double r) const
{
    const auto it = m_spheres.find(float(r));
    if (it == m_spheres.end()) {
        VSLModelPainter::GenerateSphere(c, r);
        return;
    }
    glPushMatrix();
    glTranslatef(c[0], c[1], c[2]);
    glCallList(it->second);
    glPopMatrix();
}

void SupportShapeLists::Cone(const vcg::Point3f& p0, double r0, const vcg::Point3f& p1, double r1, int n) const
{
    n = Segments(n);
    ConeKey key;
    const auto it = UnitConeOf(p0, r0, p1, r1, n, key) ? m_cones.find(key) : m_cones.end();
    if (it == m_cones.end()) {
        VSLModelPainter::GenerateCone(p0, r0, p1, r1, n);
        return;
    }
    // The unit cone's rings scaled to the radii and length, then turned
    // down the axis as the cone's own triangles are.
    const vcg::Point3f d = p1 - p0;
    const float length = d.Norm();
    const float larger = float(std::max(r0, r1));
    const vcg::Matrix33f R = supportgeom::ProperRotation(vcg::Point3f(0, 0, -1), d / length);
    const GLfloat m[16] = {R[0][0] * larger, R[1][0] * larger, R[2][0] * larger, 0.f,
                           R[0][1] * larger, R[1][1] * larger, R[2][1] * larger, 0.f,
                           R[0][2] * length, R[1][2] * length, R[2][2] * length, 0.f,
                           p0[0],            p0[1],            p0[2],            1.f};
    glPushMatrix();
    glMultMatrixf(m);
    glCallList(it->second);
    glPopMatrix();
}

void SupportShapeLists::Clear()
{
    for (const auto& s : m_spheres)
        glDeleteLists(s.second, 1);
    for (const auto& c : m_cones)
        glDeleteLists(c.second, 1);
    m_spheres.clear();
    m_cones.clear();
}
