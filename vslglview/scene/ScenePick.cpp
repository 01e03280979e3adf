// Colour pick passes of the scene and the support-mode 3D cursor.
//
// Every pass draws into the reused off-screen buffer with the scissor box
// set to the one pixel under the cursor: the ids are those of a full-window
// pass, but only that pixel is rasterised. Pixels are read through the
// shared read-back (row viewport height - 1 - y).
#include "ScenePickBuffer.h"
#include "VSL3DScene.h"
#include "VSLCoordConvert.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QVector4D>

#include <algorithm>

#include <GL/gl.h>

#ifndef GL_MULTISAMPLE
#define GL_MULTISAMPLE 0x809D
#endif

namespace {

Q_LOGGING_CATEGORY(lcPick, "vexmor.scene.pick", QtInfoMsg)

// Binds the pick buffer, limits drawing to the pixel under `p` and clears it;
// the destructor restores the GL state and the framebuffer bound before.
class PixelPass {
public:
    PixelPass(ScenePickBuffer& buffer, QPoint const& p, const float clear[4]) : m_buffer(buffer)
    {
        GLint vp[4];
        glGetIntegerv(GL_VIEWPORT, vp);
        int wx = 0, wy = 0;
        if (!WidgetToWindowPixel(p, wx, wy))
            return; // outside the framebuffer: background
        if (!m_buffer.Begin(QSize(vp[0] + vp[2], vp[1] + vp[3])))
            return;
        m_active = true;
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_SCISSOR_BIT | GL_CURRENT_BIT |
                     GL_LINE_BIT | GL_POLYGON_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(wx, wy, 1, 1);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glDisable(GL_DITHER);
        glDisable(GL_MULTISAMPLE);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_STENCIL_TEST);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glDepthMask(GL_TRUE);
        glClearColor(clear[0], clear[1], clear[2], clear[3]);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    ~PixelPass()
    {
        if (!m_active)
            return;
        glPopAttrib();
        m_buffer.End();
    }
    bool active() const { return m_active; }

private:
    ScenePickBuffer& m_buffer;
    bool m_active = false;
};

constexpr float kBlack[4] = {0, 0, 0, 1};
constexpr float kGreyClear[4] = {0.5f, 0.5f, 0.5f, 1};

// Copy of one model triangle, taken only when no worker holds the data.
bool TryCopyTriangle(VSLModelPainter* instance, unsigned int index, VSLTriangle3D& out)
{
    VSLModel3D* model = instance->m_pModel;
    if (!model || !model->dataMutex()->tryLock())
        return false;
    const bool ok = index < unsigned(model->m_vTriangles.size());
    if (ok)
        out = model->m_vTriangles[int(index)];
    model->dataMutex()->unlock();
    return ok;
}

// False only when the instance's box, projected with the current matrices,
// lies clear of the pixel under `p`: it cannot colour that pixel.
bool MayCoverPixel(const VSLModelPainter* instance, QPoint const& p)
{
    if (!instance->m_vSupportStructures.isEmpty())
        return true; // columns may reach outside the instance's box
    GLint vp[4];
    GLfloat mv[16], pr[16];
    glGetIntegerv(GL_VIEWPORT, vp);
    glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    glGetFloatv(GL_PROJECTION_MATRIX, pr);
    const QMatrix4x4 mvp = QMatrix4x4(pr).transposed() * QMatrix4x4(mv).transposed();
    const QVector3D lo = instance->m_minBound, hi = instance->m_maxBound;
    float minX = 1e30f, minY = 1e30f, maxX = -1e30f, maxY = -1e30f;
    for (int k = 0; k < 8; ++k) {
        const QVector4D c = mvp * QVector4D(k & 1 ? hi.x() : lo.x(), k & 2 ? hi.y() : lo.y(), k & 4 ? hi.z() : lo.z(), 1);
        if (c.w() <= 1e-6f)
            return true; // behind the eye: no simple screen box
        const float x = vp[0] + (c.x() / c.w() + 1) * 0.5f * vp[2];
        const float y = vp[1] + (c.y() / c.w() + 1) * 0.5f * vp[3];
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    int wx = 0, wy = 0;
    WidgetToWindowPixel(p, wx, wy);
    // A pixel's margin on each side for rasterisation rules and rounding.
    return wx + 1.5f >= minX && wx - 0.5f <= maxX && wy + 1.5f >= minY && wy - 0.5f <= maxY;
}

} // namespace

ScenePickBuffer& VSL3DScene::PickBuffer()
{
    if (!m_pickBuffer)
        m_pickBuffer = std::make_shared<ScenePickBuffer>();
    return *m_pickBuffer;
}

void VSL3DScene::RenderPickModels()
{
    for (VSLModelPainter* p : qAsConst(m_instances))
        p->RenderPickGL();
}

void VSL3DScene::RenderPickCoord()
{
    if (EditMode == 1)
        m_rotateCoord.RenderPickGL();
}

int VSL3DScene::PickModelsAt(QPoint const& p)
{
    PixelPass pass(PickBuffer(), p, kBlack);
    if (!pass.active())
        return 0;
    // The same ids as RenderPickModels, without drawing the instances that
    // cannot reach the pixel.
    for (VSLModelPainter* instance : qAsConst(m_instances))
        if (MayCoverPixel(instance, p))
            instance->RenderPickGL();
    return ReadPickId(p);
}

int VSL3DScene::PickCoordAt(QPoint const& p)
{
    PixelPass pass(PickBuffer(), p, kBlack);
    if (!pass.active())
        return 0;
    RenderPickCoord();
    return ReadPickId(p);
}

unsigned int VSL3DScene::GetPickTriangleIndx(VSLModelPainter* instance, QPoint point, bool& hit)
{
    hit = false;
    if (!instance || !instance->m_pModel)
        return 0;
    if (m_pendingTransform.isIdentity() && !MayCoverPixel(instance, point))
        return 0;
    unsigned char c[3] = {0, 0, 0};
    {
        PixelPass pass(PickBuffer(), point, kBlack);
        if (!pass.active())
            return 0;
        QElapsedTimer timer;
        timer.start();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glMultMatrixf(m_pendingTransform.constData());
        instance->RenderTrianglePickGL();
        glPopMatrix();
        const double render = timer.nsecsElapsed() * 1e-9;
        timer.restart();
        ReadPixelColor(point, c);
        qCDebug(lcPick) << "render" << render << "read" << timer.nsecsElapsed() * 1e-9;
    }
    const unsigned int code = c[0] + 256u * c[1] + 65536u * c[2];
    if (code == 0)
        return 0;
    const unsigned int index = code - 1;
    hit = index < unsigned(instance->m_pModel->TriangleCount());
    return hit ? index : 0;
}

namespace {
// Position pass of one triangle; false when nothing of it lies under the
// point (or a worker holds the model's data).
bool PickPointOnTriangle(ScenePickBuffer& buffer, const QMatrix4x4& pending, QPoint point,
                         VSLModelPainter* instance, unsigned int index, QVector3D& out)
{
    VSLTriangle3D tri;
    if (!TryCopyTriangle(instance, index, tri))
        return false;
    unsigned char c[3] = {128, 128, 128};
    float depth = 1.0f;
    {
        PixelPass pass(buffer, point, kGreyClear);
        if (!pass.active())
            return false;
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glMultMatrixf(pending.constData());
        instance->RenderSingleTrianglePickGL(index);
        glPopMatrix();
        ReadPixelColor(point, c);
        ReadPixelDepth(point, depth);
    }
    for (int a = 0; a < 3; ++a)
        out[a] = tri.minBound[a] + (tri.maxBound[a] - tri.minBound[a]) * (c[a] / 256.f);
    return depth < 1.0f;
}
} // namespace

QVector3D VSL3DScene::GetPickOnTriangle(QPoint point, VSLModelPainter* instance, unsigned int index)
{
    QVector3D p;
    if (instance)
        PickPointOnTriangle(PickBuffer(), m_pendingTransform, point, instance, index, p);
    return p;
}

bool VSL3DScene::LocateInCurrentModel(QVector3D& point, QPoint pos)
{
    if (!m_pSelModelPainter || !MayCoverPixel(m_pSelModelPainter, pos))
        return false;
    PixelPass pass(PickBuffer(), pos, kBlack);
    if (!pass.active())
        return false;
    m_pSelModelPainter->RenderPickGL();
    // The cleared depth means the cursor misses the instance.
    return DCToWC(pos, point);
}

void VSL3DScene::Update3DCursor(QPoint point, VSLModelPainter* instance, bool& hit)
{
    hit = false;
    if (!instance)
        return;
    bool triHit = false;
    const unsigned int index = GetPickTriangleIndx(instance, point, triHit);
    qCDebug(lcPick) << QString("hitTri(%1)").arg(index);
    if (!triHit)
        return;
    QVector3D pos;
    VSLTriangle3D tri;
    if (!PickPointOnTriangle(PickBuffer(), m_pendingTransform, point, instance, index, pos) ||
        !TryCopyTriangle(instance, index, tri))
        return;
    hit = true;
    m_cursorPos = pos;
    m_cursorNormal = tri.normal;
}

void VSL3DScene::Update3DCursor(QPoint point, VSLModelPainter* instance)
{
    bool hit = false;
    Update3DCursor(point, instance, hit);
}

void VSL3DScene::OnToolHoverMove(QPoint point)
{
    if (!m_bSupportMode || m_nSupportTool != 0 || !m_pSelModelPainter)
        return;
    m_pHoverModelPainter = m_pSelModelPainter;
    // Compiled once per change of the model's triangles, not per move.
    m_pSelModelPainter->EnsureTriPickLists();
    Update3DCursor(point, m_pSelModelPainter);
}
