#include "VSLCoordPainter.h"

#include <GL/gl.h>

#include <cmath>

#ifndef GL_MULTISAMPLE
#define GL_MULTISAMPLE 0x809D
#endif

namespace {

// Outside GL_SELECT the name stack calls are ignored by GL.
void LoadName(GLuint name) { glPushName(name); }
void PopName() { glPopName(); }

bool IsList(GLuint list) { return list != GLuint(-1) && glIsList(list); }

} // namespace

constexpr int VSLScaleCoord::kFaceCorners[6][4];

// ---------------------------------------------------------------- rotate gizmo

void VSLRotateCoord::ResetData(RotateCoordData const& data)
{
    m_center = data.center;
    m_dRadius = data.radius;
}

void VSLRotateCoord::GenCircleList()
{
    float pts[81][2];
    for (int k = 0; k <= 80; ++k) {
        const float t = float(k) * 0.0785398f;
        pts[k][0] = std::cos(t);
        pts[k][1] = std::sin(t);
    }
    if (IsList(m_nRingLists))
        glDeleteLists(m_nRingLists, 3);
    m_nRingLists = glGenLists(3);
    glNewList(m_nRingLists, GL_COMPILE);
    glBegin(GL_LINES);
    for (int k = 0; k < 80; ++k) {
        glVertex3f(pts[k][0], pts[k][1], 0);
        glVertex3f(pts[k + 1][0], pts[k + 1][1], 0);
    }
    glEnd();
    glEndList();
    const float axes[2][3] = {{1, 0, 0}, {0, 1, 0}};
    for (int i = 0; i < 2; ++i) {
        glNewList(m_nRingLists + 1 + i, GL_COMPILE);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glRotatef(90, axes[i][0], axes[i][1], axes[i][2]);
        glCallList(m_nRingLists);
        glPopMatrix();
        glEndList();
    }
}

void VSLRotateCoord::GenStippleCircleList()
{
    if (IsList(m_nStippleRingLists))
        glDeleteLists(m_nStippleRingLists, 3);
    m_nStippleRingLists = glGenLists(3);
    for (int i = 0; i < 3; ++i) {
        glNewList(m_nStippleRingLists + i, GL_COMPILE);
        glEnable(GL_LINE_STIPPLE);
        glCallList(m_nRingLists + i);
        glDisable(GL_LINE_STIPPLE);
        glEndList();
    }
}

void VSLRotateCoord::InitDisplayList()
{
    GenCircleList();
    GenStippleCircleList();
}

void VSLRotateCoord::ApplyTransform() const
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(m_center.x(), m_center.y(), m_center.z());
    glScaled(m_dRadius, m_dRadius, m_dRadius);
}

void VSLRotateCoord::Render()
{
    if (!IsList(m_nRingLists))
        return;
    glEnable(GL_DEPTH_TEST);
    ApplyTransform();
    glPushAttrib(GL_LINE_BIT);
    glLineWidth(2.0f);
    for (int part = 0; part < 3; ++part) {
        const float c = part == m_nSelectedPart ? 1.0f : 0.4f;
        // Ring 0 blue (about z), ring 1 green (about y), ring 2 red (about x).
        glColor3f(part == 2 ? c : 0.f, part == 1 ? c : 0.f, part == 0 ? c : 0.f);
        LoadName(GLuint(1 + 10 * part));
        const bool stippled = part == m_nHoverPart && IsList(m_nStippleRingLists);
        glCallList((stippled ? m_nStippleRingLists : m_nRingLists) + part);
        PopName();
    }
    glPopAttrib();
    glPopMatrix();
    glDisable(GL_DEPTH_TEST);
}

void VSLRotateCoord::RenderPickGL()
{
    if (!IsList(m_nRingLists))
        return;
    glEnable(GL_DEPTH_TEST);
    ApplyTransform();
    glPushAttrib(GL_LINE_BIT);
    glLineWidth(10.0f);
    for (int part = 0; part < 3; ++part) {
        glColor3ub(0, 0, GLubyte(1 + 10 * part));
        glCallList(m_nRingLists + part);
    }
    glPopAttrib();
    glPopMatrix();
    glDisable(GL_DEPTH_TEST);
}

// ----------------------------------------------------------------- scale gizmo

void VSLScaleCoord::Corners(double c[8][3]) const
{
    const double x0 = m_minBound.x() - 0.1, x1 = m_maxBound.x() + 0.1;
    const double y0 = m_minBound.y() - 0.1, y1 = m_maxBound.y() + 0.1;
    const double z0 = m_minBound.z(), z1 = m_maxBound.z() + 0.1;
    const double xs[8] = {x0, x1, x1, x0, x0, x1, x1, x0};
    const double ys[8] = {y0, y0, y1, y1, y0, y0, y1, y1};
    for (int i = 0; i < 8; ++i) {
        c[i][0] = xs[i];
        c[i][1] = ys[i];
        c[i][2] = i < 4 ? z0 : z1;
    }
}

void VSLScaleCoord::Render()
{
    double c[8][3];
    Corners(c);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    for (int f = 0; f < 6; ++f) {
        const float alpha = f == m_nSelectedPart ? 0.3f : 0.1f;
        const bool hover = f == m_nHoverPart;
        glColor4f(0.1f, hover ? 0.4f : 0.1f, hover ? 0.3f : 0.1f, alpha);
        LoadName(GLuint(1 + 10 * f));
        glBegin(GL_QUADS);
        for (int k : kFaceCorners[f])
            glVertex3dv(c[k]);
        glEnd();
        PopName();
    }
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}

void VSLScaleCoord::RenderPickGL()
{
    double c[8][3];
    Corners(c);
    glDisable(GL_MULTISAMPLE);
    glEnable(GL_DEPTH_TEST);
    for (int f = 0; f < 6; ++f) {
        glColor3ub(0, 0, GLubyte(1 + 10 * f));
        glBegin(GL_QUADS);
        for (int k : kFaceCorners[f])
            glVertex3dv(c[k]);
        glEnd();
    }
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_MULTISAMPLE);
}
