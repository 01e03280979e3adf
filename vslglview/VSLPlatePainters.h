#pragma once
#include "VSL3DPainter.h"

typedef unsigned int GLuint;

// Grid lines every 10 mm over the plate, the side arrow on the edge x = w/2
// and the translucent plate itself.
class VSLGridding : public VSL3DPainter {
public:
    void Render() override;
    void InitDisplayList() override {}

    GLuint m_nList = GLuint(-1); // not used
    double m_dZ = -0.2;
    int m_nWidth = 96;
    int m_nDepth = 54;
};

// Build-volume box (edges, or faces without the top) and its front flag.
class VSLPrinterBox : public VSL3DPainter {
public:
    void Render() override;
    void InitDisplayList() override;
    void GenBoxList();
    void GenFrontFlagList();
    void SetBoxSize(int x, int y, int z);

    GLuint m_nEdgeList = GLuint(-1);
    GLuint m_nFaceLists = GLuint(-1);
    GLuint m_nFlagList = GLuint(-1);
    bool m_bEdgesOnly = true;
    double m_dZ = double(-0.2f);
    int m_nSizeX = 96;
    int m_nSizeY = 54;
    int m_nSizeZ = 400;
};
