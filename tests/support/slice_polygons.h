#pragma once
// Layers written as QPolygonF literals, stored the way the slicer stores them.
#include "vslglview/printfile/slicelayers.h"

inline QVector<SlicePolygon> ToSlicePolygons(const QVector<QPolygonF>& polygons)
{
    return QVector<SlicePolygon>(polygons.begin(), polygons.end());
}

inline SliceLayers ToSliceLayers(const QVector<QVector<QPolygonF>>& layers)
{
    SliceLayers out;
    out.reserve(layers.size());
    for (const QVector<QPolygonF>& layer : layers)
        out.append(ToSlicePolygons(layer));
    return out;
}
