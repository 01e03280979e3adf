#pragma once
#include <QMap>

// Orbit camera of the 3D view: yaw about world Z, pitch about X, a pan in eye
// space and a zoom scale, plus the uncommitted deltas of a mouse drag. It
// loads itself into the model-view matrix; the view sets the projection.
class VSLCamera {
public:
    struct CameraParam {
        double yaw = 0;
        double pitch = 0;  // -180 (from below) .. 0 (from above)
        double panX = 0;
        double panY = 0;
        double scale = 0;
    };

    VSLCamera();

    void Init();
    // Needs a current GL context (compatibility profile).
    void Apply() const;

    void Rotate(double dYaw, double dPitch, bool commit);
    void Translate(double dx, double dy, bool commit);
    void ZoomIn();
    void ZoomOut();
    void SetViewportScale(float s);
    float getViewportScale() const { return float(m_current.scale); }
    // Ids of the view-control buttons: 0 zoom in, 1 zoom out, 2 left,
    // 3 right, 4 up, 5 down, 6 home.
    void TransformViewByCmd(int cmd);
    // The angles actually drawn (committed plus pending).
    void GetRotate(double& yaw, double& pitch) const;
    void TransformViewH(bool right);
    void TransformViewV(bool up);
    void FastViewer(int key);
    void Reset();
    void ReviseScale(float s) { m_dReviseScale = s; }
    static void ModifyValue(double& value, double& pending, double v, bool commit);

    CameraParam const& current() const { return m_current; }
    CameraParam preset(int key) const { return m_presets.value(key); }
    double distance() const { return m_dDistance; }
    double reviseScale() const { return m_dReviseScale; }
    double pendingYaw() const { return m_dPendingYaw; }
    double pendingPitch() const { return m_dPendingPitch; }
    double pendingPanX() const { return m_dPendingPanX; }
    double pendingPanY() const { return m_dPendingPanY; }

private:
    QMap<int, CameraParam> m_presets;
    CameraParam m_current;
    double m_dDistance = 100.0;
    double m_dPendingPitch = 0.0;
    double m_dPendingYaw = 0.0;
    double m_dPendingPanY = 0.0;
    double m_dPendingPanX = 0.0;
    double m_dReviseScale = 0.5;
};
