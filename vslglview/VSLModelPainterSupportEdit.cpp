// Support display lists and the painter's side of click editing.
#include "VSLModelPainter.h"
#include "VSL3DScene.h"
#include "gltriangles.h"

#include <QOpenGLContext>

#include <algorithm>
#include <iterator>

#include <GL/gl.h>

namespace {

double TipRadius(const DLP_Support& s) { return s.cones.first()[2][0]; }
const vcg::Point3f& TipCentre(const DLP_Support& s) { return s.cones.first()[0]; }

vcg::Point3f ToPoint(QVector3D const& v) { return vcg::Point3f(v.x(), v.y(), v.z()); }

// Replaces *list by a new compiled list filled by body(); 0 when GL has none.
template <typename Fn>
void Recompile(GLuint& list, Fn body)
{
    if (list != 0)
        glDeleteLists(list, 1);
    list = glGenLists(1);
    if (list == 0)
        return;
    glNewList(list, GL_COMPILE);
    body();
    glEndList();
}

} // namespace

void VSLModelPainter::GenerateSphere(vcg::Point3f c, double r, float, float, float, float)
{
    if (UnitSphere.isEmpty())
        return;
    const float rf = static_cast<float>(r);
    glBegin(GL_TRIANGLES);
    for (int i = 0; i + 3 < UnitSphere.size(); i += 4) {
        const vcg::Point3f& n = UnitSphere[i];
        glNormal3f(n[0], n[1], n[2]);
        for (int k = 1; k <= 3; ++k) {
            const vcg::Point3f v = c + UnitSphere[i + k] * rf;
            glVertex3f(v[0], v[1], v[2]);
        }
    }
    glEnd();
}

void VSLModelPainter::GenerateCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, int n, float, float,
                                   float, float)
{
    GlTriangles(GenerateConeTris(p0, r0, p1, r1, n));
}

void VSLModelPainter::EmitTipSphere(vcg::Point3f const& c, double r) const
{
    m_supportShapes.Sphere(c, r);
}

void VSLModelPainter::DrawSupportX()
{
    UpdateSupportExtent();
    if (m_supportMap.isEmpty()) {
        m_bHasSupports = false;
        m_bSupportsShown = false;
        // Nothing stands under a raised instance any more: back onto the
        // plate, or it would print in mid-air.
        if (m_bSupportLifted)
            LowerSupportLift();
        m_bSupportListsStale = false;
        return;
    }
    if (m_pScene ? !m_pScene->UseViewContext() : !QOpenGLContext::currentContext()) {
        m_bSupportListsStale = true; // built by the next draw
        return;
    }
    CompileSupportLists();
}

void VSLModelPainter::CompileSupportLists()
{
    m_bSupportListsStale = false;
    // Marked supports keep tip and body until the edit closes; only the
    // click's tip-list rebuild hides a marked tip.
    glMatrixMode(GL_MODELVIEW);
    // The old lists call the shape lists: they go first.
    if (m_nSupportTipList != 0)
        glDeleteLists(m_nSupportTipList, 1);
    m_nSupportTipList = 0;
    m_supportBody.Clear();
    m_supportShapes.Clear();
    m_supportInstances.Clear();
    // The lists hold the records as they stand now.
    m_supportListMatrix = m_supportMatrix;
    const long triangles = supportgeom::TriangleCount(m_supportMap, UnitSphere);
    const bool bodyFromShapes = triangles > m_supportShapes.inlineBodyTriangles;
    m_supportShapes.SetCoarse(bodyFromShapes && triangles > m_supportShapes.coarseBodyTriangles);
    if (bodyFromShapes && m_bSupportInstancesAllowed)
        m_supportInstances.Build(m_supportMap);
    m_supportShapes.Prepare(m_supportMap, bodyFromShapes);
    std::vector<SupportInstances::Tip> tips;
    Recompile(m_nSupportTipList, [this, &tips] {
        for (const DLP_Support& s : qAsConst(m_supportMap))
            if (supportgeom::HasTipCone(s)) {
                EmitTipSphere(TipCentre(s), TipRadius(s));
                tips.push_back({TipCentre(s), float(TipRadius(s))});
            }
    });
    m_supportInstances.SetTips(tips);
    m_supportBody.Compile(m_supportMap, [this, bodyFromShapes](const DLP_Support& s) {
        for (const QVector<vcg::Point3f>& c : s.cones) {
            if (!supportgeom::IsCone(c))
                continue;
            if (bodyFromShapes)
                m_supportShapes.Cone(c[0], c[2][0], c[1], c[2][1], supportgeom::kConeSegments);
            else
                GenerateCone(c[0], c[2][0], c[1], c[2][1], supportgeom::kConeSegments);
        }
        for (const QVector<vcg::Point3f>& sp : s.spheres) {
            if (!supportgeom::IsSphere(sp))
                continue;
            if (bodyFromShapes)
                m_supportShapes.Sphere(sp[0], sp[1][0]);
            else
                GenerateSphere(sp[0], sp[1][0]);
        }
    }, bodyFromShapes);
    m_bSupportsShown = true;
}

void VSLModelPainter::RebuildSupportTipList()
{
    if (!QOpenGLContext::currentContext())
        return;
    // The records moved under the lists (RotateSupportX baked the support
    // matrix in): a tip list of their frame would stand apart from the body's.
    if (m_supportListMatrix != m_supportMatrix)
        CompileSupportLists();
    glMatrixMode(GL_MODELVIEW);
    // Adds only: the body list may call the shapes there are.
    m_supportShapes.Prepare(m_supportMap, false);
    std::vector<SupportInstances::Tip> tips;
    Recompile(m_nSupportTipList, [this, &tips] {
        for (const DLP_Support& s : qAsConst(m_supportMap)) {
            if (s.isDeleted || !supportgeom::HasTipCone(s))
                continue;
            m_bHasSupports = true;
            m_bSupportsShown = true;
            EmitTipSphere(TipCentre(s), TipRadius(s));
            tips.push_back({TipCentre(s), float(TipRadius(s))});
        }
    });
    m_supportInstances.SetTips(tips);
}

void VSLModelPainter::AddClickSupport(QVector3D const& hitWorld, QVector3D const& nearWorld)
{
    bool invertible = false;
    const QMatrix4x4 back = m_supportMatrix.inverted(&invertible);
    if (!invertible)
        return;
    const QVector3D h = back.map(hitWorld);
    const QVector3D e = back.map(nearWorld);
    QVector3D dir = e - h;
    const float len = dir.length();
    if (len > 0)
        dir /= len;
    --m_nClickCounter;
    DLP_Support& s = m_supportMap[SupportKey(SupportHeightKey(h.z()), uint(m_nClickCounter))];
    s.point = ToPoint(h);
    s.normal = ToPoint(dir);
    s.index = -1;
    s.addedByClick = true;
    s.generated = false;
    s.cones.append(SaveCone(ToPoint(h), 0.5 * m_dTipDiameter, ToPoint(h + 2.f * dir), 0.75));
}

bool VSLModelPainter::MarkClickedSupport(int n)
{
    if (n < 1 || n > m_supportMap.size())
        return false;
    auto it = m_supportMap.begin();
    std::advance(it, n - 1);
    if (it.value().addedByClick)
        m_supportMap.erase(it);
    else
        it.value().isDeleted = true;
    // The index holds pointers into the map.
    RebuildSupportIndex();
    return true;
}

void VSLModelPainter::EmitTipPickPass(QVector3D const& rayFrom, QVector3D const& rayTo) const
{
    const QVector3D d = rayTo - rayFrom;
    const float len2 = QVector3D::dotProduct(d, d);
    uint c = 1;
    for (const DLP_Support& s : m_supportMap) {
        if (!s.isDeleted && supportgeom::HasTipCone(s)) {
            const vcg::Point3f& p = TipCentre(s);
            const QVector3D q(p[0], p[1], p[2]);
            float t = len2 > 0 ? QVector3D::dotProduct(q - rayFrom, d) / len2 : 0.f;
            t = std::max(0.f, std::min(1.f, t));
            const float r = float(TipRadius(s)) * 1.01f + 1e-3f;
            if ((rayFrom + t * d - q).lengthSquared() <= r * r) {
                glColor3ub(GLubyte((c >> 16) & 0xFF), GLubyte((c >> 8) & 0xFF), GLubyte(c & 0xFF));
                EmitTipSphere(p, TipRadius(s));
            }
        }
        ++c;
    }
}

void VSLModelPainter::ReleaseSliceResults()
{
    QVector<float>().swap(m_vSliceZ);
    QVector<ClipperLib::Paths>().swap(m_vSlicePaths);
}
