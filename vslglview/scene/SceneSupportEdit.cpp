// The support edit click: two colour pick passes into the off-screen pick
// buffer, rasterised only at the pixel under the press.
#include "ScenePickBuffer.h"
#include "VSL3DScene.h"
#include "VSLCoordConvert.h"
#include "VSLModelPainter.h"

#include <GL/gl.h>
#include <GL/glu.h>

#ifndef GL_MULTISAMPLE
#define GL_MULTISAMPLE 0x809D
#endif

namespace {

void PickColor(uint v) { glColor3ub(GLubyte((v >> 16) & 0xFF), GLubyte((v >> 8) & 0xFF), GLubyte(v & 0xFF)); }

uint ReadValue(QPoint const& p)
{
    unsigned char c[3];
    ReadPixelColor(p, c);
    return (uint(c[0]) << 16) | (uint(c[1]) << 8) | uint(c[2]);
}

QVector3D UnProjectAt(int wx, int wy, double depth)
{
    GLint vp[4];
    GLdouble mv[16], pr[16];
    glGetIntegerv(GL_VIEWPORT, vp);
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    GLdouble x = 0, y = 0, z = 0;
    gluUnProject(wx + 0.5, wy + 0.5, depth, mv, pr, vp, &x, &y, &z);
    return QVector3D(float(x), float(y), float(z));
}

} // namespace

void VSL3DScene::ClickEditSupport(QPoint p)
{
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    int wx = 0, wy = 0;
    const bool inside = WidgetToWindowPixel(p, wx, wy);
    ScenePickBuffer& buffer = PickBuffer();
    if (inside && buffer.Begin(QSize(vp[0] + vp[2], vp[1] + vp[3]))) {
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_SCISSOR_BIT | GL_CURRENT_BIT |
                     GL_POLYGON_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(wx, wy, 1, 1);
        glDisable(GL_BLEND);
        glDisable(GL_DITHER);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_STENCIL_TEST);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glDisable(GL_LIGHTING);
        glDisable(GL_MULTISAMPLE);
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        glClearColor(0, 0, 0, 1);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);

        // Pass 1: models 2 * id, tips 2 * id + 1, tips under the support
        // matrix as the view draws them.
        QVector<VSLModelPainter*> targets;
        if (m_pSelModelPainter)
            targets << m_pSelModelPainter;
        else
            targets = m_instances.values().toVector();
        for (VSLModelPainter* inst : qAsConst(targets)) {
            const uint id = uint(inst->m_nNumber);
            PickColor(2 * id);
            inst->Render();
            // A pending worker owns the support state; its lists are not
            // drawn, and a hit on it does nothing below.
            if (IsInstanceBusy(inst) || !inst->m_bHasSupports)
                continue;
            PickColor(2 * id + 1);
            glPushMatrix();
            glMultMatrixf(inst->m_supportMatrix.constData());
            glCallList(inst->m_nSupportTipList);
            glPopMatrix();
        }
        float depth = 1.f;
        ReadPixelDepth(p, depth);
        const uint v = ReadValue(p);
        VSLModelPainter* hit = v != 0 ? m_instances.value(int(v >> 1), nullptr) : nullptr;
        if (hit && !IsInstanceBusy(hit)) {
            hit->m_bSupportChanged = true;
            hit->m_bGenerationRan = true;
            if ((v & 1) == 0) {
                hit->AddClickSupport(UnProjectAt(wx, wy, depth), UnProjectAt(wx, wy, 0.0));
            } else {
                // Pass 2: the tips of that instance numbered in map order.
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                const QMatrix4x4 back = hit->m_supportMatrix.inverted();
                const QVector3D from = back.map(UnProjectAt(wx, wy, 0.0));
                const QVector3D to = back.map(UnProjectAt(wx, wy, 1.0));
                glPushMatrix();
                glMultMatrixf(hit->m_supportMatrix.constData());
                hit->EmitTipPickPass(from, to);
                glPopMatrix();
                hit->MarkClickedSupport(int(ReadValue(p)));
            }
            hit->RebuildSupportTipList();
            emit sig_Update();
        }
        glPopAttrib();
        buffer.End();
    }
    glClearColor(0.94f, 0.93f, 0.92f, 1.0f);
    // The view's next paint sets lighting and multisampling itself.
    glDisable(GL_LIGHTING);
    glDisable(GL_MULTISAMPLE);
}
