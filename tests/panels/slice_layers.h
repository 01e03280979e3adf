#pragma once
// Layers handed to a view's scene and preview pixels, for the slice panel tests.
#include "VSL3DScene.h"
#include "VSLGLView.h"

#include <QImage>
#include <QMutexLocker>

inline QPolygonF Square(double x0, double y0, double x1, double y1)
{
    return QPolygonF({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

inline void SetLayers(VSLGLView& view, const SliceLayers& model, const SliceLayers& supports = {})
{
    QMutexLocker lock(view.scene()->sceneMutex());
    view.scene()->m_modelSliceLayers = model;
    view.scene()->m_supportSliceLayers = supports;
}

inline int Gray(const QImage& img, int x, int y)
{
    return qGray(img.pixel(x, y));
}
