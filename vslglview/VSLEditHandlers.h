#pragma once
#include "VSLEditService.h"

#include <QObject>
#include <QPoint>
#include <QVariantList>
#include <QVector3D>

#include <functional>

class VSL3DScene;
enum class SceneOp : int;

// Edit commands (EditList) and mouse drag edits of the selected instance.
// Needs no window: the 3D view holds one, relays its command table, presses,
// moves and releases to it, and re-emits its signals. The pick ray comes from
// the edit service's ray source, the surface point under a press from the
// surface source; both are injected.
class VSLEditHandlers : public QObject {
    Q_OBJECT
public:
    // The world point on the selected instance under a widget point; false
    // when the point is not over it.
    using SurfaceSource = std::function<bool(QVector3D& point, QPoint const& p)>;

    VSLEditHandlers(VSL3DScene* scene, VSLEditService* service, QObject* parent = nullptr);
    void SetSurfaceSource(SurfaceSource source) { m_surface = std::move(source); }

    // Element 0 picks the handler, which gets the rest; always ends in status 1.
    void ReceiveEditList(QVariantList list);
    void Trigger_Translate(QVariantList& args);
    void Trigger_Rotate(QVariantList& args);
    void Trigger_Scale(QVariantList& args);
    void Trigger_Command(QVariantList& args);

    // [5, bottom centre, scale values, size] of the selection, if any.
    void EmitUpdate();
    // [4, pick number] or [4, -1], with the edit-control signals.
    void EmitSelected();
    // Supports of the selection, or of every instance when none is selected;
    // status 3. Refused (and nothing removed) while a job of theirs runs.
    SceneOp RemoveSupport();

    // Mouse editing: the view sets the press and current widget points.
    void SetPressPoint(QPoint const& p) { m_pressPoint = p; }
    void SetMovePoint(QPoint const& p) { m_movePoint = p; }
    void UpdatePressPoint3D();
    void UpdateMovePoint3D();
    // Left-button release: commits the drag when the edit state is 1.
    SceneOp CommitDrag();

    void SetEditState(int state) { m_nEditState = state; }
    int editState() const { return m_nEditState; }
    QVector3D pressPoint3D() const { return m_pressPoint3D; }
    QVector3D hoverPoint() const { return m_hoverPoint; }
    void SetHoverPoint(QVector3D const& p) { m_hoverPoint = p; }
    // Kind of the drag edit now pending (0 move, 1 rotate, 2 scale), -1 none.
    int pendingKind() const { return m_nPendingKind; }

signals:
    void signal_SendEditList(QVariantList editList);
    void signal_ShowHideEditControl(bool bShow);
    void signal_ModelClicked();
    void sig_SceneStatusChanged(int NewSceneStatus);

private:
    void CopyToScene();
    SceneOp ApplyAs(int kind);

    VSL3DScene* m_scene;
    VSLEditService* m_service;
    SurfaceSource m_surface;
    QPoint m_pressPoint;
    QPoint m_movePoint;
    QVector3D m_pressPoint3D;
    QVector3D m_hoverPoint{0, 0, -1};
    int m_nEditState = 1;
    int m_nPendingKind = -1;
    bool m_bPressValid = false;  // the last press found its point in space
};
