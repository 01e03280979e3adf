// The support tool's clicks and a table's grid supports, drawn and picked off-screen.
#include "manual_fixture.h"
#include "plate_fixture.h"
#include "tool_meshes.h"

#include "support/DLPSupportStructure.h"

#include <QElapsedTimer>
#include <QSettings>

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

// Shelf in model coordinates: a low block under part of a wider slab.
const QVector<VSLTriangle3D> kShelf = toolmesh::Boxes({{{-10, -5, 0}, {5, 5, 4}}, {{-10, -5, 10}, {20, 5, 12}}});

class ToolGL : public PlateGL {
protected:
    void SetUp() override
    {
        PlateGL::SetUp();
        m_templates.Write("Cylinder", manual::Frustum(1.f, 24));
        for (const char* name : {"Cone 25%", "Cone 50%", "Cone 75%"})
            m_templates.Write(name, manual::Frustum(0.25f, 24));
        DLPSupportStructure::ImportAttachmentDataFromStls();
        DLPSupportStructure::FillRegistryDefaults(true, "LIGHT");
    }
    void TearDown() override
    {
        m_scene.reset(); // columns go before the shapes they point at
        DLPSupportStructure::ClearAttachmentData();
        PlateGL::TearDown();
    }

    // Orthographic view from +x and below, 45 degrees up, at `target` (world).
    void UnderView(QVector3D target, float pxPerMm = 6)
    {
        TopView(pxPerMm);
        glLoadIdentity();
        const QVector3D eye = target + QVector3D(100, 0, -100);
        gluLookAt(eye.x(), eye.y(), eye.z(), target.x(), target.y(), target.z(), 0, 0, 1);
    }
    // Widget pixel of a world point under the current matrices.
    QPoint Pixel(QVector3D w)
    {
        GLdouble mv[16], pr[16], x, y, z;
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pr);
        glGetIntegerv(GL_VIEWPORT, vp);
        gluProject(w.x(), w.y(), w.z(), mv, pr, vp, &x, &y, &z);
        return QPoint(int(std::floor(x)), kH - 1 - int(std::floor(y)));
    }
    VSLModelPainter* PlaceSelected(VSLModel3D* model, float x)
    {
        VSLModelPainter* p = Place(model, x, 0);
        Select(p);
        return p;
    }
    QVector3D World(VSLModelPainter* p, QVector3D model) { return p->m_matrix.map(model); }
    // A click of the tool at the pixel of a model point of the selected instance.
    void ClickAt(VSLModelPainter* p, QVector3D model) { m_scene->OnSupportToolInitialAction(Pixel(World(p, model))); }

    manual::TemplateFolder m_templates;
};

// Other modes, upward faces and no selection add nothing; deletion takes only the column in front.
TEST_F(ToolGL, ClickAddsGroundedAndRestingColumnsAndDeletesTheOneInFront)
{
    VSLModelPainter* p = PlaceSelected(Model(kShelf), 0);
    std::fill(DLPSupportStructure::sColorID, DLPSupportStructure::sColorID + 3, 0);
    TopView(6, World(p, {5, 0, 0}).x(), World(p, {5, 0, 0}).y());
    ClickAt(p, {15, 0, 12}); // from above, the slab's top faces up
    UnderView(World(p, {5, 0, 6}));
    for (int mode : {2, -1, 7}) {
        m_scene->m_nSupportTool = mode;
        ClickAt(p, {15, 0, 10});
    }
    m_scene->m_nSupportTool = 0;
    Select(nullptr);
    ClickAt(p, {15, 0, 10});
    EXPECT_TRUE(p->GetSupports().isEmpty());
    Select(p);
    ClickAt(p, {15, 0, 10});
    ASSERT_EQ(p->GetSupports().size(), 1);
    DLPSupportStructure* free = p->GetSupports()[0];
    EXPECT_TRUE(free->GetIsGrounded());
    const QVector3D top = World(p, free->GetTopPoint()), foot = World(p, free->GetBottomPoint());
    EXPECT_NEAR(top.distanceToPoint(World(p, {15, 0, 10})), 0, 0.4f);
    EXPECT_NEAR(foot.distanceToPoint({top.x(), top.y(), 0}), 0, 1e-4);
    ClickAt(p, {0, 0, 10});
    ASSERT_EQ(p->GetSupports().size(), 2);
    DLPSupportStructure* resting = p->GetSupports()[1];
    EXPECT_FALSE(resting->GetIsGrounded());
    EXPECT_NEAR(resting->GetTopPoint().distanceToPoint({0, 0, 10}), 0, 0.4f);
    EXPECT_NEAR(resting->GetBottomPoint().z(), 4, 0.05f);
    EXPECT_NEAR(resting->GetBottomPoint().x(), resting->GetTopPoint().x(), 0.1f);
    EXPECT_LT(resting->GetBottomNormal().z(), -0.99f);
    ASSERT_EQ(free->GetPickColor()[0], 0);
    m_scene->m_nSupportTool = 1;
    ClickAt(p, {0, 0, 7}); // from below at 45 degrees the resting column is behind the block
    m_scene->OnSupportToolInitialAction(QPoint(2, 2)); // background, though a column has colour (0, 0, 0)
    ASSERT_EQ(p->GetSupports().size(), 2);
    ClickAt(p, {15, 0, 5});
    ASSERT_EQ(p->GetSupports(), QVector<DLPSupportStructure*>{resting});
    // From the front it stands in the gap between block and slab.
    FrontView(6, World(p, {0, 0, 7}).x(), World(p, {0, 0, 7}).z());
    ClickAt(p, {0, 0, 7});
    EXPECT_TRUE(p->GetSupports().isEmpty());
}

TEST_F(ToolGL, OnlyDownwardOrVerticalFacesTakeAColumn)
{
    // A fin facing +x; its apex leaning back by `lean` mm makes it face slightly upward.
    const struct { float lean; int want; } cases[] = {{0.f, 1}, {-0.2f, 0}, {0.5f, 1}};
    float x = -30;
    for (const auto& c : cases) {
        const QVector<VSLTriangle3D> fin = {testmesh::Tri({0, -5, 0}, {0, 5, 0}, {c.lean, 0, 10})};
        VSLModelPainter* p = PlaceSelected(Model(fin), x);
        x += 30;
        UnderView(World(p, {0, 0, 5}));
        ClickAt(p, {c.lean / 3, 0, 10.f / 3});
        EXPECT_EQ(p->GetSupports().size(), c.want) << c.lean;
        if (c.want == 1) {
            EXPECT_TRUE(p->GetSupports()[0]->GetIsGrounded());
        }
    }
}

TEST_F(ToolGL, ShapesFromTheSceneAndTheStoredMidShape)
{
    {
        QSettings s;
        s.setValue("USERSUPPORTPARAMS/SUPPORT_MID/ATTACHSHAPE", "Cone 50%");
        s.setValue("USERSUPPORTPARAMS/SUPPORT_TOP/ATTACHSHAPE", "Cylinder"); // not used
        s.setValue("USERSUPPORTPARAMS/SUPPORT_TOP/RADIUS", 3.0);
        s.setValue("USERSUPPORTPARAMS/SUPPORT_TOP/ANGLEFACTOR", 0.6);
        s.setValue("USERSUPPORTPARAMS/SUPPORT_BOTTOM_NONGROUNDED/ANGLEFACTOR", "nan");
    }
    m_scene->ChangeSupAttachSize(2); // "Cone 75%" both
    m_scene->m_strAttachName1 = "Cone 50%";
    VSLModelPainter* p = PlaceSelected(Model(kShelf), 0);
    UnderView(World(p, {5, 0, 6}));
    ClickAt(p, {15, 0, 10});
    ClickAt(p, {0, 0, 10});
    ASSERT_EQ(p->GetSupports().size(), 2);
    const QStringList want[] = {{"Cone 50%", "Cone 50%", "Cylinder"}, {"Cone 50%", "Cone 50%", "Cone 75%"}};
    for (int i = 0; i < 2; ++i) {
        DLPSupportStructure* s = p->GetSupports()[i];
        EXPECT_EQ(QStringList({s->GetTopAttachShape(), s->GetMidAttachShape(), s->GetBottomAttachShape()}), want[i]);
        EXPECT_DOUBLE_EQ(s->GetTopRadius(), 0.5); // recomputed from the scale
        EXPECT_DOUBLE_EQ(s->GetTopAngleFactor(), 0.6);
    }
    EXPECT_DOUBLE_EQ(p->GetSupports()[1]->GetBottomAngleFactor(), 1.0); // "nan" refused: the column's own value
}

TEST_F(ToolGL, TableGetsGridAndOverhangColumns)
{
    VSLModel3D* model = Model(toolmesh::Table());
    model->FixModel();
    model->fixerThread()->wait();
    ASSERT_TRUE(model->readyGate().IsOpen());
    VSLModelPainter* p = PlaceSelected(model, 0);
    ASSERT_EQ(m_scene->GenerateAutoSupport(), SceneOp::Done);
    EXPECT_NEAR(p->m_minBound.z(), 5, 1e-4);
    const QVector<DLPSupportStructure*> columns = p->GetSupports();
    EXPECT_EQ(m_scene->m_vOverhangEdges.size(), 4);
    ASSERT_EQ(m_scene->m_vLowestPoints.size(), 1);
    // Columns at overhang candidates, one grounded under the pyramid's tip.
    const QVector3D tip = World(p, {0, 0, 16.8f});
    int overhang = 0;
    bool tipColumn = false;
    for (DLPSupportStructure* s : columns) {
        const QVector3D top = World(p, s->GetTopPoint());
        for (const auto& list : m_scene->m_vOverhangPoints)
            if (top.distanceToPoint({list.last().x, list.last().y, list.last().z}) < 1e-3f) {
                ++overhang;
                break;
            }
        tipColumn = tipColumn || (top.distanceToPoint(tip) < 1e-3f && s->GetIsGrounded());
        EXPECT_GE(top.z(), 5.f - 1e-3f);
        if (s->GetIsGrounded()) {
            EXPECT_NEAR(World(p, s->GetBottomPoint()).z(), 0, 1e-4);
        }
    }
    EXPECT_TRUE(tipColumn);
    EXPECT_GE(overhang, 2);
    EXPECT_GE(columns.size() - overhang, 4); // slab and pyramid faces, leg feet
    // Front and default camera: green shafts under the slab, the tip's column at x = 0.
    for (bool front : {true, false}) {
        front ? FrontView(3.5f, 0, 14) : CameraView(2.f);
        Clear();
        glEnable(GL_DEPTH_TEST);
        m_scene->DrawModels();
        glEnable(GL_LIGHTING);
        p->RenderSupportsGL(false, 1.f, 1.f);
        glDisable(GL_LIGHTING);
        SaveFrame(front ? "supporttool_table" : "supporttool_table_camera");
        EXPECT_GT(CountPixels([](const Rgb& c) { return c.green(); }), 200);
        if (front) {
            EXPECT_TRUE(AtTop(0, 2.5f - 14).green()) << AtTop(0, 2.5f - 14);
        }
    }
}

} // namespace
