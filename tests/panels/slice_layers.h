#pragma once
// Layers handed to a view's scene and preview pixels, for the slice panel tests.
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include "hang_ceiling.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMutexLocker>
#include <QThread>

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

// Slices the loaded model at 0.1 mm and waits, off the event loop, until
// `layer` is written: the workers' job ends only when this thread takes their
// done signal, so the layers are there while the job still runs.
inline bool SliceWrittenButRunning(VSLGLView& view, int layer)
{
    if (view.SliceScene(0.1f, 1280, 800, 20, 20, 0) != SceneOp::Done)
        return false;
    const auto written = [&] {
        const SliceLayers layers = view.GetSliceData();
        return layers.size() > layer && !layers.at(layer).isEmpty();
    };
    QElapsedTimer t;
    t.start();
    while (!written() && t.elapsed() < kHangMs)
        QThread::msleep(5);
    return written() && view.scene()->runningSliceJobs() > 0;
}
