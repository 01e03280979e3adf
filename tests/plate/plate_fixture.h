#pragma once
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

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
std::ostream& operator<<(std::ostream& os, const Rgb& c);

// Off-screen compatibility-profile frame of kW x kH with a scene; whole mm fall on pixel centres.
class PlateGL : public ::testing::Test {
protected:
    static constexpr int kW = 320;
    static constexpr int kH = 240;

    void SetUp() override;
    void TearDown() override;

    // Looks down -z (x right, y up) at `pxPerMm`, world (cx, cy) on pixel (kW/2, kH/2).
    void TopView(float pxPerMm, float cx = 0, float cy = 0);
    // Looks along +y (x right, z up), world (cx, ?, cz) at the centre: TopPixel(x - cx, z - cz) is (x, ?, z).
    void FrontView(float pxPerMm, float cx, float cz);
    // The view's default camera (perspective, yaw 30, pitch -80).
    void CameraView(float scale = 1.f);

    // Widget pixel of a world point in TopView (independent of UCToDC).
    QPoint TopPixel(float x, float y) const;
    void Clear();
    Rgb At(QPoint p);
    Rgb AtTop(float x, float y) { return At(TopPixel(x, y)); }
    // Saves the frame as <name>.png beside the test program.
    void SaveFrame(const QString& name);
    // Pixels of the frame matching `pred`.
    int CountPixels(const std::function<bool(const Rgb&)>& pred);

    VSLModel3D* Model(const QVector<VSLTriangle3D>& tris);
    // A new instance of `model`, appended to the scene and moved to (x, y).
    VSLModelPainter* Place(VSLModel3D* model, float x, float y);
    void Select(VSLModelPainter* p);

    QOffscreenSurface m_surface;
    QOpenGLContext m_context;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
    float m_pxPerMm = 1;
    // Models outlive the scene, whose instances show them.
    std::list<std::unique_ptr<VSLModel3D>> m_models;
    std::unique_ptr<VSL3DScene> m_scene;
};
