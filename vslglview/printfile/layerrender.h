#pragma once

#include <QPointF>
#include "printfile/slicelayers.h"

#include <QPolygonF>
#include <QRect>
#include <QVector>

class QPainter;

// Grey bits of a layer-image file's pixels: a pixel is written as its high
// bits, and lit (it cures) when they are not all zero.
constexpr int kLayerImageBits = 4;
inline bool LitLevel(unsigned char grey) { return (grey >> (8 - kLayerImageBits)) != 0; }

// Where a layer point lands in an image of imageWidth x imageHeight: turned
// by 90 degrees when swapping ((x, y) -> (imageWidth - y, x)), then clamped to
// the frame.
QPointF MapLayerPoint(QPointF p, bool swapXY, int imageWidth, int imageHeight);

// A layer polygon in the image: its points mapped as MapLayerPoint maps
// them, but a polygon that reaches out of the frame is cut at its edges, so
// what lies inside keeps its shape (clamping each point would bend the
// edges that cross the frame's edge). Fewer than three points: nothing inside.
QPolygonF MapLayerPolygon(const SlicePolygon& polygon, bool swapXY, int imageWidth, int imageHeight);

// Draws the layer's polygons white as one odd-even path (nested outlines are
// holes) on the painter's imageWidth x imageHeight frame, which must be black
// outside `dirty`; `dirty` is blacked out first. Returns the box outside of
// which the frame is black afterwards (empty for a layer that lights
// nothing), to be passed as `dirty` with the next layer.
// The painter is expected antialiased with no pen, on a Grayscale8 image.
QRect RenderLayer(QPainter& painter, const QVector<SlicePolygon>& layer, bool swapXY, int imageWidth, int imageHeight,
                  const QRect& dirty);
