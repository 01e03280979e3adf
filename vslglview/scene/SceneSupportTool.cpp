// The scene's manual support tool: a click adds a column under a
// downward-facing surface of the selected instance or deletes the column
// under the cursor. GUI thread with the view's context current.
#include "ScenePickBuffer.h"
#include "VSL3DScene.h"
#include "VSLCoordConvert.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "support/DLPSupportStructure.h"

#include <QDebug>
#include <QSettings>

#include <algorithm>
#include <cmath>

#include <GL/gl.h>

#ifndef GL_MULTISAMPLE
#define GL_MULTISAMPLE 0x809D
#endif

namespace {

// Normal of one model triangle, read only when no worker holds the data.
bool TryTriangleNormal(VSLModelPainter* instance, unsigned int index, QVector3D& normal)
{
    VSLModel3D* model = instance->m_pModel;
    if (!model || !model->dataMutex()->tryLock())
        return false;
    const bool ok = index < unsigned(model->TriangleCount());
    if (ok)
        normal = model->Item(int(index)).normal;
    model->dataMutex()->unlock();
    return ok;
}

// A stored preset value; anything but a finite number keeps `fallback`.
double Preset(const QSettings& s, const char* key, double fallback)
{
    bool ok = false;
    const double v = s.value(QLatin1String(key), fallback).toDouble(&ok);
    return ok && std::isfinite(v) ? v : fallback;
}

} // namespace

VSLModelPainter* VSL3DScene::SupportToolPainter() const
{
    // Compared by address only: a removed instance must not be touched.
    for (VSLModelPainter* p : m_instances)
        if (p == m_pSupportToolPainter)
            return p;
    return nullptr;
}

bool VSL3DScene::IsSupportSelected(DLPSupportStructure* s) const { return m_vSelectedSupports.contains(s); }

void VSL3DScene::DeSelectAllSupports()
{
    while (!m_vSelectedSupports.isEmpty())
        DeSelectSupport(m_vSelectedSupports.front());
}

void VSL3DScene::DeleteSupport(DLPSupportStructure* s)
{
    VSLModelPainter* p = SupportToolPainter();
    if (!p)
        return;
    if (IsSupportSelected(s))
        DeSelectSupport(s);
    p->RemoveSupport(s);
}

void VSL3DScene::RenderPickSupports()
{
    VSLModelPainter* p = SupportToolPainter();
    if (!p)
        return;
    for (DLPSupportStructure* s : p->GetSupports())
        s->RenderPickGL(true, true);
}

DLPSupportStructure* VSL3DScene::GetSupportByScreen(QPoint pos)
{
    VSLModelPainter* p = SupportToolPainter();
    if (!p)
        return nullptr;
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    ScenePickBuffer& buffer = PickBuffer();
    if (!buffer.Begin(QSize(vp[0] + vp[2], vp[1] + vp[3])))
        return nullptr;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT | GL_POLYGON_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_DITHER);
    glDisable(GL_MULTISAMPLE);
    glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    // White is no pick colour (each byte runs 0..254): neither the background
    // nor the model can pass for a column, not even the one coloured (0, 0, 0).
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3ub(255, 255, 255);
    p->Render();
    RenderPickSupports();
    unsigned char c[3] = {255, 255, 255};
    ReadPixelColor(pos, c);
    glPopAttrib();
    buffer.End();
    qDebug() << QString("Color(%1,%2,%3)").arg(c[0]).arg(c[1]).arg(c[2]);
    qDebug() << QString("pos(%1,%2)").arg(pos.x()).arg(pos.y());
    for (DLPSupportStructure* s : p->GetSupports()) {
        const unsigned char* id = s->GetPickColor();
        if (id[0] == c[0] && id[1] == c[1] && id[2] == c[2])
            return s;
    }
    return nullptr;
}

bool VSL3DScene::DrillDown(QVector3D p, VSLModelPainter* painter, unsigned int& index, QVector3D& hitPoint)
{
    if (!painter || !painter->m_pModel)
        return false;
    const double far = double(painter->m_maxBound.z()) - painter->m_minBound.z();
    // Nothing lies between the near plane and an instance this flat.
    if (!(far > 0.5) || !std::isfinite(far))
        return false;
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 0.5, far);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const QVector3D w = painter->m_matrix.map(p);
    glTranslatef(-w.x(), -w.y(), -w.z());
    const double ratio = WidgetPixelRatio();
    const QPoint centre(int(vp[2] / 2 / ratio), int(vp[3] / 2 / ratio));
    bool hit = false;
    index = GetPickTriangleIndx(painter, centre, hit);
    if (hit)
        hitPoint = GetPickOnTriangle(centre, painter, index);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    return hit;
}

QVector3D VSL3DScene::GetDrillingHit(QVector3D p, VSLModelPainter* painter, bool& missed, VSLTriangle3D*& triangle)
{
    unsigned int index = 0;
    QVector3D hitPoint;
    missed = !DrillDown(p, painter, index, hitPoint);
    triangle = missed ? nullptr : painter->m_pModel->ItemPtr(int(index));
    return missed ? QVector3D() : hitPoint;
}

void VSL3DScene::OnSupportToolInitialAction(QPoint pos)
{
    m_pSupportToolPainter = m_pSelModelPainter;
    if (m_nSupportTool == 1) {
        DeSelectAllSupports();
        DLPSupportStructure* s = GetSupportByScreen(pos);
        if (s)
            DeleteSupport(s);
        return;
    }
    if (m_nSupportTool != 0)
        return;
    VSLModelPainter* p = m_pSupportToolPainter;
    if (!p || !p->m_pModel)
        return;
    bool hit = false;
    const unsigned int index = GetPickTriangleIndx(p, pos, hit);
    if (!hit)
        return;
    const QVector3D contact = GetPickOnTriangle(pos, p, index);
    QVector3D normal;
    if (!TryTriangleNormal(p, index, normal))
        return;
    if (p->m_matrix.mapVector(normal).z() > 0)
        return; // an upward-facing surface
    DLPSupportStructure* s = p->AddSupport(QVector3D(), QVector3D());
    s->SetTopPoint(contact);
    s->SetTopNormal(-normal);

    unsigned int below = 0;
    QVector3D bottom, bottomNormal;
    const bool grounded = !DrillDown(s->GetTopPivot(), p, below, bottom) || !TryTriangleNormal(p, below, bottomNormal);
    if (grounded) {
        s->SetIsGrounded(true);
    } else {
        s->SetBottomPoint(bottom);
        s->SetBottomNormal(-bottomNormal);
        s->SetIsGrounded(false);
    }

    QSettings settings;
    settings.beginGroup(QStringLiteral("USERSUPPORTPARAMS"));
    settings.beginGroup(QStringLiteral("SUPPORT_TOP"));
    s->SetTopAttachShape(m_strAttachName1);
    s->SetTopLength(Preset(settings, "LENGTH", s->GetTopLength()));
    s->SetTopPenetration(Preset(settings, "PENETRATION", s->GetTopPenetration()));
    s->SetTopRadius(Preset(settings, "RADIUS", s->GetTopRadius()));
    s->SetTopAngleFactor(Preset(settings, "ANGLEFACTOR", s->GetTopAngleFactor()));
    const double topRadius = Preset(settings, "RADIUS", s->GetBottomRadius());
    settings.endGroup();
    settings.beginGroup(QStringLiteral("SUPPORT_MID"));
    s->SetMidAttachShape(settings.value(QStringLiteral("ATTACHSHAPE"), s->GetMidAttachShape()).toString());
    s->SetMidRadius(Preset(settings, "RADIUS", s->GetMidRadius()));
    settings.endGroup();
    if (grounded) {
        settings.beginGroup(QStringLiteral("SUPPORT_BOTTOM_GROUNDED"));
        s->SetBottomAttachShape(settings.value(QStringLiteral("ATTACHSHAPE"), s->GetBottomAttachShape()).toString());
        s->SetBottomLength(Preset(settings, "LENGTH", s->GetBottomLength()));
        s->SetBottomPenetration(Preset(settings, "PENETRATION", s->GetBottomPenetration()));
        s->SetBottomRadius(Preset(settings, "RADIUS", s->GetBottomRadius()));
        s->SetBottomAngleFactor(Preset(settings, "ANGLEFACTOR", s->GetBottomAngleFactor()));
        settings.endGroup();
        s->SetBottomPoint(s->GetTopPivot());
    } else {
        settings.beginGroup(QStringLiteral("SUPPORT_BOTTOM_NONGROUNDED"));
        s->SetBottomAttachShape(m_strAttachName2);
        s->SetBottomLength(Preset(settings, "LENGTH", s->GetBottomLength()));
        s->SetBottomPenetration(Preset(settings, "PENETRATION", s->GetBottomPenetration()));
        s->SetBottomAngleFactor(Preset(settings, "ANGLEFACTOR", s->GetBottomAngleFactor()));
        settings.endGroup();
        s->SetBottomRadius(topRadius);
    }
    settings.endGroup();
    emit sig_Update();
}
