#include "VSLEditHandlers.h"

#include "VSL3DScene.h"
#include "VSLModelPainter.h"

#include <algorithm>
#include <cmath>

namespace {

// Reads three numbers from args[first..first+2]; false when any is missing
// or not a number (a malformed list changes nothing).
bool ReadVector(QVariantList const& args, int first, QVector3D& out)
{
    if (args.size() < first + 3)
        return false;
    for (int a = 0; a < 3; ++a) {
        bool ok = false;
        const float v = args.at(first + a).toFloat(&ok);
        if (!ok)
            return false;
        out[a] = v;
    }
    return true;
}

void AppendVector(QVariantList& list, QVector3D const& v)
{
    list << v.x() << v.y() << v.z();
}

} // namespace

VSLEditHandlers::VSLEditHandlers(VSL3DScene* scene, VSLEditService* service, QObject* parent)
    : QObject(parent), m_scene(scene), m_service(service)
{
}

void VSLEditHandlers::ReceiveEditList(QVariantList list)
{
    if (!list.isEmpty()) {
        const int cmd = list.takeFirst().toInt();
        switch (cmd) {
        case 0: Trigger_Translate(list); break;
        case 1: Trigger_Rotate(list); break;
        case 2: Trigger_Scale(list); break;
        case 6: Trigger_Command(list); break;
        default: break;
        }
    }
    emit sig_SceneStatusChanged(VexmorEditStatEdited);
}

void VSLEditHandlers::CopyToScene()
{
    m_scene->m_pendingTransform = m_service->matrix();
}

SceneOp VSLEditHandlers::ApplyAs(int kind)
{
    return m_scene->Apply(kind);
}

void VSLEditHandlers::Trigger_Translate(QVariantList& args)
{
    QVector3D target, bottom;
    if (ReadVector(args, 0, target) && m_scene->GetBottomCenter(bottom) &&
        m_service->TryTranslate(target - bottom)) {
        CopyToScene();
        ApplyAs(0);  // supports follow a move
    }
    emit sig_SceneStatusChanged(VexmorEditStatEdited);
}

void VSLEditHandlers::Trigger_Rotate(QVariantList& args)
{
    QVector3D v, centre;
    if (ReadVector(args, 0, v) && m_scene->DeleteSelModelSupports() == SceneOp::Done &&
        m_scene->GetModelCenter(centre)) {
        if (m_service->TryRotate(centre, v.length(), v.normalized())) {
            CopyToScene();
            ApplyAs(1);
        }
        EmitSelected();
    }
    emit sig_SceneStatusChanged(VexmorEditStatEdited);
}

void VSLEditHandlers::Trigger_Scale(QVariantList& args)
{
    QVector3D f, bottom;
    // A factor of 0 collapses the mesh, a negative one turns it inside out:
    // such a list changes nothing, supports included.
    bool valid = ReadVector(args, 0, f);
    for (int a = 0; valid && a < 3; ++a)
        valid = std::isfinite(f[a]) && f[a] > 0.f;
    if (valid && m_scene->DeleteSelModelSupports() == SceneOp::Done && m_scene->GetBottomCenter(bottom) &&
        m_service->TryScale(bottom, f)) {
        CopyToScene();
        ApplyAs(2);
    }
    emit sig_SceneStatusChanged(VexmorEditStatEdited);
}

void VSLEditHandlers::Trigger_Command(QVariantList& args)
{
    if (args.isEmpty())
        return;
    switch (args.at(0).toInt()) {
    case 0:
        if (RemoveSupport() != SceneOp::Done)
            return;
        m_scene->ResetSelectedModel();
        EmitSelected();
        break;
    case 1: {
        if (RemoveSupport() != SceneOp::Done)
            return;
        QVector3D mMax, mMin, vMax, vMin;
        if (!m_scene->GetModelBound(mMax, mMin))
            return;
        m_scene->GetBound(vMax, vMin);
        if (m_service->TryResize(mMax, mMin, vMax, vMin)) {
            const float k = m_service->matrix()(0, 0);
            CopyToScene();
            // The stored scale values follow the fit only when it is applied.
            if (ApplyAs(2) == SceneOp::Done) {
                QVector3D s;
                if (m_scene->GetScaleValue(s)) {
                    s *= k;
                    m_scene->SetScaleValue(s);
                }
                // The panel shows the new record before the selection
                // announcement has it write its fields back into it.
                EmitUpdate();
            }
        }
        EmitSelected();
        break;
    }
    case 2:
        if (args.size() > 1)
            m_scene->m_bUniformScale = args.at(1).toBool();
        break;
    case 3: {
        bool ok = false;
        const int mode = args.size() > 1 ? args.at(1).toInt(&ok) : -1;
        if (!ok || mode < 0 || mode > 2)
            return;
        if (mode != m_scene->EditMode)
            emit m_scene->signal_EditModeChanged(mode);
        m_scene->EditMode = mode;
        break;
    }
    default: break;
    }
}

SceneOp VSLEditHandlers::RemoveSupport()
{
    const SceneOp r = m_scene->selectedInstance() ? m_scene->RemoveSelModelSupports() : m_scene->DeleteAllSupports();
    if (r == SceneOp::Done)
        emit sig_SceneStatusChanged(VexmorEditStatSupport);
    return r;
}

void VSLEditHandlers::EmitUpdate()
{
    QVector3D bottom, mMax, mMin, scale;
    if (!m_scene->GetBottomCenter(bottom) || !m_scene->GetModelBound(mMax, mMin) || !m_scene->GetScaleValue(scale))
        return;
    QVariantList list{5};
    AppendVector(list, bottom);
    AppendVector(list, scale);
    AppendVector(list, mMax - mMin);
    emit signal_SendEditList(list);
}

void VSLEditHandlers::EmitSelected()
{
    QVariantList list{4};
    VSLModelPainter* p = m_scene->selectedInstance();
    if (!p) {
        m_scene->m_bSelected = false;
        list << -1;
        emit signal_ShowHideEditControl(false);
        emit signal_SendEditList(list);
        return;
    }
    m_scene->m_bSelected = true;
    list << p->pickId();
    emit signal_ModelClicked();
    emit signal_ShowHideEditControl(true);
    emit signal_SendEditList(list);
    EmitUpdate();
}

void VSLEditHandlers::UpdatePressPoint3D()
{
    // A new press starts a new edit: nothing of the last one carries over.
    m_service->Reset();
    m_nPendingKind = -1;
    m_bPressValid = false;
    QVector3D p;
    switch (m_scene->EditMode) {
    case 0:
        m_bPressValid = m_surface && m_surface(p, m_pressPoint);
        break;
    case 1: {
        QVector3D centre, normal;
        m_bPressValid = m_scene->GetRotateInfo(centre, normal) && m_service->ChoosePoint(m_pressPoint, p, centre, normal);
        if (m_bPressValid)
            m_scene->m_pressPoint = p;
        break;
    }
    case 2: {
        QVector3D fixed, grabbed, axis;
        m_bPressValid = m_scene->GetScaleInfo(fixed, grabbed, axis) &&
                        m_service->ChoosePoint(m_pressPoint, p, grabbed, axis);
        break;
    }
    default: break;
    }
    if (m_bPressValid)
        m_pressPoint3D = p;
}

void VSLEditHandlers::UpdateMovePoint3D()
{
    if (!m_scene->selectedInstance() || m_scene->m_bSupportMode)
        return;
    // Without a grabbed point only the locked scale (pixel rows) can run.
    const bool rowsOnly = m_scene->EditMode == 2 && m_scene->m_bUniformScale;
    if (!m_bPressValid && !rowsOnly)
        return;
    QVector3D bottom;
    if (!m_scene->GetBottomCenter(bottom))
        return;
    QVariantList list;
    switch (m_scene->EditMode) {
    case 0: {
        QVector3D h;
        if (!m_service->ChoosePoint(m_movePoint, h, m_pressPoint3D, QVector3D(0, 0, 1)) ||
            !m_service->TryTranslate(h - m_pressPoint3D))
            return;
        m_hoverPoint = h;
        list << 0;
        AppendVector(list, m_service->MapPoint(bottom));
        break;
    }
    case 1: {
        QVector3D centre, normal;
        float angle = 0;
        if (m_scene->DeleteSelModelSupports() != SceneOp::Done || !m_scene->GetRotateInfo(centre, normal) ||
            !m_service->CalRotateAngle(angle, m_pressPoint3D, m_movePoint, centre, normal) ||
            !m_service->TryRotate(centre, angle, normal))
            return;
        m_scene->m_dRubberAngle = angle;
        list << 1;
        AppendVector(list, normal * angle);
        break;
    }
    case 2: {
        if (m_scene->DeleteSelModelSupports() != SceneOp::Done)
            return;
        if (m_scene->m_bUniformScale) {
            // Rows clamped to 1: a press or drag at the top edge would give
            // 0 or an unbounded factor.
            const double f = double(std::max(m_pressPoint.y(), 1)) / double(std::max(m_movePoint.y(), 1));
            if (!std::isfinite(f) || !(f > 0.001) || !m_service->TryScale(bottom, QVector3D(f, f, f)))
                return;
        } else {
            QVector3D fixed, grabbed, axis, h;
            if (!m_scene->GetScaleInfo(fixed, grabbed, axis) ||
                !m_service->CalScalePoint(m_movePoint, h, m_pressPoint3D, axis) ||
                !m_service->TryScale(m_pressPoint3D, h, fixed, axis))
                return;
            m_hoverPoint = h;
        }
        QVector3D scale, mMax, mMin;
        m_scene->GetScaleValue(scale);
        m_scene->GetModelBound(mMax, mMin);
        list << 2;
        AppendVector(list, m_service->MapVector(scale));
        AppendVector(list, m_service->MapPoint(bottom));
        AppendVector(list, m_service->MapVector(mMax - mMin));
        break;
    }
    default: return;
    }
    m_nPendingKind = m_scene->EditMode;
    CopyToScene();
    emit signal_SendEditList(list);
}

SceneOp VSLEditHandlers::CommitDrag()
{
    SceneOp r = SceneOp::Unchanged;
    if (m_nEditState == VexmorEditStatEdited)
        r = ApplyAs(m_nPendingKind >= 0 ? m_nPendingKind : m_scene->EditMode);
    // Applied or refused, the drag is over: a pending transform left behind
    // would draw the instance where slicing does not put it.
    m_scene->m_pendingTransform.setToIdentity();
    m_nPendingKind = -1;
    m_service->Reset();
    return r;
}
