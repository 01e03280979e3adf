#pragma once
// Frames of a shown 3D view: drawn anew, or as it last drew them, and the
// support pixels in them.
#include "VSLGLView.h"

#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>

#include <cstdlib>

namespace viewframes {

// A frame drawn anew (the grab renders).
inline QImage Drawn(VSLGLView& view) { return view.grabFramebuffer().convertToFormat(QImage::Format_RGB32); }

// The frame the window shows now, as the view last drew it: copied out of
// the widget's buffer without drawing.
inline QImage Shown(VSLGLView& view)
{
    view.makeCurrent();
    const double dpr = view.devicePixelRatioF();
    const QSize size(int(view.width() * dpr), int(view.height() * dpr));
    QOpenGLFramebufferObject copy(size);
    QOpenGLExtraFunctions* gl = QOpenGLContext::currentContext()->extraFunctions();
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, view.defaultFramebufferObject());
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, copy.handle());
    gl->glBlitFramebuffer(0, 0, size.width(), size.height(), 0, 0, size.width(), size.height(), GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, view.defaultFramebufferObject());
    // The buffer's bytes as they stand: read as premultiplied, a pixel
    // whose alpha the scene left below 1 would come out brightened.
    const QImage raw = copy.toImage();
    view.doneCurrent();
    QImage img = QImage(raw.constBits(), raw.width(), raw.height(), raw.bytesPerLine(), QImage::Format_RGB32).copy();
    img.setDevicePixelRatio(dpr);
    return img;
}

// Tips and highlighted bodies are drawn magenta; nothing else in the view
// is. Told by hue, not brightness: lit alike, a frame may still be shaded
// a little brighter or darker than another.
inline bool SupportPixel(QRgb c)
{
    return qRed(c) > qGreen(c) + 60 && qBlue(c) > qGreen(c) + 60 && std::abs(qRed(c) - qBlue(c)) < 50;
}

inline int SupportPixels(const QImage& a)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += SupportPixel(a.pixel(x, y));
    return n;
}

// Pixels that are support pixels in one frame and not in the other.
inline int SupportPixelsApart(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int apart = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            apart += SupportPixel(a.pixel(x, y)) != SupportPixel(b.pixel(x, y));
    return apart;
}

// `b` with the support pixels only `a` has in green and those only `b` has
// in black (the record of a failure).
inline QImage ApartPicture(const QImage& a, const QImage& b)
{
    QImage out = b.copy();
    if (a.size() != b.size())
        return out;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const bool sa = SupportPixel(a.pixel(x, y)), sb = SupportPixel(b.pixel(x, y));
            if (sa != sb)
                out.setPixel(x, y, sa ? qRgb(0, 160, 0) : qRgb(0, 0, 0));
        }
    return out;
}

// The frames draw the supports alike: apart by no more than a few edge
// pixels that rounding may move.
inline bool SupportsAlike(const QImage& a, const QImage& b)
{
    return SupportPixelsApart(a, b) <= 2 + SupportPixels(b) / 100;
}

} // namespace viewframes
