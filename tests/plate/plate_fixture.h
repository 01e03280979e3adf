#pragma once
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QMatrix4x4>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <list>
#include <memory>

// Colour bytes of one pixel.
struct Rgb {
    int r = 0, g = 0, b = 0;
    bool grey() const { return std::max({r, g, b}) - std::min({r, g, b}) < 16; }
    bool red() const { return r > g + 60 && r > b + 40; }
    bool green() const { return g > r + 60 && g > b + 60; }
    bool blue() const { return b > r + 60; }
};
inline std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// Off-screen compatibility-profile frame of kW x kH with a scene; whole mm fall on pixel centres.
class PlateGL : public ::testing::Test {
protected:
    static constexpr int kW = 320;
    static constexpr int kH = 240;

    void SetUp() override
    {
        QSurfaceFormat fmt;
        fmt.setVersion(2, 1);
        fmt.setProfile(QSurfaceFormat::CompatibilityProfile);
        fmt.setDepthBufferSize(24);
        fmt.setStencilBufferSize(8);
        m_surface.setFormat(fmt);
        m_surface.create();
        m_context.setFormat(fmt);
        ASSERT_TRUE(m_context.create());
        ASSERT_TRUE(m_context.makeCurrent(&m_surface));
        m_fbo = std::make_unique<QOpenGLFramebufferObject>(kW, kH, QOpenGLFramebufferObject::CombinedDepthStencil);
        ASSERT_TRUE(m_fbo->bind());
        glViewport(0, 0, kW, kH);
        m_scene = std::make_unique<VSL3DScene>();
        m_scene->m_fnOutOfRangeWarning = [] {};
        m_scene->InitScene();
        glDisable(GL_DITHER);
        TopView(1);
        Clear();
    }
    void TearDown() override
    {
        m_scene.reset();
        m_models.clear();
        m_fbo.reset();
        m_context.doneCurrent();
    }

    // Looks down -z (x right, y up) at `pxPerMm`, world (cx, cy) on pixel (kW/2, kH/2).
    void TopView(float pxPerMm, float cx = 0, float cy = 0)
    {
        m_pxPerMm = pxPerMm;
        const double half = 0.5 / pxPerMm, w = kW / pxPerMm, h = kH / pxPerMm;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-w / 2 - half, w / 2 - half, -h / 2 - half, h / 2 - half, -1000, 1000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslated(-cx, -cy, 0);
    }
    // Looks along +y (x right, z up), world (cx, ?, cz) at the centre: TopPixel(x - cx, z - cz) is (x, ?, z).
    void FrontView(float pxPerMm, float cx, float cz)
    {
        TopView(pxPerMm);
        glRotatef(-90, 1, 0, 0); // +z up the screen, +y into it
        glTranslated(-cx, 0, -cz);
    }
    // The view's default camera (perspective, yaw 30, pitch -80).
    void CameraView(float scale = 1.f)
    {
        QMatrix4x4 proj;
        proj.perspective(45, float(kW) / kH, 0.1f, 10000);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(proj.constData());
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslated(0, -8, -100);
        glScalef(0.5f * scale, 0.5f * scale, 0.5f * scale);
        glRotatef(-60, 1, 0, 0);
        glRotatef(30, 0, 0, 1);
    }

    // Widget pixel of a world point in TopView (independent of UCToDC).
    QPoint TopPixel(float x, float y) const
    {
        return QPoint(kW / 2 + int(std::lround(x * m_pxPerMm)), kH - 1 - (kH / 2 + int(std::lround(y * m_pxPerMm))));
    }
    void Clear()
    {
        glClearColor(0.94f, 0.93f, 0.92f, 1.0f);
        glClearStencil(0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    Rgb At(QPoint p)
    {
        glFinish();
        unsigned char px[4] = {0, 0, 0, 0};
        glReadPixels(p.x(), kH - 1 - p.y(), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return Rgb{px[0], px[1], px[2]};
    }
    Rgb AtTop(float x, float y) { return At(TopPixel(x, y)); }
    // Saves the frame as <name>.png beside the test program.
    void SaveFrame(const QString& name)
    {
        m_fbo->toImage().save(QDir(QCoreApplication::applicationDirPath()).filePath(name + ".png"));
    }
    // Pixels of the frame matching `pred`.
    int CountPixels(const std::function<bool(const Rgb&)>& pred)
    {
        const QImage frame = m_fbo->toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                n += pred(Rgb{qRed(frame.pixel(x, y)), qGreen(frame.pixel(x, y)), qBlue(frame.pixel(x, y))});
        return n;
    }

    VSLModel3D* Model(const QVector<VSLTriangle3D>& tris)
    {
        m_models.push_back(std::make_unique<VSLModel3D>());
        m_models.back()->m_vTriangles = tris;
        m_models.back()->UpdataData();
        return m_models.back().get();
    }
    // A new instance of `model`, appended to the scene and moved to (x, y).
    VSLModelPainter* Place(VSLModel3D* model, float x, float y)
    {
        auto* p = new VSLModelPainter(model, m_scene.get());
        m_scene->AppendModelPainter(p);
        p->Translate(QVector2D(x, y) - p->m_center.toVector2D());
        return p;
    }
    void Select(VSLModelPainter* p)
    {
        m_scene->SetPickModelPainter(p ? p->m_nNumber * 10 : 0);
        m_scene->m_bSelected = p != nullptr;
    }

    QOffscreenSurface m_surface;
    QOpenGLContext m_context;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
    float m_pxPerMm = 1;
    // Models outlive the scene, whose instances show them.
    std::list<std::unique_ptr<VSLModel3D>> m_models;
    std::unique_ptr<VSL3DScene> m_scene;
};
