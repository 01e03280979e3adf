#pragma once
#include "VSL3DPainter.h"

#include <QPoint>

class QPainter;
typedef unsigned int GLuint;

// Axis triad drawn in a 100 x 100 pixel corner viewport with "X", "Y", "Z"
// labels; the view hands in the rotation and a painter before each Render.
class VSLXYZPainter : public VSL3DPainter {
public:
    ~VSLXYZPainter() override;
    void InitDisplayList() override;
    void GenConeList();
    void Render() override;
    void SetRotate(double rotZ, double rotX);

    GLuint m_nTriadList = GLuint(-1);
    GLuint m_nConeList = GLuint(-1);
    float m_fRotZ = 0;
    float m_fRotX = 0;
    // Owned from the moment it is handed in; Render ends and deletes it.
    QPainter* m_pPainter = nullptr;
    // Widget positions of the three labels at the last Render.
    QPoint m_labelPos[3];

private:
    GLuint m_nArrowList = GLuint(-1); // called by the triad list; replaced with it
};
