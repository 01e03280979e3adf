// Preview images of the plate, captured from the view's own frame at the
// first frame after slicing starts (overlays hidden) and kept in the scene.
#include "VSLCamera.h"
#include "VSLCoordConvert.h"
#include "VSLGLView.h"

#include <QOpenGLContext>

#include <GL/gl.h>

#include <cmath>

namespace {

// The box's screen extent from a getRect rectangle (top = largest y there):
// left, smallest y, right - 1, largest y - 1.
QRect Crop(QRect const& r)
{
    QRect c;
    c.setCoords(r.left(), r.bottom(), r.right() - 1, r.top() - 1);
    return c;
}

// In widget points, as getRect gives the box.
int ViewportHeight()
{
    GLint vp[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, vp);
    return int(vp[3] / WidgetPixelRatio());
}

// A rectangle of widget points as the frame's device pixels.
QRect ToDevicePixels(QRect const& c)
{
    const double r = WidgetPixelRatio();
    if (r == 1.0)
        return c;
    return QRect(QPoint(int(std::floor(c.left() * r)), int(std::floor(c.top() * r))),
                 QSize(int(std::ceil(c.width() * r)), int(std::ceil(c.height() * r))));
}

} // namespace

QImage VSLGLView::GrabFrame()
{
    // Inside paintGL the grab reads the frame as drawn (no new render), then
    // leaves its resolve buffer bound: drawing goes on into the widget's.
    const QImage frame = grabFramebuffer();
    QOpenGLContext::currentContext()->functions()->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    return frame;
}

void VSLGLView::ZoomOut(int h, int wanted)
{
    // The camera keeps this scale until the next fit.
    m_pCamera->SetViewportScale(m_pCamera->getViewportScale() * float(h) / float(wanted));
    LoadFrameMatrices();
    m_bFitted = false;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    Draw3DScene();
    glFlush();
    m_bFitted = true;
}

void VSLGLView::makePngImage(QVector3D& max, QVector3D& min)
{
    const float dx = max.x() - min.x();
    const QString& machine = m_pScene->m_strMachineName;
    float t = 0;
    if (machine == "Pellar120")
        t = dx * 1.5f / 1.2f;
    else if (machine == "Pellar300")
        t = dx * 4.2f / 3.0f;
    else if (m_pScene->m_strFileType == "vxs")
        t = dx * 1.5f / 1.2f;
    const float zTop = std::max(max.z(), t);

    LoadFrameMatrices();
    QRect r;
    getRect(r, QVector3D(max.x(), max.y(), zTop), QVector3D(min.x(), min.y(), min.z()));
    QRect c = Crop(r);
    const int h = ViewportHeight();
    // SliceScene refuses a resolution <= 0, so the division is safe.
    const int yres = std::max(m_pScene->m_nYResolution, 1);
    const int wanted = int(qint64(c.width()) * m_pScene->m_nXResolution / yres);
    if (wanted > h) {
        ZoomOut(h, wanted);
    } else if (wanted <= c.height()) {
        c.setBottom(c.top() + wanted - 1);
    } else {
        const int half = (wanted - c.height()) / 2;
        if (c.top() - half > 0 && c.bottom() + half < h) {
            c.setTop(c.top() - half);
            c.setBottom(c.bottom() + half);
        }
    }
    m_pScene->m_previewImageLarge =
        GrabFrame().copy(ToDevicePixels(c)).scaled(1200, 1600, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void VSLGLView::makeBmpImage(QVector3D& max, QVector3D& min)
{
    const float dx = max.x() - min.x();
    const float dz = max.z() - min.z();
    const QString& machine = m_pScene->m_strMachineName;
    const bool vxs = m_pScene->m_strFileType == "vxs";
    if (machine == "Pellar120" || machine == "Pellar300") {
        const float t = machine == "Pellar120" ? 2 * dz / 1.5f : 1.1f * dz;
        if (t > dx) {
            min.setX(min.x() - (t - dx) / 2);
            max.setX(max.x() + (t - dx) / 2);
        }
    } else if (vxs) {
        const float t = dz * 1.5f / 1.2f;
        if (t > dz) {
            min.setZ(min.z() - (t - dz) / 2);
            max.setZ(max.z() + (t - dz) / 2);
        }
    }

    LoadFrameMatrices();
    QRect r;
    getRect(r, max, min);
    QRect c = Crop(r);
    const int h = ViewportHeight();
    // A width for a 120 : 150 portrait picture, or a height for 200 : 150.
    const int wanted = vxs ? c.height() * 120 / 150 : c.width() * 150 / 200;
    if (wanted > h) {
        ZoomOut(h, wanted);
    } else if (wanted > c.height()) {
        const int half = (wanted - c.height()) / 2;
        if (c.top() - half > 0 && c.bottom() + half < h) {
            c.setTop(c.top() - half);
            c.setBottom(c.bottom() + half);
        }
    } else if (!vxs) {
        const int w2 = c.height() * 200 / 150;
        if (w2 > c.width()) {
            const int g = (w2 - c.width()) >> 1;
            c.setLeft(c.left() - g);
            c.setRight(c.right() + g);
        }
    } else if (wanted > c.width()) {
        const int g = (wanted - c.width()) / 2;
        c.setLeft(c.left() - g);
        c.setRight(c.right() + g);
    } else {
        const int h2 = c.width() * 150 / 120;
        if (h2 > c.height()) {
            const int g = (h2 - c.height()) / 2;
            c.setTop(c.top() - g);
            c.setBottom(c.bottom() + g);
        }
    }
    m_pScene->drawStlBmp(GrabFrame().copy(ToDevicePixels(c)));
}
