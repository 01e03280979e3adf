#include "VSLXYZPainter.h"

#include "VSLCoordConvert.h"

#include <QColor>
#include <QMatrix4x4>
#include <QPainter>

#include <GL/gl.h>

#include <cmath>

#ifndef GL_MULTISAMPLE
#define GL_MULTISAMPLE 0x809D
#endif

namespace {
bool IsList(GLuint list) { return list != GLuint(-1) && glIsList(list); }
} // namespace

VSLXYZPainter::~VSLXYZPainter() { delete m_pPainter; }

void VSLXYZPainter::SetRotate(double rotZ, double rotX)
{
    m_fRotZ = float(rotZ);
    m_fRotX = float(rotX);
}

void VSLXYZPainter::GenConeList()
{
    if (IsList(m_nConeList))
        glDeleteLists(m_nConeList, 1);
    m_nConeList = glGenLists(1);
    QVector3D p[80];
    for (int k = 0; k < 80; ++k) {
        const double a = k * 2 * M_PI / 80;
        p[k] = QVector3D(float(std::cos(a)), float(std::sin(a)), 0);
    }
    glNewList(m_nConeList, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < 80; ++k) {
        const int j = (k + 1) % 80;
        const QVector3D n = ((((p[k] + p[j]) / 2) + QVector3D(0, 0, 1)) / 2).normalized();
        glNormal3f(n.x(), n.y(), n.z());
        glVertex3f(0, 0, 1);
        glVertex3f(p[k].x(), p[k].y(), 0);
        glVertex3f(p[j].x(), p[j].y(), 0);
    }
    glEnd();
    glBegin(GL_POLYGON);
    glNormal3f(0, 0, 1);
    for (const QVector3D& q : p)
        glVertex3f(q.x(), q.y(), 0);
    glEnd();
    glEndList();
}

void VSLXYZPainter::InitDisplayList()
{
    GenConeList();
    if (IsList(m_nArrowList))
        glDeleteLists(m_nArrowList, 1);
    const GLuint arrow = m_nArrowList = glGenLists(1);
    glNewList(arrow, GL_COMPILE);
    glPushAttrib(GL_LINE_BIT);
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    glVertex3f(0, 0, 0);
    glVertex3f(1, 0, 0);
    glEnd();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(0.7f, 0, 0);
    glRotated(90, 0, 1, 0);
    glScaled(0.1, 0.1, 0.3);
    glCallList(m_nConeList);
    glPopAttrib();
    glPopMatrix();
    glEndList();

    if (IsList(m_nTriadList))
        glDeleteLists(m_nTriadList, 1);
    m_nTriadList = glGenLists(1);
    glNewList(m_nTriadList, GL_COMPILE);
    glColor3f(0.7f, 0, 0);
    glCallList(arrow);
    glColor3f(0, 0.7f, 0);
    glPushMatrix();
    glRotated(90, 0, 0, 1);
    glCallList(arrow);
    glPopMatrix();
    glColor3f(0, 0, 0.7f);
    glPushMatrix();
    glRotated(-90, 0, 1, 0);
    glCallList(arrow);
    glPopMatrix();
    glEndList();
}

void VSLXYZPainter::Render()
{
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_MULTISAMPLE);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    const int width = vp[2], height = vp[3];
    // 100 by 100 widget points, 50 from the right edge, at any pixel density.
    const double ratio = WidgetPixelRatio();
    const int side = int(100 * ratio);
    glViewport(width - int(150 * ratio), 0, side, side);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    QMatrix4x4 proj;
    proj.perspective(45, 1.0f, 0.1f, 1000);
    glMultMatrixf(proj.constData());
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0, 0, -3);
    glRotatef(m_fRotX, 1, 0, 0);
    glRotatef(m_fRotZ, 0, 0, 1);
    if (IsList(m_nTriadList))
        glCallList(m_nTriadList);

    const QVector3D ends[3] = {{1.2f, 0, 0}, {0, 1.2f, 0}, {0, 0, 1.2f}};
    for (int i = 0; i < 3; ++i) {
        UCToDC(m_labelPos[i], ends[i]);
        m_labelPos[i].ry() += int((height - side) / ratio);
    }

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glViewport(0, 0, width, height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);

    if (m_pPainter) {
        m_pPainter->setPen(QColor(25, 25, 25));
        const char* names[3] = {"X", "Y", "Z"};
        for (int i = 0; i < 3; ++i)
            m_pPainter->drawText(m_labelPos[i], names[i]);
        m_pPainter->end();
        glEnable(GL_MULTISAMPLE);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        delete m_pPainter;
        m_pPainter = nullptr;
    }
}
