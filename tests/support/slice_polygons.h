#pragma once
// Layers written as QPolygonF literals, stored the way the slicer stores them.
#include "vslglview/printfile/slicelayers.h"

#include <QHash>

inline QVector<SlicePolygon> ToSlicePolygons(const QVector<QPolygonF>& polygons)
{
    QVector<SlicePolygon> out;
    out.reserve(polygons.size());
    for (const QPolygonF& p : polygons)
        out.append(SlicePolygon(p));
    return out;
}

inline SliceLayers ToSliceLayers(const QVector<QVector<QPolygonF>>& layers)
{
    // Layers that share one list share it here too, as the slicer's do.
    QHash<const QPolygonF*, QVector<SlicePolygon>> converted;
    SliceLayers out;
    out.reserve(layers.size());
    for (const QVector<QPolygonF>& layer : layers) {
        if (layer.isEmpty()) {
            out.append(QVector<SlicePolygon>());
            continue;
        }
        auto it = converted.find(layer.constData());
        if (it == converted.end())
            it = converted.insert(layer.constData(), ToSlicePolygons(layer));
        out.append(it.value());
    }
    return out;
}
