#include "supportedit_fixture.h"

#include <GL/gl.h>

TEST_F(SupportEdit, TipsMagentaBodiesAmberSelectedMagentaMarkedKept)
{
    Generate(m_slab);
    const DLP_Support front = m_slab->m_supportMap.first();
    QImage img = Shot();
    Save(img, "supportedit_slab");
    EXPECT_PRED1(Magenta, At(img, TipPixel(m_slab, front)));
    const Px column = At(img, ColumnPixel(m_slab, front));
    EXPECT_PRED1(Amber, column) << column;
    EXPECT_FALSE(Magenta(column));
    m_view->scene()->SetPickModelPainter(m_slab->pickId());
    img = Shot();
    Save(img, "supportedit_slab_selected");
    EXPECT_PRED1(Magenta, At(img, ColumnPixel(m_slab, front)));
    // A rebuild keeps a marked support in both lists.
    m_view->scene()->SetPickModelPainter(0);
    m_slab->m_supportMap.first().isDeleted = true;
    m_view->makeCurrent();
    m_slab->DrawSupportX();
    img = Shot();
    EXPECT_PRED1(Magenta, At(img, TipPixel(m_slab, front)));
    EXPECT_PRED1(Amber, At(img, ColumnPixel(m_slab, front)));
    // The tips-only pass leaves the matrix stack as it found it.
    m_view->makeCurrent();
    GLint before = 0, after = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &before);
    m_slab->RenderSupportX(false, true);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
    EXPECT_EQ(before, after);
}

TEST_F(SupportEdit, SupportsFollowAMoveAndStayAfterTheSliceBakesIt)
{
    Generate(m_slab);
    const QVector<VSLTriangle3D> before = m_slab->GetRealTrianglesSup();
    QMatrix4x4 move;
    move.translate(10, 0, 0);
    ASSERT_TRUE(m_slab->ApplyConvertX(move, 0));
    const DLP_Support s = m_slab->m_supportMap.first();
    const QPoint tip = TipPixel(m_slab, s);
    EXPECT_EQ(tip, Project(V(s.point) + QVector3D(10, 0, -0.6f * kTipR)));
    EXPECT_PRED1(Magenta, At(Shot(), tip));
    const QVector<VSLTriangle3D> moved = m_slab->GetRealTrianglesSup();
    m_slab->RotateSupportX();  // what the slice does first
    m_view->makeCurrent();
    m_slab->DrawSupportX();
    EXPECT_PRED1(Magenta, At(Shot(), tip));
    // Support triangles are in world coordinates, before and after the bake.
    const QVector<VSLTriangle3D> baked = m_slab->GetRealTrianglesSup();
    ASSERT_EQ(before.size(), baked.size());
    ASSERT_EQ(moved.size(), baked.size());
    float worst = 0;
    for (int i = 0; i < baked.size(); ++i)
        for (int k = 0; k < 3; ++k) {
            worst = std::max(worst, (moved[i].vertices[k] - baked[i].vertices[k]).length());
            worst = std::max(worst, (before[i].vertices[k] + QVector3D(10, 0, 0) - baked[i].vertices[k]).length());
        }
    EXPECT_LT(worst, 1e-4f);
}

// Both ways of ending with no supports lower a lifted instance by the lift, once.
TEST_F(SupportEdit, NoSupportsLeftLowersByTheLift)
{
    for (bool remove : {false, true}) {
        SCOPED_TRACE(remove ? "RemoveSupportX" : "empty map drawn");
        Generate(m_slab);
        const float z = m_slab->m_minBound.z();
        const GLuint tips = m_slab->m_nSupportTipList;
        m_slab->m_vSliceZ = {0.05f, 0.1f};
        m_slab->m_vSlicePaths.resize(2);
        m_view->makeCurrent();
        if (remove) {
            m_slab->RemoveSupportX();
            EXPECT_TRUE(m_slab->m_vSliceZ.isEmpty() && m_slab->m_vSlicePaths.isEmpty());
            m_slab->RemoveSupportX();  // unlifted: stays
        } else {
            m_slab->m_supportMap.clear();
            m_slab->DrawSupportX();
            EXPECT_FALSE(m_slab->m_bHasSupports || m_slab->m_bSupportsShown);
            EXPECT_EQ(m_slab->m_nSupportTipList, tips);  // kept, not drawn
        }
        EXPECT_FLOAT_EQ(m_slab->m_minBound.z(), z - float(kLift));
        EXPECT_FALSE(m_slab->m_bSupportLifted);
    }
}
