#include "plate_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QMatrix4x4>

#include <GL/gl.h>

std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

void PlateGL::SetUp()
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

void PlateGL::TearDown()
{
    m_scene.reset();
    m_models.clear();
    m_fbo.reset();
    m_context.doneCurrent();
}

void PlateGL::TopView(float pxPerMm, float cx, float cy)
{
    m_pxPerMm = pxPerMm;
    const double half = 0.5 / pxPerMm;
    const double w = kW / pxPerMm, h = kH / pxPerMm;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-w / 2 - half, w / 2 - half, -h / 2 - half, h / 2 - half, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(-cx, -cy, 0);
}

void PlateGL::FrontView(float pxPerMm, float cx, float cz)
{
    TopView(pxPerMm);
    glRotatef(-90, 1, 0, 0); // +z up the screen, +y into it
    glTranslated(-cx, 0, -cz);
}

void PlateGL::CameraView(float scale)
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

QPoint PlateGL::TopPixel(float x, float y) const
{
    const int column = kW / 2 + int(std::lround(x * m_pxPerMm));
    const int row = kH / 2 + int(std::lround(y * m_pxPerMm));
    return QPoint(column, kH - 1 - row);
}

void PlateGL::Clear()
{
    glClearColor(0.94f, 0.93f, 0.92f, 1.0f);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

Rgb PlateGL::At(QPoint p)
{
    glFinish();
    unsigned char px[4] = {0, 0, 0, 0};
    glReadPixels(p.x(), kH - 1 - p.y(), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    return Rgb{px[0], px[1], px[2]};
}

void PlateGL::SaveFrame(const QString& name)
{
    m_fbo->toImage().save(QDir(QCoreApplication::applicationDirPath()).filePath(name + ".png"));
}

int PlateGL::CountPixels(const std::function<bool(const Rgb&)>& pred)
{
    const QImage frame = m_fbo->toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            n += pred(Rgb{qRed(frame.pixel(x, y)), qGreen(frame.pixel(x, y)), qBlue(frame.pixel(x, y))});
    return n;
}

VSLModel3D* PlateGL::Model(const QVector<VSLTriangle3D>& tris)
{
    auto model = std::make_unique<VSLModel3D>();
    model->m_vTriangles = tris;
    model->UpdataData();
    m_models.push_back(std::move(model));
    return m_models.back().get();
}

VSLModelPainter* PlateGL::Place(VSLModel3D* model, float x, float y)
{
    auto* p = new VSLModelPainter(model, m_scene.get());
    m_scene->AppendModelPainter(p);
    p->Translate(QVector2D(x, y) - p->m_center.toVector2D());
    return p;
}

void PlateGL::Select(VSLModelPainter* p)
{
    m_scene->SetPickModelPainter(p ? p->m_nNumber * 10 : 0);
    m_scene->m_bSelected = p != nullptr;
}

// The slicing run lives with the slicing code; these tests never slice.
__attribute__((weak)) void VSLModelPainter::SliceModelPainterX(float) {}
