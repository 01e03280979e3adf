#include "VSLPlatePainters.h"

#include <GL/gl.h>

namespace {
bool IsList(GLuint list) { return list != GLuint(-1) && glIsList(list); }
} // namespace

// ---------------------------------------------------------------------- grid

void VSLGridding::Render()
{
    const int w = m_nWidth, d = m_nDepth;
    const double z = m_dZ;
    glColor3f(0.6667f, 0.6667f, 0.6667f);
    glLineWidth(1.0f);
    // Integer halves: a 96 x 54 plate has lines at -48 .. 42 and -27 .. 23.
    for (int x = -w / 2; x <= w / 2; x += 10) {
        glEnable(GL_DEPTH_TEST);
        glBegin(GL_LINES);
        glVertex3d(x, -d / 2, z);
        glVertex3d(x, d / 2, z);
        glEnd();
        glDisable(GL_DEPTH_TEST);
    }
    for (int y = -d / 2; y <= d / 2; y += 10) {
        glEnable(GL_DEPTH_TEST);
        glBegin(GL_LINES);
        glVertex3d(-w / 2, y, z);
        glVertex3d(w / 2, y, z);
        glEnd();
        glDisable(GL_DEPTH_TEST);
    }
    glEnable(GL_DEPTH_TEST);
    glBegin(GL_LINE_STRIP);
    glVertex3d(w / 2, -d / 8, z);
    glVertex3d(w / 2, -d / 8, 20);
    glVertex3d(w / 2, -d / 4, 20);
    glVertex3d(w / 2, 0, 40);
    glVertex3d(w / 2, d / 4, 20);
    glVertex3d(w / 2, d / 8, 20);
    glVertex3d(w / 2, d / 8, z);
    glEnd();
    glDisable(GL_DEPTH_TEST);

    glColor4f(0.1569f, 0.1569f, 0.1569f, 0.7f);
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glBegin(GL_QUADS);
    glVertex3d(-w / 2, -d / 2, z - 0.05);
    glVertex3d(w / 2, -d / 2, z - 0.05);
    glVertex3d(w / 2, d / 2, z - 0.05);
    glVertex3d(-w / 2, d / 2, z - 0.05);
    glEnd();
    glDepthMask(GL_TRUE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

// ----------------------------------------------------------------------- box

namespace {
constexpr float kUnitCube[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                   {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
constexpr int kBoxFaces[6][4] = {{0, 1, 2, 3}, {0, 4, 5, 1}, {1, 5, 6, 2},
                                 {2, 6, 7, 3}, {3, 7, 4, 0}, {4, 7, 6, 5}};
constexpr int kBoxEdges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                  {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
} // namespace

void VSLPrinterBox::SetBoxSize(int x, int y, int z)
{
    m_nSizeX = x;
    m_nSizeY = y;
    m_nSizeZ = z;
}

void VSLPrinterBox::GenBoxList()
{
    if (IsList(m_nFaceLists))
        glDeleteLists(m_nFaceLists, 6);
    m_nFaceLists = glGenLists(6);
    for (int f = 0; f < 6; ++f) {
        glNewList(m_nFaceLists + f, GL_COMPILE);
        glEnable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glDepthMask(GL_FALSE);
        glBegin(GL_QUADS);
        for (int k : kBoxFaces[f])
            glVertex3fv(kUnitCube[k]);
        glEnd();
        glDepthMask(GL_TRUE);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glEndList();
    }
    if (IsList(m_nEdgeList))
        glDeleteLists(m_nEdgeList, 1);
    m_nEdgeList = glGenLists(1);
    glNewList(m_nEdgeList, GL_COMPILE);
    for (const auto& e : kBoxEdges) {
        glEnable(GL_DEPTH_TEST);
        glBegin(GL_LINES);
        glVertex3fv(kUnitCube[e[0]]);
        glVertex3fv(kUnitCube[e[1]]);
        glEnd();
        glDisable(GL_DEPTH_TEST);
    }
    glEndList();
}

void VSLPrinterBox::GenFrontFlagList()
{
    const float A[3] = {-3.09f, 0, 0}, B[3] = {3.09f, 0, 0}, C[3] = {0, -5, 0};
    const float D[3] = {-3.09f, 0, 0.5f}, E[3] = {3.09f, 0, 0.5f}, F[3] = {0, -5, 0.5f};
    if (IsList(m_nFlagList))
        glDeleteLists(m_nFlagList, 1);
    m_nFlagList = glGenLists(1);
    glNewList(m_nFlagList, GL_COMPILE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glBegin(GL_TRIANGLES);
    glNormal3f(0, 0, -1);
    glVertex3fv(A), glVertex3fv(B), glVertex3fv(C);
    glNormal3f(0, 0, 1);
    glVertex3fv(D), glVertex3fv(F), glVertex3fv(E);
    glEnd();
    glBegin(GL_QUADS);
    glNormal3f(0, 1, 0);
    glVertex3fv(B), glVertex3fv(A), glVertex3fv(D), glVertex3fv(E);
    glNormal3f(5, -3.09f, 0);
    glVertex3fv(C), glVertex3fv(B), glVertex3fv(E), glVertex3fv(F);
    glNormal3f(-5, -3.09f, 0);
    glVertex3fv(A), glVertex3fv(C), glVertex3fv(F), glVertex3fv(D);
    glEnd();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEndList();
}

void VSLPrinterBox::InitDisplayList()
{
    GenBoxList();
    GenFrontFlagList();
}

void VSLPrinterBox::Render()
{
    const double X = m_nSizeX, Y = m_nSizeY, Z = m_nSizeZ;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslated(-float(X / 2), -float(Y / 2), m_dZ);
    glScaled(X, Y, Z);
    if (m_bEdgesOnly) {
        glColor3f(0.4f, 0.4f, 0.4f);
        if (IsList(m_nEdgeList))
            glCallList(m_nEdgeList);
    } else if (IsList(m_nFaceLists)) {
        const float alpha[5] = {0.1f, 0.2f, 0.4f, 0.2f, 0.4f};
        for (int f = 0; f < 5; ++f) {
            glColor4f(0.1f, 0.1f, 0.1f, alpha[f]);
            glCallList(m_nFaceLists + f);
        }
    }
    glPopMatrix();
    glPushMatrix();
    glTranslated(0, -(Y + 16) / 2, m_dZ);
    glColor3f(0.3f, 0.6f, 0.8f);
    if (IsList(m_nFlagList))
        glCallList(m_nFlagList);
    glPopMatrix();
}
