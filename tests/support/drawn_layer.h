#pragma once
// A layer drawn alone into a black frame, as the print file's writer draws it
// (with `swapXY`, a quarter turned into the `width` x `height` frame).
#include "printfile/layerrender.h"

#include <QImage>
#include <QPainter>

inline QImage DrawnLayer(const QVector<SlicePolygon>& layer, int width, int height, bool swapXY = false)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    RenderLayer(painter, layer, swapXY, width, height, QRect());
    painter.end();
    return image;
}
