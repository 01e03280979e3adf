#include "manual_fixture.h"
#include "plate_fixture.h"

#include "support/DLPSupportTruss.h"

#include <GL/gl.h>

namespace {

constexpr float kPx = 6;              // pixels per millimetre
constexpr float kCx = 3, kCz = 17;    // world point at the frame's centre

// A grounded column and one standing on a box, joined by trusses, drawn with written template shapes.
class ColumnsGL : public PlateGL {
protected:
    void SetUp() override
    {
        PlateGL::SetUp();
        m_templates.Write("Cylinder", manual::Frustum(1.f, 24));
        m_templates.Write("Cone 25%", manual::Frustum(0.25f, 24));
        DLPSupportStructure::ImportAttachmentDataFromStls();
        ASSERT_EQ(DLPSupportStructure::AttachmentDataList.size(), 2u);

        m_box = Place(Model(testmesh::Box({-5, -5, 0}, {5, 5, 4})), 8, 0);
        const unsigned char firstId[] = {40, 90, 0};
        std::copy(firstId, firstId + 3, DLPSupportStructure::sColorID);
        // Model coordinates of the box's instance (moved 8 mm along x).
        m_grounded = m_box->AddSupport({-10, 0, 30}, {-10, 0, 5});
        m_grounded->SetIsGrounded(true);
        m_onModel = m_box->AddSupport({0, 0, 34}, {0, 0, 4});
        m_grounded->GenerateTrussPoints();
        m_onModel->GenerateTrussPoints();
        m_box->GenerateAutoTruss();
    }
    void TearDown() override
    {
        DLPSupportStructure::ClearAttachmentData(); // deletes the lists while the context is current
        PlateGL::TearDown();
    }
    Rgb AtWorld(float x, float z) { return At(TopPixel(x - kCx, z - kCz)); }

    manual::TemplateFolder m_templates;
    VSLModelPainter* m_box = nullptr;
    DLPSupportStructure* m_grounded = nullptr;
    DLPSupportStructure* m_onModel = nullptr;
};

TEST_F(ColumnsGL, DrawnColumnsTrussesAndPickColours)
{
    ASSERT_EQ(m_grounded->GetTrusses().size() + m_onModel->GetTrusses().size(), 3);
    EXPECT_NE(DLPSupportStructure::FindAttachment("Cylinder")->displayListIndex, 0u);
    ASSERT_NEAR(m_box->m_matrix.map(m_grounded->GetBottomPoint()).z(), 0, 1e-5);
    FrontView(kPx, kCx, kCz);
    Clear();
    glEnable(GL_DEPTH_TEST);
    m_scene->DrawModels();
    glEnable(GL_LIGHTING);
    m_box->RenderSupportsGL(false, 1.f, 1.f);
    glDisable(GL_LIGHTING);
    SaveFrame("manual_columns");
    EXPECT_TRUE(AtWorld(-2, 15).green()) << AtWorld(-2, 15);  // grounded shaft
    EXPECT_TRUE(AtWorld(8, 20).green()) << AtWorld(8, 20);    // shaft on the box
    EXPECT_TRUE(AtWorld(-3.5f, 0.3f).green()) << AtWorld(-3.5f, 0.3f); // wide foot
    EXPECT_TRUE(AtWorld(12, 2).grey()) << AtWorld(12, 2);    // the box
    EXPECT_FALSE(AtWorld(-6, 15).green()) << AtWorld(-6, 15);
    // Every truss shows at its middle, between the shafts.
    for (DLPSupportStructure* c : {m_grounded, m_onModel})
        for (DLPSupportTruss* t : c->GetTrusses()) {
            const QVector3D mid = m_box->m_matrix.map((t->GetTrussPointFrom() + t->GetTrussPointTo()) / 2);
            EXPECT_TRUE(AtWorld(mid.x(), mid.z()).green()) << AtWorld(mid.x(), mid.z());
        }
    // Pick pass: each column's own colour under its shaft, white elsewhere.
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    for (DLPSupportStructure* c : m_box->GetSupports())
        c->RenderPickGL(true, true);
    const struct { DLPSupportStructure* column; float x, z; } shafts[] = {{m_grounded, -2, 15}, {m_onModel, 8, 20}};
    for (const auto& s : shafts) {
        const Rgb got = AtWorld(s.x, s.z);
        const unsigned char* want = s.column->GetPickColor();
        EXPECT_EQ(QVector<int>({got.r, got.g, got.b}), QVector<int>({want[0], want[1], want[2]}));
    }
    EXPECT_EQ(m_grounded->GetPickColor()[0], 40);
    EXPECT_EQ(m_onModel->GetPickColor()[0], 41);
    EXPECT_EQ(AtWorld(3, 33).r, 255);
    // Part pick: top red, shaft green, foot blue, each where it belongs.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    m_onModel->RenderPartPickGL(true, true);
    EXPECT_TRUE(AtWorld(8, 33).red()) << AtWorld(8, 33);
    EXPECT_TRUE(AtWorld(8, 20).green()) << AtWorld(8, 20);
    EXPECT_TRUE(AtWorld(8, 5).blue()) << AtWorld(8, 5);
    EXPECT_EQ(AtWorld(8, 2).r, 255); // nothing inside the box
}

} // namespace
