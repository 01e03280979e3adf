#include "VSL3DPainter.h"

#include <QColor>
#include <QGLWidget>
#include <QImage>

#include <GL/gl.h>

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

int VSL3DPainter::ms_PainterCounter = 0;

VSL3DPainter::VSL3DPainter() : m_nNumber(++ms_PainterCounter) {}

VSL3DPainter::~VSL3DPainter() = default;

void VSL3DPainter::CalNumberColor(double* rgb, int id)
{
    if (!rgb)
        return;
    // Ids outside the 24 bits of a pixel have no colour; they draw as background.
    if (id < 0 || id >= (1 << 24)) {
        rgb[0] = rgb[1] = rgb[2] = 0.0;
        return;
    }
    QColor c;
    c.setRgb(id / 65536, (id / 256) % 256, id % 256, 255);
    rgb[0] = c.redF();
    rgb[1] = c.greenF();
    rgb[2] = c.blueF();
}

void VSL3DPainter::LoadTexture(QString const& file, unsigned int texture)
{
    QImage image;
    if (!image.load(file)) {
        image = QImage(500, 500, QImage::Format_RGB32);
        image.fill(Qt::white);
    }
    const QImage gl = QGLWidget::convertToGLFormat(image);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, gl.width(), gl.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE, gl.bits());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}
