#pragma once
#include "model_fixture.h"

// A mesh through the contour slicer: its model, outlines per shell slot and planes.
struct Sliced {
    std::unique_ptr<VSLModel3D> model;
    ShellLayerContours out;
    QVector<float> z;
    int layers = 0;
};

inline Sliced Slice(const QVector<VSLTriangle3D>& tris, float thickness, float top, float base = 0.0f)
{
    Sliced s;
    s.model = ModelOf(tris);
    s.model->CountShells();
    s.layers = s.model->SilceMeshXX(s.out, s.z, thickness, top, base);
    return s;
}
