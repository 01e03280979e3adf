// Drawing of the plate: GL initialisation, instances, gizmos, rubber bands,
// grid and box, and the support-mode 3D cursor.
#include "VSL3DScene.h"
#include "VSLCoordConvert.h"
#include "VSLModelPainter.h"

#include <GL/gl.h>

#include <cmath>

#ifndef GL_MULTISAMPLE
#define GL_MULTISAMPLE 0x809D
#endif

namespace {

void SetColor(const float c[3]) { glColor3f(c[0], c[1], c[2]); }

constexpr float kGrey[3] = {0.6f, 0.6f, 0.6f};
constexpr float kOffPlate[3] = {0.5f, 0.0f, 0.1f};
constexpr float kSelected[3] = {0.3f, 0.6f, 0.8f};
constexpr float kSelectedOutOfRange[3] = {0.6f, 0.0f, 0.0f};

// Render and supports of one instance, lit and depth-tested.
void DrawInstance(VSLModelPainter* p, bool highlight, bool tipsOnly)
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    p->Render();
    p->RenderSupportX(highlight, tipsOnly);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
}

void Vertex(const QVector3D& v) { glVertex3f(v.x(), v.y(), v.z()); }

} // namespace

// ------------------------------------------------------------ initialisation

void VSL3DScene::InitScene()
{
    InitColorAndBlend();
    InitLightAndMeteria();
    InitStencil();
    InitPainters();
}

void VSL3DScene::InitColorAndBlend()
{
    glClearColor(0.94f, 0.93f, 0.92f, 1.0f);
    glShadeModel(GL_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glCullFace(GL_BACK);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_MULTISAMPLE);
    glLineStipple(1, 0x0F0F);
}

void VSL3DScene::InitLightAndMeteria()
{
    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1.0f};
    const GLfloat diffuse[] = {0.6f, 0.6f, 0.6f, 1.0f};
    const GLfloat specular[] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat position[] = {0.4f, 0.5f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightModelf(GL_LIGHT_MODEL_LOCAL_VIEWER, 1.0f);
    glEnable(GL_LIGHT0);
    const GLfloat matSpecular[] = {0.3f, 0.3f, 0.3f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, matSpecular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 10.0f);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
}

void VSL3DScene::InitStencil()
{
    glClearStencil(0);
    glStencilOp(GL_INCR, GL_INCR, GL_INCR);
}

void VSL3DScene::InitPainters()
{
    m_printerBox.InitDisplayList();
    m_rotateCoord.InitDisplayList();
    m_gridding.InitDisplayList();
}

// ------------------------------------------------------------------- a frame

void VSL3DScene::RenderScene()
{
    if (!m_bHideOverlays)
        m_gridding.Render();
    DrawModels();
    if (!m_bHideOverlays) {
        DrawCoord();
        DrawRubber();
        m_printerBox.Render();
    }
}

bool VSL3DScene::CheckPlatform(VSLModelPainter* instance) const { return !LeavesBoundXY(instance); }

bool VSL3DScene::IsPointOutofRange(QVector3D p, bool mapped) const
{
    if (mapped)
        p = m_pendingTransform.map(p);
    return p.x() > m_boundMax.x() || p.y() > m_boundMax.y() || p.z() > m_boundMax.z() || p.x() < m_boundMin.x() ||
           p.y() < m_boundMin.y();
}

void VSL3DScene::DrawModels()
{
    VSLModelPainter* sel = m_pSelModelPainter;
    if (m_bFreeze) {
        for (VSLModelPainter* p : qAsConst(m_instances)) {
            if (m_bSelected && p != sel)
                continue;
            SetColor(CheckPlatform(p) ? kGrey : kOffPlate);
            DrawInstance(p, false, true);
        }
        return;
    }
    if (sel) {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        // A rotate drag is judged by the box before the drag.
        const bool mapped = EditMode != 1;
        const bool out = IsPointOutofRange(sel->m_maxBound, mapped) || IsPointOutofRange(sel->m_minBound, mapped) ||
                         SupportsLeaveBoundXY(sel, mapped ? &m_pendingTransform : nullptr);
        SetColor(out ? kSelectedOutOfRange : kSelected);
        glMultMatrixf(m_pendingTransform.constData());
        DrawInstance(sel, true, false);
        // The footprint follows a move or scale drag, not a rotate drag.
        if (EditMode == 1) {
            glPopMatrix();
            sel->RenderBoundaryHull();
        } else {
            sel->RenderBoundaryHull();
            glPopMatrix();
        }
    }
    for (VSLModelPainter* p : qAsConst(m_instances)) {
        if (p == sel)
            continue;
        SetColor(CheckPlatform(p) ? kGrey : kOffPlate);
        DrawInstance(p, false, false);
    }
}

void VSL3DScene::DrawCoord()
{
    if (!m_pSelModelPainter)
        return;
    if (EditMode == 2 && !m_bUniformScale) {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glMultMatrixf(m_pendingTransform.constData());
        m_scaleCoord.Render();
        glPopMatrix();
    } else if (EditMode == 1 && m_strToolName == "Edit") {
        m_rotateCoord.Render();
    }
}

void VSL3DScene::DrawRubber()
{
    if (m_pendingTransform.isIdentity() || !m_pSelModelPainter)
        return;
    if (EditMode == 1)
        DrawRotateRubber();
    else if (EditMode == 0)
        DrawTranslateRubber();
}

void VSL3DScene::DrawTranslateRubber()
{
    if (!m_pSelModelPainter)
        return;
    const QVector3D c = m_pSelModelPainter->m_center;
    const QVector3D n = m_pendingTransform.map(c);
    glLineWidth(2.0f);

    glColor3f(1, 0, 0);
    glBegin(GL_LINES);
    glVertex3f(c.x(), c.y(), 0);
    glVertex3f(n.x(), c.y(), 0);
    glEnd();
    emit signal_RenderText(QString("X = ") + QString::number(n.x() - c.x(), 'f', 1) + "mm",
                           QVector3D(n.x() - 1.5f, c.y(), 0));
    if (std::fabs(c.x() - n.x()) > 2.0f) {
        const QVector3D d = QVector3D(c.x() - n.x(), 0, 0).normalized();
        const QVector3D b = QVector3D(n.x(), c.y(), 0) + 2 * d;
        glBegin(GL_TRIANGLES);
        glVertex3f(b.x(), b.y() + 0.618f, 0);
        glVertex3f(b.x(), b.y() - 0.618f, 0);
        glVertex3f(n.x(), c.y(), 0);
        glEnd();
    }

    glColor3f(0, 1, 0);
    glBegin(GL_LINES);
    glVertex3f(c.x(), c.y(), 0);
    glVertex3f(c.x(), n.y(), 0);
    glEnd();
    emit signal_RenderText(QString("Y = ") + QString::number(n.y() - c.y(), 'f', 1) + "mm",
                           QVector3D(c.x(), n.y() - 1.5f, 0));
    if (std::fabs(c.y() - n.y()) > 2.0f) {
        const QVector3D d = QVector3D(0, c.y() - n.y(), 0).normalized();
        const QVector3D b = QVector3D(c.x(), n.y(), 0) + 2 * d;
        glBegin(GL_TRIANGLES);
        glVertex3f(b.x() + 0.618f, b.y(), 0);
        glVertex3f(b.x() - 0.618f, b.y(), 0);
        glVertex3f(c.x(), n.y(), 0);
        glEnd();
    }
}

void VSL3DScene::DrawRotateRubber()
{
    if (!m_pSelModelPainter)
        return;
    const QVector3D c = m_pSelModelPainter->m_center;
    const QVector3D d = (m_pressPoint - c).normalized();
    const float L = float(m_pSelModelPainter->GetMaxLength());
    const QVector3D a = c + d * L * 0.5f;
    const QVector3D b = m_pendingTransform.map(a);
    const QVector3D axis = QVector3D::normal(c, a, b);

    glColor3f(0.5f, 0.2f, 0.7f);
    glLineWidth(2.0f);
    glBegin(GL_LINE_STRIP);
    Vertex(a);
    Vertex(c);
    Vertex(b);
    glEnd();
    glPointSize(8.0f);
    glBegin(GL_POINTS);
    Vertex(c);
    glEnd();

    QVector<QVector3D> arc;
    CalArcPoints(m_dRubberAngle, arc, c, c + (a - c) / 5, axis);
    glBegin(GL_LINE_STRIP);
    for (const QVector3D& p : qAsConst(arc))
        Vertex(p);
    glEnd();
    emit signal_RenderText(QString::number(int(m_dRubberAngle)) + QChar(0x00B0), b);
}

void CalArcPoints(double angle, QVector<QVector3D>& out, QVector3D const& centre, QVector3D const& start,
                  QVector3D const& axis)
{
    if (!(angle >= -1000 && angle <= 1000))
        return;
    out.clear();
    if (std::fabs(angle) < 0.1 || start == centre || axis.isNull() ||
        std::fabs(QVector3D::dotProduct(centre - start, axis)) > 0.01f)
        return;
    while (angle > 180)
        angle -= 360;
    while (angle < -180)
        angle += 360;
    static const double step = DegreeToRadian(0.1);
    static const double cosStep = std::cos(step);
    static const double sinStep = std::sin(step);
    const int n = int(std::fabs(angle) / 0.1);
    out.reserve(n + 1);
    out.append(start);
    const QVector3D u = axis.normalized();
    QVector3D v = start - centre;
    for (int i = 0; i < n; ++i) {
        v = float(cosStep) * v + float(sinStep) * QVector3D::crossProduct(u, v);
        out.append(centre + v);
    }
}

void VSL3DScene::RenderLayerModel()
{
    m_gridding.Render();
    m_printerBox.Render();
}

void VSL3DScene::DrawOutline()
{
    if (!m_pSelModelPainter)
        return;
    glColor3f(0.8f, 0.8f, 0.8f);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(m_pendingTransform.constData());
    glPushAttrib(GL_LINE_BIT);
    glLineWidth(2.0f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_EQUAL, 0, 255);
    m_pSelModelPainter->Render();
    glDisable(GL_STENCIL_TEST);
    glPopAttrib();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPopMatrix();
}

void VSL3DScene::DrawMisc()
{
    VSLModelPainter* sel = m_pSelModelPainter;
    if (!m_bSupportMode || m_nSupportTool != 0 || !sel)
        return;
    // A zero scale would put the line end at infinity.
    const float sx = sel->m_scale.x() != 0.f ? sel->m_scale.x() : 1.f;
    const QVector3D tip = m_cursorPos + m_cursorNormal * (5.f / sx);
    const bool up = sel->m_matrix.mapVector(m_cursorNormal).z() > 0;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(m_pendingTransform.constData());
    glMultMatrixf(sel->m_matrix.constData());
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glColor3f(up ? 1.f : 0.f, up ? 0.f : 1.f, 0.f);
    glBegin(GL_LINES);
    glNormal3f(m_cursorNormal.x(), m_cursorNormal.y(), m_cursorNormal.z());
    Vertex(m_cursorPos);
    Vertex(tip);
    glEnd();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glPopMatrix();
}

void saveSceneImage(char const*) {}
