#pragma once
#include "VSLModel3D.h"
#include "test_meshes.h"

#include <memory>

// A model whose topology pass has run on the given triangles.
inline std::unique_ptr<VSLModel3D> ModelOf(const QVector<VSLTriangle3D>& tris)
{
    auto model = std::make_unique<VSLModel3D>();
    model->m_vTriangles = tris;
    model->FixModel();
    model->fixerThread()->wait();
    return model;
}
