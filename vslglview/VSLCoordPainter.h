#pragma once
#include "VSL3DPainter.h"

#include <QVector3D>

typedef unsigned int GLuint;

// Base of the two edit gizmos: the part chosen by a click and the part
// under the mouse (-1 none); parts are pick id / 10.
class VSLCoordPainter : public VSL3DPainter {
public:
    void Render() override {}
    void InitDisplayList() override {}
    virtual void RenderPickGL() {}

    int m_nSelectedPart = -1;
    int m_nHoverPart = -1;
};

// Value handed to VSLRotateCoord::ResetData.
struct RotateCoordData {
    QVector3D center;
    double radius = 0;
};

// Three rings about z (part 0), y (part 1) and x (part 2); pick ids 1, 11, 21.
class VSLRotateCoord : public VSLCoordPainter {
public:
    void Render() override;
    void RenderPickGL() override;
    void InitDisplayList() override;
    void GenCircleList();
    void GenStippleCircleList();
    void ResetData(RotateCoordData const& data);

    GLuint m_nRingLists = GLuint(-1);
    GLuint m_nStippleRingLists = GLuint(-1);
    QVector3D m_center;
    double m_dRadius = 0;

private:
    void ApplyTransform() const;
};

// Translucent box of six faces around the selected instance; pick ids
// 1 + 10 * face. The scene draws it but never picks it.
class VSLScaleCoord : public VSLCoordPainter {
public:
    void Render() override;
    void RenderPickGL() override;

    QVector3D m_maxBound;
    QVector3D m_minBound;

    // Face f: top, bottom, x0, x1, y0, y1.
    static constexpr int kFaceCorners[6][4] = {{4, 5, 6, 7}, {0, 3, 2, 1}, {0, 4, 7, 3},
                                               {1, 2, 6, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}};

private:
    void Corners(double c[8][3]) const;
};
