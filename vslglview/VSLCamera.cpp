#include "VSLCamera.h"

#include <GL/gl.h>

#include <cmath>

VSLCamera::VSLCamera()
{
    Init();
}

void VSLCamera::Init()
{
    // yaw, pitch, pan x, pan y, scale; the pans centre the plate in the
    // view's 45-degree perspective.
    m_presets.clear();
    m_presets.insert(0, {0, 0, 13, -8, 1});
    m_presets.insert(1, {180, -180, 13, -8, 1});
    m_presets.insert(2, {90, -90, 13, -20, 1});
    m_presets.insert(3, {-90, -90, 13, -20, 1});
    m_presets.insert(4, {0, -90, 13, -20, 1});
    m_presets.insert(5, {180, -90, 13, -20, 1});
    m_presets.insert(6, {30, -80, 13, -20, 1});
    m_dDistance = 100.0;
    m_dPendingPitch = m_dPendingYaw = m_dPendingPanY = m_dPendingPanX = 0.0;
    m_dReviseScale = 0.5;
    m_current = m_presets.value(6);
}

void VSLCamera::Apply() const
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0, 0, -m_dDistance);
    glTranslated(m_current.panX + m_dPendingPanX, m_current.panY + m_dPendingPanY, 0);
    const float revise = float(m_dReviseScale);
    glScalef(revise, revise, revise);
    const float scale = float(m_current.scale);
    glScalef(scale, scale, scale);
    glRotatef(float(m_current.pitch + m_dPendingPitch), 1, 0, 0);
    glRotatef(float(m_current.yaw + m_dPendingYaw), 0, 0, 1);
}

void VSLCamera::Rotate(double dYaw, double dPitch, bool commit)
{
    if (commit) {
        ModifyValue(m_current.yaw, m_dPendingYaw, 0, true);
        ModifyValue(m_current.pitch, m_dPendingPitch, 0, true);
        return;
    }
    const double s = m_current.pitch + dPitch;
    if (s > 0)
        dPitch = -m_current.pitch;
    else if (s < -180)
        dPitch = -180 - m_current.pitch;
    m_dPendingPitch = dPitch;
    m_dPendingYaw = dYaw;  // yaw is never wrapped
}

void VSLCamera::Translate(double dx, double dy, bool commit)
{
    if (commit) {
        ModifyValue(m_current.panX, m_dPendingPanX, 0, true);
        ModifyValue(m_current.panY, m_dPendingPanY, 0, true);
        return;
    }
    m_dPendingPanX = dx;
    m_dPendingPanY = -dy;  // screen y grows downward
}

void VSLCamera::ZoomIn()
{
    if (m_current.scale < 100)
        m_current.scale = m_current.scale / 0.9;
}

void VSLCamera::ZoomOut()
{
    if (m_current.scale > 0.2)
        m_current.scale = m_current.scale * 0.9;
}

void VSLCamera::SetViewportScale(float s)
{
    if (s > 0.01f && s < 100.f)
        m_current.scale = s;
}

void VSLCamera::TransformViewH(bool right)
{
    const double y = right ? std::floor(m_current.yaw / 90) * 90 + 90
                           : std::ceil(double(float(m_current.yaw)) / 90) * 90 - 90;
    m_current = m_presets.value(4);
    m_current.yaw = y;
}

void VSLCamera::TransformViewV(bool up)
{
    const float pitch = float(m_current.pitch);
    if (up)
        m_current = m_presets.value(pitch > -90 ? 4 : 1);
    else
        m_current = m_presets.value(pitch < -90 ? 4 : 0);
}

void VSLCamera::TransformViewByCmd(int cmd)
{
    switch (cmd) {
    case 0: ZoomIn(); break;
    case 1: ZoomOut(); break;
    case 2: TransformViewH(false); break;
    case 3: TransformViewH(true); break;
    case 4: TransformViewV(true); break;
    case 5: TransformViewV(false); break;
    case 6: m_current = m_presets.value(6); break;
    default: break;
    }
}

void VSLCamera::GetRotate(double& yaw, double& pitch) const
{
    yaw = m_current.yaw + m_dPendingYaw;
    pitch = m_current.pitch + m_dPendingPitch;
}

void VSLCamera::FastViewer(int key)
{
    // An unknown key shows (and keeps) an all-zero view.
    m_current = m_presets[key];
}

void VSLCamera::Reset()
{
    m_dDistance = 100.0;
    m_dPendingPitch = m_dPendingYaw = m_dPendingPanY = m_dPendingPanX = 0.0;
    m_current = m_presets.value(6);
}

void VSLCamera::ModifyValue(double& value, double& pending, double v, bool commit)
{
    if (commit) {
        value += pending;
        pending = 0;
    } else {
        pending = v;
    }
}
