#include "hang_ceiling.h"
#include "plate_fixture.h"

#include <GL/gl.h>

#include <QElapsedTimer>

#include <atomic>
#include <cmath>
#include <thread>

namespace {

constexpr float kTilt = 50; // degrees the tilted view looks down from the front

bool Within(const QVector3D& p, const VSLTriangle3D& t, float tol)
{
    for (int a = 0; a < 3; ++a)
        if (p[a] < t.minBound[a] - tol || p[a] > t.maxBound[a] + tol)
            return false;
    return true;
}

} // namespace

class ScenePick : public PlateGL {
protected:
    // TopView(s) tilted by kTilt about x: the front (-y) and top faces show.
    void TiltedView(float s)
    {
        TopView(s);
        glRotatef(-kTilt, 1, 0, 0);
    }
    QPoint TiltedPixel(const QVector3D& w) const
    {
        const float a = kTilt * float(M_PI) / 180;
        const float up = w.y() * std::cos(a) + w.z() * std::sin(a);
        return TopPixel(w.x(), up);
    }
    void SupportHoverMode(VSLModelPainter* p)
    {
        Select(p);
        m_scene->m_bSupportMode = true;
        m_scene->m_nSupportTool = 0;
    }
    // Pixels of the cursor line drawn alone: red ones and green ones.
    std::pair<int, int> CursorPixels()
    {
        Clear();
        m_scene->DrawMisc();
        return {CountPixels([](const Rgb& c) { return c.red(); }),
                CountPixels([](const Rgb& c) { return c.green(); })};
    }
};

// The one-pixel pass agrees with the full pass and leaves the caller's framebuffer alone.
TEST_F(ScenePick, PixelPassAgreesWithTheFullPass)
{
    VSLModel3D* cube = Model(testmesh::Cube(12));
    VSLModelPainter* a = Place(cube, -20, 0);
    Place(cube, 0, 10);
    Place(Model(testmesh::SphereWithTriangles(800, 9)), 22, -5);
    TopView(2);
    EXPECT_EQ(m_scene->PickModelsAt(TopPixel(-20, 0)), a->m_nNumber * 10);
    EXPECT_TRUE(IsModelPainterName(a->m_nNumber * 10));
    EXPECT_EQ(m_scene->PickModelsAt(QPoint(kW / 2, kH)), 0) << "outside the framebuffer";
    EXPECT_EQ(AtTop(-20, 0).r, 240);
    CameraView(1.5f);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    m_scene->RenderPickModels();
    SaveFrame("pick_pass_full");
    int differing = 0, onInstances = 0;
    for (int y = 0; y < kH; y += 4) {
        for (int x = 0; x < kW; x += 4) {
            const Rgb full = At(QPoint(x, y));
            const int id = full.r * 65536 + full.g * 256 + full.b;
            onInstances += id != 0;
            differing += m_scene->PickModelsAt(QPoint(x, y)) != id;
        }
    }
    EXPECT_GT(onInstances, 150);
    EXPECT_EQ(differing, 0);
}

TEST_F(ScenePick, CursorOnACube)
{
    VSLModelPainter* p = Place(Model(testmesh::Cube(20)), 0, 0); // model 0..20, world -10..10
    SupportHoverMode(p);
    TiltedView(4);
    const VSLModel3D* model = p->m_pModel;
    // A point on each face, its normal, and whether the cursor line shows red.
    const struct { QVector3D world, normal; bool red; } faces[] = {
        {{3, 2, 20}, {0, 0, 1}, true}, {{-4, -10, 7}, {0, -1, 0}, false}};
    for (const auto& f : faces) {
        const QPoint px = TiltedPixel(f.world);
        bool hit = false;
        const unsigned index = m_scene->GetPickTriangleIndx(p, px, hit);
        ASSERT_TRUE(hit);
        const VSLTriangle3D tri = model->m_vTriangles[int(index)];
        EXPECT_EQ(tri.normal, f.normal);
        QVector3D located;
        ASSERT_TRUE(m_scene->LocateInCurrentModel(located, px));
        EXPECT_LT((located - f.world).length(), 0.6f) << located.x() << "," << located.y() << "," << located.z();
        const QVector3D onTri = p->m_matrix.map(m_scene->GetPickOnTriangle(px, p, index));
        const float extent = (tri.maxBound - tri.minBound).length();
        EXPECT_LT((onTri - located).length(), extent / 256 + 0.5f);
        EXPECT_TRUE(Within(m_scene->GetPickOnTriangle(px, p, index), tri, 1e-3f));
        m_scene->OnToolHoverMove(px);
        EXPECT_EQ(m_scene->m_pHoverModelPainter, p);
        EXPECT_EQ(m_scene->m_cursorNormal, f.normal);
        EXPECT_LT((p->m_matrix.map(m_scene->m_cursorPos) - located).length(), extent / 256 + 0.5f);
        const std::pair<int, int> line = CursorPixels(); // 5 mm along the normal
        EXPECT_GT(f.red ? line.first : line.second, 8);
        EXPECT_EQ(f.red ? line.second : line.first, 0);
    }
    // Beside the model nothing is hit and the cursor stays where it was.
    const QPoint beside = TiltedPixel({25, 0, 5});
    QVector3D located(7, 7, 7);
    EXPECT_FALSE(m_scene->LocateInCurrentModel(located, beside));
    bool hit = true;
    m_scene->GetPickTriangleIndx(p, beside, hit);
    EXPECT_FALSE(hit);
    const QVector3D cursor = m_scene->m_cursorPos;
    m_scene->OnToolHoverMove(beside);
    EXPECT_EQ(m_scene->m_cursorPos, cursor);
    // Nor below the framebuffer, or with nothing selected.
    EXPECT_FALSE(m_scene->LocateInCurrentModel(located, QPoint(kW / 2, kH)));
    m_scene->GetPickTriangleIndx(p, QPoint(kW / 2, kH), hit);
    EXPECT_FALSE(hit);
    Select(nullptr);
    EXPECT_FALSE(m_scene->LocateInCurrentModel(located, TiltedPixel(faces[0].world)));
    // The frame with the cursor for a look.
    SupportHoverMode(p);
    m_scene->OnToolHoverMove(TiltedPixel(faces[0].world));
    Clear();
    m_scene->RenderScene();
    m_scene->DrawMisc();
    SaveFrame("cursor_on_cube_top");
}

TEST_F(ScenePick, TrianglePickPastTheListSplit)
{
    VSLModel3D* sphere = Model(testmesh::SphereWithTriangles(30000, 30));
    VSLModelPainter* p = Place(sphere, 0, 0);
    SupportHoverMode(p);
    TopView(2);
    ASSERT_TRUE(p->EnsureTriPickLists());
    const QVector<GLuint> lists = p->m_vTriPickLists;
    EXPECT_GE(lists.size(), 3);
    EXPECT_TRUE(p->EnsureTriPickLists());
    EXPECT_EQ(p->m_vTriPickLists, lists) << "compiled once per change of the triangles";
    unsigned maxIndex = 0;
    int picked = 0;
    for (int x = -27; x <= 27; x += 3) {
        for (int y = -27; y <= 27; y += 3) {
            if (x * x + y * y > 26 * 26)
                continue;
            const QPoint px = TopPixel(x, y);
            bool hit = false;
            const unsigned index = m_scene->GetPickTriangleIndx(p, px, hit);
            ASSERT_TRUE(hit) << x << "," << y;
            QVector3D located;
            ASSERT_TRUE(m_scene->LocateInCurrentModel(located, px));
            VSLTriangle3D world = sphere->m_vTriangles[int(index)];
            world.Convert(p->m_matrix).UpdateBound();
            EXPECT_TRUE(Within(located, world, 0.6f)) << "triangle " << index << " not under " << x << "," << y;
            maxIndex = std::max(maxIndex, index);
            ++picked;
        }
    }
    EXPECT_GT(picked, 200);
    EXPECT_GT(maxIndex, 20000u);
    // Inside the sphere's box but off the sphere: the cleared depth.
    QVector3D located;
    EXPECT_FALSE(m_scene->LocateInCurrentModel(located, TopPixel(27, 27)));
    bool hit = true;
    m_scene->GetPickTriangleIndx(p, TopPixel(27, 27), hit);
    EXPECT_FALSE(hit);
    // Drawn without the lists (immediately) the triangle ids are the same.
    auto idAt = [&](QPoint px) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        p->RenderTrianglePickGL();
        const Rgb c = At(px);
        return c.r + c.g * 256 + c.b * 65536;
    };
    const int fromLists = idAt(TopPixel(3, 4));
    EXPECT_GT(fromLists, 0);
    sphere->m_nTrianglesVersion++;
    ASSERT_FALSE(p->TriPickListsCurrent());
    EXPECT_EQ(idAt(TopPixel(3, 4)), fromLists);
    // A triangle index past the end draws nothing.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    p->RenderSingleTrianglePickGL(unsigned(sphere->m_vTriangles.size()));
    EXPECT_EQ(At(TopPixel(3, 4)).r + At(TopPixel(3, 4)).g + At(TopPixel(3, 4)).b, 0);
    // New triangles: the lists are compiled again.
    sphere->UpdataData();
    EXPECT_FALSE(p->TriPickListsCurrent());
    EXPECT_TRUE(p->EnsureTriPickLists());
}

TEST_F(ScenePick, AWorkerHoldingTheDataNeverBlocksAFrameOrAPick)
{
    VSLModel3D* model = Model(testmesh::Cube(20));
    VSLModelPainter* p = Place(model, 0, 0);
    SupportHoverMode(p);
    TopView(2);
    Clear();
    m_scene->RenderScene(); // builds the display lists
    const int id = p->m_nNumber * 10;
    ASSERT_EQ(m_scene->PickModelsAt(TopPixel(0, 0)), id);
    model->m_bDataChanged = true; // as a finished topology pass leaves it
    std::atomic<bool> held{false}, release{false};
    std::thread worker([&] {
        model->dataMutex()->lock();
        held = true;
        QElapsedTimer t;
        t.start();
        while (!release && t.elapsed() < kHangMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        model->dataMutex()->unlock();
    });
    while (!held)
        std::this_thread::yield();
    Clear();
    m_scene->RenderScene();
    EXPECT_TRUE(AtTop(0, 0).blue()) << "drawn with the lists already built: " << AtTop(0, 0);
    EXPECT_EQ(m_scene->PickModelsAt(TopPixel(0, 0)), id);
    bool hit = true;
    m_scene->GetPickTriangleIndx(p, TopPixel(0, 0), hit);
    EXPECT_FALSE(hit) << "the triangle pass needs the triangles";
    m_scene->OnToolHoverMove(TopPixel(0, 0));
    QVector3D located;
    EXPECT_TRUE(m_scene->LocateInCurrentModel(located, TopPixel(0, 0)));
    const bool stillHeld = !release && !model->dataMutex()->tryLock();
    release = true;
    worker.join();
    EXPECT_TRUE(stillHeld) << "every call returned before the worker let go";
    EXPECT_TRUE(model->m_bDataChanged);
    // The next frame catches up.
    Clear();
    m_scene->RenderScene();
    EXPECT_FALSE(model->m_bDataChanged);
    m_scene->GetPickTriangleIndx(p, TopPixel(0, 0), hit);
    EXPECT_TRUE(hit);
}
