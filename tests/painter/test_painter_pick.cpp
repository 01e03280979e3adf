#include "VSLModelPainter.h"
#include "painter_test_util.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <memory>

namespace {

constexpr int kSize = 100;
constexpr float kHalfExtentMm = 50.f; // the view spans -50 .. 50 mm: one pixel per mm

// A legacy-profile context drawing into an off-screen buffer, looking down
// the z axis at the plate with one pixel per millimetre.
class PickSurface : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSurfaceFormat fmt;
        fmt.setVersion(2, 1);
        fmt.setProfile(QSurfaceFormat::CompatibilityProfile);
        fmt.setDepthBufferSize(24);
        m_surface.setFormat(fmt);
        m_surface.create();
        m_context.setFormat(fmt);
        ASSERT_TRUE(m_context.create());
        ASSERT_TRUE(m_context.makeCurrent(&m_surface));
        m_fbo = std::make_unique<QOpenGLFramebufferObject>(kSize, kSize,
                                                           QOpenGLFramebufferObject::CombinedDepthStencil);
        ASSERT_TRUE(m_fbo->bind());
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-kHalfExtentMm, kHalfExtentMm, -kHalfExtentMm, kHalfExtentMm, -200, 200);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_DITHER);
        glShadeModel(GL_SMOOTH);
        Clear();
    }
    void TearDown() override
    {
        m_fbo.reset();
        m_context.doneCurrent();
    }
    void Clear()
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    // Pixel under the world point (x, y), read back as bytes.
    void Read(float x, float y, unsigned char rgb[3])
    {
        glFinish();
        unsigned char px[4] = {0, 0, 0, 0};
        glReadPixels(int(x + kHalfExtentMm), int(y + kHalfExtentMm), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        for (int i = 0; i < 3; ++i)
            rgb[i] = px[i];
    }
    int ReadId(float x, float y)
    {
        unsigned char c[3];
        Read(x, y, c);
        return c[0] * 65536 + c[1] * 256 + c[2];
    }
    int ReadTriangle(float x, float y)
    {
        unsigned char c[3];
        Read(x, y, c);
        return (c[0] + c[1] * 256 + c[2] * 65536) - 1;
    }

    QOffscreenSurface m_surface;
    QOpenGLContext m_context;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
};

bool ContainsXY(const VSLTriangle3D& t, float x, float y)
{
    auto side = [x, y](const QVector3D& a, const QVector3D& b) {
        return (b.x() - a.x()) * (y - a.y()) - (b.y() - a.y()) * (x - a.x());
    };
    const float s0 = side(t.vertices[0], t.vertices[1]);
    const float s1 = side(t.vertices[1], t.vertices[2]);
    const float s2 = side(t.vertices[2], t.vertices[0]);
    return (s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0);
}

} // namespace

TEST_F(PickSurface, PickPassDrawsEachInstanceInItsIdColour)
{
    auto model = MakeModel(testmesh::Box({0, 0, 0}, {10, 10, 10}));
    VSLModelPainter a(model.get(), nullptr);
    VSLModelPainter b(model.get(), nullptr);
    a.Translate({-20, 0});
    b.Translate({20, 0});
    a.RenderPickGL();
    b.RenderPickGL();
    EXPECT_EQ(ReadId(-20, 0), a.m_nNumber * 10);
    EXPECT_EQ(ReadId(20, 0), b.m_nNumber * 10);
    EXPECT_EQ(ReadId(0, 0), 0);
    EXPECT_EQ(ReadId(-20, 20), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(PickSurface, PickPassFollowsARotation)
{
    auto model = MakeModel(testmesh::Box({0, 0, 0}, {40, 4, 4}));
    VSLModelPainter p(model.get(), nullptr);
    QMatrix4x4 r;
    r.rotate(90, 0, 0, 1);
    ASSERT_TRUE(p.ApplyConvertX(r, 1));
    p.RenderPickGL();
    EXPECT_EQ(ReadId(0.5f, 15), p.pickId());
    EXPECT_EQ(ReadId(15, 0.5f), 0);
}

TEST_F(PickSurface, LargeModelBuildsTrianglePickListsAndReadsBackTriangles)
{
    auto model = MakeModel(testmesh::SphereWithTriangles(30000, 40.f));
    VSLModelPainter p(model.get(), nullptr);
    ASSERT_GT(model->TriangleCount(), 20001);
    ASSERT_TRUE(p.FormTriPickDispLists());
    EXPECT_GE(p.m_vTriPickLists.size(), 3);
    p.RenderTrianglePickGL();
    const QVector<VSLTriangle3D> world = p.GetRealTriangles();
    for (QPointF at : {QPointF(0.5, 0.5), QPointF(-20.5, 10.5), QPointF(25.5, -15.5)}) {
        const int i = ReadTriangle(at.x(), at.y());
        ASSERT_GE(i, 0);
        ASSERT_LT(i, world.size());
        EXPECT_TRUE(ContainsXY(world[i], at.x(), at.y()))
            << "triangle " << i << " is not under the pixel";
        EXPECT_GT(world[i].normal.z(), 0.f);
    }
    // Immediate drawing gives the same picture as the lists.
    unsigned char fromLists[3], immediate[3];
    Read(0.5f, 0.5f, fromLists);
    const QVector<GLuint> lists = p.m_vTriPickLists;
    for (GLuint l : lists)
        glDeleteLists(l, 1);
    p.m_vTriPickLists.clear();
    Clear();
    p.RenderTrianglePickGL();
    Read(0.5f, 0.5f, immediate);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(fromLists), 3), QByteArray(reinterpret_cast<char*>(immediate), 3));
}

TEST_F(PickSurface, SingleTrianglePickEncodesThePoint)
{
    // One big triangle lying in the plane z = 0.
    QVector<VSLTriangle3D> tris{testmesh::Tri({-40, -40, 0}, {40, -40, 0}, {-40, 40, 0})};
    auto model = MakeModel(tris);
    VSLModelPainter p(model.get(), nullptr);
    p.RenderSingleTrianglePickGL(0);
    const VSLTriangle3D& t = model->m_vTriangles[0];
    unsigned char c[3];
    Read(-10.5f, -20.5f, c);
    const QVector3D world(-10.5f, -20.5f, 0);
    const QVector3D local = p.m_matrix.inverted().map(world);
    for (int a = 0; a < 2; ++a) {
        const float decoded = t.minBound[a] + c[a] / 255.f * (t.maxBound[a] - t.minBound[a]);
        EXPECT_NEAR(decoded, local[a], 0.7f);
    }
    Clear();
    p.RenderSingleTrianglePickGL(1); // out of range: nothing drawn
    EXPECT_EQ(ReadId(-10.5f, -20.5f), 0);
}
