#pragma once

#include "vslglview/printfile/slicelayers.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QVector>
#include <QtMath>

// A layer shaped like a mid-height cut through a road model on a 3840 x 2400
// frame: a long curved deck with drainage holes, two kerbs, and a field of
// support columns (16-gons) under the deck.
inline QVector<QPolygonF> MakeRoadLayer(int width = 3840, int height = 2400)
{
    QVector<QPolygonF> layer;
    const double cx = width / 2.0;
    const double cy = height / 2.0;

    auto band = [&](double offset, double halfWidth) {
        QPolygonF poly;
        const int steps = 400;
        for (int i = 0; i <= steps; ++i) {
            const double t = double(i) / steps;
            const double x = width * 0.08 + t * width * 0.84;
            const double y = cy + offset + std::sin(t * 2 * M_PI) * height * 0.18;
            poly << QPointF(x, y - halfWidth);
        }
        for (int i = steps; i >= 0; --i) {
            const double t = double(i) / steps;
            const double x = width * 0.08 + t * width * 0.84;
            const double y = cy + offset + std::sin(t * 2 * M_PI) * height * 0.18;
            poly << QPointF(x, y + halfWidth);
        }
        return poly;
    };
    auto circle = [](double x, double y, double r, int sides) {
        QPolygonF poly;
        for (int k = 0; k < sides; ++k) {
            const double a = k * 2 * M_PI / sides;
            poly << QPointF(x + r * std::cos(a), y + r * std::sin(a));
        }
        return poly;
    };

    layer << band(0, 260);
    layer << band(-330, 30) << band(330, 30);
    for (int i = 0; i < 24; ++i) {
        const double t = (i + 0.5) / 24;
        const double x = width * 0.08 + t * width * 0.84;
        const double y = cy + std::sin(t * 2 * M_PI) * height * 0.18;
        layer << circle(x, y, 40, 32); // hole in the deck
    }
    for (int gx = 0; gx < 30; ++gx)
        for (int gy = 0; gy < 8; ++gy)
            layer << circle(width * 0.05 + gx * width * 0.03, height * 0.05 + gy * 22, 7.5, 16);
    (void)cx;
    return layer;
}

// A circle of `points` points around (cx, cy).
inline QPolygonF MakeCircle(double cx, double cy, double radius, int points)
{
    QPolygonF circle;
    for (int k = 0; k < points; ++k) {
        const double a = k * 2 * M_PI / points;
        circle << QPointF(cx + radius * std::cos(a), cy + radius * std::sin(a));
    }
    return circle;
}

// The 800 layers of a 40 mm sphere cut every 0.05 mm at 50 um pixels, as
// the contour slicer gives them for the 1M-triangle sphere.
inline QVector<QVector<QPolygonF>> MakeSphereLayers(int width = 3840, int height = 2400)
{
    QVector<QVector<QPolygonF>> layers;
    for (int i = 0; i < 800; ++i) {
        const double z = (i + 0.5) * 0.05 - 20.0;
        layers.append({MakeCircle(width / 2.0, height / 2.0, std::sqrt(400.0 - z * z) / 0.05, 2004)});
    }
    return layers;
}

// The 1,600 layers of an 80 mm twisted star column about 24 mm across (a
// tall part of a few thousand triangles).
inline QVector<QVector<QPolygonF>> MakeTallPartLayers(int width = 3840, int height = 2400)
{
    QVector<QVector<QPolygonF>> layers;
    for (int i = 0; i < 1600; ++i) {
        const double twist = i * 0.05 / 80 * 59 * 0.05; // radians
        QPolygonF star;
        for (int k = 0; k < 24; ++k) {
            const double a = k * 2 * M_PI / 24 + twist;
            const double r = (k % 2 == 0 ? 12.0 : 7.0) / 0.05;
            star << QPointF(width / 2.0 + r * std::cos(a), height / 2.0 + r * std::sin(a));
        }
        layers.append({star});
    }
    return layers;
}

// The middle layer of the 1M-triangle, 40 mm sphere at 50 um pixels: one
// outline 400 pixels in radius in the frame's centre, of 2004 points (a cut
// crosses both triangles of each of the 1002 quads of a band).
inline QVector<QPolygonF> MakeSphereMiddleLayer(int width = 3840, int height = 2400)
{
    return {MakeCircle(width / 2.0, height / 2.0, 400, 2004)};
}

// A plate layer over an empty extent: a rectangle past every edge, clamped
// by the renderer to the whole frame.
inline QVector<QPolygonF> MakeFullFrameLayer(int width = 3840, int height = 2400)
{
    return {QPolygonF({QPointF(width, height), QPointF(-width, height), QPointF(-width, -height),
                       QPointF(width, -height)})};
}

// The generated polygons as the slicer stores them.
inline QVector<SlicePolygon> SlicePolygons(const QVector<QPolygonF>& polygons)
{
    QVector<SlicePolygon> out;
    for (const QPolygonF& p : polygons)
        out.append(SlicePolygon(p));
    return out;
}

inline SliceLayers SlicePolygons(const QVector<QVector<QPolygonF>>& layers)
{
    SliceLayers out;
    for (const QVector<QPolygonF>& layer : layers)
        out.append(SlicePolygons(layer));
    return out;
}
