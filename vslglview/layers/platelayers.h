#pragma once
#include "printfile/slicelayers.h"

#include <QPointF>

namespace layers {

constexpr int kMaxPlateLayers = 65535;

// The plate layer: the extent rectangle (min.x, min.y), (max.x, min.y),
// (max.x, max.y), (min.x, max.y).
QVector<SlicePolygon> PlateLayer(const QPointF& maxPt, const QPointF& minPt);

// n > 0 puts n (at most kMaxPlateLayers) plate layers in front of `layers`,
// n < 0 removes the first -n layers (at most all of them); the plate-layer
// count records what was applied (inserted, or minus the number removed).
void AddPlateLayers(SliceLayers& layers, int& plateLayerCount, const QPointF& maxPt, const QPointF& minPt, int n);

} // namespace layers
