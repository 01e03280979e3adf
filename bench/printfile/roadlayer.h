#pragma once

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

