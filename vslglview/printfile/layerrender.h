#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QVector>

class QPainter;

// Where a layer point lands in an image of imageWidth x imageHeight: turned
// by 90 degrees when swapping ((x, y) -> (imageWidth - y, x)), then clamped to
// the frame.
QPointF MapLayerPoint(QPointF p, bool swapXY, int imageWidth, int imageHeight);

// Fills the painter's imageWidth x imageHeight frame black and draws the
// layer's polygons white as one odd-even path (nested outlines are holes).
// The painter is expected antialiased with no pen, on a Grayscale8 image.
void RenderLayer(QPainter& painter, const QVector<QPolygonF>& layer, bool swapXY, int imageWidth, int imageHeight);
