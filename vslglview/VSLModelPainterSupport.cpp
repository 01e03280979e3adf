#include "VSLModelPainter.h"

#include "VSLModel3D.h"
#include "support/SupportGeometry.h"

#include <QMutexLocker>
#include <QOpenGLContext>

#include <GL/gl.h>

#include <algorithm>

namespace {

vcg::Point3f MapPoint(const QMatrix4x4& m, const vcg::Point3f& p)
{
    const QVector3D q = m.map(QVector3D(p[0], p[1], p[2]));
    return vcg::Point3f(q.x(), q.y(), q.z());
}

void EmitTriangles(const QVector<VSLTriangle3D>& tris)
{
    glBegin(GL_TRIANGLES);
    for (const VSLTriangle3D& t : tris) {
        glNormal3f(t.normal.x(), t.normal.y(), t.normal.z());
        for (const QVector3D& v : t.vertices)
            glVertex3f(v.x(), v.y(), v.z());
    }
    glEnd();
}

bool IsCone(const QVector<vcg::Point3f>& prim) { return prim.size() >= 3; }
bool IsSphere(const QVector<vcg::Point3f>& prim) { return prim.size() >= 2; }

} // namespace

void VSLModelPainter::initUnitSphere()
{
    if (UnitSphere.isEmpty())
        UnitSphere = supportgeom::BuildUnitSphere();
}

void VSLModelPainter::initUnitCircle()
{
    if (UnitCircle.isEmpty())
        UnitCircle = supportgeom::BuildUnitCircle();
}

void VSLModelPainter::initMeshColumn()
{
    supportgeom::BuildUnitColumn(m_columnMesh, UnitCircle);
    if (CoPlane.isEmpty())
        CoPlane = supportgeom::BuildCoPlane();
}

QVector<VSLTriangle3D> VSLModelPainter::GenerateConeTris(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1,
                                                         int n, float, float, float, float)
{
    return supportgeom::GenerateConeTris(p0, r0, p1, r1, n);
}

QVector<VSLTriangle3D> VSLModelPainter::GenerateSphereTris(vcg::Point3f c, double r, float, float, float, float)
{
    return supportgeom::GenerateSphereTris(c, r, UnitSphere);
}

VSLTriangle3D VSLModelPainter::Point3fConvert(vcg::Point3f a, vcg::Point3f b, vcg::Point3f c)
{
    VSLTriangle3D t;
    t.vertices[0] = QVector3D(a[0], a[1], a[2]);
    t.vertices[1] = QVector3D(b[0], b[1], b[2]);
    t.vertices[2] = QVector3D(c[0], c[1], c[2]);
    t.UpdateNormal();
    return t;
}

void VSLModelPainter::RebuildSupportIndex()
{
    m_vSupportIndex.clear();
    const int count = m_supportMap.size();
    // Non-const iteration detaches a shared map, so the pointers are into ours.
    for (auto it = m_supportMap.begin(); it != m_supportMap.end(); ++it) {
        const int idx = it.value().index;
        // Indices run 0 .. count-1; anything else (click-added -1) has no slot.
        if (idx < 0 || idx >= count)
            continue;
        if (idx >= m_vSupportIndex.size())
            m_vSupportIndex.resize(idx + 1);
        m_vSupportIndex[idx] = &it.value();
    }
}

void VSLModelPainter::GenSupportX()
{
    m_bStopSupport = false;
    m_bHasSupports = false;
    if (m_pModel) {
        MeshGateLocker gate(m_pModel->readyGate());
        if (gate.held()) {
            QMutexLocker lock(m_pModel->dataMutex());
            const float* inst = m_matrix.constData();
            const float* mesh = m_pModel->m_meshMatrix.constData();
            bool same = true;
            for (int i = 0; i < 16; ++i)
                same = same && inst[i] == mesh[i];
            if (!same) {
                m_pModel->m_meshMatrix = m_matrix;
                MyMesh& m = m_pModel->m_mesh;
                const int n = std::min<int>(static_cast<int>(m.vert.size()), m_pModel->m_vVertexCopy.size());
                for (int i = 0; i < n; ++i)
                    m.vert[i].p = MapPoint(m_matrix, m_pModel->m_vVertexCopy[i]);
            }
            // The generation passes work on the re-positioned mesh here, still
            // under both locks.
        }
    }
    m_bHasSupports = !m_supportMap.isEmpty();
    emit sig_GenSupportDone();
}

void VSLModelPainter::RemoveSupportX()
{
    m_supportMap.clear();
    m_vSupportIndex.clear();
    DeleteSupportLists();
    m_supportMatrix.setToIdentity();
    if (m_bSupportLifted) {
        m_bSupportLifted = false;
        QMatrix4x4 down;
        down.translate(0, 0, static_cast<float>(-m_dLiftDistance));
        ApplyConvert(down, false);
    }
    m_bHasSupports = false;
    m_bSupportsShown = false;
}

void VSLModelPainter::RestoreSupportX()
{
    for (auto it = m_supportMap.begin(); it != m_supportMap.end();) {
        if (it.value().addedByClick) {
            it = m_supportMap.erase(it);
        } else {
            it.value().isDeleted = false;
            ++it;
        }
    }
    RebuildSupportIndex();
    m_bHasSupports = !m_supportMap.isEmpty();
    DrawSupportX();
}

void VSLModelPainter::RotateSptPointX(vcg::Point3f& p) const { p = MapPoint(m_supportMatrix, p); }

void VSLModelPainter::RotateSupportX()
{
    if (m_supportMatrix.isIdentity())
        return;
    const QMatrix4x4 m = m_supportMatrix;
    for (auto it = m_supportMap.begin(); it != m_supportMap.end(); ++it) {
        DLP_Support& s = it.value();
        s.point = MapPoint(m, s.point);
        s.tipEnd = MapPoint(m, s.tipEnd);
        s.shaftTop = MapPoint(m, s.shaftTop);
        s.base = MapPoint(m, s.base);
        s.landing = MapPoint(m, s.landing);
        vcg::Point3f dir = s.tipEnd - s.point;
        s.normal = dir.Normalize();
        for (auto pp = s.pointPairs.begin(); pp != s.pointPairs.end(); ++pp) {
            pp.value().first = MapPoint(m, pp.value().first);
            pp.value().second = MapPoint(m, pp.value().second);
        }
        for (QVector<vcg::Point3f>& cone : s.cones) {
            for (int i = 0; i < 2 && i < cone.size(); ++i)
                cone[i] = MapPoint(m, cone[i]);
        }
        for (QVector<vcg::Point3f>& sphere : s.spheres) {
            if (!sphere.isEmpty())
                sphere[0] = MapPoint(m, sphere[0]);
        }
    }
    m_supportMatrix.setToIdentity();
}

QVector<VSLTriangle3D> VSLModelPainter::GetRealTrianglesSup() const
{
    QVector<VSLTriangle3D> out;
    for (const DLP_Support& s : m_supportMap) {
        for (const QVector<vcg::Point3f>& c : s.cones)
            if (IsCone(c))
                out += GenerateConeTris(c[0], c[2][0], c[1], c[2][1], 16);
        for (const QVector<vcg::Point3f>& sp : s.spheres)
            if (IsSphere(sp))
                out += GenerateSphereTris(sp[0], sp[1][0]);
    }
    return out;
}

void VSLModelPainter::DeleteSupportLists()
{
    if (!QOpenGLContext::currentContext())
        return;
    if (m_nSupportTipList != 0)
        glDeleteLists(m_nSupportTipList, 1);
    if (m_nSupportBodyList != 0)
        glDeleteLists(m_nSupportBodyList, 1);
    m_nSupportTipList = m_nSupportBodyList = 0;
}

void VSLModelPainter::DrawSupportX()
{
    if (m_supportMap.isEmpty()) {
        m_bHasSupports = false;
        m_bSupportsShown = false;
        DeleteSupportLists();
        return;
    }
    if (!QOpenGLContext::currentContext())
        return;
    DeleteSupportLists();
    m_nSupportTipList = glGenLists(1);
    m_nSupportBodyList = glGenLists(1);
    if (m_nSupportTipList == 0 || m_nSupportBodyList == 0) {
        DeleteSupportLists();
        return;
    }
    glNewList(m_nSupportTipList, GL_COMPILE);
    for (const DLP_Support& s : m_supportMap) {
        if (s.isDeleted || s.cones.isEmpty() || !IsCone(s.cones.first()))
            continue;
        const QVector<vcg::Point3f>& tip = s.cones.first();
        EmitTriangles(GenerateSphereTris(tip[0], tip[2][0]));
    }
    glEndList();
    glNewList(m_nSupportBodyList, GL_COMPILE);
    for (const DLP_Support& s : m_supportMap) {
        if (s.isDeleted)
            continue;
        for (const QVector<vcg::Point3f>& c : s.cones)
            if (IsCone(c))
                EmitTriangles(GenerateConeTris(c[0], c[2][0], c[1], c[2][1], 16));
        for (const QVector<vcg::Point3f>& sp : s.spheres)
            if (IsSphere(sp))
                EmitTriangles(GenerateSphereTris(sp[0], sp[1][0]));
    }
    glEndList();
    m_bSupportsShown = true;
}

void VSLModelPainter::RenderSupportX(bool highlight, bool tipsOnly)
{
    if (!m_bSupportsShown)
        return;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(m_supportMatrix.constData());
    glColor3f(1.f, 0.f, 1.f);
    glCallList(m_nSupportTipList);
    if (!tipsOnly) {
        if (highlight) {
            glColor3f(1.f, 0.f, 1.f);
            glCallList(m_nSupportBodyList);
        } else {
            glEnable(GL_BLEND);
            glColor4f(1.0f, 0.75f, 0.125f, 0.333f);
            glCallList(m_nSupportBodyList);
            glDisable(GL_BLEND);
        }
    }
    glPopMatrix();
}

void VSLModelPainter::RenderOverhang()
{
    if (!m_bSupportsShown)
        return;
    glCallList(m_nSupportTipList);
    glCallList(m_nSupportBodyList);
}
