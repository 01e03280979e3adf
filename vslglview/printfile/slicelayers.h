#pragma once

#include <QPolygonF>
#include <QVector>

// Closed polygons per layer in projector pixels, plate layers first.
using SliceLayers = QVector<QVector<QPolygonF>>;
