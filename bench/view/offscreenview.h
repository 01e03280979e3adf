#pragma once
// The GL target of the view benchmarks: an offscreen surface with a current
// 2.1 compatibility context, a bound w x h buffer with depth and the 3D
// view's perspective; the model-view matrix is left at identity for each
// benchmark's own camera.
#include <QMatrix4x4>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <memory>

struct OffscreenView {
    QOffscreenSurface surface;
    QOpenGLContext context;
    std::unique_ptr<QOpenGLFramebufferObject> fbo;

    // False when no context can be made current.
    bool open(int w, int h)
    {
        QSurfaceFormat fmt;
        fmt.setVersion(2, 1);
        fmt.setProfile(QSurfaceFormat::CompatibilityProfile);
        fmt.setDepthBufferSize(24);
        surface.setFormat(fmt);
        surface.create();
        context.setFormat(fmt);
        if (!context.create() || !context.makeCurrent(&surface))
            return false;
        fbo = std::make_unique<QOpenGLFramebufferObject>(w, h, QOpenGLFramebufferObject::CombinedDepthStencil);
        fbo->bind();
        glViewport(0, 0, w, h);
        QMatrix4x4 proj;
        proj.perspective(45, float(w) / h, 0.1f, 10000);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(proj.constData());
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        return true;
    }
};
