#pragma once

#include <QMutex>
#include "printfile/slicelayers.h"

#include <QPolygonF>
#include <QRect>
#include <QThread>
#include <QVector>

class QImage;
class QPainter;

// Renders one layer into a grey frame and run-length encodes it. The writer
// reuses a worker for many layers; image, painter and output buffer keep
// their storage between layers. The frame is black outside the box the last
// layer lit, so a layer only clears that box and only reads its own.
class RenderThread : public QThread
{
    Q_OBJECT
public:
    // width and height are the projector resolution; with swapXY the image
    // is height wide and width high.
    RenderThread(bool swapXY, int bits, int width, int height);
    ~RenderThread() override;

    // Renders on the calling thread, at its priority.
    void runRender();

    // False when the frame could not be allocated.
    bool isValid() const;

    // The worker holds this for the whole of one layer; the caller holds it
    // while it sets the layer or takes the output.
    QMutex& mutex() { return m_mutex; }
    void setLayer(const QVector<SlicePolygon>* layer) { m_layer = layer; }
    QVector<unsigned char>& output() { return m_output; }
    const QImage& image() const { return *m_image; }

protected:
    void run() override;

private:
    void render();

    bool m_swapXY;
    int m_bits;
    int m_imageWidth;
    int m_imageHeight;
    QImage* m_image;
    QPainter* m_painter;
    QMutex m_mutex;
    const QVector<SlicePolygon>* m_layer = nullptr;
    QVector<unsigned char> m_output;
    QRect m_litBox; // the frame is black outside it
};
