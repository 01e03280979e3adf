#pragma once
#include "VSLModel3D.h"
#include "vslfunction/VSLTriangle3D.h"

#include <QVector>

#include <memory>

// A model holding `tris` as if loaded, without a file or a topology pass.
std::unique_ptr<VSLModel3D> MakeModel(const QVector<VSLTriangle3D>& tris);
