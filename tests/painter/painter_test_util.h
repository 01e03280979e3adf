#pragma once
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "vslfunction/VSLTriangle3D.h"

#include <QVector>

#include <memory>

// A model holding `tris` as if loaded, without a file or a topology pass.
std::unique_ptr<VSLModel3D> MakeModel(const QVector<VSLTriangle3D>& tris);

// A support with every part filled in, touching the model at `contact`.
DLP_Support MakeSupport(int index, vcg::Point3f contact);
// `count` such supports at (i, 0.5, 4 + i), indexed and flagged.
void GiveSupports(VSLModelPainter& p, int count);
