#pragma once
#include "printfile/slicelayers.h"

#include <polyclipping/clipper.hpp>

#include <QMutex>
#include <QPointF>
#include <QVector>

// Conversion of an instance's layer outlines (1/1000 mm) to projector pixels
// and their append to the scene's layers.
namespace layers {

struct PixelMapping {
    int xResolution = 0;
    int yResolution = 0;
    float dotsPerMmX = 0.f;
    float dotsPerMmY = 0.f;
};

// The scene's shared slice result: layers, extent and the mutex guarding both.
struct SliceTarget {
    SliceLayers& layers;
    QPointF& maxPt; // largest x, largest y inside the frame
    QPointF& minPt; // smallest x, smallest y inside the frame
    QMutex& mutex;
};

// x * dots/mm / 1000 + resolution / 2 (integer halving), single precision,
// no rounding, clamping or mirroring; the first point is not repeated.
SlicePolygon OutlineToPixels(const ClipperLib::Path& outline, const PixelMapping& mapping);

// Widens the extent by the points of `polygon` that lie inside the frame.
void WidenSliceExtent(const SlicePolygon& polygon, const PixelMapping& mapping, QPointF& maxPt, QPointF& minPt);

// Appends `polygons` to `layer`. Where they overlap the lit area already in
// the layer (readers fill odd-even, so an overlap would print dark), the
// polygons they touch are replaced by the union; otherwise plain append.
void AppendInstanceToLayer(QVector<SlicePolygon>& layer, const QVector<SlicePolygon>& polygons);

// Publishes one instance: grows the layer list to the instance's layer count,
// converts every outline, widens the extent and appends, all under the mutex.
void PublishInstanceLayers(const QVector<ClipperLib::Paths>& outlines, const PixelMapping& mapping,
                           SliceTarget target);

} // namespace layers
